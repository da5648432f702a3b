#include "style/WXGradientControl.h"

#include "framework/base/VRConstants.h"
#include "framework/styles/VRColorStop.h"
#include "framework/view/VKInfoFloater.h"
#include "platform/ColorPanel.h"
#include "platform/DisappearingItemAnimation.h"
#include "style/VKColourPickerView.h"
#include "style/VKGradientPasteboard.h"
#include "style/VKSpecialColorWell.h"
#include "style/VKWindowMenu.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {
constexpr double kBoxWidth = 17.0;
} // namespace

WXGradientControl::WXGradientControl(QWidget *parent)
    : VKGradientWell(parent)
    , mInfoWin(VKInfoFloater::infoFloater())
{
    setObjectName(QStringLiteral("gradientStopEditor"));
    setCanBecomeActiveWell(false);
    setMinimumSize(120, 24);
    mInfoWin->setFormat(QStringLiteral("0.0%"));
    VKGradientWell::setGradient(VRGradient::defaultGradient());
    mUnsortedStops = gradient()->colorStops();
    observeGradient();
    // A colour well taking the colour panel ends the editing of the stop's colour there.
    m_wellToken = NotificationCenter::defaultCenter().addObserver(
        kVRColorWellWillActivate, nullptr,
        [this](const Notification &) { setSelectedStop(nullptr); });
}

WXGradientControl::~WXGradientControl()
{
    if (ColorPanel::sharedColorPanel().target() == this)
        ColorPanel::sharedColorPanel().setTarget(nullptr, {});
}

void WXGradientControl::setGradient(const VRGradientRef &g)
{
    if (g != gradient()) {
        VKGradientWell::setGradient(g);
        mSelectedStopRef.reset();
        mDragStopRef.reset();
        mDeletionCandidateRef.reset();
        mUnsortedStops = g ? g->colorStops() : QList<VRColorStopRef>();
        observeGradient();
    }
    invalidate();
    update();
}

void WXGradientControl::observeGradient()
{
    m_tokens.clear();
    VRGradient *g = gradient().get();
    if (!g)
        return;
    NotificationCenter &center = NotificationCenter::defaultCenter();
    for (const QString &name :
         {kVRNotificationGradientDidAddColorStop, kVRNotificationGradientDidRemoveColorStop}) {
        m_tokens.push_back(
            center.addObserver(name, g, [this](const Notification &) { externalStopChange(); }));
    }
}

void WXGradientControl::externalStopChange()
{
    invalidate();
    mUnsortedStops = gradient() ? gradient()->colorStops() : QList<VRColorStopRef>();
    // A stop removed elsewhere is no longer selected or pressed.
    if (mSelectedStopRef && !mUnsortedStops.contains(mSelectedStopRef))
        mSelectedStopRef.reset();
    if (mDragStopRef && !mUnsortedStops.contains(mDragStopRef))
        mDragStopRef.reset();
    update();
}

QRectF WXGradientControl::interior() const
{
    return QRectF(rect()).adjusted(11, 2, -11, -2);
}

double WXGradientControl::relativeXWithPoint(QPointF point) const
{
    const QRectF in = interior();
    if (in.width() <= 0)
        return 0;
    return std::clamp((point.x() - in.x()) / in.width(), 0.0, 1.0);
}

QRectF WXGradientControl::swatchBoxAtPosition(double position) const
{
    const QRectF in = interior();
    return {in.x() + in.width() * position - kBoxWidth / 2, in.y(), kBoxWidth, in.height()};
}

QRectF WXGradientControl::safeZone() const
{
    return QRectF(rect()).adjusted(-32, -7, 32, 7);
}

QList<QRectF> WXGradientControl::allSwatchBoxes()
{
    if (m_boxesValid && mSBArray.size() == mUnsortedStops.size())
        return mSBArray;
    QList<QRectF> boxes;
    for (const VRColorStopRef &stop : std::as_const(mUnsortedStops))
        boxes.append(swatchBoxAtPosition(stop->position()));
    const QRectF in = interior();
    // Overlapping boxes share the bar's height, stacked from the top in list order.
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        QList<qsizetype> group{i};
        qsizetype current = i;
        for (qsizetype j = 0; j < boxes.size(); ++j) {
            if (j == i || group.contains(j))
                continue;
            const QRectF overlap = boxes[j].intersected(boxes[current]);
            if (overlap.width() > 0 && overlap.height() > 0) {
                group.append(j);
                current = j;
            }
        }
        if (group.size() < 2)
            continue;
        std::sort(group.begin(), group.end());
        const double height = in.height() / double(group.size());
        double y = in.y();
        for (qsizetype k : std::as_const(group)) {
            boxes[k].setY(y);
            boxes[k].setHeight(height);
            y += height;
        }
    }
    mSBArray = boxes;
    m_boxesValid = true;
    return mSBArray;
}

QRectF WXGradientControl::swatchRectForStop(const VRColorStopRef &stop)
{
    const qsizetype index = mUnsortedStops.indexOf(stop);
    const QList<QRectF> boxes = allSwatchBoxes();
    return index >= 0 && index < boxes.size() ? boxes.at(index) : QRectF();
}

VRColorStopRef WXGradientControl::stopAtPoint(QPointF point)
{
    const QList<QRectF> boxes = allSwatchBoxes();
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        if (boxes.at(i).contains(point))
            return mUnsortedStops.at(i);
    }
    return nullptr;
}

QColor WXGradientControl::colorAtPoint(QPointF point) const
{
    return gradient() ? gradient()->colorAtValue(relativeXWithPoint(point)) : QColor();
}

VRColorStopRef WXGradientControl::addColorStop(const QColor &colour, QPointF point)
{
    VRGradientRef g = gradient();
    if (!g)
        return nullptr;
    if (VRColorStopRef stop = stopAtPoint(point)) {
        // A stop keeps its colour when none is given.
        if (colour.isValid())
            stop->setColor(colour);
        syncGradientToControlSettings();
        return stop;
    }
    const double position = relativeXWithPoint(point);
    VRColorStopRef stop =
        g->addColor(colour.isValid() ? colour : g->colorAtValue(position), position);
    invalidate();
    syncGradientToControlSettings();
    update();
    return stop;
}

void WXGradientControl::removeColorStopAtPoint(QPointF point)
{
    VRColorStopRef stop = stopAtPoint(point);
    if (!stop || !gradient())
        return;
    mUnsortedStops.removeAll(stop);
    gradient()->removeColorStop(stop);
    invalidate();
    syncGradientToControlSettings();
    update();
}

void WXGradientControl::setSelectedStop(const VRColorStopRef &stop)
{
    if (stop == mSelectedStopRef)
        return;
    mSelectedStopRef = stop;
    ColorPanel &panel = ColorPanel::sharedColorPanel();
    if (stop) {
        VKSpecialColorWell::deactivateCurrentWell();
        // A stop's opacity is edited in the panel: nothing else in the bar sets it.
        panel.setShowsAlpha(true);
        panel.setColor(stop->color());
        panel.setTarget(this, [this](const QColor &colour) { changeColor(colour, true); });
    } else if (panel.target() == this) {
        panel.setTarget(nullptr, {});
    }
    update();
}

void WXGradientControl::setColorOfSelectedStop(const QColor &colour)
{
    if (!mSelectedStopRef || !colour.isValid())
        return;
    mSelectedStopRef->setColor(colour);
    syncGradientToControlSettings();
    update();
}

void WXGradientControl::changeColor(const QColor &colour, bool fromPanel)
{
    setColorOfSelectedStop(colour);
    if (!fromPanel && colour.isValid())
        ColorPanel::sharedColorPanel().setColor(colour);
}

void WXGradientControl::newStop()
{
    const QPointF at = mStopInsertHint.isNull() ? QPointF(rect().center()) : mStopInsertHint;
    setSelectedStop(addColorStop(QColor(), at));
}

void WXGradientControl::flip()
{
    if (!gradient())
        return;
    gradient()->reverseColorStops();
    syncGradientToControlSettings();
    invalidate();
    update();
}

void WXGradientControl::gradientType(int tag)
{
    if (!gradient() || tag == gradient()->gradientType())
        return;
    gradient()->setGradientType(tag);
    syncGradientToControlSettings();
    update();
}

void WXGradientControl::blendMode(int tag)
{
    if (!gradient())
        return;
    gradient()->setGradientBlending(tag);
    syncGradientToControlSettings();
    update();
}

void WXGradientControl::interpolation(int tag)
{
    if (!gradient())
        return;
    gradient()->setGradientInterpolation(tag);
    syncGradientToControlSettings();
    update();
}

QMenu *WXGradientControl::menuForEvent(const QPoint &position, Qt::KeyboardModifiers modifiers)
{
    if (VRColorStopRef stop = stopAtPoint(position)) {
        setSelectedStop(stop);
        popUpPickerForStop(stop, mapToGlobal(swatchRectForStop(stop).bottomLeft().toPoint()));
        return nullptr;
    }
    mStopInsertHint = position;
    QMenu *menu = VKGradientWell::menuForEvent(position, modifiers);
    QAction *first = menu->actions().value(0);
    auto *newItem = new QAction(tr("New Color Stop"), menu);
    newItem->setObjectName(QStringLiteral("newStop"));
    connect(newItem, &QAction::triggered, this, &WXGradientControl::newStop);
    auto *flipItem = new QAction(tr("Reverse Colors"), menu);
    flipItem->setObjectName(QStringLiteral("flip"));
    connect(flipItem, &QAction::triggered, this, &WXGradientControl::flip);
    menu->insertAction(first, newItem);
    menu->insertAction(first, flipItem);
    menu->insertSeparator(first);
    const VRGradient *g = gradient().get();
    auto addGroup = [this, menu](const QList<std::pair<QString, int>> &items, int current,
                                 const char *name, void (WXGradientControl::*slot)(int)) {
        menu->addSeparator();
        for (const auto &[title, tag] : items) {
            QAction *item = menu->addAction(title);
            item->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(name)).arg(tag));
            item->setCheckable(true);
            item->setChecked(tag == current);
            connect(item, &QAction::triggered, this,
                    [this, slot, tag = tag] { (this->*slot)(tag); });
        }
    };
    addGroup({{tr("Linear"), 0}, {tr("Radial"), 1}, {tr("Sweep"), 2}}, g ? g->gradientType() : -1,
             "gradientType", &WXGradientControl::gradientType);
    addGroup({{tr("RGB Blending"), 0}, {tr("HSV Blending"), 1}}, g ? g->gradientBlending() : -1,
             "blendMode", &WXGradientControl::blendMode);
    addGroup({{tr("Linear"), 0}, {tr("Quadratic"), 2}, {tr("Cubic"), 3}, {tr("Sinusoid"), 4}},
             g ? g->gradientInterpolation() : -1, "interpolation",
             &WXGradientControl::interpolation);
    return menu;
}

void WXGradientControl::popUpPickerForStop(const VRColorStopRef &stop, const QPoint &globalPoint)
{
    auto *picker = new VKColourPickerView(QRect(0, 0, 161, 161));
    VKWindowMenu *menu = VKWindowMenu::windowMenuWithContentView(picker);
    picker->setMode(QGuiApplication::queryKeyboardModifiers() & Qt::AltModifier
                        ? VKColourPickerView::SwatchMode
                        : VKColourPickerView::WheelMode);
    picker->setTarget(this);
    picker->setAction([this](VKColourPickerView &p) { changeColor(p.color(), false); });
    picker->setColorForUndefinedSelection(stop->color());
    picker->setShowsInfo(true);
    VKWindowMenu::popUpWindowMenu(menu, window()->mapFromGlobal(globalPoint), nullptr, this);
}

void WXGradientControl::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = menuForEvent(event->pos(), event->modifiers());
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void WXGradientControl::mouseDownAt(QPointF point)
{
    mDragStopRef.reset();
    mStopWasDragged = false;
    m_pressedOutsideStops = false;
    if (VRColorStopRef stop = stopAtPoint(point)) {
        mDragStopRef = stop;
        mMouseDownInStop = true;
        if (mShowsInfo) {
            updateInfoWithPosition(stop->position());
            mInfoWin->orderFront();
        }
    } else {
        m_pressedOutsideStops = true;
    }
    update();
}

void WXGradientControl::mouseDraggedTo(QPointF point, Qt::KeyboardModifiers modifiers)
{
    if (!mDragStopRef) {
        if (m_pressedOutsideStops) {
            m_pressedOutsideStops = false;
            initiateGradientDrag();
        }
        return;
    }
    double x = relativeXWithPoint(point);
    if (setCursorInSafeLocation(point)) {
        mDeletionCandidateRef.reset();
        if (modifiers & Qt::ShiftModifier)
            x = std::round(x * 100.0) / 100.0;
        if (mShowsInfo) {
            mInfoWin->orderFront();
            updateInfoWithPosition(x);
        }
        mDragStopRef->setPosition(x);
        invalidate();
        gradient()->sortColorStops();
        syncGradientToControlSettings();
        mStopWasDragged = true;
    } else {
        mDeletionCandidateRef = mDragStopRef;
        mInfoWin->orderOut();
    }
    update();
}

void WXGradientControl::mouseUpAt(QPointF point)
{
    mMouseDownInStop = false;
    mInfoWin->hide();
    if (VRColorStopRef stop = mDragStopRef) {
        if (stop != mSelectedStopRef || mStopWasDragged) {
            setSelectedStop(stop);
            if (!mStopWasDragged)
                ColorPanel::sharedColorPanel().orderFrontBeside(this);
        } else {
            setSelectedStop(nullptr);
        }
        if (!setCursorInSafeLocation(point)) {
            if (mSelectedStopRef == stop)
                setSelectedStop(nullptr);
            mUnsortedStops.removeAll(stop);
            gradient()->removeColorStop(stop);
            syncGradientToControlSettings();
            DisappearingItemAnimation::showCentredAt(this, mapToGlobal(point.toPoint()));
            unsetCursor();
            invalidate();
        }
    }
    const bool wasTracking = mDragStopRef != nullptr;
    mDragStopRef.reset();
    mDeletionCandidateRef.reset();
    m_pressedOutsideStops = false;
    update();
    if (wasTracking)
        emit trackingFinished();
}

bool WXGradientControl::setCursorInSafeLocation(QPointF point)
{
    if (safeZone().contains(point) || !gradient() || gradient()->countOfColorStops() <= 2) {
        unsetCursor();
        return true;
    }
    setCursor(cursorForDeletingStop(mDragStopRef));
    return false;
}

QImage WXGradientControl::dragImageForStop(const VRColorStopRef &stop) const
{
    const QRectF box = swatchBoxAtPosition(0);
    QImage image(box.size().toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawStop(painter, stop, QRectF(QPointF(0, 0), box.size()), NormalState);
    return image;
}

QCursor WXGradientControl::cursorForDeletingStop(const VRColorStopRef &stop)
{
    if (!stop)
        return QCursor(Qt::ForbiddenCursor);
    // The stop at half strength under the puff of smoke: letting go here deletes it. The stop
    // is centred on the puff's hot spot (its middle).
    const QImage stopImage = dragImageForStop(stop);
    const QImage puff = DisappearingItemAnimation::cursorImage();
    const QSize size = stopImage.size().expandedTo(puff.size());
    QImage canvas(size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    const auto centred = [&size](const QImage &image) {
        return QPoint((size.width() - image.width()) / 2, (size.height() - image.height()) / 2);
    };
    painter.setOpacity(0.5);
    painter.drawImage(centred(stopImage), stopImage);
    painter.setOpacity(1.0);
    painter.drawImage(centred(puff), puff);
    painter.end();
    return QCursor(QPixmap::fromImage(canvas), size.width() / 2, size.height() / 2);
}

void WXGradientControl::updateInfoWithPosition(double position)
{
    if (!mShowsInfo)
        return;
    mInfoWin->setDoubleValue(position);
    mInfoWin->positionNearPoint(swatchBoxAtPosition(position).topLeft(), this);
}

void WXGradientControl::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    mouseDownAt(event->position());
}

void WXGradientControl::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        mouseDraggedTo(event->position(), event->modifiers());
}

void WXGradientControl::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        mouseUpAt(event->position());
}

void WXGradientControl::resizeEvent(QResizeEvent *event)
{
    invalidate();
    VKGradientWell::resizeEvent(event);
}

void WXGradientControl::drawStop(QPainter &painter, const VRColorStopRef &stop, const QRectF &box,
                                 int state) const
{
    const double inset = std::floor(std::max(box.height() * 0.125, 2.0));
    const QRectF outer = box.toAlignedRect();
    const QRectF inner = outer.adjusted(inset, inset, -inset, -inset).toAlignedRect();
    const VRGradientRef look = state == PressedState    ? VRGradient::aquaPressedGradient()
                               : state == SelectedState ? VRGradient::aquaSelectedGradient()
                                                        : VRGradient::aquaNormalGradient();
    look->fillRect(painter, outer);
    painter.fillRect(inner, stop->color());
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(outer.adjusted(0.5, 0.5, -0.5, -0.5));
    painter.drawRect(inner.adjusted(-0.5, -0.5, 0.5, 0.5));
}

void WXGradientControl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(Qt::gray, 1));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    const QRectF strip = interior().adjusted(-8, 0, 8, 0);
    painter.fillRect(strip, QBrush(VRGradientCell::chequeredImage()));
    if (VRGradientRef g = gradient()) {
        // The ramp always runs left to right, whatever the gradient's own kind.
        VRGradientRef ramp = g->copy();
        ramp->setGradientType(VRGradient::Linear);
        ramp->setAngleInDegrees(0);
        ramp->clearLinearPoints();
        ramp->fillPath(
            painter,
            [&] {
                QPainterPath path;
                path.addRect(strip);
                return path;
            }(),
            QPointF(strip.left(), strip.center().y()), 0,
            QPointF(strip.right(), strip.center().y()), 0);
    }
    const QList<QRectF> boxes = allSwatchBoxes();
    for (qsizetype i = 0; i < boxes.size() && i < mUnsortedStops.size(); ++i) {
        const VRColorStopRef &stop = mUnsortedStops.at(i);
        if (stop == mDeletionCandidateRef)
            continue;
        int state = NormalState;
        if (stop == mSelectedStopRef || stop == mDragStopRef)
            state = mMouseDownInStop ? PressedState : SelectedState;
        drawStop(painter, stop, boxes.at(i), state);
    }
}

bool WXGradientControl::performDrop(const QMimeData *data, QPointF position, bool fromSelf)
{
    mDragStopRef.reset();
    if (!fromSelf && VKGradientPasteboard::canInitalizeFromPasteboard(data))
        return VKGradientWell::performDrop(data, position, false);
    if (data && data->hasColor()) {
        setSelectedStop(addColorStop(qvariant_cast<QColor>(data->colorData()), position));
        update();
        return true;
    }
    return false;
}
