#include "style/VKGradientWell.h"

#include "framework/view/VRViewAdditions.h"
#include "platform/DisappearingItemAnimation.h"
#include "style/VKGradientCell.h"
#include "style/VKGradientPasteboard.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>

namespace {
QPointer<VKGradientWell> g_activeWell;

// The drag's data: the ".gradient" file is written only when a target asks for file names.
class GradientDragData : public QMimeData
{
public:
    explicit GradientDragData(VRGradientRef gradient)
        : m_gradient(std::move(gradient))
    {
        VKGradientPasteboard::writeToPasteboard(*m_gradient, *this);
    }
    QStringList formats() const override
    {
        QStringList list = QMimeData::formats();
        if (!list.contains(QStringLiteral("text/uri-list")))
            list.append(QStringLiteral("text/uri-list"));
        return list;
    }

protected:
    QVariant retrieveData(const QString &type, QMetaType metaType) const override
    {
        if (type == QLatin1String("text/uri-list") && !m_fileWritten) {
            m_fileWritten = true;
            QMimeData files;
            if (VKGradientPasteboard::writeFileToPasteboard(*m_gradient, files))
                const_cast<GradientDragData *>(this)->setUrls(files.urls());
        }
        return QMimeData::retrieveData(type, metaType);
    }

private:
    VRGradientRef m_gradient;
    mutable bool m_fileWritten = false;
};
} // namespace

VKGradientWell::VKGradientWell(QWidget *parent)
    : QWidget(parent)
    , m_cell(new VRGradientCell(this))
{
    setObjectName(QStringLiteral("gradientWell"));
    setAcceptDrops(true);
    setMinimumSize(32, 24);
    connect(m_cell, &VRGradientCell::needsDisplay, this, [this] { update(); });
}

VKGradientWell::~VKGradientWell() = default;

void VKGradientWell::setCell(VRGradientCell *cell)
{
    if (!cell || cell == m_cell)
        return;
    const VRGradientRef shown = m_cell->gradient();
    delete m_cell;
    m_cell = cell;
    m_cell->setParent(this);
    m_cell->setGradient(shown);
    connect(m_cell, &VRGradientCell::needsDisplay, this, [this] { update(); });
    update();
}

void VKGradientWell::enterEvent(QEnterEvent *event)
{
    if (auto *controls = qobject_cast<VKGradientCell *>(m_cell))
        controls->setControlVisible(true);
    QWidget::enterEvent(event);
}

void VKGradientWell::leaveEvent(QEvent *event)
{
    if (auto *controls = qobject_cast<VKGradientCell *>(m_cell))
        controls->setControlVisible(false);
    QWidget::leaveEvent(event);
}

void VKGradientWell::setGradient(const VRGradientRef &gradient)
{
    if (gradient == m_cell->gradient())
        return;
    m_cell->setGradient(gradient);
    update();
    syncGradientToControlSettings();
}

void VKGradientWell::syncGradientToControlSettings()
{
    if (mIsSendingAction)
        return;
    mIsSendingAction = true;
    update();
    emit gradientAction();
    mIsSendingAction = false;
}

void VKGradientWell::setControlMode(int mode)
{
    if (mode == mControlMode)
        return;
    mControlMode = mode;
    update();
}

void VKGradientWell::setForceSquare(bool square)
{
    mForceSquare = square;
    if (parentWidget()) {
        parentWidget()->removeEventFilter(this);
        if (square)
            parentWidget()->installEventFilter(this);
    }
    placeSquare();
}

void VKGradientWell::placeSquare()
{
    if (!mForceSquare || !parentWidget())
        return;
    // Centred in the superview, 20 smaller than its shorter side (never below nothing).
    const QSize outer = parentWidget()->size();
    const int side = std::max(0, std::min(outer.width(), outer.height()) - 20);
    setGeometry(int(outer.width() * 0.5 - side * 0.5), int(outer.height() * 0.5 - side * 0.5), side,
                side);
}

bool VKGradientWell::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        placeSquare();
    return QWidget::eventFilter(watched, event);
}

void VKGradientWell::setActiveWell(VKGradientWell *well)
{
    if (well == g_activeWell)
        return;
    if (well && !well->canBecomeActiveWell())
        return;
    QPointer<VKGradientWell> old = g_activeWell;
    if (old)
        old->wellWillResignActive();
    g_activeWell = well;
    if (well)
        well->wellDidBecomeActive();
}

VKGradientWell *VKGradientWell::activeWell()
{
    return g_activeWell;
}

void VKGradientWell::clearAllActiveWells()
{
    setActiveWell(nullptr);
}

void VKGradientWell::toggleActiveWell()
{
    setActiveWell(isActiveWell() ? nullptr : this);
}

void VKGradientWell::wellWillResignActive()
{
    // The well lets go of a gradient it may share with an editor.
    if (VRGradientRef g = gradient())
        setGradient(g->copy());
    update();
}

void VKGradientWell::wellDidBecomeActive()
{
    update();
}

void VKGradientWell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_cell->drawInteriorWithFrame(painter, QRectF(rect()), this);
    if (isActiveWell()) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath ring;
        ring.addRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 5, 5);
        painter.strokePath(ring, QPen(palette().color(QPalette::Highlight), 3));
    }
}

void VKGradientWell::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    if (auto *controls = qobject_cast<VKGradientCell *>(m_cell);
        controls && mControlMode != NoControls) {
        m_trackingControls = true;
        controls->startTrackingAt(event->position(), event->modifiers());
        return;
    }
    m_pressed = true;
    m_dragging = false;
    m_cell->setCacheEnabled(false);
}

void VKGradientWell::mouseMoveEvent(QMouseEvent *event)
{
    if (m_trackingControls) {
        auto *controls = qobject_cast<VKGradientCell *>(m_cell);
        if (controls && !controls->continueTrackingAt(event->position(), event->modifiers())) {
            const bool dragGradient = controls->hitPart() == VKGradientCell::NothingHit;
            controls->stopTrackingAt(event->position(), event->modifiers());
            m_trackingControls = false;
            emit controlTrackingFinished();
            if (dragGradient) {
                controls->setControlVisible(false);
                initiateGradientDrag();
            }
        }
        return;
    }
    if (!m_pressed || m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    // The first drag starts the drag: no distance to go first.
    m_dragging = true;
    m_pressed = false;
    m_cell->setCacheEnabled(true);
    initiateGradientDrag();
}

void VKGradientWell::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_trackingControls) {
        m_trackingControls = false;
        if (auto *controls = qobject_cast<VKGradientCell *>(m_cell))
            controls->stopTrackingAt(event->position(), event->modifiers());
        emit controlTrackingFinished();
        return;
    }
    if (!m_pressed || event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    m_cell->setCacheEnabled(true);
    toggleActiveWell();
}

void VKGradientWell::initiateGradientDrag()
{
    VRGradientRef g = gradient();
    if (!g)
        return;
    VRViewAdditions::dragStandardSwatchGradient(this, *g, true, new GradientDragData(g));
}

QString VKGradientWell::namesOfPromisedFilesDroppedAtDestination(const QString &folder)
{
    if (!gradient())
        return {};
    const VRResult<QString> path =
        VKGradientPasteboard::writeToUniqueFileInFolder(*gradient(), folder);
    if (!path) {
        refuse(path.errorMessage());
        return {};
    }
    return QFileInfo(*path).fileName();
}

void VKGradientWell::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = menuForEvent(event->pos(), event->modifiers());
    if (!menu)
        return;
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

QMenu *VKGradientWell::menuForEvent(const QPoint &, Qt::KeyboardModifiers modifiers)
{
    auto *menu = new QMenu(this);
    menu->setTitle(QStringLiteral("GradientWell"));
    auto add = [this, menu](const QString &title, const char *action, auto slot) {
        QAction *item = menu->addAction(title, this, slot);
        item->setObjectName(QString::fromLatin1(action));
        item->setEnabled(validateMenuItem(QString::fromLatin1(action)));
        return item;
    };
    const bool cuts = canBecomeActiveWell() && !qobject_cast<VKGradientCell *>(m_cell);
    if (cuts)
        add(tr("Cut"), "cut", &VKGradientWell::cut);
    add(tr("Copy Gradient"), "copy", &VKGradientWell::copy);
    add(tr("Paste Gradient"), "paste", &VKGradientWell::paste);
    if (cuts) {
        add(tr("Delete"), "delete", &VKGradientWell::deleteGradient);
        menu->addSeparator();
    }
    // The bordered picture stands in for the plain one while Alt is held.
    if (modifiers & Qt::AltModifier)
        add(tr("Copy Bordered Image"), "copyBorderedImage", &VKGradientWell::copyBorderedImage);
    else
        add(tr("Copy Image"), "copyImage", &VKGradientWell::copyImage);
    if (mControlMode == RadialControls || mControlMode == SweepControls) {
        menu->addSeparator();
        add(tr("Reset Radial Gradient"), "resetRadial", &VKGradientWell::resetRadial);
    }
    return menu;
}

bool VKGradientWell::validateMenuItem(const QString &action) const
{
    if (action == QLatin1String("paste")) {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        return data && data->hasFormat(VKGradientPasteboard::kGradientPasteboardType);
    }
    return gradient() != nullptr;
}

void VKGradientWell::copy()
{
    if (!gradient())
        return;
    auto *data = new QMimeData;
    VKGradientPasteboard::writeToPasteboard(*gradient(), *data);
    QGuiApplication::clipboard()->setMimeData(data);
}

void VKGradientWell::cut()
{
    copy();
    setGradient(nullptr);
}

void VKGradientWell::paste()
{
    const VRResult<VRGradientRef> read =
        VKGradientPasteboard::gradientWithPasteboard(QGuiApplication::clipboard()->mimeData());
    if (!read) {
        // Nothing usable on the clipboard: the well keeps its gradient.
        QApplication::beep();
        return;
    }
    setGradient(*read);
}

void VKGradientWell::deleteGradient()
{
    setGradient(nullptr);
    DisappearingItemAnimation::showCentredAt(this, mapToGlobal(rect().center()));
}

void VKGradientWell::copyImage()
{
    if (!gradient())
        return;
    auto *data = new QMimeData;
    VKGradientPasteboard::writeImageToPasteboard(*gradient(), *data, false);
    QGuiApplication::clipboard()->setMimeData(data);
}

void VKGradientWell::copyBorderedImage()
{
    if (!gradient())
        return;
    auto *data = new QMimeData;
    VKGradientPasteboard::writeImageToPasteboard(*gradient(), *data, true);
    QGuiApplication::clipboard()->setMimeData(data);
}

void VKGradientWell::resetRadial()
{
    VRGradientRef g = gradient();
    if (g && mControlMode == RadialControls) {
        // The middle of the swatch, from a point out to half the width.
        g->setRadialStartingPoint(QPointF(0, 0));
        g->setRadialEndingPoint(QPointF(0, 0));
        g->setRadialStartingRadius(0);
        g->setRadialEndingRadius(0.5);
    } else if (g && mControlMode == SweepControls) {
        g->setRadialStartingPoint(QPointF(0, 0));
    }
    syncGradientToControlSettings();
    update();
}

bool VKGradientWell::canAcceptDrop(const QMimeData *data) const
{
    return VKGradientPasteboard::canInitalizeFromPasteboard(data) || (data && data->hasColor());
}

void VKGradientWell::refuse(const QString &message)
{
    m_lastRefusal = message;
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    QMessageBox::warning(window(), tr("Gradient"), message);
}

bool VKGradientWell::performDrop(const QMimeData *data, QPointF, bool fromSelf)
{
    if (fromSelf || !data)
        return false;
    if (VKGradientPasteboard::canInitalizeFromPasteboard(data)) {
        const VRResult<VRGradientRef> read = VKGradientPasteboard::gradientWithPasteboard(data);
        if (!read) {
            refuse(tr("The gradient was not used. %1").arg(read.errorMessage()));
            return false;
        }
        setGradient(*read);
        if (auto *controls = qobject_cast<VKGradientCell *>(m_cell))
            controls->setControlVisible(true);
        return true;
    }
    if (data->hasColor() && gradient()) {
        if (VRGradientRef tinted = gradient()->gradientByColorizingWithColor(
                qvariant_cast<QColor>(data->colorData()))) {
            setGradient(tinted);
            return true;
        }
    }
    return false;
}

void VKGradientWell::dragEnterEvent(QDragEnterEvent *event)
{
    if ((event->possibleActions() & Qt::CopyAction) && canAcceptDrop(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    }
    event->ignore();
}

void VKGradientWell::dragMoveEvent(QDragMoveEvent *event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void VKGradientWell::dropEvent(QDropEvent *event)
{
    performDrop(event->mimeData(), event->position(), event->source() == this);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}
