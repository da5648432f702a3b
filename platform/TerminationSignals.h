#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the GUI thread, so the application quits
// through its normal path (documents kept, defaults written) instead of dying mid-write.
// The first signal also starts a deadline: a process still running kDeadlineSeconds later
// (its GUI thread stuck in a long read, say) ends at once with the status 128 + the signal.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    static constexpr unsigned kDeadlineSeconds = 4;

    // Installs the handlers; one instance per process. False when they cannot be installed.
    bool install();
    ~TerminationSignals() override;

    explicit TerminationSignals(QObject *parent = nullptr);

signals:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};
