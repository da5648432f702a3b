#include "style/VKGradientCell.h"

#include "style/VKGradientWell.h"
#include "style/VKMiniControlCluster.h"
#include "style/VKMiniSlider.h"

#include <QPainter>

namespace {
Qt::KeyboardModifiers g_mouseDownFlags;

const QString kLinearCluster = QStringLiteral("kLinearControlsClusterID");
const QString kRadialCluster = QStringLiteral("kRadialControlsClusterID");
const QString kSweepCluster = QStringLiteral("kSweepControlsClusterID");
const QString kLinearAngle = QStringLiteral("kLinearAngleControlID");
const QString kRadialEnd = QStringLiteral("kRadialEndControlID");
const QString kRadialStart = QStringLiteral("kRadialStartControlID");
const QString kSweepAngle = QStringLiteral("kSweepAngleControlID");
const QString kSweepSegments = QStringLiteral("kSweepSegmentsControlID");
const QString kSweepCentre = QStringLiteral("kSweepCentreControlID");
} // namespace

VKGradientCell::VKGradientCell(VKGradientWell *well)
    : VRGradientCell(well)
    , m_well(well)
{
    setupMiniControls();
}

VKGradientCell::~VKGradientCell() = default;

void VKGradientCell::setupMiniControls()
{
    mMiniControls = std::make_unique<VKMiniControlCluster>(QRectF(), nullptr);
    mMiniControls->setDelegate(this);
    mMiniControls->setView(m_well);
    VKMiniControlCluster *top = mMiniControls.get();

    auto *linear = new VKMiniControlCluster(QRectF(), top);
    linear->setIdentifier(kLinearCluster);
    (new VKMiniCircularSlider(QRectF(), linear))->setIdentifier(kLinearAngle);

    auto *radial = new VKMiniControlCluster(QRectF(), top);
    radial->setIdentifier(kRadialCluster);
    (new VKMiniRadialControl2(QRectF(), radial))->setIdentifier(kRadialEnd);
    (new VKMiniRadialControl2(QRectF(), radial))->setIdentifier(kRadialStart);
    radial->setLinkControlPart(VKMiniControl::IrisRingPart, Qt::ShiftModifier);

    auto *sweep = new VKMiniControlCluster(QRectF(), top);
    sweep->setIdentifier(kSweepCluster);
    (new VKMiniCircularSlider(QRectF(), sweep))->setIdentifier(kSweepAngle);
    auto *segments = new VKMiniSlider(QRectF(), sweep);
    segments->setIdentifier(kSweepSegments);
    segments->setInfoWindowMode(VKMiniControl::InfoCentred);
    segments->setInfoWindowFormat(QStringLiteral("0"));
    (new VKMiniRadialControls(QRectF(), sweep))->setIdentifier(kSweepCentre);
    // Hidden until the mouse comes over the well.
    mMiniControls->forceVisible(false);
}

VKMiniControlCluster *VKGradientCell::controlClusterForMode(int mode) const
{
    const QString key = mode == VKGradientWell::LinearControls   ? kLinearCluster
                        : mode == VKGradientWell::RadialControls ? kRadialCluster
                        : mode == VKGradientWell::SweepControls  ? kSweepCluster
                                                                 : QString();
    return key.isEmpty() ? nullptr
                         : dynamic_cast<VKMiniControlCluster *>(mMiniControls->controlForKey(key));
}

VKMiniControl *VKGradientCell::miniControlForIdentifier(const QString &identifier) const
{
    return mMiniControls->controlForKey(identifier);
}

void VKGradientCell::setMiniControlBounds(const QRectF &bounds, const QString &identifier)
{
    if (VKMiniControl *control = miniControlForIdentifier(identifier))
        control->setBounds(bounds);
}

void VKGradientCell::setMiniControlBoundsWithCellFrame(const QRectF &frame, int mode)
{
    const QRectF r = frame.adjusted(20, 20, -20, -20);
    switch (mode) {
    case VKGradientWell::LinearControls: setMiniControlBounds(r, kLinearAngle); break;
    case VKGradientWell::RadialControls:
        setMiniControlBounds(r, kRadialStart);
        setMiniControlBounds(r, kRadialEnd);
        break;
    case VKGradientWell::SweepControls: {
        setMiniControlBounds(r, kSweepAngle);
        setMiniControlBounds(r, kSweepCentre);
        QRectF s = r.adjusted(40, 50, -40, -50);
        s.setHeight(12);
        s.moveTop(r.y() + r.height() * 0.63);
        setMiniControlBounds(s, kSweepSegments);
        break;
    }
    default: break;
    }
}

void VKGradientCell::updateMiniControlsForMode(int mode)
{
    const VRGradientRef g = gradient();
    if (!g)
        return;
    mUpdatingControls = true;
    const QRectF b = mControlBoundsRect;
    switch (mode) {
    case VKGradientWell::LinearControls:
        miniControlForIdentifier(kLinearAngle)->setValue(g->angle());
        break;
    case VKGradientWell::RadialControls: {
        auto *start = static_cast<VKMiniRadialControl2 *>(miniControlForIdentifier(kRadialStart));
        auto *end = static_cast<VKMiniRadialControl2 *>(miniControlForIdentifier(kRadialEnd));
        start->setRingRadiusScale(0.85);
        start->setCentre(g->mapPointToRect(g->radialStartingPoint(), b));
        start->setRadius(g->radialStartingRadius() * b.width());
        start->setTabColor(g->colorAtValue(0));
        end->setCentre(g->mapPointToRect(g->radialEndingPoint(), b));
        end->setRadius(g->radialEndingRadius() * b.width());
        end->setTabColor(g->colorAtValue(1));
        break;
    }
    case VKGradientWell::SweepControls:
        static_cast<VKMiniRadialControls *>(miniControlForIdentifier(kSweepCentre))
            ->setCentre(g->mapPointToRect(g->radialStartingPoint(), b));
        miniControlForIdentifier(kSweepSegments)->setValue(2);
        miniControlForIdentifier(kSweepAngle)->setValue(g->angle());
        break;
    default: break;
    }
    mUpdatingControls = false;
}

void VKGradientCell::miniControlDidChangeValue(VKMiniControl &control, const QVariant &)
{
    if (mUpdatingControls)
        return;
    setControlledAttributeFromMiniControl(control);
    if (m_well)
        m_well->syncGradientToControlSettings();
}

void VKGradientCell::setControlledAttributeFromMiniControl(VKMiniControl &control)
{
    const VRGradientRef g = gradient();
    const QRectF b = mControlBoundsRect;
    if (!g || b.width() <= 0)
        return;
    const QString id = control.identifier();
    if (id == kLinearAngle || id == kSweepAngle) {
        g->setAngle(control.value());
    } else if (id == kRadialStart) {
        auto &iris = static_cast<VKMiniRadialControl2 &>(control);
        g->setRadialStartingPoint(g->mapPointFromRect(iris.centre(), b));
        g->setRadialStartingRadius(iris.radius() / b.width());
    } else if (id == kSweepCentre) {
        auto &target = static_cast<VKMiniRadialControls &>(control);
        g->setRadialStartingPoint(g->mapPointFromRect(target.centre(), b));
        g->setRadialStartingRadius(target.radius() / b.width());
    } else if (id == kRadialEnd) {
        auto &iris = static_cast<VKMiniRadialControl2 &>(control);
        g->setRadialEndingPoint(g->mapPointFromRect(iris.centre(), b));
        g->setRadialEndingRadius(iris.radius() / b.width());
    }
    // The segments slider shows a count and changes nothing in the gradient.
}

double VKGradientCell::miniControlWillUpdateInfoWindow(VKMiniControl &control, double value)
{
    if (control.identifier() != kSweepSegments)
        return value;
    const int n = int(control.value() * 50);
    return n < 4 ? 0 : n;
}

void VKGradientCell::setControlVisible(bool visible)
{
    mMiniControls->setVisible(visible);
    if (m_well)
        m_well->update();
}

QRectF VKGradientCell::proxyIconRectInCellFrame(const QRectF &frame) const
{
    const QRectF r = frame.adjusted(8, 9, -8, -9);
    const QSizeF icon(16, 16);
    return {r.right() - icon.width(), r.bottom() - icon.height(), icon.width(), icon.height()};
}

void VKGradientCell::drawInteriorWithFrame(QPainter &painter, const QRectF &frame, QWidget *view)
{
    if (!gradient())
        return VRGradientCell::drawInteriorWithFrame(painter, frame, view);
    VRGradientCell::drawInteriorWithFrame(painter, frame, view);
    mControlBoundsRect = frame;
    if (!m_well)
        return;
    const int mode = m_well->controlMode();
    setMiniControlBoundsWithCellFrame(frame, mode);
    updateMiniControlsForMode(mode);
    painter.save();
    painter.setClipRect(frame.adjusted(8, 8, -8, -8));
    if (VKMiniControlCluster *cluster = controlClusterForMode(mode))
        cluster->draw(painter);
    if (m_well->displaysProxyIcon()) {
        const QRectF icon = proxyIconRectInCellFrame(frame);
        painter.setOpacity(0.8);
        painter.fillRect(icon, Qt::white);
        painter.setPen(QPen(Qt::darkGray, 1));
        painter.drawRect(icon.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    painter.restore();
}

Qt::KeyboardModifiers VKGradientCell::mouseDownFlags()
{
    return g_mouseDownFlags;
}

void VKGradientCell::startTrackingAt(QPointF point, Qt::KeyboardModifiers modifiers)
{
    g_mouseDownFlags = modifiers;
    mMiniControls->flagsChanged(modifiers);
    mMiniControls->setVisible(true);
    mHitPart = NothingHit;
    if (m_well && m_well->displaysProxyIcon()
        && proxyIconRectInCellFrame(mControlBoundsRect).contains(point)) {
        mHitPart = ProxyIconHit;
    } else if (VKMiniControlCluster *cluster =
                   controlClusterForMode(m_well ? m_well->controlMode() : 0)) {
        if (cluster->mouseDownAt(point, 0, modifiers))
            mHitPart = MiniControlHit;
    }
    setCacheEnabled(false);
}

bool VKGradientCell::continueTrackingAt(QPointF point, Qt::KeyboardModifiers modifiers)
{
    g_mouseDownFlags = modifiers;
    if (mHitPart != MiniControlHit || !m_well)
        return false;
    VKMiniControlCluster *cluster = controlClusterForMode(m_well->controlMode());
    return cluster && cluster->mouseDraggedAt(point, 0, modifiers);
}

void VKGradientCell::stopTrackingAt(QPointF point, Qt::KeyboardModifiers modifiers)
{
    if (mHitPart == MiniControlHit && m_well) {
        if (VKMiniControlCluster *cluster = controlClusterForMode(m_well->controlMode()))
            cluster->mouseUpAt(point, 0, modifiers);
    }
    mHitPart = 0;
    setCacheEnabled(true);
    mMiniControls->flagsChanged(Qt::NoModifier);
}
