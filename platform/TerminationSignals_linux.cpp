#include "platform/TerminationSignals.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSignals, "quintora.signals")

namespace {

int g_signalPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
volatile sig_atomic_t g_firstSignal = 0;

// The end of the grace period: whatever the GUI thread is doing, the process goes now.
void endAtDeadline(int)
{
    ::_exit(128 + g_firstSignal);
}

// Safe to call from a signal handler: one write of one byte to a prepared descriptor, and on
// the first signal an alarm that ends the process should the GUI thread never get to it.
void handleTerminationSignal(int signalNumber)
{
    const int savedErrno = errno;
    if (g_firstSignal == 0) {
        g_firstSignal = signalNumber;
        struct sigaction deadline = {};
        deadline.sa_handler = endAtDeadline;
        sigemptyset(&deadline.sa_mask);
        ::sigaction(SIGALRM, &deadline, nullptr);
        ::alarm(TerminationSignals::kDeadlineSeconds);
    }
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    for (int signalNumber : kSignals)
        std::signal(signalNumber, SIG_DFL);
}

bool TerminationSignals::install()
{
    if (m_notifier)
        return true;
    if (g_signalPipe[0] < 0
        && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe)
               != 0) {
        qCWarning(lcSignals) << "cannot watch termination signals:" << strerror(errno);
        return false;
    }
    m_notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    struct sigaction action = {};
    action.sa_handler = handleTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signalNumber : kSignals)
        ::sigaction(signalNumber, &action, nullptr);
    return true;
}

void TerminationSignals::readSignal()
{
    unsigned char byte = 0;
    while (::read(g_signalPipe[0], &byte, 1) == 1) {
        qCInfo(lcSignals) << "received signal" << int(byte) << "- quitting";
        emit terminationRequested(int(byte));
    }
}
