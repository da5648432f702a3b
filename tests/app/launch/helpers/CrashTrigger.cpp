// Loaded into the real quintora binary with LD_PRELOAD by the crash reporting end-to-end test.
// Once the application object exists it watches the file QNT_CRASH_TRIGGER names; when the test
// writes a crash kind there, the program crashes that way:
//   <thread>-<way>  thread: main (the main thread), qt (a QThread), plain (a thread this library
//                   starts with pthread_create, as graphics drivers and glib do)
//                   way: segv, ill, abort, bus, exception, overflow
//   menu-<name>     triggers Help > Crash Reporting's command of that object name
// The library is the test's own; the program is the one users run.

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <cstdlib>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int *volatile g_nowhere = nullptr;

__attribute__((noinline)) int recurse(int depth)
{
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    return recurse(depth + 1) + frame[0];
}

// A read past the end of a mapped file that has shrunk: SIGBUS.
__attribute__((noinline)) void busError()
{
    char path[] = "/tmp/quintora-crash-trigger-XXXXXX";
    const int fd = mkstemp(path);
    unlink(path);
    if (fd < 0 || ftruncate(fd, 8192) != 0)
        std::abort();
    auto *mapped = static_cast<volatile char *>(
        mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    if (mapped == MAP_FAILED || ftruncate(fd, 0) != 0)
        std::abort();
    mapped[4096] = 1;
}

__attribute__((noinline)) void crashNow(const std::string &way)
{
    if (way == "segv")
        *g_nowhere = 1;
    else if (way == "ill")
        __builtin_trap();
    else if (way == "abort")
        std::abort();
    else if (way == "bus")
        busError();
    else if (way == "exception")
        throw std::runtime_error("crash trigger: " + way);
    else if (way == "overflow")
        recurse(0);
    asm volatile("" ::: "memory");
}

std::string g_plainWay;

void *plainThread(void *)
{
    pthread_setname_np(pthread_self(), "plain-crasher");
    crashNow(g_plainWay);
    return nullptr;
}

void triggerMenuCommand(const QString &name)
{
    for (QWidget *window : QApplication::topLevelWidgets())
        if (QAction *action = window->findChild<QAction *>(name)) {
            // As the user opens the menus on the way to the command.
            for (QObject *up = action->parent(); up; up = up->parent())
                if (qobject_cast<QMenu *>(up))
                    QMetaObject::invokeMethod(up, "aboutToShow");
            action->trigger();
            return;
        }
    qFatal("crash trigger: no command %s", qPrintable(name));
}

void crash(const std::string &kind)
{
    const auto dash = kind.find('-');
    const std::string thread = kind.substr(0, dash);
    const std::string way = kind.substr(dash + 1);
    if (thread == "menu") {
        triggerMenuCommand(QString::fromStdString(way));
    } else if (thread == "main") {
        crashNow(way);
    } else if (thread == "qt") {
        QThread *worker = QThread::create([way] { crashNow(way); });
        worker->setObjectName(QStringLiteral("qt-crasher"));
        worker->start();
    } else if (thread == "plain") {
        g_plainWay = way;
        pthread_t id;
        pthread_create(&id, nullptr, plainThread, nullptr);
    }
}

void watch()
{
    const QString trigger = qEnvironmentVariable("QNT_CRASH_TRIGGER");
    if (trigger.isEmpty())
        return;
    auto *timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, [trigger] {
        QFile file(trigger);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const std::string kind = file.readAll().trimmed().toStdString();
        file.remove();
        if (!kind.empty())
            crash(kind);
    });
    timer->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watch)
