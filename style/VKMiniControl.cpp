#include "style/VKMiniControl.h"

#include "framework/view/VKInfoFloater.h"
#include "style/VKMiniControlCluster.h"

#include <QPainter>
#include <QPainterPath>

VKMiniControl::VKMiniControl(const QRectF &bounds, VKMiniControlCluster *cluster)
    : mBounds(bounds)
    , mClusterRef(cluster)
    , mInfoWin(VKInfoFloater::infoFloater())
{
    if (cluster)
        cluster->addMiniControl(this);
}

VKMiniControl::~VKMiniControl() = default;

void VKMiniControl::draw(QPainter &)
{
}

int VKMiniControl::hitTestPoint(QPointF point) const
{
    return bounds().contains(point) ? InBounds : NoPart;
}

bool VKMiniControl::mouseDownAt(QPointF point, int part, Qt::KeyboardModifiers)
{
    if (part == NoPart)
        return false;
    setupInfoWindowAtPoint(point, mValue, QString());
    return true;
}

bool VKMiniControl::mouseDraggedAt(QPointF point, int, Qt::KeyboardModifiers)
{
    updateInfoWindowAtPoint(point, mValue);
    return true;
}

void VKMiniControl::mouseUpAt(QPointF, int, Qt::KeyboardModifiers)
{
    hideInfoWindow();
}

void VKMiniControl::flagsChanged(Qt::KeyboardModifiers)
{
}

QWidget *VKMiniControl::view() const
{
    return mClusterRef ? mClusterRef->view() : nullptr;
}

void VKMiniControl::setNeedsDisplay()
{
    setNeedsDisplayInRect(bounds());
}

void VKMiniControl::setNeedsDisplayInRect(const QRectF &rect)
{
    if (QWidget *host = view())
        host->update(rect.toAlignedRect().adjusted(-3, -3, 3, 3));
    else if (VKMiniControlDelegate *d = delegate())
        d->setNeedsDisplayInRect(rect);
}

VKMiniControlDelegate *VKMiniControl::delegate() const
{
    if (mDelegateRef)
        return mDelegateRef;
    return mClusterRef ? mClusterRef->delegate() : nullptr;
}

void VKMiniControl::setIdentifier(const QString &identifier)
{
    mIdent = identifier;
    if (mClusterRef)
        mClusterRef->setControl(this, identifier);
}

void VKMiniControl::setValue(double value)
{
    const double v = std::min(std::max(value, mMinValue), mMaxValue);
    if (v == mValue)
        return;
    notifyDelegateWillChange(mValue);
    mValue = v;
    notifyDelegateDidChange(mValue);
}

void VKMiniControl::setMinValue(double value)
{
    mMinValue = value;
    if (mValue < value)
        setValue(value);
}

void VKMiniControl::setMaxValue(double value)
{
    mMaxValue = value;
    if (mValue > value)
        setValue(value);
}

QColor VKMiniControl::miniControlThemeColor(int index, double alpha)
{
    static const struct {
        QColor colour;
        double factor;
    } themes[] = {{Qt::lightGray, 0.25}, {Qt::black, 0.67},     {Qt::gray, 0.5},
                  {Qt::white, 0.67},     {Qt::lightGray, 0.33}, {Qt::lightGray, 0.67}};
    if (index < 0 || index >= int(std::size(themes)))
        return {};
    QColor colour = themes[index].colour;
    colour.setAlphaF(float(std::clamp(alpha * themes[index].factor, 0.0, 1.0)));
    return colour;
}

QColor VKMiniControl::themeColour(int index) const
{
    return miniControlThemeColor(index, mClusterRef ? mClusterRef->alpha() : 1.0);
}

void VKMiniControl::fillWithShadow(QPainter &painter, const QPainterPath &path,
                                   const QColor &colour) const
{
    if (mApplyShadow) {
        QColor shadow(0, 0, 0, int(80 * colour.alphaF()));
        painter.fillPath(path.translated(2, 2), shadow);
    }
    painter.fillPath(path, colour);
}

void VKMiniControl::setInfoWindowFormat(const QString &format)
{
    if (mInfoWin)
        mInfoWin->setFormat(format);
}

void VKMiniControl::setInfoWindowValue(double value)
{
    if (mInfoWin)
        mInfoWin->setDoubleValue(value);
}

void VKMiniControl::setupInfoWindowAtPoint(QPointF point, double value, const QString &format)
{
    if (mInfoWMode == NoInfoWindow)
        return;
    if (!mInfoWin)
        mInfoWin = VKInfoFloater::infoFloater();
    if (!format.isEmpty())
        mInfoWin->setFormat(format);
    updateInfoWindowAtPoint(point, value);
    mInfoWin->orderFront();
}

void VKMiniControl::updateInfoWindowAtPoint(QPointF point, double value)
{
    if (!mInfoWin)
        return;
    VKMiniControlDelegate *d = delegate();
    mInfoWin->setDoubleValue(d ? d->miniControlWillUpdateInfoWindow(*this, value) : value);
    if (mInfoWMode == InfoNearMouse && view()) {
        mInfoWin->positionNearPoint(point, view());
    } else if (mInfoWMode == InfoCentred && view()) {
        const QRectF b = bounds();
        mInfoWin->positionNearPoint(
            QPointF(b.x() + b.width() / 2 - mInfoWin->frame().width() / 2.0, b.y() - 2), view());
    }
}

void VKMiniControl::hideInfoWindow()
{
    if (mInfoWin)
        mInfoWin->hide();
}

void VKMiniControl::notifyDelegateWillChange(const QVariant &value)
{
    if (VKMiniControlDelegate *d = delegate())
        d->miniControlWillChangeValue(*this, value);
}

void VKMiniControl::notifyDelegateDidChange(const QVariant &value)
{
    if (VKMiniControlDelegate *d = delegate())
        d->miniControlDidChangeValue(*this, value);
}
