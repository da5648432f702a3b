#include "style/VKWindowMenu.h"

#include <QApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWheelEvent>

qint64 VKWindowMenu::s_fadeStartTime = 0;

namespace {
// A release this soon after the opening press was a click: the menu stays open.
constexpr qulonglong kClickInterval = 250;
constexpr double kFadeTick = 1.0 / 30.0;

bool isModifierKey(int key)
{
    return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt
           || key == Qt::Key_Meta || key == Qt::Key_AltGr;
}
} // namespace

bool isMouseEventType(const QEvent &event)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: return true;
    case QEvent::MouseMove:
        return static_cast<const QMouseEvent &>(event).buttons() != Qt::NoButton;
    default: return false;
    }
}

VKWindowMenu::VKWindowMenu()
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
{
    setObjectName(QStringLiteral("windowMenu"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowOpacity(0.95);
    setGeometry(0, 0, 100, 28);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive && m_tracking)
                    endTracking();
            });
}

VKWindowMenu::~VKWindowMenu()
{
    if (m_tracking)
        qApp->removeEventFilter(this);
}

VKWindowMenu *VKWindowMenu::windowMenu()
{
    return new VKWindowMenu;
}

VKWindowMenu *VKWindowMenu::windowMenuWithContentView(QWidget *view)
{
    VKWindowMenu *menu = windowMenu();
    menu->setMainView(view, true);
    return menu;
}

void VKWindowMenu::setMainView(QWidget *view, bool sizeToFit)
{
    mMainViewRef = view;
    if (view)
        view->setParent(this);
    if (sizeToFit) {
        const QSize size = view ? view->size() : QSize();
        if (view)
            view->move(0, 0);
        resize(size.isEmpty() ? QSize(1, 1) : size);
    }
    if (view) {
        view->show();
        view->update();
    }
}

void VKWindowMenu::popUpWindowMenu(VKWindowMenu *menu, const QMouseEvent *event, QWidget *view)
{
    QPoint point;
    if (event && view) {
        const QPoint global = event->globalPosition().toPoint();
        point = view->window()->mapFromGlobal(global) + QPoint(-10, -5);
    }
    popUpWindowMenu(menu, point, event, view);
}

void VKWindowMenu::popUpWindowMenu(VKWindowMenu *menu, QPoint point, const QMouseEvent *event,
                                   QWidget *view)
{
    if (!menu)
        menu = windowMenu();
    QPointer<VKWindowMenu> guard(menu);
    QPoint topLeft = view ? view->window()->mapToGlobal(point) : point;
    // Kept on the screen, as menus are.
    if (QScreen *screen = QGuiApplication::screenAt(topLeft)) {
        const QRect room = screen->availableGeometry();
        topLeft.setX(
            std::max(room.left(), std::min(topLeft.x(), room.right() + 1 - menu->width())));
        topLeft.setY(
            std::max(room.top(), std::min(topLeft.y(), room.bottom() + 1 - menu->height())));
    }
    menu->move(topLeft);
    menu->show();
    menu->raise();
    menu->beginTracking(event);
    if (menu->m_tracking) {
        QEventLoop loop;
        menu->m_loop = &loop;
        loop.exec();
        if (!guard)
            return;
        menu->m_loop = nullptr;
    }
    menu->m_deleteWhenFaded = true;
    menu->fadeWithTimeInterval(0.15);
    if (!menu->isFading())
        menu->deleteLater();
}

void VKWindowMenu::beginTracking(const QMouseEvent *event)
{
    m_tracking = true;
    m_acceptsPresses = false;
    m_openingTime = event ? event->timestamp() : 0;
    qApp->installEventFilter(this);
    if (mMainViewRef && event)
        forwardMouse(QEvent::MouseButtonPress, *event);
}

bool VKWindowMenu::trackEvent(QEvent *event)
{
    if (!m_tracking)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        if (!m_acceptsPresses)
            return true;
        const auto &mouse = static_cast<const QMouseEvent &>(*event);
        const QRect frame = mMainViewRef ? mMainViewRef->geometry() : QRect();
        if (!frame.contains(mapFromGlobal(mouse.globalPosition()).toPoint())) {
            endTracking();
            return false;
        }
        forwardMouse(QEvent::MouseButtonPress, mouse);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto &mouse = static_cast<const QMouseEvent &>(*event);
        m_acceptsPresses = true;
        if (mouse.timestamp() < m_openingTime + kClickInterval)
            return true;
        forwardMouse(QEvent::MouseButtonRelease, mouse);
        endTracking();
        return false;
    }
    case QEvent::MouseMove: {
        const auto &mouse = static_cast<const QMouseEvent &>(*event);
        if (mouse.buttons() != Qt::NoButton)
            forwardMouse(QEvent::MouseMove, mouse);
        return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto &key = static_cast<const QKeyEvent &>(*event);
        if (isModifierKey(key.key())) {
            if (auto *content = dynamic_cast<VKWindowMenuContent *>(mMainViewRef.data()))
                content->flagsChanged(key.modifiers());
        }
        return true;
    }
    case QEvent::Wheel: {
        const auto &wheel = static_cast<const QWheelEvent &>(*event);
        if (mMainViewRef) {
            const QPointF local = mMainViewRef->mapFromGlobal(wheel.globalPosition());
            QWheelEvent copy(local, wheel.globalPosition(), wheel.pixelDelta(), wheel.angleDelta(),
                             wheel.buttons(), wheel.modifiers(), wheel.phase(), wheel.inverted());
            m_forwarding = true;
            QCoreApplication::sendEvent(mMainViewRef, &copy);
            m_forwarding = false;
        }
        return true;
    }
    default: return true;
    }
}

void VKWindowMenu::forwardMouse(QEvent::Type type, const QMouseEvent &event)
{
    if (!mMainViewRef)
        return;
    const QPointF global = event.globalPosition();
    const QPointF local = mMainViewRef->mapFromGlobal(global);
    QMouseEvent copy(type, local, local, global, event.button(), event.buttons(),
                     event.modifiers());
    copy.setTimestamp(event.timestamp());
    m_forwarding = true;
    QCoreApplication::sendEvent(mMainViewRef, &copy);
    m_forwarding = false;
}

void VKWindowMenu::endTracking()
{
    if (!m_tracking)
        return;
    m_tracking = false;
    qApp->removeEventFilter(this);
    if (m_loop)
        m_loop->quit();
}

bool VKWindowMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (m_forwarding || !m_tracking || !watched->isWidgetType())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ShortcutOverride: trackEvent(event); return true;
    case QEvent::Hide:
    case QEvent::Close:
        // The window system took the menu away.
        if (watched == this)
            endTracking();
        return false;
    default: return false;
    }
}

void VKWindowMenu::fadeWithTimeInterval(double seconds)
{
    if (!isVisible())
        return;
    s_fadeStartTime = QDateTime::currentMSecsSinceEpoch();
    m_fadeInterval = seconds > 0 ? seconds : 0.001;
    if (!m_fadeTimer) {
        m_fadeTimer = new QTimer(this);
        m_fadeTimer->setInterval(int(kFadeTick * 1000));
        connect(m_fadeTimer, &QTimer::timeout, this, &VKWindowMenu::timerFadeCallback);
    }
    m_fadeTimer->start();
}

bool VKWindowMenu::isFading() const
{
    return m_fadeTimer && m_fadeTimer->isActive();
}

void VKWindowMenu::timerFadeCallback()
{
    const double elapsed = (QDateTime::currentMSecsSinceEpoch() - s_fadeStartTime) / 1000.0;
    setWindowOpacity(std::max(0.0, 1.0 - elapsed / m_fadeInterval));
    if (elapsed <= m_fadeInterval)
        return;
    m_fadeTimer->stop();
    hide();
    emit fadeFinished();
    if (m_deleteWhenFaded)
        deleteLater();
}
