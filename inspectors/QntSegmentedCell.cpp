#include "inspectors/QntSegmentedCell.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

QntSegmentedCell::QntSegmentedCell(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedHeight(26);
}

void QntSegmentedCell::addSegment(const QString &label, int tag, const QIcon &image)
{
    m_segments.push_back({label, tag, image});
    updateGeometry();
    update();
}

QString QntSegmentedCell::labelForSegment(int index) const
{
    return index >= 0 && index < segmentCount() ? m_segments[size_t(index)].label : QString();
}

int QntSegmentedCell::tagForSegment(int index) const
{
    return index >= 0 && index < segmentCount() ? m_segments[size_t(index)].tag : -1;
}

void QntSegmentedCell::setSelectedSegment(int index)
{
    if (index < 0 || index >= segmentCount() || index == m_selected)
        return;
    m_selected = index;
    update();
}

bool QntSegmentedCell::selectSegmentWithTag(int tag)
{
    for (int k = 0; k < segmentCount(); ++k) {
        if (m_segments[size_t(k)].tag == tag) {
            setSelectedSegment(k);
            return true;
        }
    }
    return false;
}

void QntSegmentedCell::setSegmentStyle(int style)
{
    if (style != kRounded && style != kSmallSquare)
        return;
    m_style = style;
    update();
}

bool QntSegmentedCell::hasText() const
{
    for (const Segment &s : m_segments) {
        if (!s.label.isEmpty())
            return true;
    }
    return false;
}

QColor QntSegmentedCell::strokeColor()
{
    return QColor::fromRgbF(0.749f, 0.761f, 0.789f, 1.0f);
}

QColor QntSegmentedCell::textColor()
{
    return Qt::white;
}

QRectF QntSegmentedCell::outlineRect() const
{
    return QRectF(1.5, 0.5, width() - 3.0, height() - 3.0);
}

QRectF QntSegmentedCell::rectForSegment(int index) const
{
    const QRectF frame = outlineRect();
    if (index < 0 || index >= segmentCount())
        return {};
    const double w = frame.width() / segmentCount();
    return QRectF(frame.x() + w * index, frame.y(), w, frame.height());
}

QSize QntSegmentedCell::sizeHint() const
{
    // Segments share the width equally: each is as wide as the widest needs.
    const QFontMetrics metrics(font());
    int widest = 0;
    for (const Segment &s : m_segments)
        widest =
            std::max(widest, metrics.horizontalAdvance(s.label) + 20 + (s.image.isNull() ? 0 : 20));
    return {6 + widest * segmentCount(), 26};
}

QSize QntSegmentedCell::minimumSizeHint() const
{
    return sizeHint();
}

void QntSegmentedCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = outlineRect();
    QPainterPath outline;
    if (m_style == kRounded)
        outline.addRoundedRect(frame, 4.0, 4.0);
    else
        outline.addRect(frame);
    // The shadow: the outline again, one point lower, in translucent black.
    painter.save();
    painter.setPen(QPen(QColor(0, 0, 0, 90), 2.0));
    painter.drawPath(outline.translated(0.0, 1.0));
    painter.setPen(QPen(strokeColor(), 1.0));
    painter.drawPath(outline);
    painter.restore();
    for (int k = 0; k < segmentCount(); ++k)
        drawSegment(painter, k, frame);
}

void QntSegmentedCell::drawSegment(QPainter &painter, int index, const QRectF &) const
{
    QRectF r = rectForSegment(index);
    const int last = segmentCount() - 1;
    if (index == last && index > 0 && !hasText())
        r.setWidth(r.width() - 3.0);
    QPainterPath path;
    if (m_style == kRounded && index == 0) {
        path.addRoundedRect(r, 3.0, 3.0);
        path.addRect(QRectF(r.x() + 4.0, r.y(), r.width() - 4.0, r.height()));
    } else if (m_style == kRounded && index == last) {
        path.addRoundedRect(r, 3.0, 3.0);
        path.addRect(QRectF(r.x(), r.y(), r.width() - 4.0, r.height()));
    } else {
        path.addRect(r);
    }
    path.setFillRule(Qt::WindingFill);
    const double a = alphaValue();
    QLinearGradient gradient(r.topLeft(), r.bottomLeft());
    if (index == m_selected) {
        gradient.setColorAt(0.0, QColor::fromRgbF(0.451f, 0.451f, 0.455f, float(a)));
        gradient.setColorAt(1.0, QColor::fromRgbF(0.318f, 0.318f, 0.318f, float(a)));
    } else {
        gradient.setColorAt(0.0, QColor::fromRgbF(0.251f, 0.251f, 0.255f, float(a)));
        gradient.setColorAt(1.0, QColor::fromRgbF(0.118f, 0.118f, 0.118f, float(a)));
    }
    painter.fillPath(path, gradient);
    if (index != last) {
        painter.setPen(QPen(strokeColor(), 1.0));
        painter.drawLine(QPointF(r.right(), r.top()), QPointF(r.right(), r.bottom()));
    }
    drawInteriorForSegment(painter, index, r);
}

void QntSegmentedCell::drawInteriorForSegment(QPainter &painter, int index, const QRectF &r) const
{
    const Segment &s = m_segments[size_t(index)];
    const QFontMetricsF metrics(font());
    const QSizeF label(metrics.horizontalAdvance(s.label), metrics.height());
    painter.setPen(textColor());
    painter.setFont(font());
    if (s.image.isNull()) {
        const double x = std::max(3.0, r.x() + (r.width() - label.width()) / 2);
        const double y = r.y() + (r.height() - label.height()) / 2;
        painter.drawText(QRectF(QPointF(x, y), label), Qt::AlignLeft | Qt::AlignVCenter, s.label);
        return;
    }
    const double h = r.height() - 4.0;
    const QSizeF image(h, h);
    if (s.label.isEmpty()) {
        const QPointF at(r.x() + (r.width() - image.width()) / 2,
                         r.y() + (r.height() - image.height()) / 2);
        s.image.paint(&painter, QRectF(at, image).toRect());
        return;
    }
    const double x = r.x() + (r.width() - (image.width() + label.width() + 5.0)) / 2;
    painter.save();
    painter.setOpacity(alphaValue());
    s.image.paint(&painter,
                  QRectF(QPointF(x, r.y() + (r.height() - image.height()) / 2), image).toRect());
    painter.restore();
    painter.drawText(
        QRectF(QPointF(x + image.width() + 5.0, r.y() + (r.height() - label.height()) / 2), label),
        Qt::AlignLeft | Qt::AlignVCenter, s.label);
}

void QntSegmentedCell::mousePressEvent(QMouseEvent *event)
{
    for (int k = 0; k < segmentCount(); ++k) {
        if (rectForSegment(k).contains(event->position())) {
            setSelectedSegment(k);
            emit segmentClicked(tagForSegment(k));
            return;
        }
    }
}
