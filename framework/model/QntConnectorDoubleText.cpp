#include "framework/model/QntConnectorDoubleText.h"

#include "framework/styles/VRTextAdornment.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonObject>

VR_CLASS_IMPL(QntConnectorDoubleText, QntConnector)

void QntConnectorDoubleText::setSecondLabel(const VRTextBlock &label)
{
    if (label == m_label2)
        return;
    const VRTextBlock old = m_label2;
    recordUndo("setSecondLabel:", QStringLiteral("Changing text attributes"),
               [old](VRDrawableObject &o) {
                   static_cast<QntConnectorDoubleText &>(o).setSecondLabel(old);
               });
    m_label2 = label;
    notifyVisualChange();
}

void QntConnectorDoubleText::setLayoutMode(int mode)
{
    // One placement mode drives both labels.
    QntConnector::setLayoutMode(mode);
}

QPointF QntConnectorDoubleText::secondLabelPosition() const
{
    // Mirrors the first label's placement about the middle of the line.
    if (layoutMode() == 1 || layoutMode() == 2)
        return pointAlongPath(0.5 - textXOffset(),
                              layoutMode() == 2 ? -textYOffset() : textYOffset());
    return pointAlongPath(1.0 - textReferencePointRelative(), 0)
           + QPointF(offsetForPointForTextLayout().width(), offsetForPointForTextLayout().height());
}

void QntConnectorDoubleText::drawContent(QPainter &painter) const
{
    QntConnector::drawContent(painter);
    drawLabel(painter, m_label2, *secondTextAdornment(), secondLabelPosition());
}

QRectF QntConnectorDoubleText::computeBounds(VRBoundsMeasure measure) const
{
    const QRectF bounds = QntConnector::computeBounds(measure);
    const QRectF second =
        labelBounds(m_label2, m_secondTextRenderer, secondLabelPosition(), measure);
    return second.isNull() ? bounds : bounds.united(second);
}

VRObjectRef QntConnectorDoubleText::copy() const
{
    auto object = QntConnector::copy();
    if (object)
        static_cast<QntConnectorDoubleText &>(*object).m_label2 = m_label2;
    return object;
}

void QntConnectorDoubleText::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    QntConnector::writeRecord(r, writer);
    r.beginObject("label2");
    m_label2.write(r);
    r.end();
}

bool QntConnectorDoubleText::readRecord(const QJsonObject &r, VRArchiveReader &reader,
                                        const QString &path)
{
    QJsonObject label;
    return QntConnector::readRecord(r, reader, path)
           && reader.readObjectRecord(r, QStringLiteral("label2"), path, label)
           && m_label2.read(label, reader, path + QStringLiteral(".label2"));
}

VRTextAdornment *QntConnectorDoubleText::secondTextAdornment() const
{
    return m_secondTextRenderer.renderer(
        m_label2,
        [this] {
            return VROwnTextRenderer::writingBackTo(*this, &QntConnectorDoubleText::secondLabel,
                                                    &QntConnectorDoubleText::setSecondLabel);
        },
        labelLayoutMode());
}
