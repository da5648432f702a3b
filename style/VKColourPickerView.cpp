#include "style/VKColourPickerView.h"

#include "framework/base/SVGColourConverter.h"
#include "framework/view/VKInfoFloater.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <cmath>
#include <numbers>

namespace {
// Scroll units (degrees of wheel turn) for the whole brightness range.
constexpr double kScrollRange = 150.0;

QImage colourWheelImage(QSize size)
{
    // One picture of the wheel, remade only when a picker of another size asks.
    static QImage image;
    if (image.size() == size)
        return image;
    image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QRectF wheel = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(4, 4, -4, -4);
    const double r = wheel.width() / 2;
    const QPointF c = wheel.center();
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const double dx = x + 0.5 - c.x(), dy = y + 0.5 - c.y();
            const double d = std::hypot(dx, dy);
            if (d > r + 1)
                continue;
            double angle = std::atan2(dy, dx);
            if (angle < 0)
                angle += 2 * std::numbers::pi;
            const double hue = std::fmod(1.0 - angle / (2 * std::numbers::pi), 1.0);
            image.setPixelColor(x, y, QColor::fromHsvF(float(hue), float(std::min(1.0, d / r)), 1));
        }
    }
    return image;
}

double hsvBrightness(const QColor &colour)
{
    return colour.toHsv().valueF();
}
} // namespace

const QList<QColor> &VKColourPickerView::swatchColours()
{
    static const QList<QColor> colours = [] {
        QList<QColor> list;
        for (int r = 0; r < 6; ++r) {
            for (int g = 0; g < 6; ++g) {
                for (int b = 0; b < 6; ++b)
                    list.append(QColor(r * 51, g * 51, b * 51));
            }
        }
        return list;
    }();
    return colours;
}

VKColourPickerView::VKColourPickerView(const QRect &frame, QWidget *parent)
    : QWidget(parent)
    , mInfoWin(VKInfoFloater::infoFloater())
{
    setObjectName(QStringLiteral("colourPicker"));
    setGeometry(frame);
    setColorForUndefinedSelection(Qt::gray);
    mInfoWin->setWindowOffset(QSizeF(0, 0));
}

VKColourPickerView::~VKColourPickerView() = default;

void VKColourPickerView::setMode(int mode)
{
    if (mode == mMode)
        return;
    mMode = mode;
    update();
}

void VKColourPickerView::setTarget(QObject *target)
{
    mTargetRef = target;
    mHasTarget = target != nullptr;
}

void VKColourPickerView::setColorForUndefinedSelection(const QColor &colour)
{
    mNonSelectColour = colour.isValid() ? colour : QColor(Qt::gray);
    setBrightness(hsvBrightness(mNonSelectColour));
}

void VKColourPickerView::setBrightness(double brightness)
{
    brightness = std::clamp(brightness, 0.0, 1.0);
    if (brightness == mBright)
        return;
    mBright = brightness;
    update();
    if (mMode == WheelMode)
        sendToTarget();
}

QColor VKColourPickerView::color() const
{
    if (mMode != SwatchMode)
        return colorForSpectrumPoint(mSel);
    if (mSel.x() >= 0 && mSel.x() < gridColumns() && mSel.y() >= 0 && mSel.y() < gridRows())
        return colorForSwatchX(int(mSel.x()), int(mSel.y()));
    return mNonSelectColour;
}

QColor VKColourPickerView::colorForSwatchX(int x, int y) const
{
    const QList<QColor> &colours = swatchColours();
    if (colours.isEmpty())
        return Qt::gray;
    return colours.at((gridColumns() * y + x) % colours.size());
}

QPointF VKColourPickerView::swatchAtPoint(QPointF p) const
{
    if (!rect().contains(p.toPoint()) || p.x() < 0 || p.y() < 0)
        return {-1, -1};
    return {std::trunc(p.x() * gridColumns() / width()), std::trunc(p.y() * gridRows() / height())};
}

QRectF VKColourPickerView::rectForSwatch(QPointF swatch) const
{
    if (mMode != SwatchMode)
        return rectForSpectrumPoint(swatch);
    const int cw = width() / gridColumns(), ch = height() / gridRows();
    return {1 + swatch.x() * cw, 1 + swatch.y() * ch, double(cw), double(ch)};
}

QRectF VKColourPickerView::wheelRect() const
{
    return QRectF(rect()).adjusted(4, 4, -4, -4);
}

QColor VKColourPickerView::colorForSpectrumPoint(QPointF p) const
{
    const QRectF wheel = wheelRect();
    const QPointF c = wheel.center();
    const float r = float(wheel.width() / 2);
    const float dx = float(p.x() - c.x()), dy = float(p.y() - c.y());
    const float d = std::hypot(dx, dy);
    if (d > r)
        return mNonSelectColour;
    float angle = std::atan2(dy, dx);
    if (angle < 0)
        angle += float(2 * std::numbers::pi);
    const double hue = std::fmod(1.0 - angle / (2 * std::numbers::pi), 1.0);
    return QColor::fromHsvF(float(hue), std::min(1.0f, d / r), float(mBright), 1.0f);
}

QPointF VKColourPickerView::pointForSpectrumColor(const QColor &colour) const
{
    const QColor hsv = colour.toHsv();
    const double h = std::max(0.0f, hsv.hsvHueF());
    const double s = hsv.hsvSaturationF();
    const QRectF wheel = wheelRect();
    const double r = wheel.width() / 2;
    const double angle = 2 * std::numbers::pi * (1.0 - h);
    return {wheel.center().x() + std::cos(angle) * s * r,
            wheel.center().y() + std::sin(angle) * s * r};
}

QRectF VKColourPickerView::rectForSpectrumPoint(QPointF point)
{
    return {point.x() - 4, point.y() - 4, 8, 8};
}

bool VKColourPickerView::pointIsInColourwheel(QPointF p) const
{
    const QRectF wheel = wheelRect();
    const float dx = float(p.x() - wheel.center().x()), dy = float(p.y() - wheel.center().y());
    return std::hypot(dx, dy) <= float(wheel.width() / 2);
}

void VKColourPickerView::sendToTarget()
{
    if (!mSelector || (mHasTarget && !mTargetRef))
        return;
    mSelector(*this);
}

void VKColourPickerView::updateInfoAtPoint(QPointF point)
{
    if (point != QPointF(-1, -1))
        mInfoWin->positionNearPoint(point, this);
    mInfoWin->setStringValue(SVGColourConverter::hexString(color()));
}

void VKColourPickerView::flagsChanged(Qt::KeyboardModifiers modifiers)
{
    setMode(modifiers == Qt::AltModifier ? SwatchMode : WheelMode);
}

void VKColourPickerView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    if (mMode == SwatchMode)
        drawSwatches(painter, event->rect());
    else
        drawSpectrum(painter, event->rect());
}

void VKColourPickerView::drawSwatches(QPainter &painter, const QRect &dirty)
{
    painter.fillRect(rect(), palette().window());
    const int cw = width() / gridColumns(), ch = height() / gridRows();
    for (int y = 0; y < gridRows(); ++y) {
        for (int x = 0; x < gridColumns(); ++x) {
            const QRect swatch(1 + x * cw, 1 + y * ch, cw - 1, ch - 1);
            if (!swatch.intersects(dirty))
                continue;
            painter.fillRect(swatch, colorForSwatchX(x, y));
            if (QPointF(x, y) == mSel) {
                painter.setPen(QPen(Qt::black, 2));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(QRectF(swatch).adjusted(1, 1, -1, -1));
            }
        }
    }
}

void VKColourPickerView::drawSpectrum(QPainter &painter, const QRect &dirty)
{
    painter.fillRect(rect(), palette().window());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.save();
    QPainterPath clip;
    clip.addEllipse(QRectF(rect()).adjusted(5, 5, -5, -5));
    painter.setClipPath(clip);
    if (mBright < 1.0)
        painter.fillRect(dirty, Qt::black);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(mBright);
    painter.drawImage(dirty, colourWheelImage(size()), dirty);
    painter.restore();
    painter.setPen(QPen(SVGColourConverter::contrastingColor(color()), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(rectForSpectrumPoint(mSel).adjusted(0.5, 0.5, -0.5, -0.5));
}

void VKColourPickerView::mousePressEvent(QMouseEvent *event)
{
    if (mShowsInfo) {
        mInfoWin->orderWindow(1, window());
        updateInfoAtPoint(QPointF(0, 0));
    }
    dragTo(event->position());
}

void VKColourPickerView::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() != Qt::NoButton)
        dragTo(event->position());
}

void VKColourPickerView::mouseReleaseEvent(QMouseEvent *event)
{
    dragTo(event->position());
    mInfoWin->orderOut();
}

void VKColourPickerView::dragTo(QPointF p)
{
    const QPointF q = mMode == SwatchMode ? swatchAtPoint(p) : p;
    if (q != mSel) {
        update(rectForSwatch(mSel).toAlignedRect().adjusted(-1, -1, 1, 1));
        mSel = q;
        update(rectForSwatch(mSel).toAlignedRect().adjusted(-1, -1, 1, 1));
        sendToTarget();
    }
    if (mMode == WheelMode && !pointIsInColourwheel(p)) {
        mSel = pointForSpectrumColor(mNonSelectColour);
        setBrightness(hsvBrightness(mNonSelectColour));
        update(rectForSpectrumPoint(mSel).toAlignedRect().adjusted(-1, -1, 1, 1));
    }
    if (mShowsInfo)
        updateInfoAtPoint(QPointF(-1, -1));
}

void VKColourPickerView::wheelEvent(QWheelEvent *event)
{
    if (mMode != WheelMode)
        return;
    // A wheel notch turns 15 degrees: ten notches cover the whole range.
    const double deltaY = event->angleDelta().y() / 8.0;
    setBrightness(mBright - deltaY / kScrollRange);
    updateInfoAtPoint(QPointF(-1, -1));
}

void VKColourPickerView::hideEvent(QHideEvent *event)
{
    mInfoWin->orderOut();
    QWidget::hideEvent(event);
}
