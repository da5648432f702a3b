#include "TLYTallyController.h"

#include "TLYCleanupFilesOperation.h"
#include "TLYCompressLogOperation.h"
#include "TLYCrashEvent.h"
#include "TLYFileUtils.h"
#include "TLYLifecycleEvent.h"
#include "TLYLogger.h"
#include "TLYNetworkRetryHandler.h"
#include "TLYPackageLogOperation.h"
#include "TLYPredefinedEvent.h"
#include "TLYRotateCrashMetadataOperation.h"
#include "TLYTimer.h"
#include "TLYUploadOperation.h"
#include "TLYWriteEventOperation.h"

#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/core/PLNMultipartMimeStreamEncoder.h"
#include "telemetry/core/PLNNetworkResponseHandler.h"
#include "telemetry/core/PLNSettingsOnboardingManager.h"
#include "telemetry/core/Plinth.h"
#include "telemetry/platform/ExitGate.h"
#include "telemetry/platform/SystemLog.h"
#include "telemetry/platform/TelemetryPaths.h"

#include <cerrno>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

void makeDirectories(const std::string &path)
{
    std::string partial;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = path.find('/', start);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        partial = path.substr(0, end);
        if (!partial.empty())
            ::mkdir(partial.c_str(), 0755);
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
}

} // namespace

// Runs the block on the event queue while the controller lives.
template <typename F> void TLYTallyController::enqueue(F &&block)
{
    std::weak_ptr<TLYTallyController> weak = weak_from_this();
    m_eventQueue->addOperationWithBlock([weak, block = std::forward<F>(block)]() mutable {
        if (const auto self = weak.lock())
            block(*self);
    });
}

std::string TLYTallyController::rootDirectory()
{
    return tel::TelemetryPaths::cachesFolder() + "/com.faultline.data/"
           + PLNApplicationEscapedBundleIdentifier() + "/analytics/v2";
}

std::string TLYTallyController::eventDirectoryForRootDirectory(const std::string &root)
{
    return root + "/events";
}

std::string TLYTallyController::crashMetadataPathForRootDirectory(const std::string &root)
{
    return root + "/crash_metadata";
}

std::shared_ptr<TLYTallyController>
TLYTallyController::create(const std::optional<std::string> &betaToken)
{
    return create(betaToken, rootDirectory());
}

std::shared_ptr<TLYTallyController>
TLYTallyController::create(const std::optional<std::string> &betaToken,
                           const std::string &rootDirectory, Context context)
{
    std::shared_ptr<TLYTallyController> controller(
        new TLYTallyController(betaToken, rootDirectory, std::move(context)));
    controller->start();
    return controller;
}

TLYTallyController::TLYTallyController(const std::optional<std::string> &betaToken,
                                       std::string rootDirectory, Context context)
    : m_betaToken(betaToken)
    , m_rootDirectory(std::move(rootDirectory))
    , m_context(std::move(context))
    , m_eventQueue(std::make_shared<tel::OperationQueue>(kEventQueueName, 1))
{
}

void TLYTallyController::start()
{
    enqueue([](TLYTallyController &self) { self.setUp(); });

    std::weak_ptr<TLYTallyController> weak = weak_from_this();
    tel::NotificationBus &bus = tel::NotificationBus::defaultBus();
    for (const char *name :
         {kApplicationWillTerminate, kApplicationWillResignActive, kApplicationDidBecomeActive})
        m_observers.push_back(
            bus.addObserver(name, nullptr, [weak](const tel::TelemetryNotification &note) {
                if (const auto self = weak.lock())
                    self->applicationLifecycleEvent(note.name);
            }));
    m_observers.push_back(bus.addObserver(PLNSettingsAvailableNotification, nullptr,
                                          [weak](const tel::TelemetryNotification &) {
                                              if (const auto self = weak.lock())
                                                  self->plinthSettingsDidBecomeAvailable();
                                          }));

    const bool firstInstall =
        m_context.firstInstall ? *m_context.firstInstall : Plinth::sharedSDK().isFirstInstall();
    if (firstInstall)
        enqueueEvent(TLYLifecycleEvent::installEvent());
    enqueueEvent(TLYLifecycleEvent::appLaunchedEvent());
    plinthSettingsDidBecomeAvailable();
    // There is no advertising identifier on this platform, so the client keeps none.
}

TLYTallyController::~TLYTallyController()
{
    m_observers.clear();
    // The queue may be ours to drain from one of its own workers (its last operation held the
    // last reference); a queue cannot wait for itself, so another thread lets it go.
    if (tel::OperationQueue::currentQueue() == m_eventQueue.get()) {
        std::thread([queue = std::move(m_eventQueue)]() mutable {
            const tel::ExitGate::Pass pass;
            queue.reset();
        }).detach();
        return;
    }
    m_flushTimer.reset();
    if (m_uploader)
        m_uploader->invalidate();
    m_eventQueue->waitUntilAllOperationsAreFinished();
}

void TLYTallyController::waitUntilIdle()
{
    m_eventQueue->waitUntilAllOperationsAreFinished();
}

void TLYTallyController::checkQueue(const char *method) const
{
    if (tel::OperationQueue::currentQueue() != m_eventQueue.get())
        TLYLogger::sharedLogger().log(std::string("queuing bug in ") + method + ": "
                                      + kEventQueueName + " != another queue");
}

void TLYTallyController::setUp()
{
    m_rootEventDirectory = eventDirectoryForRootDirectory(m_rootDirectory);
    makeDirectories(m_rootEventDirectory);
    m_currentLogURL = generateNewLogPath();
    m_settings = TLYSettings();
    m_metadata = m_context.metadataFields
                     ? std::make_shared<TLYMetadata>(*m_context.metadataFields, m_betaToken)
                     : std::make_shared<TLYMetadata>(m_betaToken);
    TLYRotateCrashMetadataOperation rotate(crashMetadataPathForRootDirectory(m_rootDirectory),
                                           *m_metadata);
    rotate.main();
    m_previousExecutionMetadata = rotate.crashMetadata();
    m_networkRetryHandler = std::make_shared<TLYNetworkRetryHandler>();
    if (m_context.backoffScheduler)
        m_networkRetryHandler->setScheduler(m_context.backoffScheduler);
    m_uploader = TLYUploader::create(m_eventQueue, weak_from_this());
    m_hearthAnalyticsBridge =
        m_context.hearthAnalytics
            ? std::make_unique<TLYHearthAnalyticsBridge>(m_context.hearthAnalytics)
            : std::make_unique<TLYHearthAnalyticsBridge>();
    cleanupAndProcessExistingFiles();
}

// Recording.

void TLYTallyController::logEvent(TLYEventPointer event)
{
    if (!event)
        return;
    if (TLYLogger::sharedLogger().debugMode())
        TLYLogger::sharedLogger().log("Logging Tally event: " + event->description());
    enqueueEvent(std::move(event));
}

void TLYTallyController::enqueueEvent(TLYEventPointer event)
{
    bool schedule = false;
    {
        std::lock_guard lock(m_incomingMutex);
        m_incoming.push_back(std::move(event));
        schedule = !m_drainQueued;
        m_drainQueued = true;
    }
    if (schedule)
        enqueue([](TLYTallyController &self) { self.drainIncomingEvents(); });
}

void TLYTallyController::drainIncomingEvents()
{
    std::vector<TLYEventPointer> events;
    {
        std::lock_guard lock(m_incomingMutex);
        events.swap(m_incoming);
        m_drainQueued = false;
    }
    for (const TLYEventPointer &event : events)
        recordEvent(event);
}

bool TLYTallyController::shouldLogEvent() const
{
    return !m_settings.valid() || m_settings.shouldCollectAnalytics();
}

void TLYTallyController::recordEvent(const TLYEventPointer &event)
{
    if (!shouldLogEvent())
        return;
    if (m_eventFilter.shouldDiscardEvent(event.get(), m_metadata->betaToken(),
                                         m_metadata->installationId(), m_settings.samplingRate())) {
        TLYLogger::sharedLogger().log("Application is enabled for sampling, skipping "
                                      + event->description());
        return;
    }
    logEventToHearth(*event);
    // The size test sees the log as it was before this event, and the event still goes into
    // the log being rolled. The write runs here, in the same operation, so that a burst of
    // events queued at once still rolls at the limit instead of all passing an empty log.
    const bool full = shouldSubmitLogAtURL(m_currentLogURL);
    TLYWriteEventOperation(event, m_metadata, m_currentLogURL).main();
    if (full || event->triggersFlush())
        rotateAndSubmitCurrentLog();
}

void TLYTallyController::logCrashEvent(std::shared_ptr<const TLYCrashEvent> event)
{
    if (!event)
        return;
    enqueue([event = std::move(event)](TLYTallyController &self) { self.recordCrashEvent(event); });
}

void TLYTallyController::recordCrashEvent(const std::shared_ptr<const TLYCrashEvent> &event)
{
    TLYLogger::sharedLogger().log("Attempting to log " + event->name());
    if (!shouldLogEvent())
        return;
    if (m_eventFilter.shouldDiscardEvent(event.get(), m_metadata->betaToken(),
                                         m_metadata->installationId(), m_settings.samplingRate())) {
        TLYLogger::sharedLogger().log("Application is enabled for sampling, skipping "
                                      + event->description());
        return;
    }
    if (::access(m_currentLogURL.c_str(), R_OK) == 0)
        rotateAndSubmitCurrentLog();
    TLYWriteEventOperation(event, m_previousExecutionMetadata, m_currentLogURL).main();
    rotateAndSubmitCurrentLog();
}

void TLYTallyController::logEventToHearth(const TLYEvent &event)
{
    if (!m_settings.shouldForwardToHearthAnalytics() || !m_hearthAnalyticsBridge)
        return;
    if (const auto *predefined = dynamic_cast<const TLYPredefinedEvent *>(&event))
        if (predefined->predefinedEventName() == "purchase"
            && !m_settings.shouldIncludePurchaseEventsInForwardedHearthEvents())
            return;
    m_hearthAnalyticsBridge->logEvent(event);
}

void TLYTallyController::applicationLifecycleEvent(const std::string &notificationName)
{
    enqueueEvent(TLYLifecycleEvent::eventWithNotification(notificationName));
}

// Rolling over and the chains.

bool TLYTallyController::shouldSubmitLogAtURL(const std::string &path) const
{
    const std::int64_t limit = m_settings.maximumPayloadSize();
    const std::uint64_t size = TLYFileUtils::fileSizeAtURL(path);
    return limit < 0 || size > static_cast<std::uint64_t>(limit);
}

std::string TLYTallyController::generateNewLogPath() const
{
    return m_rootEventDirectory + "/" + PLNGenerateUUIDString() + ".log";
}

std::string TLYTallyController::multipartMimeURLWithBoundary(const std::string &boundary) const
{
    return m_rootEventDirectory + "/" + boundary + ".multipartmime";
}

std::optional<std::string> TLYTallyController::boundaryFromURL(const std::string &path)
{
    if (TLYFileUtils::pathExtension(path) != "multipartmime")
        return std::nullopt;
    return TLYFileUtils::baseName(path);
}

void TLYTallyController::rotateAndSubmitCurrentLog()
{
    const std::string log = m_currentLogURL;
    m_currentLogURL = generateNewLogPath();
    m_eventQueue->addOperations(operationsForUncompressedLog(log), false);
}

std::vector<std::shared_ptr<tel::Operation>>
TLYTallyController::operationsForUncompressedLog(const std::string &log)
{
    if (TLYFileUtils::pathExtension(log) != "log")
        TLYLogger::sharedLogger().log("Error: attempted to submit file with invalid extension "
                                      + TLYFileUtils::pathExtension(log) + ", should be log");
    const std::string gz = TLYCompressLogOperation::compressedURLForUncompressedURL(log);
    const std::string boundary = PLNMultipartMimeStreamEncoder::generateBoundary();
    const std::string package = multipartMimeURLWithBoundary(boundary);
    auto compress = std::make_shared<TLYCompressLogOperation>(log, gz);
    // The log goes only once its compressed copy is complete; a failure leaves it for a later
    // launch.
    compress->setFinishedBlock([log](bool success) {
        if (success)
            ::unlink(log.c_str());
    });
    auto packaging = packageOperation(gz, package, boundary);
    packaging->addDependency(compress);
    auto upload = uploadOperationForFileAtURL(package, boundary);
    upload->addDependency(packaging);
    return {compress, packaging, upload};
}

std::vector<std::shared_ptr<tel::Operation>>
TLYTallyController::operationsForCompressedLog(const std::string &gz)
{
    if (TLYFileUtils::pathExtension(gz) != "gz")
        TLYLogger::sharedLogger().log("Error: attempted to submit file with invalid extension "
                                      + TLYFileUtils::pathExtension(gz) + ", should be gz");
    const std::string boundary = PLNMultipartMimeStreamEncoder::generateBoundary();
    const std::string package = multipartMimeURLWithBoundary(boundary);
    auto packaging = packageOperation(gz, package, boundary);
    auto upload = uploadOperationForFileAtURL(package, boundary);
    upload->addDependency(packaging);
    return {packaging, upload};
}

std::shared_ptr<tel::Operation> TLYTallyController::packageOperation(const std::string &gz,
                                                                     const std::string &package,
                                                                     const std::string &boundary)
{
    auto packaging = std::make_shared<TLYPackageLogOperation>(gz, package, boundary);
    std::weak_ptr<TLYTallyController> weak = weak_from_this();
    packaging->setFinishedBlock([gz, weak](bool success) {
        if (!success)
            return;
        ::unlink(gz.c_str());
        if (const auto self = weak.lock())
            self->limitPendingPackages();
    });
    return packaging;
}

std::shared_ptr<tel::Operation>
TLYTallyController::uploadOperationForFileAtURL(const std::string &package,
                                                const std::string &boundary)
{
    // Whether settings are known is asked when the upload is due, not when the chain is built:
    // settings that arrive in between still send the package. Without them the package waits
    // on disk for the settings (or a later launch).
    std::weak_ptr<TLYTallyController> weak = weak_from_this();
    return std::make_shared<tel::BlockOperation>([weak, package, boundary] {
        const auto self = weak.lock();
        if (!self || !self->m_settings.valid() || !self->m_settings.shouldCollectAnalytics())
            return;
        TLYUploadOperation(self->m_uploader, self->m_settings.tallyURL(),
                           self->m_metadata->APIKey(), package, boundary)
            .main();
    });
}

void TLYTallyController::limitPendingPackages()
{
    // The folder stays bounded while the server is out of reach: beyond the limit, the oldest
    // packages go first.
    const std::set<std::string> packages =
        TLYFileUtils::filesWithExtension("multipartmime", m_rootEventDirectory);
    const std::int64_t limit = m_settings.maxPendingSendFiles();
    if (limit >= 0 && packages.size() <= static_cast<std::uint64_t>(limit))
        return;
    const std::set<std::string> kept =
        TLYCleanupFilesOperation::pruneMultipartFiles(packages, limit);
    tel::SystemLog::log(
        "[Tally] More than " + std::to_string(limit) + " event packages wait to be sent; "
        + std::to_string(packages.size() - kept.size()) + " of the oldest are deleted.");
}

// Start-up and uploads.

void TLYTallyController::cleanupAndProcessExistingFiles()
{
    auto cleanup = std::make_shared<TLYCleanupFilesOperation>(m_rootEventDirectory,
                                                              m_settings.maxPendingSendFiles());
    std::weak_ptr<TLYTallyController> weak = weak_from_this();
    cleanup->setSuccessBlock([weak](const std::set<std::string> &logs,
                                    const std::set<std::string> &compressed,
                                    const std::set<std::string> &packages) {
        const auto self = weak.lock();
        if (!self)
            return;
        self->m_cleanupDone = true;
        // This launch's own log may already hold its first events: it stays current.
        for (const std::string &log : logs)
            if (log != self->m_currentLogURL)
                self->m_eventQueue->addOperations(self->operationsForUncompressedLog(log), false);
        for (const std::string &gz : compressed)
            self->m_eventQueue->addOperations(self->operationsForCompressedLog(gz), false);
        self->m_uploader->attemptToReconnectBackgroundSessionWithCompletionBlock([weak, packages] {
            if (const auto self = weak.lock())
                self->uploadMultipartFiles(packages);
        });
    });
    m_eventQueue->addOperation(cleanup);
}

void TLYTallyController::uploadAllMultipartFiles()
{
    if (!m_cleanupDone)
        return;
    uploadMultipartFiles(TLYFileUtils::filesWithExtension("multipartmime", m_rootEventDirectory));
}

void TLYTallyController::uploadMultipartFiles(const std::set<std::string> &files)
{
    for (const std::string &file : files)
        if (const auto boundary = boundaryFromURL(file))
            m_eventQueue->addOperation(uploadOperationForFileAtURL(file, *boundary));
}

std::string TLYTallyController::filePathForUniqueName(TLYUploader &, const std::string &name)
{
    return multipartMimeURLWithBoundary(name);
}

bool TLYTallyController::shouldKeepPackageAfterError(const tel::TelemetryError &error)
{
    if (error.domain == kFLTURLErrorDomain)
        return true;
    if (error.domain != kPLNNetworkErrorDomain)
        return false;
    return error.code == PLNNetworkErrorRetryable
           || error.code == TLYNetworkRetryHandler::ErrorRetriesUsedUp
           || error.code == TLYNetworkRetryHandler::ErrorNoIdentifier;
}

void TLYTallyController::didFinishUpload(TLYUploader &, const std::string &name,
                                         const std::optional<tel::TelemetryError> &error)
{
    const std::string path = multipartMimeURLWithBoundary(name);
    if (error) {
        TLYLogger::sharedLogger().log("Failed to upload '" + name
                                      + "': " + PLNErrorDescription(*error));
        if (shouldKeepPackageAfterError(*error)) {
            TLYLogger::sharedLogger().log("Keeping '" + name + "' for a later launch.");
            return;
        }
    } else {
        m_networkRetryHandler->resetIdentifier(name);
    }
    TLYLogger::sharedLogger().log("Finished transmission of '" + name + "'.");
    ::unlink(path.c_str());
}

void TLYTallyController::completedRequest(TLYUploader &, const FLTURLRequest &request,
                                          const std::optional<FLTHTTPURLResponse> &response,
                                          const std::string &name,
                                          const std::optional<tel::TelemetryError> &error,
                                          RetryCompletion completion)
{
    m_networkRetryHandler->handleCompletedRequest(
        request, response, name, error,
        [name, error, completion = std::move(completion)](
            bool retry, std::optional<tel::TelemetryError> handlerError) {
            if (error)
                TLYLogger::sharedLogger().log("Error transmitting '" + name
                                              + "': " + PLNErrorDescription(*error));
            if (retry)
                TLYLogger::sharedLogger().log("Scheduling retry for '" + name + "'.");
            completion(retry, std::move(handlerError));
        });
}

FLTURLSessionAuthChallengeDisposition
TLYTallyController::didReceiveChallenge(TLYUploader &, FLTURLAuthenticationChallenge &challenge)
{
    if (!m_networkRetryHandler)
        return FLTURLSessionAuthChallengeDisposition::PerformDefaultHandling;
    return m_networkRetryHandler->handleChallenge(challenge);
}

// Settings, the timed flush and switching off.

void TLYTallyController::plinthSettingsDidBecomeAvailable()
{
    initializeSettingsIfNeededWithPlinthSettings(
        m_context.settingsProvider ? m_context.settingsProvider() : Plinth::sharedSDK().settings());
}

void TLYTallyController::initializeSettingsIfNeededWithPlinthSettings(
    std::optional<nlohmann::json> settings)
{
    enqueue([settings = std::move(settings)](TLYTallyController &self) mutable {
        self.applySettings(std::move(settings));
    });
}

void TLYTallyController::applySettings(std::optional<nlohmann::json> settings)
{
    if (!settings)
        return;
    if (m_settings.valid()) {
        // Settings hold for the launch, except that switching analytics off cannot wait.
        const TLYSettings newer(std::move(settings));
        if (m_settings.shouldCollectAnalytics() && !newer.shouldCollectAnalytics()) {
            m_settings = newer;
            switchOff();
        }
        return;
    }
    m_settings = TLYSettings(std::move(settings));
    if (!m_settings.shouldCollectAnalytics()) {
        switchOff();
        return;
    }
    const nlohmann::json &dictionary = *m_settings.settingsDictionary();
    const auto analytics = dictionary.is_object() && dictionary.contains("analytics")
                               ? dictionary["analytics"].dump()
                               : std::string("(null)");
    TLYLogger::sharedLogger().log("Tally enabled with settings: " + analytics);
    TLYLogger::sharedLogger().log("Logging events to " + m_rootEventDirectory);
    setupFlushTimer();
    m_uploader->setDefaultUploadTimeout(m_settings.defaultUploadTimeout());
    m_uploader->setLowPowerUploadTimeout(m_settings.lowPowerUploadTimeout());
    uploadAllMultipartFiles();
}

void TLYTallyController::switchOff()
{
    TLYLogger::sharedLogger().log("Tally is disabled. Cleaning up.");
    m_flushTimer.reset();
    // Uploads already under way stop too: nothing more leaves the machine.
    m_uploader->invalidate();
    removeAllLogs();
}

void TLYTallyController::removeAllLogs()
{
    for (const std::string &file : TLYFileUtils::allFilesInDirectory(m_rootEventDirectory))
        ::unlink(file.c_str());
}

void TLYTallyController::setupFlushTimer()
{
    checkQueue("setupFlushTimer");
    const double interval = m_settings.flushInterval();
    if (!(interval > 0)) {
        m_flushTimer.reset();
        return;
    }
    std::weak_ptr<TLYTallyController> weak = weak_from_this();
    m_flushTimer =
        std::make_unique<TLYTimer>(interval, m_eventQueue, "io.tally.TimedEventsFlush", [weak] {
            if (const auto self = weak.lock())
                self->flushTimerFired();
        });
}

void TLYTallyController::flushTimerFired()
{
    checkQueue("flushTimerFired");
    if (!(m_settings.flushInterval() > 0)) {
        m_flushTimer.reset();
        return;
    }
    if (shouldSubmitLogAtURL(m_currentLogURL))
        rotateAndSubmitCurrentLog();
}
