#include "app/launch/QntApplicationMain.h"

#include "app/common/QntApplicationStyle.h"
#include "app/launch/QntDocumentController.h"
#include "app/launch/VOReruRerAppDelegate.h"
#include "app/window/DIDizeZoziDocument.h"
#include "platform/ImageResources.h"
#include "platform/PasteGuard.h"
#include "platform/QntPaths.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "telemetry/platform/ExitGate.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QLoggingCategory>
#include <QTextStream>
#include <QUrl>

#include <cstring>

Q_LOGGING_CATEGORY(lcMain, "quintora.main")

namespace {

// Arguments as the running instance must see them: URLs as they are, files as absolute paths.
QStringList instanceMessages(const QStringList &arguments)
{
    QStringList messages;
    for (const QString &argument : arguments) {
        if (argument.isEmpty())
            continue;
        if (argument.contains(QLatin1String("://")) || argument.startsWith(QLatin1String("file:")))
            messages.append(argument);
        else
            messages.append(QFileInfo(argument).absoluteFilePath());
    }
    return messages;
}

} // namespace

void installTerminationHandling(QntDocumentController &documentController,
                                VOReruRerAppDelegate &delegate,
                                TerminationSignals *terminationSignals)
{
    // A signal (logout, `kill`) has nobody to answer a question: the edits go to the recovery
    // copies and the application quits.
    if (terminationSignals)
        QObject::connect(terminationSignals, &TerminationSignals::terminationRequested, &delegate,
                         [&delegate] { delegate.terminateKeepingUnsavedChanges(); });
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &delegate,
                     [&documentController, &delegate] {
                         if (!documentController.isTerminating())
                             documentController.prepareForTermination();
                         delegate.applicationWillTerminate();
                     });
}

int QntApplicationMain(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            QTextStream(stdout) << "Quintora " << QNT_VERSION << Qt::endl;
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quintora"));
    QApplication::setApplicationName(QStringLiteral("Quintora"));
    QApplication::setApplicationVersion(QStringLiteral(QNT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quintora"));
    QntApplicationStyle::install();
    // The installed theme's icon where there is one, else the bundle's own.
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("quintora"),
                         ImageResources::iconFromFileWhenUsed(QntPaths::bundleResourcesPath()
                                                              + QStringLiteral("/quintora.png"))));
    // Text views Qt makes for us (in its dialogs) need the guard as much as ours.
    PasteGuard pasteGuard;
    app.installEventFilter(&pasteGuard);

    const QStringList messages = instanceMessages(QApplication::arguments().mid(1));
    SingleInstance instance;
    if (!instance.listen()) {
        // An empty message stands for a plain relaunch, which reactivates the running instance.
        if (SingleInstance::sendToRunningInstance(messages.isEmpty() ? QStringList{QString()}
                                                                     : messages)) {
            qCInfo(lcMain) << "handed" << messages << "to the running instance";
            return 0;
        }
        qCWarning(lcMain) << "another instance holds" << SingleInstance::serverName()
                          << "but does not answer; starting without URL forwarding";
    }

    // QNT_AUTOSAVE_DELAY (seconds) shortens the autosave delay, so end-to-end checks of the
    // recovery copies need not wait the real 10 seconds.
    bool delayGiven = false;
    const double autosaveDelay = qEnvironmentVariable("QNT_AUTOSAVE_DELAY").toDouble(&delayGiven);
    if (delayGiven && autosaveDelay > 0)
        DIDizeZoziDocument::setAutosaveDelayForNewWindows(autosaveDelay);

    // The document controller comes first, so it is the shared one.
    QntDocumentController documentController(&app);
    VOReruRerAppDelegate::initialize();
    VOReruRerAppDelegate delegate;
    delegate.setInstanceServer(&instance);
    QApplication::setQuitOnLastWindowClosed(
        delegate.applicationShouldTerminateAfterLastWindowClosed());

    TerminationSignals terminationSignals;
    terminationSignals.install();
    installTerminationHandling(documentController, delegate, &terminationSignals);

    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    documentController.reopenDocumentsFromLastSession();
    for (const QString &message : messages)
        delegate.handleInstanceMessage(message);

    const int status = QApplication::exec();
    // The telemetry library's threads stop before the delegate, the document controller and the
    // process's static objects they call into go; its work under way gets two seconds.
    tel::ExitGate::close(2.0);
    return status;
}
