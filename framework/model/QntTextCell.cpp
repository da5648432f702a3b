#include "framework/model/QntTextCell.h"

#include "framework/styles/VRRenderContext.h"
#include "framework/styles/VRTextAdornment.h"

#include "framework/model/QntElementTable.h"
#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/base/VRConstants.h"
#include "framework/archive/VRJsonWriter.h"
#include "platform/NotificationCenter.h"

#include <QJsonObject>
#include <QPainter>

#include <cmath>

VR_CLASS_IMPL(QntTextCell, VRDrawableShape)

QntElementTable *QntTextCell::owner() const
{
    return dynamic_cast<QntElementTable *>(container());
}

void QntTextCell::setTextBlock(const VRTextBlock &block)
{
    if (block == m_text)
        return;
    const VRTextBlock old = m_text;
    recordUndo("setTextBlock:", QStringLiteral("Changing text attributes"),
               [old](VRDrawableObject &o) { static_cast<QntTextCell &>(o).setTextBlock(old); });
    m_text = block;
    notifyVisualChange();
    if (QntElementTable *table = owner())
        NotificationCenter::defaultCenter().post(
            kQntTextCellChangedNotification, table,
            {{QStringLiteral("object"), QVariant::fromValue(table->shared_from_this())}});
}

void QntTextCell::setString(const QString &text)
{
    VRTextBlock block = m_text;
    block.setPlainText(text);
    setTextBlock(block);
}

void QntTextCell::setTextContent(const QTextDocumentFragment &content)
{
    VRTextBlock block = m_text;
    block.setFragment(content);
    setTextBlock(block);
}

void QntTextCell::fillWithColor(const QColor &colour)
{
    if (colour == m_fill)
        return;
    const QColor old = m_fill;
    recordUndo("fillWithColor:", QStringLiteral("Fill Cells"),
               [old](VRDrawableObject &o) { static_cast<QntTextCell &>(o).fillWithColor(old); });
    m_fill = colour;
    notifyVisualChange();
}

void QntTextCell::setPaddings(double lr, double tb)
{
    if (!std::isfinite(lr) || !std::isfinite(tb) || lr < 0 || tb < 0
        || (lr == m_paddingLR && tb == m_paddingTB))
        return;
    const double oldLR = m_paddingLR, oldTB = m_paddingTB;
    recordUndo("setPaddings:", QStringLiteral("Change Cell Padding"),
               [oldLR, oldTB](VRDrawableObject &o) {
                   static_cast<QntTextCell &>(o).setPaddings(oldLR, oldTB);
               });
    m_paddingLR = lr;
    m_paddingTB = tb;
    notifyVisualChange();
}

void QntTextCell::setTextAngle(double degrees)
{
    if (!std::isfinite(degrees))
        return;
    VRTextBlock block = m_text;
    block.setAngleInDegrees(degrees);
    setTextBlock(block);
}

void QntTextCell::drawContent(QPainter &painter) const
{
    const QPainterPath outline = renderingPath();
    if (m_fill.isValid()) {
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_fill);
        painter.drawPath(outline);
        painter.restore();
    }
    VRDrawableShape::drawContent(painter);
    if (const std::optional<VRRenderContext> context = textContext())
        textAdornment()->render(painter, *context);
}

std::optional<VRRenderContext> QntTextCell::textContext() const
{
    const QTransform t = transformIncludingParent();
    const double w = std::hypot(t.m11(), t.m12()), h = std::hypot(t.m21(), t.m22());
    QRectF frame(QPointF(),
                 QSizeF(std::max(0.0, w - 2 * m_paddingLR), std::max(0.0, h - 2 * m_paddingTB)));
    frame.moveCenter(t.map(QPointF(0, 0)));
    if (frame.width() <= 0)
        return std::nullopt;
    VRRenderContext context;
    context.path = renderingPath();
    context.bounds = m_text.layoutFrame(frame);
    context.angle = std::atan2(t.m12(), t.m11());
    return context;
}

QRectF QntTextCell::computeBounds(VRBoundsMeasure measure) const
{
    // The glyphs may reach past the cell (an italic's overhang, a descender of the last line,
    // text longer than the cell): the bounds hold all they paint.
    const QRectF bounds = VRDrawableShape::computeBounds(measure);
    const std::optional<VRRenderContext> context = textContext();
    const QRectF ink =
        context ? m_textRenderer.inkBounds(m_text, *context, std::nullopt, measure) : QRectF();
    return ink.isNull() ? bounds : bounds.united(ink);
}

VRObjectRef QntTextCell::copy() const
{
    auto object = VRDrawableShape::copy();
    if (object) {
        auto &c = static_cast<QntTextCell &>(*object);
        c.m_text = m_text;
        c.m_fill = m_fill;
        c.m_paddingLR = m_paddingLR;
        c.m_paddingTB = m_paddingTB;
    }
    return object;
}

void QntTextCell::writeRecord(VRJsonWriter &r, VRArchiveWriter &writer) const
{
    VRDrawableShape::writeRecord(r, writer);
    m_text.write(r);
    if (m_fill.isValid())
        r.insert("fill", VRArchiveWriter::colour(m_fill));
    else
        r.insert("fill", nullptr);
    r.insert("cellPadding", {m_paddingLR, m_paddingTB});
}

bool QntTextCell::readRecord(const QJsonObject &r, VRArchiveReader &reader, const QString &path)
{
    if (!VRDrawableShape::readRecord(r, reader, path) || !m_text.read(r, reader, path)
        || !reader.readColour(r, QStringLiteral("fill"), path, m_fill, false, true))
        return false;
    QSizeF padding(m_paddingLR, m_paddingTB);
    if (!reader.readSize(r, QStringLiteral("cellPadding"), path, padding))
        return false;
    m_paddingLR = padding.width();
    m_paddingTB = padding.height();
    return true;
}

VRTextAdornment *QntTextCell::textAdornment() const
{
    return m_textRenderer.renderer(m_text, [this] {
        return VROwnTextRenderer::writingBackTo(*this, &QntTextCell::textBlock,
                                                &QntTextCell::setTextBlock);
    });
}
