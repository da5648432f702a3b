#include "inspectors/QntColorWell.h"

#include "platform/ColorPanel.h"

#include <QPainter>
#include <QPointer>

namespace {
QPointer<QntColorWell> g_activeWell;

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
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (isActive())
            deactivate();
        else
            activate();
    });
}

QntColorWell::~QntColorWell()
{
    if (isActive())
        ColorPanel::sharedColorPanel().setTarget(nullptr, {});
}

void QntColorWell::setColor(const QColor &colour)
{
    m_color = colour.isValid() ? colour : QColor(Qt::gray);
    if (isActive())
        ColorPanel::sharedColorPanel().setColor(m_color);
    update();
}

bool QntColorWell::isActive() const
{
    return g_activeWell == this && ColorPanel::sharedColorPanel().target() == this;
}

void QntColorWell::activate()
{
    QntColorWell *previous = g_activeWell;
    g_activeWell = this;
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    panel.setShowsAlpha(true);
    panel.setColor(m_color);
    panel.setTarget(this, [this](const QColor &colour) {
        m_color = colour;
        update();
        emit colorChanged(colour);
    });
    panel.orderFront();
    if (previous && previous != this)
        previous->update();
    update();
}

void QntColorWell::deactivate()
{
    if (!isActive())
        return;
    ColorPanel::sharedColorPanel().setTarget(nullptr, {});
    g_activeWell = nullptr;
    update();
}

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
    QColor colour = m_color;
    colour.setAlphaF(m_useTransparentWell ? float(alphaValue()) : 1.0f);
    painter.fillRect(inside, colour);
}
