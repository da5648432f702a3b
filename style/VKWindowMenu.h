#pragma once

#include <QEvent>
#include <QPointer>
#include <QWidget>

class QEventLoop;
class QInputEvent;
class QMouseEvent;
class QTimer;

// Content views of a window menu may follow the modifier keys while the menu tracks.
class VKWindowMenuContent
{
public:
    virtual ~VKWindowMenuContent() = default;
    virtual void flagsChanged(Qt::KeyboardModifiers modifiers) = 0;
};

// Whether an event is a mouse press, release or drag (a move with a button held); plain mouse
// moves, entering and leaving are not.
bool isMouseEventType(const QEvent &event);

// A borderless pop-up window that behaves like a menu around a content view: it opens with its
// top-left corner at a point, tracks the mouse while the button is held (or, after a quick
// click, until the next click), hands the mouse events to its content view in the content's own
// coordinates and fades out. A click outside the content view closes it without the content
// seeing that click.
class VKWindowMenu : public QWidget
{
    Q_OBJECT
public:
    VKWindowMenu();
    ~VKWindowMenu() override;

    // An empty menu; the caller owns it until it is popped up.
    static VKWindowMenu *windowMenu();
    // A menu around the view, sized to it; the menu owns the view.
    static VKWindowMenu *windowMenuWithContentView(QWidget *view);

    // Shows the menu (a null menu becomes an empty one) with its top-left corner at point
    // (coordinates of the view's window), tracks until the menu ends and starts the fade. The
    // menu deletes itself when the fade has ended. event is normally the press that opened it
    // and may be null.
    static void popUpWindowMenu(VKWindowMenu *menu, QPoint point, const QMouseEvent *event,
                                QWidget *view);
    // As above at the event's position moved by (-10, -5)... in the view's window.
    static void popUpWindowMenu(VKWindowMenu *menu, const QMouseEvent *event, QWidget *view);

    void setMainView(QWidget *view, bool sizeToFit);
    QWidget *mainView() const { return mMainViewRef; }

    // The tracking loop, in steps (the pop-up call drives them with the window system's
    // events): begin with the opening event, then hand every event to trackEvent until it
    // answers false (tracking ended).
    void beginTracking(const QMouseEvent *event);
    bool trackEvent(QEvent *event);
    bool isTracking() const { return m_tracking; }

    // Fades the window out over seconds and hides it; nothing when it is not visible.
    void fadeWithTimeInterval(double seconds);
    bool isFading() const;

signals:
    void fadeFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void forwardMouse(QEvent::Type type, const QMouseEvent &event);
    void endTracking();
    void timerFadeCallback();

    QPointer<QWidget> mMainViewRef;
    bool m_tracking = false;
    bool m_forwarding = false;
    bool m_acceptsPresses = false;
    qulonglong m_openingTime = 0;
    QEventLoop *m_loop = nullptr;
    QTimer *m_fadeTimer = nullptr;
    double m_fadeInterval = 0.15;
    bool m_deleteWhenFaded = false;
    // One start time for every fading menu, as a menu bar shares one fade.
    static qint64 s_fadeStartTime;
};
