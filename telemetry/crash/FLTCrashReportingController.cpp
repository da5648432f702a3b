#include "FLTCrashReportingController.h"

#include "FLTContext.h"
#include "FLTExceptionHandler.h"
#include "FLTSDKLog.h"
#include "FLTUserLogging.h"
#include "Faultline.h"
#include "telemetry/core/FLTUserDefaults.h"
#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/platform/Host.h"
#include "telemetry/platform/SystemLog.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sstream>
#include <unistd.h>

namespace {

// Crash time: the context calls this with the controller as its target.
void deliverCrashCallback(void *target)
{
    static_cast<FLTCrashReportingController *>(target)->deliverCrashDelegateCallback();
}

std::string millisecondsText(double milliseconds)
{
    std::ostringstream text;
    text << milliseconds;
    return text.str();
}

// The mask bit the signal's delivery stands for (0 outside the handled range).
uint32_t exceptionMaskForSignal(int signal)
{
    switch (signal) {
    case SIGILL: return 0x4;
    case SIGTRAP: return 0x40;
    case SIGABRT:
    case SIGSYS: return 0x400;
    case SIGFPE: return 0x8;
    case SIGBUS:
    case SIGSEGV: return 0x2;
    default: return 0;
    }
}

} // namespace

FLTCrashReportingController::FLTCrashReportingController(
    std::shared_ptr<const FLTFileManager> fileManager,
    std::weak_ptr<FLTCrashReportingControllerDelegate> delegate)
    : m_fileManager(std::move(fileManager))
    , m_delegate(std::move(delegate))
    , m_operationQueue(std::make_shared<tel::OperationQueue>(
          std::string(Faultline::kBundleIdentifier) + ".work-queue", 1))
    , m_contextStarter([](const FLTContextInitData &data) { return FLTContextInitialize(&data); })
{
    // "Always send" answered at an earlier launch still holds: the user is not asked again.
    if (FLTUserDefaults::standardUserDefaults().boolForKey(kAlwaysSendKey))
        m_promptChoice.store(3);
}

double FLTCrashReportingController::monotonicMilliseconds()
{
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void FLTCrashReportingController::setContextStarter(ContextStarter starter)
{
    m_contextStarter = std::move(starter);
}

std::string FLTCrashReportingController::launchMarkerPath() const
{
    return m_fileManager->structurePath() + "/launchmarker";
}

bool FLTCrashReportingController::prepareStore()
{
    if (PLNApplicationEscapedBundleIdentifier().empty()) {
        tel::SystemLog::log(
            "[Faultline] An application must have a valid bundle idenifier in its Info.plist");
        return false;
    }
    if (!settings().crashReportingEnabled()) {
        tel::SystemLog::log("[Faultline:Crash] Reporting is disabled");
        m_fileManager->removeContentsOfAllPaths();
        return false;
    }
    // The legacy clean-up runs before the stage folders are made, never after: it removes the
    // whole tree, and with it this launch's folder and marker.
    m_fileManager->removeLegacyDirectories();
    return m_fileManager->prepareForNewLaunch();
}

namespace {

bool createMarker(const std::string &path)
{
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

bool FLTCrashReportingController::startWithProfilingMark(
    double markMilliseconds, const std::optional<std::string> &betaToken)
{
    m_mark = markMilliseconds;
    if (!prepareStore())
        return false;

    const std::string marker = launchMarkerPath();
    struct stat info {
    };
    if (::lstat(marker.c_str(), &info) == 0) {
        tel::SystemLog::debug("[Faultline:Crash] Last launch failed: this may indicate a crash "
                              "shortly after app launch.");
        m_lastLaunchFailed = true;
    } else {
        createMarker(marker);
    }

    // The earlier launches' folders, read before this launch's exists.
    const std::vector<std::string> earlier = m_fileManager->activePathContents();

    const bool reportSetUp = setupNewReport();
    if (!reportSetUp)
        tel::SystemLog::log("[Faultline:Crash] Unable to setup a new report");
    const bool reporterStarted = reportSetUp && startCrashReporter(betaToken);
    if (reportSetUp && !reporterStarted)
        tel::SystemLog::log("[Faultline:Crash] Unable to start crash reporter");

    processExistingReportPaths(earlier, m_lastLaunchFailed);
    handleContentsInOtherReportingDirectories();

    if (reporterStarted)
        FLTUserLoggingRecordInternalKeyValue("com.faultline.kit-start-time",
                                             millisecondsText(monotonicMilliseconds() - m_mark));
    return reportSetUp && reporterStarted;
}

bool FLTCrashReportingController::setupNewReport()
{
    createMarker(launchMarkerPath());
    auto delegate = m_delegate.lock();
    const std::optional<std::string> identifier =
        delegate ? delegate->executionIdentifierForCrashReportingController(this) : std::nullopt;
    if (!identifier || identifier->empty())
        return false;
    const std::optional<std::string> path =
        m_fileManager->setupNewPathForExecutionIdentifier(*identifier);
    if (!path)
        return false;
    m_currentReport = FLTInternalReport::reportWithPath(*path, *identifier);
    return m_currentReport != nullptr;
}

bool FLTCrashReportingController::startCrashReporter(const std::optional<std::string> &betaToken)
{
    auto delegate = m_delegate.lock();
    if (!m_currentReport || !delegate)
        return false;
    const FLTSettings current = settings();
    const std::string apiKey = delegate->APIKeyForCrashReportingController(this).value_or("");
    const std::string installID = delegate->installIDForCrashReportingController(this);
    const std::string bundle = PLNApplicationEscapedBundleIdentifier();
    const std::string build = PLNApplicationBuildVersion();
    const std::string display = PLNApplicationDisplayVersion();
    const std::string model = PLNHostModel().value_or("");

    FLTContextInitData data;
    data.apiKey = apiKey.c_str();
    data.firstInstall = delegate->isFirstInstallForCrashReportingController(this);
    if (delegate->shouldInstallCrashCallback()) {
        data.crashCallback = deliverCrashCallback;
        data.crashCallbackTarget = this;
    }
    data.bundleIdentifier = bundle.c_str();
    data.buildVersion = build.c_str();
    data.displayVersion = display.c_str();
    data.hostModel = model.empty() ? nullptr : model.c_str();
    data.reportPath = m_currentReport->path().c_str();
    data.sessionIdentifier = m_currentReport->identifier().c_str();
    data.installIdentifier = installID.c_str();
    data.betaToken = betaToken ? betaToken->c_str() : nullptr;
    for (int signal : {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP})
        if (delegate->reportingControllerEnsureDeliveryOfUnixSignal(this, signal))
            data.machExceptionMask |= exceptionMaskForSignal(signal);
    data.errorReportingEnabled = current.errorReportingEnabled();
    data.customExceptionsEnabled = current.customExceptionsEnabled();
    data.maxCustomExceptions = current.maxCustomExceptions();
    data.errorLogBufferSize = current.errorLogBufferSize();
    data.logBufferSize = current.logBufferSize();
    data.maxCustomKeys = current.maxCustomKeys();
    // Crash time reads the delegate through this raw pointer: no reference counting there.
    m_crashDelegate = delegate.get();
    m_crashDelegateOwner = delegate;
    if (!m_contextStarter(data))
        return false;
    FLTUserLoggingRecordInternalKeyValue("com.faultline.in-background", "0");
    crashReportingSetupCompleted();
    return true;
}

void FLTCrashReportingController::applicationActiveStateChanged(bool active)
{
    FLTUserLoggingRecordInternalKeyValue("com.faultline.in-background", active ? "0" : "1");
}

void FLTCrashReportingController::deliverCrashDelegateCallback()
{
    if (m_crashDelegate)
        m_crashDelegate->detectedCrash();
}

void FLTCrashReportingController::crashReportingSetupCompleted()
{
    // The first turn of the main thread's loop: the launch got that far.
    tel::Host::runOnMainThread([weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self)
            return;
        ::unlink(self->launchMarkerPath().c_str());
        FLTUserLoggingRecordInternalKeyValue(
            "com.faultline.first-run-loop-time",
            millisecondsText(monotonicMilliseconds() - self->m_mark));
    });
    auto check = [weak = weak_from_this()] {
        tel::Host::runOnMainThread([weak] {
            auto self = weak.lock();
            if (!self)
                return;
            FLTExceptionCheckHandlers();
            auto delegate = self->m_delegate.lock();
            // An application that shows the prompt itself needs no warning.
            if (self->settings().userPromptEnabled() && delegate
                && !delegate->reportingControllerMustInformDelegateOfReports(self.get())
                && !delegate->reportingControllerCanDisplayPermissionPrompt(self.get()))
                tel::SystemLog::log(
                    "[Faultline:Crash] WARNING: the user prompt feature is enabled. As of "
                    "Faultline 3.0.0, implementing a user prompt is the application's "
                    "responsibility. See Faultline.h's notes about "
                    "-faultlineDidDetectReportForLastExecution:completionHandler:");
        });
    };
    std::lock_guard lock(m_mutex);
    if (m_scheduler)
        m_scheduler(2.0, std::move(check));
    else
        m_retryTimers.push_back(tel::Timer::schedule(2.0, 0, nullptr, std::move(check)));
}

std::shared_ptr<FLTCrashReportingController>
FLTCrashReportingController::create(std::shared_ptr<const FLTFileManager> fileManager,
                                    std::weak_ptr<FLTCrashReportingControllerDelegate> delegate)
{
    std::shared_ptr<FLTCrashReportingController> controller(
        new FLTCrashReportingController(std::move(fileManager), std::move(delegate)));
    controller->m_networkClient = FLTNetworkClient::create(
        controller->m_operationQueue, controller->m_fileManager, controller->weak_from_this());
    return controller;
}

FLTCrashReportingController::~FLTCrashReportingController()
{
    std::vector<std::shared_ptr<tel::Timer>> timers;
    {
        std::lock_guard lock(m_mutex);
        timers.swap(m_retryTimers);
    }
    for (const auto &timer : timers)
        timer->cancel();
    m_operationQueue->cancelAllOperations();
    m_operationQueue->waitUntilAllOperationsAreFinished();
}

FLTSettings FLTCrashReportingController::settings()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_settings)
            return *m_settings;
    }
    auto delegate = m_delegate.lock();
    FLTSettings fetched =
        delegate ? delegate->settingsForCrashReportingController(this) : FLTSettings(std::nullopt);
    std::lock_guard lock(m_mutex);
    if (!m_settings)
        m_settings = fetched;
    return *m_settings;
}

void FLTCrashReportingController::setScheduler(Scheduler scheduler)
{
    std::lock_guard lock(m_mutex);
    m_scheduler = std::move(scheduler);
}

std::shared_ptr<FLTReportsController> FLTCrashReportingController::reportsController()
{
    std::lock_guard lock(m_mutex);
    if (!m_reportsController)
        m_reportsController = std::make_shared<FLTReportsController>(
            m_operationQueue, weak_from_this(), m_networkClient, m_fileManager);
    return m_reportsController;
}

bool FLTCrashReportingController::startWithEarlierReports()
{
    if (!prepareStore())
        return false;
    processExistingReportPaths(m_fileManager->activePathContents(), false);
    handleContentsInOtherReportingDirectories();
    return true;
}

bool FLTCrashReportingController::needsToPrompt()
{
    const int choice = m_promptChoice.load();
    if (choice == 2 || choice == 3)
        return false;
    return settings().userPromptEnabled();
}

bool FLTCrashReportingController::canProcessUrgentReports()
{
    auto delegate = m_delegate.lock();
    return FLTSettings::canProcessUrgentReports() && !needsToPrompt()
           && !(delegate && delegate->reportingControllerMustInformDelegateOfReports(this));
}

void FLTCrashReportingController::processExistingReportPaths(const std::vector<std::string> &paths,
                                                             bool urgent)
{
    for (const std::string &path : paths) {
        auto report = FLTFileManager::isRealDirectory(path)
                          ? FLTInternalReport::reportWithPath(path)
                          : nullptr;
        if (!report || !report->needsToBeSubmitted()) {
            if (report)
                tel::SystemLog::debug("[Faultline:Crash] Removing a report with nothing to send: "
                                      + path);
            else
                tel::SystemLog::log("[Faultline:Crash] Removing an unreadable report: " + path);
            m_operationQueue->addOperationWithBlock(
                [fileManager = m_fileManager, path] { fileManager->removeItemAtPath(path); });
            continue;
        }
        auto delegate = m_delegate.lock();
        if (delegate)
            delegate->reportingControllerInternalDidDetectReportForLastExecution(this, report);
        if (urgent && canProcessUrgentReports()) {
            reportsController()->prepareAndSubmitReport(report, true, true);
            continue;
        }
        if (!delegate) {
            handleDelegateCompletionForReport(report, true);
            continue;
        }
        delegate->reportingControllerDidDetectReportForLastExecution(
            this, report, [weak = weak_from_this(), report](bool submit) {
                if (auto self = weak.lock())
                    self->handleDelegateCompletionForReport(report, submit);
            });
    }
}

void FLTCrashReportingController::handleDelegateCompletionForReport(
    const std::shared_ptr<FLTInternalReport> &report, bool submit)
{
    m_operationQueue->addOperationWithBlock([weak = weak_from_this(), report, submit] {
        auto self = weak.lock();
        if (!self)
            return;
        if (!submit) {
            tel::SystemLog::debug("[Faultline:Crash] Removing report at request of delegate");
            self->m_fileManager->removeItemAtPath(report->path());
            return;
        }
        if (self->needsToPrompt()) {
            self->displayPermissionAlertForReport(report);
            return;
        }
        self->reportsController()->prepareAndSubmitReport(report, false, true);
    });
}

void FLTCrashReportingController::displayPermissionAlertForReport(
    const std::shared_ptr<FLTInternalReport> &report)
{
    const FLTSettings current = settings();
    FLTPromptTexts texts;
    texts.title = current.interactivePromptTitle();
    texts.message = current.interactivePromptMessage();
    texts.cancel = current.interactivePromptCancelTitle();
    texts.send = current.interactivePromptSendTitle();
    texts.alwaysSend = current.interactivePromptAlwaysSendTitle();
    if (texts.alwaysSend && texts.alwaysSend->empty())
        texts.alwaysSend.reset();
    tel::SystemLog::debug("[Faultline:Crash] Displaying permission alert");
    tel::Host::runOnMainThread([weak = weak_from_this(), report, texts] {
        auto self = weak.lock();
        if (!self)
            return;
        const int choice = self->m_promptChoice.load();
        if (choice == 2 || choice == 3) {
            self->handlePromptAnswer(report, FLTPromptAnswer::Send);
            return;
        }
        if (choice == 1) {
            self->handlePromptAnswer(report, FLTPromptAnswer::DoNotSend);
            return;
        }
        // One prompt at a time: reports that come up while it is shown (a modal dialog runs a
        // loop of its own) wait for its answer, which then holds for them too.
        if (self->m_promptInProgress) {
            self->m_waitingForPrompt.push_back(report);
            return;
        }
        self->m_promptInProgress = true;
        auto answered = [weak, report](FLTPromptAnswer answer) {
            auto controller = weak.lock();
            if (!controller)
                return;
            controller->handlePromptAnswer(report, answer);
            tel::Host::runOnMainThread([weak, answer] {
                auto owner = weak.lock();
                if (!owner)
                    return;
                owner->m_promptInProgress = false;
                std::vector<std::shared_ptr<FLTInternalReport>> waiting;
                waiting.swap(owner->m_waitingForPrompt);
                for (const auto &other : waiting)
                    owner->handlePromptAnswer(other, answer == FLTPromptAnswer::DoNotSend
                                                         ? FLTPromptAnswer::DoNotSend
                                                         : FLTPromptAnswer::Send);
            });
        };
        auto delegate = self->m_delegate.lock();
        const bool shown =
            delegate
            && delegate->reportingControllerDisplayPermissionPrompt(self.get(), texts, answered);
        // With no one to ask the report goes, as it would from a process that cannot show an
        // alert.
        if (!shown)
            answered(FLTPromptAnswer::Send);
    });
}

void FLTCrashReportingController::handlePromptAnswer(
    const std::shared_ptr<FLTInternalReport> &report, FLTPromptAnswer answer)
{
    // The choice holds from the moment it is made, for every report asked about later.
    if (answer == FLTPromptAnswer::DoNotSend)
        m_promptChoice.store(1);
    else if (answer == FLTPromptAnswer::AlwaysSend)
        m_promptChoice.store(3);
    else if (m_promptChoice.load() != 3)
        m_promptChoice.store(2);
    m_operationQueue->addOperationWithBlock([weak = weak_from_this(), report, answer] {
        auto self = weak.lock();
        if (!self)
            return;
        if (answer == FLTPromptAnswer::DoNotSend) {
            tel::SystemLog::debug("[Faultline:Crash] Removing report at request of user");
            self->m_fileManager->removeItemAtPath(report->path());
            return;
        }
        self->reportsController()->prepareAndSubmitReport(report, false, true);
        if (answer == FLTPromptAnswer::AlwaysSend) {
            tel::SystemLog::debug("should set always submit here");
            FLTUserDefaults &defaults = FLTUserDefaults::standardUserDefaults();
            if (!defaults.boolForKey(kAlwaysSendKey)) {
                defaults.setBool(true, kAlwaysSendKey);
                defaults.synchronize();
            }
        }
    });
}

void FLTCrashReportingController::handleContentsInOtherReportingDirectories()
{
    m_operationQueue->addOperationWithBlock([weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self)
            return;
        for (const std::string &path : self->m_fileManager->processingPathContents()) {
            auto report = FLTFileManager::isRealDirectory(path)
                              ? FLTInternalReport::reportWithPath(path)
                              : nullptr;
            if (!report) {
                tel::SystemLog::log("[Faultline:Crash] Removing an unreadable report: " + path);
                self->m_fileManager->removeItemAtPath(path);
                continue;
            }
            self->reportsController()->prepareAndSubmitReport(report, false, false);
        }
    });
    m_networkClient->attemptToReconnectBackgroundSessionWithCompletionBlock(
        [weak = weak_from_this()] {
            auto self = weak.lock();
            if (!self)
                return;
            self->m_operationQueue->addOperationWithBlock([weak] {
                auto controller = weak.lock();
                if (!controller)
                    return;
                for (const std::string &path : controller->m_fileManager->preparedPathContents())
                    controller->reportsController()->uploadPackagedReportAtPath(path, false);
            });
        });
}

bool FLTCrashReportingController::networkClientCanUseBackgroundSessions(FLTNetworkClient *)
{
    auto delegate = m_delegate.lock();
    return delegate && delegate->reportingControllerCanUseBackgroundSessions(this);
}

void FLTCrashReportingController::networkClientDidFinishUploadWithPath(
    FLTNetworkClient *, const std::string &path, const std::optional<tel::TelemetryError> &error)
{
    reportsController()->reportUploadAtPath(path, error);
}

void FLTCrashReportingController::reportsControllerDidCompletePackageSubmission(
    FLTReportsController *, const std::string &path,
    const std::optional<tel::TelemetryError> &error)
{
    if (!error) {
        tel::SystemLog::debug("[Faultline:Crash] report submission successful");
        return;
    }
    tel::SystemLog::debug("[Faultline:Crash] report submission failed with error "
                          + PLNErrorDescription(*error));
    FLT_WARN("Error: failed to submit report '%s'", PLNErrorDescription(*error).c_str());
    if (!FLTInternalReport::isRegularFile(path))
        return; // given up (quarantined) or gone: nothing to try again
    auto retry = [weak = weak_from_this(), path] {
        auto self = weak.lock();
        if (!self)
            return;
        self->m_operationQueue->addOperationWithBlock([weak, path] {
            if (auto controller = weak.lock()) {
                tel::SystemLog::debug("[Faultline:Crash] re-attempting report submission");
                controller->reportsController()->uploadPackagedReportAtPath(path, false);
            }
        });
    };
    std::lock_guard lock(m_mutex);
    if (m_scheduler) {
        m_scheduler(kRetryDelay, std::move(retry));
        return;
    }
    m_retryTimers.push_back(tel::Timer::schedule(kRetryDelay, 0, nullptr, std::move(retry)));
}

void FLTCrashReportingController::reportsControllerDidCompleteAllSubmissions(FLTReportsController *)
{
    m_operationQueue->addOperationWithBlock([weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            std::lock_guard lock(self->m_mutex);
            self->m_reportsController.reset();
        }
        tel::SystemLog::debug("[Faultline:Crash] report submission complete");
    });
}

FLTSettings FLTCrashReportingController::settingsForReportsController(FLTReportsController *)
{
    return settings();
}

std::optional<std::string>
FLTCrashReportingController::APIKeyForReportsController(FLTReportsController *)
{
    auto delegate = m_delegate.lock();
    return delegate ? delegate->APIKeyForCrashReportingController(this) : std::nullopt;
}

std::string
FLTCrashReportingController::bundleIdentifierForReportsController(FLTReportsController *)
{
    return PLNApplicationEscapedBundleIdentifier();
}
