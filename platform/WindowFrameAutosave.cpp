#include "platform/WindowFrameAutosave.h"

#include "platform/UserDefaults.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include <algorithm>

namespace {

// At least this much of the window's top strip must show on one screen.
constexpr int kGrabWidth = 40;
constexpr int kGrabHeight = 20;

} // namespace

WindowFrameAutosave::WindowFrameAutosave(QWidget *window, const QString &autosaveName,
                                         UserDefaults *defaults)
    : QObject(window)
    , m_window(window)
    , m_key(defaultsKey(autosaveName))
    , m_defaults(defaults)
{
    window->installEventFilter(this);
}

WindowFrameAutosave *WindowFrameAutosave::attach(QWidget *window, const QString &autosaveName,
                                                 UserDefaults *defaults)
{
    return new WindowFrameAutosave(window, autosaveName, defaults);
}

QString WindowFrameAutosave::defaultsKey(const QString &autosaveName)
{
    return QStringLiteral("NSWindow Frame ") + autosaveName;
}

UserDefaults &WindowFrameAutosave::defaults() const
{
    return m_defaults ? *m_defaults : UserDefaults::standardUserDefaults();
}

QRect WindowFrameAutosave::keptFrame(const QWidget &window)
{
    return QRect(window.pos(), window.size());
}

bool WindowFrameAutosave::isOnAScreen(const QRect &frame)
{
    if (!frame.isValid())
        return false;
    const QRect top(frame.topLeft(), QSize(frame.width(), std::min(frame.height(), kGrabHeight)));
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::any_of(screens.begin(), screens.end(), [&top](const QScreen *screen) {
        const QRect shown = top.intersected(screen->availableGeometry());
        return shown.width() >= std::min(top.width(), kGrabWidth)
               && shown.height() >= std::min(top.height(), kGrabHeight);
    });
}

bool WindowFrameAutosave::restore(Restore what)
{
    const QVariant kept = defaults().objectForKey(m_key);
    if (kept.typeId() == QMetaType::QByteArray) {
        // Written by earlier versions: Qt's own geometry record, which Qt brings on screen.
        const QScopedValueRollback<bool> guard(m_restoring, true);
        return m_window->restoreGeometry(kept.toByteArray());
    }
    const QStringList parts = kept.toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return false;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = parts.at(i).toInt(&ok);
        if (!ok)
            return false;
    }
    const QRect frame(values[0], values[1], values[2], values[3]);
    if (frame.width() < 1 || frame.height() < 1 || frame.width() > QWIDGETSIZE_MAX
        || frame.height() > QWIDGETSIZE_MAX)
        return false;
    const QSize size = what == Restore::PlaceAndSize ? frame.size() : m_window->size();
    if (!isOnAScreen(QRect(frame.topLeft(), size)))
        return false;
    const QScopedValueRollback<bool> guard(m_restoring, true);
    if (what == Restore::PlaceAndSize)
        m_window->resize(size);
    m_window->move(frame.topLeft());
    return true;
}

void WindowFrameAutosave::save()
{
    if (m_restoring)
        return;
    const QRect frame = keptFrame(*m_window);
    defaults().setObject(QStringLiteral("%1 %2 %3 %4")
                             .arg(frame.x())
                             .arg(frame.y())
                             .arg(frame.width())
                             .arg(frame.height()),
                         m_key);
}

bool WindowFrameAutosave::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            if (m_window->isVisible())
                save();
            break;
        case QEvent::Hide:
        case QEvent::Close: save(); break;
        default: break;
        }
    }
    return false;
}
