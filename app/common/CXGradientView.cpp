#include "app/common/CXGradientView.h"

#include <QEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

QColor white(double level)
{
    return QColor::fromRgbF(float(level), float(level), float(level), 1.0f);
}

} // namespace

CXGradientView::CXGradientView(QWidget *parent)
    : QWidget(parent)
    , m_activeFillGradient{white(0.916), white(0.814)}
    , m_inactiveFillGradient{white(0.916), white(0.916)}
    , m_clickedFillGradient{white(0.916), white(0.814)}
    , m_highlightColor(white(0.97))
    , m_clickedHighlightColor(white(0.97))
    , m_borderColor(QColor(Qt::lightGray))
{
}

CXGradientView::~CXGradientView() = default;

void CXGradientView::setActiveFillGradient(const Gradient &gradient)
{
    if (m_activeFillGradient == gradient)
        return;
    m_activeFillGradient = gradient;
    update();
}

void CXGradientView::setInactiveFillGradient(const Gradient &gradient)
{
    if (m_inactiveFillGradient == gradient)
        return;
    m_inactiveFillGradient = gradient;
    update();
}

void CXGradientView::setClickedFillGradient(const Gradient &gradient)
{
    if (m_clickedFillGradient == gradient)
        return;
    m_clickedFillGradient = gradient;
    update();
}

void CXGradientView::setFillOption(int option)
{
    m_fillOption = option;
    update();
}

void CXGradientView::setFillAngle(double degrees)
{
    m_fillAngle = degrees;
    update();
}

void CXGradientView::setDrawsHighlight(bool draws)
{
    if (m_drawsHighlight == draws)
        return;
    m_drawsHighlight = draws;
    update();
}

void CXGradientView::setHighlightColor(const QColor &color)
{
    m_highlightColor = color;
    update();
}

void CXGradientView::setClickedHighlightColor(const QColor &color)
{
    m_clickedHighlightColor = color;
}

void CXGradientView::setDrawsBorder(bool draws)
{
    if (m_drawsBorder == draws)
        return;
    m_drawsBorder = draws;
    update();
}

void CXGradientView::setBorderColor(const QColor &color)
{
    if (m_borderColor == color)
        return;
    m_borderColor = color;
    update();
}

void CXGradientView::setBorderSidesMask(unsigned mask)
{
    m_borderSidesMask = mask;
    update();
}

CXGradientView::Gradient CXGradientView::currentFillGradient() const
{
    if (m_fillOption == ClickedFill)
        return m_clickedFillGradient;
    return isActiveWindow() ? m_activeFillGradient : m_inactiveFillGradient;
}

void CXGradientView::changeEvent(QEvent *event)
{
    // Key and non-key windows draw different gradients.
    if (event->type() == QEvent::ActivationChange)
        update();
    QWidget::changeEvent(event);
}

void CXGradientView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF bounds = rect();
    const Gradient gradient = currentFillGradient();
    // 270 degrees runs from the top edge down, as the bars expect; other angles rotate it.
    const double radians = qDegreesToRadians(m_fillAngle);
    const QPointF centre = bounds.center();
    const double half = std::hypot(bounds.width(), bounds.height()) / 2.0;
    const QPointF direction(std::cos(radians), -std::sin(radians));
    QLinearGradient fill(centre - direction * half, centre + direction * half);
    if (std::abs(m_fillAngle - 270.0) < 1e-9) {
        fill.setStart(bounds.topLeft());
        fill.setFinalStop(bounds.bottomLeft());
    }
    fill.setColorAt(0.0, gradient.start);
    fill.setColorAt(1.0, gradient.end);
    painter.fillRect(bounds, fill);

    // Edges in y-up terms: bit 4 is the bottom line, bit 8 the top line.
    const double w = bounds.width();
    const double h = bounds.height();
    if (m_drawsBorder) {
        QPainterPath path;
        if (m_borderSidesMask & MinXEdge) {
            path.moveTo(0.5, 0);
            path.lineTo(0.5, h);
        }
        if (m_borderSidesMask & MaxXEdge) {
            path.moveTo(w - 0.5, 0);
            path.lineTo(w - 0.5, h);
        }
        if (m_borderSidesMask & MinYEdge) {
            path.moveTo(0, h - 0.5);
            path.lineTo(w, h - 0.5);
        }
        if (m_borderSidesMask & MaxYEdge) {
            path.moveTo(0, 0.5);
            path.lineTo(w, 0.5);
        }
        painter.setPen(QPen(m_borderColor, 1.0));
        painter.drawPath(path);
    }
    if (m_drawsHighlight) {
        const double y = (m_borderSidesMask & MaxYEdge) ? 1.5 : 0.5;
        painter.setPen(QPen(m_highlightColor, 1.0));
        painter.drawLine(QPointF(0, y), QPointF(w, y));
    }
}
