#include "framework/styles/VRArrowStroke.h"

#include "framework/styles/VRPathGeometry.h"
#include "framework/archive/VRJsonWriter.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>

#include <algorithm>
#include <cmath>

VR_CLASS_IMPL(VRArrowStroke, VRStroke)

namespace {
double headLength(double width)
{
    return 6.0 + 3.0 * width;
}
} // namespace

void VRArrowStroke::setArrowHeadAtStart(int kind)
{
    changeProperty(m_arrowHeadAtStart, std::clamp(kind, 0, kLastArrowhead),
                   "setArrowHeadAtStart:", &VRArrowStroke::setArrowHeadAtStart);
}

void VRArrowStroke::setArrowHeadAtEnd(int kind)
{
    changeProperty(m_arrowHeadAtEnd, std::clamp(kind, 0, kLastArrowhead),
                   "setArrowHeadAtEnd:", &VRArrowStroke::setArrowHeadAtEnd);
}

void VRArrowStroke::setDimensioningLineOptions(int options)
{
    changeProperty(m_dimensioningLineOptions, std::clamp(options, 0, 3),
                   "setDimensioningLineOptions:", &VRArrowStroke::setDimensioningLineOptions);
}

QList<int> VRArrowStroke::registeredArrowheads()
{
    return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
}

QList<int> VRArrowStroke::registeredUMLArrowheads()
{
    return {0, 11, 12, 13, 14};
}

double VRArrowStroke::arrowheadLength(int kind, double width)
{
    const double l = headLength(width);
    const double h = l * 0.45;
    switch (kind) {
    case 1:
    case 10:
    case 12:
    case 13:
    case 14: return l;
    case 2: return l * 0.7;
    case 3:
    case 9: return h;
    default: return 0.0; // open and line-drawn heads meet the line at the tip
    }
}

void VRArrowStroke::drawArrowhead(QPainter &painter, int kind, const QPointF &tip,
                                  double angleInDegrees, const QPen &pen) const
{
    if (kind <= 0)
        return;
    const double l = headLength(pen.widthF());
    const double h = l * 0.45;
    painter.save();
    painter.translate(tip);
    painter.rotate(angleInDegrees);
    QPen solid = pen;
    solid.setStyle(Qt::SolidLine);
    solid.setCapStyle(Qt::RoundCap);
    solid.setJoinStyle(Qt::MiterJoin);
    const QBrush brush(pen.color());
    auto filled = [&](const QPolygonF &shape) {
        QPainterPath p;
        p.addPolygon(shape);
        p.closeSubpath();
        painter.fillPath(p, brush);
    };
    auto outlined = [&](const QPolygonF &shape, bool closed) {
        QPainterPath p;
        p.addPolygon(shape);
        if (closed)
            p.closeSubpath();
        painter.strokePath(p, solid);
    };
    switch (kind) {
    case 1: filled({{0, 0}, {-l, h}, {-l, -h}}); break;
    case 2: filled({{0, 0}, {-l, h}, {-l * 0.7, 0}, {-l, -h}}); break;
    case 3: {
        QPainterPath p;
        p.addEllipse(QPointF(-h, 0), h, h);
        painter.fillPath(p, brush);
        break;
    }
    case 4:
    case 5:
    case 6: {
        const int count = kind - 3;
        const double gap = h * 0.9;
        for (int i = 0; i < count; ++i) {
            const double x = -i * gap;
            outlined({{x - h, h}, {x, 0}, {x - h, -h}}, false);
        }
        break;
    }
    case 7:
        outlined({{-l, h}, {0, 0}, {-l, -h}}, false);
        outlined({{0, -h}, {0, h}}, false);
        break;
    case 8: outlined({{0, -h}, {0, h}}, false); break;
    case 9: filled({{0, -h}, {0, h}, {-2 * h, h}, {-2 * h, -h}}); break;
    case 10:
    case 14: filled({{0, 0}, {-l / 2, h}, {-l, 0}, {-l / 2, -h}}); break;
    case 11: outlined({{-l, h}, {0, 0}, {-l, -h}}, false); break;
    case 12: outlined({{0, 0}, {-l, h}, {-l, -h}}, true); break;
    case 13: outlined({{0, 0}, {-l / 2, h}, {-l, 0}, {-l / 2, -h}}, true); break;
    default: break;
    }
    painter.restore();
}

void VRArrowStroke::drawDimension(QPainter &painter, const QPainterPath &path) const
{
    const QList<QPolygonF> lines = VRPathGeometry::polylines(path);
    if (lines.isEmpty())
        return;
    const QPolygonF &line = lines.first();
    const double total = VRPathGeometry::length(line);
    if (total <= 0.0)
        return;
    VRPathGeometry::Placement middle = VRPathGeometry::placementAt(line, total / 2.0);
    double angle = middle.angleInDegrees;
    if (angle > 90.0 || angle < -90.0)
        angle += 180.0; // keep the text upright
    const QString text = QString::number(total, 'f', 1);
    QFont font(QStringLiteral("Helvetica"));
    font.setPointSizeF(std::max(8.0, width() * 2.0 + 7.0));
    const QFontMetricsF metrics(font);
    const double textWidth = metrics.horizontalAdvance(text);
    double baseline = 0.0;
    if (m_dimensioningLineOptions == 1)
        baseline = -width() / 2.0 - 3.0 - metrics.descent();
    else if (m_dimensioningLineOptions == 2)
        baseline = width() / 2.0 + 3.0 + metrics.ascent();
    else
        baseline = (metrics.ascent() - metrics.descent()) / 2.0;
    painter.save();
    painter.translate(middle.point);
    painter.rotate(angle);
    painter.setFont(font);
    painter.setPen(colour());
    painter.drawText(QPointF(-textWidth / 2.0, baseline), text);
    painter.restore();
}

void VRArrowStroke::render(QPainter &painter, const VRRenderContext &context) const
{
    if (width() <= 0.0 || colour().alpha() == 0)
        return;
    const QPainterPath base = strokedPath(context);
    const QList<QPolygonF> lines = VRPathGeometry::polylines(base);
    if (lines.isEmpty())
        return;
    const QPen linePen = pen();
    const double startTrim = arrowheadLength(m_arrowHeadAtStart, width());
    const double endTrim = arrowheadLength(m_arrowHeadAtEnd, width());
    // The line stops under each head so thick lines do not poke through the tips.
    const QPainterPath shaft = (startTrim > 0 || endTrim > 0)
                                   ? VRPathGeometry::trimmed(base, startTrim * 0.9, endTrim * 0.9)
                                   : base;
    const QPolygonF &first = lines.first();
    const QPolygonF &last = lines.last();
    auto direction = [](const QPointF &from, const QPointF &to) {
        return std::atan2(to.y() - from.y(), to.x() - from.x()) * 180.0 / M_PI;
    };
    auto heads = [&](QPainter &p) {
        if (m_arrowHeadAtStart > 0 && first.size() > 1) {
            qsizetype i = 1;
            while (i + 1 < first.size() && first[i] == first[0])
                ++i;
            drawArrowhead(p, m_arrowHeadAtStart, first[0], direction(first[i], first[0]), linePen);
        }
        if (m_arrowHeadAtEnd > 0 && last.size() > 1) {
            qsizetype i = last.size() - 2;
            while (i > 0 && last[i] == last.last())
                --i;
            drawArrowhead(p, m_arrowHeadAtEnd, last.last(), direction(last[i], last.last()),
                          linePen);
        }
    };
    if (shadow()) {
        const double grow = headLength(width()) + width();
        shadow()->draw(painter, base.boundingRect().adjusted(-grow, -grow, grow, grow),
                       [&](QPainter &p) {
                           p.strokePath(shaft, linePen);
                           heads(p);
                       });
    }
    painter.strokePath(shaft, linePen);
    heads(painter);
    if (m_dimensioningLineOptions > 0)
        drawDimension(painter, base);
}

double VRArrowStroke::extraSpace() const
{
    double extra = std::max(VRStroke::extraSpace(), headLength(width()) * 0.5 + width());
    if (m_dimensioningLineOptions > 0)
        extra += width() * 2.0 + 20.0;
    return extra;
}

QImage VRArrowStroke::arrowSwatchImageWithSize(const QSizeF &size, double strokeWidth) const
{
    const QSize pixels(std::clamp(static_cast<int>(std::ceil(size.width())), 1, 2048),
                       std::clamp(static_cast<int>(std::ceil(size.height())), 1, 2048));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    auto sample = std::static_pointer_cast<VRArrowStroke>(copy());
    if (!sample)
        return image;
    sample->m_dimensioningLineOptions = 0;
    sample->setShadow(std::nullopt);
    sample->setWidth(strokeWidth);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double margin = 4.0;
    QPainterPath line;
    line.moveTo(margin, pixels.height() / 2.0);
    line.lineTo(pixels.width() - margin, pixels.height() / 2.0);
    sample->render(painter, VRRenderContext::forPath(line));
    return image;
}

QImage VRArrowStroke::standardArrowheadSwatchImage(int kind)
{
    VRArrowStroke stroke;
    stroke.m_arrowHeadAtStart = 0;
    stroke.m_arrowHeadAtEnd = std::clamp(kind, 0, kLastArrowhead);
    QImage image(40, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath line;
    line.moveTo(4, 8);
    line.lineTo(34, 8);
    stroke.render(painter, VRRenderContext::forPath(line));
    return image;
}

void VRArrowStroke::writeProperties(VRJsonWriter &record, QJsonObject &images) const
{
    VRStroke::writeProperties(record, images);
    record.insert("arrowHeadAtStart", m_arrowHeadAtStart);
    record.insert("arrowHeadAtEnd", m_arrowHeadAtEnd);
    record.insert("dimensioningLineOptions", m_dimensioningLineOptions);
}

void VRArrowStroke::readProperties(const QJsonObject &record, VRStyleCoding &coding)
{
    VRStroke::readProperties(record, coding);
    m_arrowHeadAtStart =
        coding.integer(record, QStringLiteral("arrowHeadAtStart"), 0, 0, kLastArrowhead);
    m_arrowHeadAtEnd =
        coding.integer(record, QStringLiteral("arrowHeadAtEnd"), 1, 0, kLastArrowhead);
    m_dimensioningLineOptions =
        coding.integer(record, QStringLiteral("dimensioningLineOptions"), 0, 0, 3);
}
