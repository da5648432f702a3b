#pragma once

#include <QDateTime>
#include <QObject>

#include <functional>

class QWidget;

// The update checker. Quintora is updated with the system's packages, so a check only records
// its date and says so; the automatic flag and the interval are kept for the preferences.
// One per application. GUI thread only.
class SUUpdater : public QObject
{
    Q_OBJECT
public:
    static SUUpdater &sharedUpdater();

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool checks);
    // Seconds; non-positive or non-finite values are ignored.
    double updateCheckInterval() const;
    void setUpdateCheckInterval(double seconds);
    // Invalid before the first check.
    QDateTime lastUpdateCheckDate() const;
    // Records the check and tells the user, over the given window.
    void checkForUpdates(QWidget *window);
    // The message a check shows.
    static QString checkResultText();

    // The messages are shown in a box; tests take them instead.
    using Alert = std::function<void(const QString &text)>;
    void setAlert(Alert alert) { m_alert = std::move(alert); }

signals:
    void checked();

private:
    SUUpdater() = default;
    Alert m_alert;
};
