#include "framework/model/VRTextShapeBase.h"

#include "framework/styles/VRRenderContext.h"
#include "framework/styles/VRTextAdornment.h"

#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRJsonWriter.h"

#include <QJsonObject>
#include <QPainter>

void VRTextShapeBase::setTextBlock(const VRTextBlock &block)
{
    if (block == m_text)
        return;
    const VRTextBlock old = m_text;
    recordUndo("setTextBlock:", QStringLiteral("Changing text attributes"),
               [old](VRDrawableObject &o) { static_cast<VRTextShapeBase &>(o).setTextBlock(old); });
    m_text = block;
    notifyVisualChange();
}

void VRTextShapeBase::setString(const QString &text)
{
    VRTextBlock block = m_text;
    block.setPlainText(text);
    setTextBlock(block);
}

void VRTextShapeBase::setFont(const QFont &font)
{
    VRTextBlock block = m_text;
    block.setFont(font);
    setTextBlock(block);
}

void VRTextShapeBase::setFontSize(double size)
{
    if (!(size > 0) || size > 5000)
        return;
    QFont font = m_text.font();
    font.setPointSizeF(size);
    setFont(font);
}

void VRTextShapeBase::setTextColour(const QColor &colour)
{
    VRTextBlock block = m_text;
    block.setColour(colour);
    setTextBlock(block);
}

void VRTextShapeBase::setAlignment(int alignment)
{
    VRTextBlock block = m_text;
    block.setAlignment(alignment);
    setTextBlock(block);
}

void VRTextShapeBase::setFixedWidth(double width)
{
    VRTextBlock block = m_text;
    block.setFixedWidth(width);
    setTextBlock(block);
}

void VRTextShapeBase::setTextAngle(double degrees)
{
    if (!std::isfinite(degrees))
        return;
    VRTextBlock block = m_text;
    block.setAngleInDegrees(degrees);
    setTextBlock(block);
}

void VRTextShapeBase::setTextContent(const QTextDocumentFragment &content)
{
    VRTextBlock block = m_text;
    block.setFragment(content);
    setTextBlock(block);
}

std::optional<VRRenderContext> VRTextShapeBase::textContext() const
{
    const QTransform t = transformIncludingParent();
    const QRectF frame(QPointF(),
                       QSizeF(std::hypot(t.m11(), t.m12()), std::hypot(t.m21(), t.m22())));
    QRectF placed = frame;
    placed.moveCenter(t.map(QPointF(0, 0)));
    if (placed.width() <= 0)
        return std::nullopt;
    VRRenderContext context;
    // renderingPath(), through the transform at hand.
    context.path = t.map(unitPath());
    context.bounds = textFrameInBox(placed);
    context.angle = std::atan2(t.m12(), t.m11());
    return context;
}

std::optional<QRectF> VRTextShapeBase::textFrame() const
{
    const std::optional<VRRenderContext> context = textContext();
    return context ? std::optional<QRectF>(context->bounds) : std::nullopt;
}

void VRTextShapeBase::drawContent(QPainter &painter) const
{
    VRDrawableShape::drawContent(painter);
    if (const std::optional<VRRenderContext> context = textContext())
        textAdornment()->render(painter, *context);
}

QRectF VRTextShapeBase::computeBounds(VRBoundsMeasure measure) const
{
    // The glyphs may reach past the box (an italic's overhang, a descender of the last line,
    // text longer than the box): the bounds hold all they paint.
    const QRectF bounds = VRDrawableShape::computeBounds(measure);
    const std::optional<VRRenderContext> context = textContext();
    const QRectF ink =
        context ? m_textRenderer.inkBounds(m_text, *context, std::nullopt, measure) : QRectF();
    return ink.isNull() ? bounds : bounds.united(ink);
}

VRObjectRef VRTextShapeBase::copy() const
{
    auto object = VRDrawableShape::copy();
    if (object)
        static_cast<VRTextShapeBase &>(*object).m_text = m_text;
    return object;
}

void VRTextShapeBase::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    VRDrawableShape::writeRecord(r, writer);
    m_text.write(r);
}

bool VRTextShapeBase::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    return VRDrawableShape::readRecord(r, reader, path) && m_text.read(r, reader, path);
}

VRTextAdornment *VRTextShapeBase::textAdornment() const
{
    return m_textRenderer.renderer(m_text, [this] {
        return VROwnTextRenderer::writingBackTo(*this, &VRTextShapeBase::textBlock,
                                                &VRTextShapeBase::setTextBlock);
    });
}
