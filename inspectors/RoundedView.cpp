#include "inspectors/RoundedView.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

RoundedView::RoundedView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

QColor RoundedView::fillColor()
{
    return QColor::fromRgbF(32.0f / 255.0f, 32.0f / 255.0f, 32.0f / 255.0f, 213.0f / 255.0f);
}

QPainterPath RoundedView::roundedPath(const QSize &size)
{
    // Whole-pixel edges, in the view's own coordinates (an offset view keeps its corners).
    const double left = 0, right = size.width(), top = 0, bottom = size.height();
    const double radius = std::min({10.0, right / 2, bottom / 2});
    QPainterPath path;
    path.moveTo((left + right) / 2, bottom);
    path.arcTo(QRectF(right - 2 * radius, bottom - 2 * radius, 2 * radius, 2 * radius), 270, 90);
    path.arcTo(QRectF(right - 2 * radius, top, 2 * radius, 2 * radius), 0, 90);
    path.arcTo(QRectF(left, top, 2 * radius, 2 * radius), 90, 90);
    path.arcTo(QRectF(left, bottom - 2 * radius, 2 * radius, 2 * radius), 180, 90);
    path.closeSubpath();
    return path;
}

void RoundedView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(roundedPath(size()), fillColor());
}
