#include "app/launch/QntCrashReporting.h"

#include "telemetry/crash/FLTReport.h"
#include "telemetry/crash/Faultline.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimeZone>

Q_LOGGING_CATEGORY(lcCrashReporting, "quintora.crashreporting")

namespace {

int *volatile g_nowhere = nullptr; // volatile: the store below must happen

__attribute__((noinline)) void writeThroughNullOnWorkerThread()
{
    *g_nowhere = 1;
    asm volatile("" ::: "memory");
}

void askToSend(const FLTPromptTexts &texts, std::function<void(FLTPromptAnswer)> completion)
{
    QMessageBox box;
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setText(QString::fromStdString(texts.title));
    box.setInformativeText(QString::fromStdString(texts.message));
    QPushButton *send = box.addButton(QString::fromStdString(texts.send), QMessageBox::AcceptRole);
    QPushButton *always =
        texts.alwaysSend
            ? box.addButton(QString::fromStdString(*texts.alwaysSend), QMessageBox::YesRole)
            : nullptr;
    QPushButton *cancel =
        box.addButton(QString::fromStdString(texts.cancel), QMessageBox::RejectRole);
    box.setDefaultButton(send);
    box.setEscapeButton(cancel);
    box.exec();
    const QAbstractButton *clicked = box.clickedButton();
    if (clicked == send)
        completion(FLTPromptAnswer::Send);
    else if (always && clicked == always)
        completion(FLTPromptAnswer::AlwaysSend);
    else
        completion(FLTPromptAnswer::DoNotSend);
}

QString dateText(const std::optional<std::int64_t> &seconds)
{
    if (!seconds)
        return QStringLiteral("unknown");
    return QDateTime::fromSecsSinceEpoch(*seconds, QTimeZone::utc()).toString(Qt::ISODate);
}

// Every report an earlier launch left goes to the diagnostics log, with what it says of that
// launch; it is read-only here, the kit decides about sending it.
void noteEarlierReport(const std::shared_ptr<FLTReport> &report)
{
    const QString text =
        QStringLiteral(
            "Report %1 of an earlier launch: %2, version %3 (%4), started %5, crashed %6, "
            "on %7 (%8), %9 custom keys")
            .arg(QString::fromStdString(report->identifier()),
                 report->isCrash() ? QStringLiteral("a crash") : QStringLiteral("recorded errors"),
                 QString::fromStdString(report->bundleShortVersionString().value_or("?")),
                 QString::fromStdString(report->bundleVersion().value_or("?")),
                 dateText(report->dateCreated()), dateText(report->crashedOnDate()),
                 QString::fromStdString(report->OSVersion().value_or("?")),
                 QString::fromStdString(report->OSBuildVersion().value_or("?")))
            .arg(report->customKeys().size());
    qCInfo(lcCrashReporting).noquote() << text;
}

} // namespace

void QntCrashReporting::install()
{
    auto delegate = std::make_shared<FaultlineDelegate>();
    delegate->permissionPrompt = askToSend;
    delegate->didDetectReportForLastExecution = noteEarlierReport;
    Faultline::sharedInstance().setDelegate(delegate);
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QObject::connect(app, &QGuiApplication::applicationStateChanged, app,
                         [](Qt::ApplicationState state) {
                             Faultline::sharedInstance().applicationActiveStateChanged(
                                 state == Qt::ApplicationActive);
                         });
}

QMenu *QntCrashReporting::makeMenu(QWidget *parent)
{
    auto *menu = new QMenu(tr("Crash Reporting"), parent);
    menu->setObjectName(QStringLiteral("crashReportingMenu"));
    menu->addAction(tr("Set User Identifier…"), menu, [menu] {
        bool ok = false;
        const QString identifier =
            QInputDialog::getText(menu->parentWidget(), tr("User Identifier"),
                                  tr("The identifier that crash reports of this session carry:"),
                                  QLineEdit::Normal, QString(), &ok);
        if (ok)
            Faultline::sharedInstance().setUserIdentifier(identifier.toStdString());
    });
    menu->addAction(tr("Set Custom Key…"), menu, [menu] {
        bool ok = false;
        const QString key = QInputDialog::getText(menu->parentWidget(), tr("Custom Key"),
                                                  tr("Key:"), QLineEdit::Normal, QString(), &ok);
        if (!ok || key.isEmpty())
            return;
        const QString value =
            QInputDialog::getText(menu->parentWidget(), tr("Custom Key"),
                                  tr("Value of “%1”:").arg(key), QLineEdit::Normal, QString(), &ok);
        if (ok)
            Faultline::sharedInstance().setObjectValue(value.toStdString(), key.toStdString());
    });
    menu->addAction(tr("Log Test Event"), menu, [] {
        Faultline::logEvent("quintora_test_event", {{"source", "help_menu"}});
    });
    menu->addAction(tr("Record Test Error"), menu, [] {
        FLTError error;
        error.domain = "org.quintora.test";
        error.code = 1;
        error.userInfo = {{"NSLocalizedDescription", "A test error recorded from the Help menu"}};
        Faultline::sharedInstance().recordError(error);
    });
    menu->addSeparator();
    menu->addAction(tr("Test Crash"), menu, [] { Faultline::crash(); });
    menu->addAction(tr("Test Exception"), menu, [] { Faultline::throwException(); });
    menu->addAction(tr("Test Crash in Worker Thread"), menu, [] { crashInWorkerThread(); });
    updateMenu(menu);
    return menu;
}

void QntCrashReporting::updateMenu(QMenu *menu)
{
    if (menu)
        menu->menuAction()->setVisible(Faultline::sharedInstance().isFaultlineStarted());
}

void QntCrashReporting::crashInWorkerThread()
{
    qCWarning(lcCrashReporting) << "test crash in a worker thread";
    QThread *worker = QThread::create(writeThroughNullOnWorkerThread);
    worker->start();
    worker->wait();
}
