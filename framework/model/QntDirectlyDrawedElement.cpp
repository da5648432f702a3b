#include "framework/model/QntDirectlyDrawedElement.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>

VR_CLASS_IMPL(QntDirectlyDrawedElement, QntElement)

void QntDirectlyDrawedElement::setColors(const QList<QColor> &colours)
{
    if (colours == m_colours)
        return;
    const QList<QColor> old = m_colours;
    recordUndo("setColors:", QStringLiteral("Change Colour"), [old](VRDrawableObject &o) {
        static_cast<QntDirectlyDrawedElement &>(o).setColors(old);
    });
    m_colours = colours;
    notifyVisualChange();
}

void QntDirectlyDrawedElement::setColor(const QColor &colour, int atIndex)
{
    if (atIndex < 0 || atIndex >= m_colours.size() || !colour.isValid())
        return;
    QList<QColor> colours = m_colours;
    colours[atIndex] = colour;
    setColors(colours);
}

void QntDirectlyDrawedElement::drawContent(QPainter &painter) const
{
    if (!m_colours.isEmpty()) {
        painter.save();
        painter.setTransform(transformIncludingParent(), true);
        const double band = 1.0 / m_colours.size();
        QPainterPath outline;
        outline.addRoundedRect(QRectF(-0.5, -0.5, 1, 1), 0.08, 0.08);
        // Within whatever area the caller limits painting to.
        painter.setClipPath(outline, Qt::IntersectClip);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < m_colours.size(); ++i) {
            painter.setBrush(m_colours.at(i));
            painter.drawRect(QRectF(-0.5, -0.5 + i * band, 1, band));
        }
        painter.restore();
    }
    QntElement::drawContent(painter);
}

VRObjectRef QntDirectlyDrawedElement::copy() const
{
    auto object = QntElement::copy();
    if (object)
        static_cast<QntDirectlyDrawedElement &>(*object).m_colours = m_colours;
    return object;
}

void QntDirectlyDrawedElement::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    QntElement::writeRecord(r, writer);
    QJsonArray colours;
    for (const QColor &c : m_colours)
        colours.append(VRArchiveWriter::colour(c));
    r.insert("colors", colours);
}

bool QntDirectlyDrawedElement::readRecord(const QJsonObject &r, VRArchiveReader &reader,
                                          const QString &path)
{
    QJsonArray colours;
    if (!QntElement::readRecord(r, reader, path)
        || !reader.readArray(r, QStringLiteral("colors"), path, colours))
        return false;
    if (colours.size() > 1000)
        return reader.fail(path + QStringLiteral(".colors"), QStringLiteral("too many colours"));
    m_colours.clear();
    for (int i = 0; i < colours.size(); ++i) {
        const QColor c = VRArchiveReader::colourFromString(colours.at(i).toString());
        if (!c.isValid())
            return reader.fail(path + QStringLiteral(".colors[%1]").arg(i),
                               VRArchiveReader::typeError("a colour"));
        m_colours.append(c);
    }
    return true;
}
