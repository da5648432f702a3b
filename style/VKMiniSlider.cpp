#include "style/VKMiniSlider.h"

#include "framework/base/SVGColourConverter.h"
#include "style/VKBezierPath.h"
#include "style/VKMiniControlCluster.h"

#include "platform/ImageResources.h"

#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>
#include <QTransform>

#include <algorithm>

namespace {
constexpr double kSnap = 0.261799387799;      // 15 degrees
constexpr double kHalfSnap = 0.1308996938995; // 7.5 degrees

double degrees(double radians)
{
    return std::fmod(radians * 180.0 / M_PI, 360.0);
}

// The knob when the application's image is missing: a small blue ball.
const QImage &drawnKnob()
{
    static const QImage image = [] {
        QImage knob(13, 13, QImage::Format_ARGB32_Premultiplied);
        knob.fill(Qt::transparent);
        QPainter painter(&knob);
        painter.setRenderHint(QPainter::Antialiasing);
        QRadialGradient shine(QPointF(4.5, 4), 8);
        shine.setColorAt(0, QColor(190, 220, 255));
        shine.setColorAt(1, QColor(30, 90, 200));
        painter.setBrush(shine);
        painter.setPen(QPen(QColor(20, 50, 120), 1));
        painter.drawEllipse(QRectF(0.5, 0.5, 12, 12));
        return knob;
    }();
    return image;
}

double clusterAlpha(const VKMiniControl &control)
{
    return control.cluster() ? control.cluster()->alpha() : 1.0;
}
} // namespace

// ---- slider ----------------------------------------------------------------------------------

VKMiniSlider::VKMiniSlider(const QRectF &bounds, VKMiniControlCluster *cluster)
    : VKMiniControl(bounds, cluster)
    , mKnobImage(ImageResources::imageNamed(QStringLiteral("smallBlueKnob")))
{
    const QList<QSize> sizes = mKnobImage.availableSizes();
    if (sizes.isEmpty()) {
        mKnobImage = QIcon(QPixmap::fromImage(drawnKnob()));
        mKnobSize = drawnKnob().size();
    } else {
        mKnobSize = *std::min_element(sizes.begin(), sizes.end(),
                                      [](QSize a, QSize b) { return a.width() < b.width(); });
    }
}

void VKMiniSlider::setShowTickMarks(bool shows)
{
    if (shows == mShowTicks)
        return;
    mShowTicks = shows;
    setNeedsDisplay();
}

QRectF VKMiniSlider::knobRect() const
{
    const QRectF b = bounds();
    const QSizeF k = knobSize();
    return {b.x() + 10 + mValue * (b.width() - 20) - k.width() / 2,
            b.y() + b.height() / 2 - k.height() / 2, k.width(), k.height()};
}

int VKMiniSlider::hitTestPoint(QPointF point) const
{
    const int part = VKMiniControl::hitTestPoint(point);
    if (part == InBounds && knobRect().contains(point))
        return KnobPart;
    return part;
}

bool VKMiniSlider::mouseDownAt(QPointF point, int part, Qt::KeyboardModifiers)
{
    if (part != KnobPart)
        return false;
    setupInfoWindowAtPoint(point, mValue, QString());
    return true;
}

bool VKMiniSlider::mouseDraggedAt(QPointF point, int part, Qt::KeyboardModifiers modifiers)
{
    VKMiniControl::mouseDraggedAt(point, part, modifiers);
    const QRectF b = bounds();
    setNeedsDisplayInRect(knobRect());
    if (b.width() > 20)
        setValue((point.x() - (b.x() + 10)) / (b.width() - 20));
    setNeedsDisplayInRect(knobRect());
    return true;
}

void VKMiniSlider::drawKnob(QPainter &painter) const
{
    painter.save();
    painter.setOpacity(clusterAlpha(*this));
    const QRectF knob = knobRect();
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = mKnobImage.pixmap(mKnobSize.toSize(), ratio);
    painter.drawPixmap(knob, pixmap, QRectF(pixmap.rect()));
    painter.restore();
}

void VKMiniSlider::draw(QPainter &painter)
{
    const QRectF b = bounds();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    fillWithShadow(painter, VKBezierPath::bezierPathWithRoundEndedRectInRect(b), themeColour(0));
    const double y = b.y() + b.height() / 2;
    painter.setPen(QPen(themeColour(1), 0.5));
    painter.drawLine(QPointF(b.x() + 10, y), QPointF(b.right() - 10, y));
    painter.setPen(QPen(themeColour(5), 0.5));
    painter.drawLine(QPointF(b.x() + 10, y + 1), QPointF(b.right() - 10, y + 1));
    painter.restore();
    drawKnob(painter);
}

// ---- circular slider -------------------------------------------------------------------------

VKMiniCircularSlider::VKMiniCircularSlider(const QRectF &bounds, VKMiniControlCluster *cluster)
    : VKMiniSlider(bounds, cluster)
{
    mMinValue = -M_PI;
    mMaxValue = M_PI;
    mInfoWMode = InfoNearMouse;
}

QRectF VKMiniCircularSlider::circleBounds() const
{
    const QRectF b = bounds().adjusted(8, 8, -8, -8);
    const double d = std::min(b.width(), b.height());
    return {b.center().x() - d / 2, b.center().y() - d / 2, d, d};
}

QRectF VKMiniCircularSlider::knobRect() const
{
    const QRectF circle = circleBounds();
    const double r = circle.width() / 2;
    const QPointF c = circle.center() + r * QPointF(std::cos(mValue), std::sin(mValue));
    const QSizeF k = knobSize();
    return {c.x() - k.width() / 2, c.y() - k.height() / 2, k.width(), k.height()};
}

void VKMiniCircularSlider::flagsChanged(Qt::KeyboardModifiers modifiers)
{
    setShowTickMarks(modifiers & Qt::ShiftModifier);
}

double VKMiniCircularSlider::angleForPoint(QPointF p, QPointF c, bool snap)
{
    double a = std::atan2(float(p.y() - c.y()), float(p.x() - c.x()));
    if (snap) {
        const double m = std::fmod(a, kSnap);
        a -= m;
        if (m > kHalfSnap)
            a += kSnap;
    }
    return a;
}

bool VKMiniCircularSlider::mouseDownAt(QPointF, int part, Qt::KeyboardModifiers)
{
    if (part != KnobPart)
        return false;
    setupInfoWindowAtPoint(knobRect().topLeft(), degrees(mValue), QStringLiteral("0.0\u00B0"));
    return true;
}

bool VKMiniCircularSlider::mouseDraggedAt(QPointF point, int, Qt::KeyboardModifiers modifiers)
{
    const double a = angleForPoint(point, circleBounds().center(), modifiers & Qt::ShiftModifier);
    setNeedsDisplayInRect(knobRect());
    setValue(a);
    setNeedsDisplayInRect(knobRect());
    updateInfoWindowAtPoint(knobRect().topLeft(), degrees(mValue));
    return true;
}

void VKMiniCircularSlider::draw(QPainter &painter)
{
    const QRectF circle = circleBounds();
    const double r = circle.width() / 2;
    const QPointF c = circle.center();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath ring;
    ring.addEllipse(circle);
    QPainterPathStroker wide;
    wide.setWidth(10);
    fillWithShadow(painter, wide.createStroke(ring), themeColour(0));
    if (mShowTicks) {
        for (int i = 0; i < 24; ++i) {
            const double a = i * kSnap;
            const QPointF d(std::cos(a), std::sin(a));
            ring.moveTo(c + (r - 3) * d);
            ring.lineTo(c + (r + 3) * d);
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(themeColour(5), 0.5));
    painter.drawPath(ring.translated(0, 1));
    painter.setPen(QPen(themeColour(1), 0.5));
    painter.drawPath(ring);
    painter.restore();
    drawKnob(painter);
}

// ---- centre target ---------------------------------------------------------------------------

VKMiniRadialControls::VKMiniRadialControls(const QRectF &bounds, VKMiniControlCluster *cluster)
    : VKMiniControl(bounds, cluster)
    , mCentre(bounds.center())
{
}

void VKMiniRadialControls::setCentre(QPointF centre)
{
    if (centre == mCentre)
        return;
    notifyDelegateWillChange({});
    setNeedsDisplayInRect(targetRect());
    mCentre = centre;
    notifyDelegateDidChange({});
    setNeedsDisplayInRect(targetRect());
}

void VKMiniRadialControls::setRadius(double radius)
{
    if (radius == mRadius)
        return;
    notifyDelegateWillChange({});
    mRadius = radius;
    notifyDelegateDidChange({});
    setNeedsDisplay();
}

QRectF VKMiniRadialControls::targetRect() const
{
    return {mCentre.x() - 10, mCentre.y() - 10, 20, 20};
}

int VKMiniRadialControls::hitTestPoint(QPointF point) const
{
    const int part = VKMiniControl::hitTestPoint(point);
    return part == InBounds && targetRect().contains(point) ? TargetPart : NoPart;
}

bool VKMiniRadialControls::mouseDraggedAt(QPointF point, int part, Qt::KeyboardModifiers)
{
    if (part == TargetPart)
        setCentre(point);
    return true;
}

void VKMiniRadialControls::draw(QPainter &painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor grey = SVGColourConverter::rgbGrey(0.5);
    const QPainterPath target = VKBezierPath::bezierPathWithTargetInRect(targetRect());
    painter.fillPath(target, grey);
    painter.setPen(QPen(SVGColourConverter::contrastingColor(grey), 0.7));
    painter.drawPath(target);
    if (mRadius > 0) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(255, 255, 255, 64), 5));
        painter.drawEllipse(mCentre, mRadius, mRadius);
        QPen dashed(QColor(255, 165, 0), 1);
        dashed.setDashPattern({5, 5});
        painter.setPen(dashed);
        painter.drawEllipse(mCentre, mRadius, mRadius);
    }
    painter.restore();
}

// ---- iris ------------------------------------------------------------------------------------

VKMiniRadialControl2::VKMiniRadialControl2(const QRectF &bounds, VKMiniControlCluster *cluster)
    : VKMiniControl(bounds, cluster)
    , mCentre(bounds.center())
{
    mMaxValue = 60.0;
    mInfoWMode = InfoNearMouse;
}

void VKMiniRadialControl2::setBounds(const QRectF &bounds)
{
    VKMiniControl::setBounds(bounds);
    setRingRadius(std::min(bounds.width(), bounds.height()) / 6);
}

void VKMiniRadialControl2::setRingRadius(double radius)
{
    mRingRadius = radius;
    invalidatePathCache();
}

void VKMiniRadialControl2::invalidatePathCache()
{
    mTabPath.reset();
    mHitTabPath.reset();
    mIrisPath.reset();
}

void VKMiniRadialControl2::setTabColor(const QColor &colour)
{
    if (colour == mTabColour)
        return;
    mTabColour = colour;
    setNeedsDisplay();
}

QColor VKMiniRadialControl2::tabColor() const
{
    QColor colour = mTabColour;
    colour.setAlphaF(float(colour.alphaF() * clusterAlpha(*this)));
    return colour;
}

void VKMiniRadialControl2::buildPaths()
{
    if (mIrisPath)
        return;
    const double ring = ringRadius();
    const double w = std::max(ring / 3.5, 8.0);
    mIrisPath = std::make_unique<QPainterPath>(
        VKBezierPath::bezierPathWithIrisRingWithRadius(ring, w, QSizeF(1.5 * w, 1.5 * w)));
    mTabPath = std::make_unique<QPainterPath>(VKBezierPath::bezierPathWithIrisTabWithRadius(
        ring, w + 5, QSizeF(0.67 * (w + 5), 0.67 * (w + 5))));
    mHitTabPath = std::make_unique<QPainterPath>(
        VKBezierPath::bezierPathWithIrisTabWithRadius(ring, w, QSizeF(1.5 * w, 1.5 * w)));
}

QPainterPath VKMiniRadialControl2::placed(const QPainterPath &path) const
{
    QTransform t;
    t.translate(mCentre.x(), mCentre.y());
    t.rotateRadians(mTabAngle);
    return t.map(path);
}

QPainterPath VKMiniRadialControl2::irisPath()
{
    buildPaths();
    return placed(*mIrisPath);
}

QPainterPath VKMiniRadialControl2::tabPath()
{
    buildPaths();
    return placed(*mTabPath);
}

QPainterPath VKMiniRadialControl2::hitTabPath()
{
    buildPaths();
    return placed(*mHitTabPath);
}

void VKMiniRadialControl2::setCentre(QPointF centre)
{
    if (centre == mCentre)
        return;
    notifyDelegateWillChange({});
    setNeedsDisplay();
    mCentre = centre;
    notifyDelegateDidChange({});
    setNeedsDisplay();
}

void VKMiniRadialControl2::setRadius(double radius)
{
    if (radius == mRadius)
        return;
    notifyDelegateWillChange({});
    mRadius = radius;
    notifyDelegateDidChange({});
    setNeedsDisplay();
    if (mIrisDilating)
        return;
    mIrisDilating = true;
    setTabAngle(radius / (mMaxValue * M_PI) - M_PI / 4);
    mIrisDilating = false;
}

void VKMiniRadialControl2::setTabAngle(double radians)
{
    const double a = std::clamp(radians, -M_PI / 4, M_PI / 4);
    if (a == mTabAngle)
        return;
    mTabAngle = a;
    setNeedsDisplay();
    if (mIrisDilating)
        return;
    mIrisDilating = true;
    setRadius(mMaxValue * M_PI * (a + M_PI / 4));
    mIrisDilating = false;
}

QPointF VKMiniRadialControl2::trackPointForAngle(double degrees) const
{
    const double a = degrees * M_PI / 180.0;
    return mCentre + ringRadius() * QPointF(std::cos(a), std::sin(a));
}

int VKMiniRadialControl2::hitTestPoint(QPointF point) const
{
    if (!bounds().contains(point))
        return NoPart;
    auto *self = const_cast<VKMiniRadialControl2 *>(this);
    if (self->hitTabPath().contains(point))
        return IrisTabPart;
    if (self->irisPath().contains(point))
        return IrisRingPart;
    return NoPart;
}

bool VKMiniRadialControl2::mouseDownAt(QPointF point, int part, Qt::KeyboardModifiers)
{
    if (part == IrisRingPart) {
        mOffset = point - mCentre;
        return true;
    }
    if (part == IrisTabPart) {
        setupInfoWindowAtPoint(tabPath().boundingRect().topLeft(), mRadius, QStringLiteral("0.0"));
        return true;
    }
    return false;
}

bool VKMiniRadialControl2::mouseDraggedAt(QPointF point, int part, Qt::KeyboardModifiers)
{
    if (part == IrisRingPart) {
        setCentre(point - mOffset);
    } else if (part == IrisTabPart) {
        setTabAngle(std::atan2(float(point.y() - mCentre.y()), float(point.x() - mCentre.x())));
        updateInfoWindowAtPoint(tabPath().boundingRect().topLeft(), mRadius);
    }
    return true;
}

void VKMiniRadialControl2::draw(QPainter &painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    fillWithShadow(painter, irisPath(), themeColour(4));
    for (double degrees : {-45.0, 45.0}) {
        QPainterPath dot;
        dot.addEllipse(trackPointForAngle(degrees), 2, 2);
        painter.fillPath(dot, themeColour(2));
    }
    const QPainterPath tab = tabPath();
    QColor edge = Qt::lightGray;
    edge.setAlphaF(float(clusterAlpha(*this)));
    painter.setPen(QPen(edge, 1.0));
    painter.setBrush(tabColor());
    painter.drawPath(tab);
    painter.restore();
}
