#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the GUI thread, so the application quits
// through its normal path (documents kept, defaults written) instead of dying mid-write.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
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
