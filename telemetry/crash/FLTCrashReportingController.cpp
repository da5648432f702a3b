#include "FLTCrashReportingController.h"

#include "FLTSDKLog.h"
#include "Faultline.h"
#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/platform/SystemLog.h"

FLTCrashReportingController::FLTCrashReportingController(
    std::shared_ptr<const FLTFileManager> fileManager,
    std::weak_ptr<FLTCrashReportingControllerDelegate> delegate)
    : m_fileManager(std::move(fileManager))
    , m_delegate(std::move(delegate))
    , m_operationQueue(std::make_shared<tel::OperationQueue>(
          std::string(Faultline::kBundleIdentifier) + ".work-queue", 1))
{
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
    // whole tree.
    m_fileManager->removeLegacyDirectories();
    if (!m_fileManager->prepareForNewLaunch())
        return false;
    processExistingReportPaths(m_fileManager->activePathContents(), false);
    handleContentsInOtherReportingDirectories();
    return true;
}

bool FLTCrashReportingController::canProcessUrgentReports()
{
    return FLTSettings::canProcessUrgentReports() && !settings().userPromptEnabled();
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
        if (urgent && canProcessUrgentReports()) {
            reportsController()->prepareAndSubmitReport(report, true, true);
            continue;
        }
        handleDelegateCompletionForReport(report, true);
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
        self->reportsController()->prepareAndSubmitReport(report, false, true);
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
