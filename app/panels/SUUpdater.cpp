#include "app/panels/SUUpdater.h"

#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <cmath>

namespace {
const QString kAutomaticKey = QStringLiteral("SUEnableAutomaticChecks");
const QString kIntervalKey = QStringLiteral("SUScheduledCheckInterval");
const QString kLastCheckKey = QStringLiteral("SULastCheckTime");
} // namespace

SUUpdater &SUUpdater::sharedUpdater()
{
    static SUUpdater *updater = new SUUpdater; // lives for the process
    return *updater;
}

bool SUUpdater::automaticallyChecksForUpdates() const
{
    return UserDefaults::standardUserDefaults().boolForKey(kAutomaticKey);
}

void SUUpdater::setAutomaticallyChecksForUpdates(bool checks)
{
    UserDefaults::standardUserDefaults().setBool(checks, kAutomaticKey);
}

double SUUpdater::updateCheckInterval() const
{
    const double seconds = UserDefaults::standardUserDefaults().doubleForKey(kIntervalKey);
    return seconds > 0 ? seconds : 86400.0;
}

void SUUpdater::setUpdateCheckInterval(double seconds)
{
    if (std::isfinite(seconds) && seconds > 0)
        UserDefaults::standardUserDefaults().setDouble(seconds, kIntervalKey);
}

QDateTime SUUpdater::lastUpdateCheckDate() const
{
    return UserDefaults::standardUserDefaults().objectForKey(kLastCheckKey).toDateTime();
}

QString SUUpdater::checkResultText()
{
    return QCoreApplication::translate(
        "SUUpdater", "Quintora is updated with your system's packages: your package manager "
                     "offers each new version.");
}

void SUUpdater::checkForUpdates(QWidget *window)
{
    UserDefaults::standardUserDefaults().setObject(QDateTime::currentDateTime(), kLastCheckKey);
    emit checked();
    if (m_alert) {
        m_alert(checkResultText());
        return;
    }
    QMessageBox::information(window, QCoreApplication::translate("SUUpdater", "Check for Updates"),
                             checkResultText());
}
