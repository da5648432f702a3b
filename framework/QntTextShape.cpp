#include "framework/QntTextShape.h"

#include "framework/styles/VRTextAdornment.h"

#include "framework/VRArchiveReader.h"

#include <QJsonObject>
#include <QPainter>

VR_CLASS_IMPL(QntTextShape, VRDrawableShape)

void QntTextShape::setTextBlock(const VRTextBlock &block)
{
    if (block == m_text)
        return;
    const VRTextBlock old = m_text;
    recordUndo("setTextBlock:", QStringLiteral("Changing text attributes"),
               [old](VRDrawableObject &o) { static_cast<QntTextShape &>(o).setTextBlock(old); });
    m_text = block;
    notifyVisualChange();
}

void QntTextShape::setString(const QString &text)
{
    VRTextBlock block = m_text;
    block.setPlainText(text);
    setTextBlock(block);
}

void QntTextShape::setFont(const QFont &font)
{
    VRTextBlock block = m_text;
    block.setFont(font);
    setTextBlock(block);
}

void QntTextShape::setFontSize(double size)
{
    if (!(size > 0) || size > 5000)
        return;
    QFont font = m_text.font();
    font.setPointSizeF(size);
    setFont(font);
}

void QntTextShape::setTextColour(const QColor &colour)
{
    VRTextBlock block = m_text;
    block.setColour(colour);
    setTextBlock(block);
}

void QntTextShape::setAlignment(int alignment)
{
    VRTextBlock block = m_text;
    block.setAlignment(alignment);
    setTextBlock(block);
}

void QntTextShape::setFixedWidth(double width)
{
    VRTextBlock block = m_text;
    block.setFixedWidth(width);
    setTextBlock(block);
}

void QntTextShape::setTextAngle(double degrees)
{
    if (!std::isfinite(degrees))
        return;
    VRTextBlock block = m_text;
    block.setAngleInDegrees(degrees);
    setTextBlock(block);
}

void QntTextShape::setTextContent(const QTextDocumentFragment &content)
{
    VRTextBlock block = m_text;
    block.setFragment(content);
    setTextBlock(block);
}

void QntTextShape::drawContent(QPainter &painter) const
{
    VRDrawableShape::drawContent(painter);
    const QTransform t = transformIncludingParent();
    const QRectF frame(QPointF(), QSizeF(std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22())));
    QRectF placed = frame;
    placed.moveCenter(t.map(QPointF(0, 0)));
    m_text.draw(painter, placed, std::atan2(t.m12(), t.m11()));
}

VRObjectRef QntTextShape::copy() const
{
    auto object = VRDrawableShape::copy();
    if (object)
        static_cast<QntTextShape &>(*object).m_text = m_text;
    return object;
}

void QntTextShape::writeRecord(QJsonObject &r, VRArchiveWriter &writer) const
{
    VRDrawableShape::writeRecord(r, writer);
    m_text.write(r);
}

bool QntTextShape::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    return VRDrawableShape::readRecord(r, reader, path) && m_text.read(r, reader, path);
}

VRTextAdornment *QntTextShape::textAdornment() const
{
    if (!m_textAdornment)
        m_textAdornment = std::make_shared<VRTextAdornment>();
    m_text.describeIn(*m_textAdornment);
    return m_textAdornment.get();
}
