#include "inspectors/QntColorWell.h"

#include <QPainter>

namespace {
QLinearGradient wellGradient(const QRectF &rect, float from, float to)
{
    // Drawn at 270 degrees: the first colour at the top.
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    const auto alpha = static_cast<float>(QntColorWell::alphaValue());
    gradient.setColorAt(0, QColor::fromRgbF(from, from, from + 0.004f, alpha));
    gradient.setColorAt(1, QColor::fromRgbF(to, to, to, alpha));
    return gradient;
}
} // namespace

QntColorWell::QntColorWell(QWidget *parent)
    : VKSpecialColorWell(parent)
{
}

QntColorWell *QntColorWell::create(QWidget *parent, const QString &name, QSize size)
{
    auto *well = new QntColorWell(parent);
    well->setObjectName(name);
    well->setFixedSize(size);
    return well;
}

QntColorWell::~QntColorWell() = default;

void QntColorWell::setBordered(bool bordered)
{
    m_bordered = bordered;
    update();
}

void QntColorWell::setUseTransparentWell(bool transparent)
{
    m_useTransparentWell = transparent;
    update();
}

QLinearGradient QntColorWell::normalGradient(const QRectF &rect)
{
    return wellGradient(rect, 0.251f, 0.118f);
}

QLinearGradient QntColorWell::highlightGradient(const QRectF &rect)
{
    return wellGradient(rect, 0.451f, 0.318f);
}

QColor QntColorWell::strokeColor()
{
    return QColor::fromRgbF(0.749f, 0.761f, 0.788f, 1.0f);
}

void QntColorWell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF r = rect();
    painter.fillRect(r, isActive() ? highlightGradient(r) : normalGradient(r));
    painter.setPen(QPen(strokeColor(), 1));
    painter.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    drawWellInside(painter, r);
}

void QntColorWell::drawWellInside(QPainter &painter, const QRectF &rect) const
{
    const double inset = m_bordered ? 5.0 : 2.0;
    const QRectF inside = rect.adjusted(inset, inset, -inset, -inset);
    painter.fillRect(inside, Qt::gray);
    QColor colour = color();
    colour.setAlphaF(m_useTransparentWell ? float(alphaValue()) : 1.0f);
    painter.fillRect(inside, colour);
}
