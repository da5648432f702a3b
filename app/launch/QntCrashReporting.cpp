#include "app/launch/QntCrashReporting.h"

#include "telemetry/crash/FLTReport.h"
#include "telemetry/crash/Faultline.h"
#include "telemetry/TallyKit/Tally.h"

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

namespace {

// What a command of the submenu needs to work; updateMenu enables it only while the kit does that.
enum class Needs { Values, Errors, Events, Crashes };
constexpr const char *kNeedsProperty = "qntCrashReportingNeeds";

QAction *addCommand(QMenu *menu, const QString &text, const char *name, Needs needs,
                    std::function<void()> command)
{
    QAction *action = menu->addAction(text, menu, std::move(command));
    action->setObjectName(QLatin1String(name));
    action->setProperty(kNeedsProperty, static_cast<int>(needs));
    return action;
}

// Why a command does nothing in `state`, or an empty text when it works.
QString whyNot(Needs needs, const QntCrashReporting::Availability &state)
{
    const QString off =
        QntCrashReporting::tr("Crash reporting is switched off: nothing is recorded.");
    switch (needs) {
    case Needs::Values: return state.values ? QString() : off;
    case Needs::Errors:
        if (!state.values)
            return off;
        return state.errors
                   ? QString()
                   : QntCrashReporting::tr("Error reporting is switched off by the settings.");
    case Needs::Events:
        return state.events ? QString() : QntCrashReporting::tr("Usage analytics is not running.");
    case Needs::Crashes:
        if (!state.values)
            return QntCrashReporting::tr(
                "Crash reporting is switched off: a crash would not be recorded.");
        return state.crashes ? QString()
                             : QntCrashReporting::tr("The crash handlers are not installed (a "
                                                     "debugger is attached): a crash would not be "
                                                     "recorded.");
    }
    return QString();
}

} // namespace

QMenu *QntCrashReporting::makeMenu(QWidget *parent)
{
    auto *menu = new QMenu(tr("Crash Reporting"), parent);
    menu->setObjectName(QStringLiteral("crashReportingMenu"));
    menu->setToolTipsVisible(true);
    addCommand(menu, tr("Set User Identifier…"), "setUserIdentifierAction", Needs::Values, [menu] {
        bool ok = false;
        const QString identifier =
            QInputDialog::getText(menu->parentWidget(), tr("User Identifier"),
                                  tr("The identifier that crash reports of this session carry:"),
                                  QLineEdit::Normal, QString(), &ok);
        if (ok)
            Faultline::sharedInstance().setUserIdentifier(identifier.toStdString());
    });
    addCommand(menu, tr("Set Custom Key…"), "setCustomKeyAction", Needs::Values, [menu] {
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
    addCommand(menu, tr("Log Test Event"), "logTestEventAction", Needs::Events, [] {
        Faultline::logEvent("quintora_test_event", {{"source", "help_menu"}});
    });
    addCommand(menu, tr("Record Test Error"), "recordTestErrorAction", Needs::Errors, [] {
        FLTError error;
        error.domain = "org.quintora.test";
        error.code = 1;
        error.userInfo = {{"NSLocalizedDescription", "A test error recorded from the Help menu"}};
        Faultline::sharedInstance().recordError(error);
    });
    menu->addSeparator();
    addCommand(menu, tr("Test Crash"), "testCrashAction", Needs::Crashes,
               [] { Faultline::crash(); });
    addCommand(menu, tr("Test Exception"), "testExceptionAction", Needs::Crashes,
               [] { Faultline::throwException(); });
    addCommand(menu, tr("Test Crash in Worker Thread"), "testWorkerCrashAction", Needs::Crashes,
               [] { crashInWorkerThread(); });
    updateMenu(menu);
    return menu;
}

QntCrashReporting::Availability QntCrashReporting::Availability::current()
{
    const Faultline &kit = Faultline::sharedInstance();
    Availability state;
    state.kitStarted = kit.isFaultlineStarted();
    state.values = kit.recordsValues();
    state.errors = kit.recordsErrors();
    state.crashes = kit.recordsCrashes();
    state.events = Tally::sharedInstance().tallyController() != nullptr;
    return state;
}

void QntCrashReporting::updateMenu(QMenu *menu)
{
    updateMenu(menu, Availability::current());
}

void QntCrashReporting::updateMenu(QMenu *menu, const Availability &state)
{
    if (!menu)
        return;
    menu->menuAction()->setVisible(state.kitStarted);
    for (QAction *action : menu->actions()) {
        const QVariant needs = action->property(kNeedsProperty);
        if (!needs.isValid())
            continue;
        const QString reason = whyNot(static_cast<Needs>(needs.toInt()), state);
        action->setEnabled(reason.isEmpty());
        action->setToolTip(reason); // empty: the command's own text
    }
}

void QntCrashReporting::crashInWorkerThread()
{
    qCWarning(lcCrashReporting) << "test crash in a worker thread";
    QThread *worker = QThread::create(writeThroughNullOnWorkerThread);
    worker->start();
    worker->wait();
}
