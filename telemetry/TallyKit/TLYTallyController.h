#pragma once

#include "TLYBackoffTimer.h"
#include "TLYEvent.h"
#include "TLYEventFilter.h"
#include "TLYHearthAnalyticsBridge.h"
#include "TLYMetadata.h"
#include "TLYSettings.h"
#include "TLYUploader.h"

#include "telemetry/platform/NotificationBus.h"
#include "telemetry/platform/OperationQueue.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class TLYCrashEvent;
class TLYNetworkRetryHandler;
class TLYTimer;

// The engine of usage analytics. Public calls from any thread only add work to one serial
// operation queue ("io.tally.EventQueue"), on which every decision and all file work run: it
// records each event (settings, sampling) into the current log, rolls the log over when it grows
// past the size limit or an event asks for it, then compresses, packages and uploads each rolled
// log, retrying with back-off. It applies the downloaded settings once per launch (a later
// download that switches analytics off takes effect at once), runs the timed flush, deletes
// everything when analytics is off, and at start finishes or discards what earlier launches
// left. Made with create(); destroying it stops its timers and uploads and waits for its queue.
class TLYTallyController : public TLYUploaderDelegate,
                           public std::enable_shared_from_this<TLYTallyController>
{
public:
    static constexpr const char *kEventQueueName = "io.tally.EventQueue";
    static constexpr const char *kApplicationWillTerminate =
        "NSApplicationWillTerminateNotification";
    static constexpr const char *kApplicationWillResignActive =
        "NSApplicationWillResignActiveNotification";
    static constexpr const char *kApplicationDidBecomeActive =
        "NSApplicationDidBecomeActiveNotification";

    // What the controller takes from the running client; every member has a default that reads
    // the client (tests replace them).
    struct Context {
        // Nothing: from the telemetry client and the host.
        std::optional<TLYMetadata::Fields> metadataFields;
        // Nothing: the client's first-install flag.
        std::optional<bool> firstInstall;
        // Empty: the client's cached settings.
        std::function<std::optional<nlohmann::json>()> settingsProvider;
        // Empty: the client's timer thread.
        TLYBackoffTimer::Scheduler backoffScheduler;
        // Null: the registered Hearth library, if any.
        std::shared_ptr<TLYHearthAnalytics> hearthAnalytics;
    };

    // Caches/com.faultline.data/<escaped bundle id>/analytics/v2.
    static std::string rootDirectory();
    static std::string eventDirectoryForRootDirectory(const std::string &root);
    static std::string crashMetadataPathForRootDirectory(const std::string &root);

    static std::shared_ptr<TLYTallyController> create(const std::optional<std::string> &betaToken);
    static std::shared_ptr<TLYTallyController> create(const std::optional<std::string> &betaToken,
                                                      const std::string &rootDirectory,
                                                      Context context = {});
    ~TLYTallyController() override;

    void logEvent(TLYEventPointer event);
    // The previous launch's crash, in a log of its own opened by that launch's metadata.
    void logCrashEvent(std::shared_ptr<const TLYCrashEvent> event);
    // Applies the client's settings (once per launch; nothing when there are none).
    void plinthSettingsDidBecomeAvailable();
    void initializeSettingsIfNeededWithPlinthSettings(std::optional<nlohmann::json> settings);
    // One of the three application notifications above, by name.
    void applicationLifecycleEvent(const std::string &notificationName);

    // Blocks until the work queued so far has run (uploads in flight are not waited for).
    void waitUntilIdle();
    const std::string &rootEventDirectory() const { return m_rootEventDirectory; }
    tel::OperationQueue &eventQueue() { return *m_eventQueue; }

    // Uploader delegate.
    std::string filePathForUniqueName(TLYUploader &uploader, const std::string &name) override;
    void didFinishUpload(TLYUploader &uploader, const std::string &name,
                         const std::optional<tel::TelemetryError> &error) override;
    void completedRequest(TLYUploader &uploader, const FLTURLRequest &request,
                          const std::optional<FLTHTTPURLResponse> &response,
                          const std::string &name, const std::optional<tel::TelemetryError> &error,
                          RetryCompletion completion) override;
    FLTURLSessionAuthChallengeDisposition
    didReceiveChallenge(TLYUploader &uploader, FLTURLAuthenticationChallenge &challenge) override;

    // Whether an upload that failed for good leaves its package for a later launch: yes for
    // failures that a later attempt may get past (network, server trouble, retries used up),
    // no for answers that will not change (a client error) and for missing or unreadable files.
    static bool shouldKeepPackageAfterError(const tel::TelemetryError &error);

private:
    TLYTallyController(const std::optional<std::string> &betaToken, std::string rootDirectory,
                       Context context);
    void start();
    template <typename F> void enqueue(F &&block);

    // On the event queue.
    void setUp();
    bool shouldLogEvent() const;
    void enqueueEvent(TLYEventPointer event);
    void drainIncomingEvents();
    void recordEvent(const TLYEventPointer &event);
    void recordCrashEvent(const std::shared_ptr<const TLYCrashEvent> &event);
    void logEventToHearth(const TLYEvent &event);
    bool shouldSubmitLogAtURL(const std::string &path) const;
    void rotateAndSubmitCurrentLog();
    std::vector<std::shared_ptr<tel::Operation>>
    operationsForUncompressedLog(const std::string &log);
    std::vector<std::shared_ptr<tel::Operation>> operationsForCompressedLog(const std::string &gz);
    std::shared_ptr<tel::Operation> packageOperation(const std::string &gz,
                                                     const std::string &package,
                                                     const std::string &boundary);
    std::shared_ptr<tel::Operation> uploadOperationForFileAtURL(const std::string &package,
                                                                const std::string &boundary);
    void cleanupAndProcessExistingFiles();
    void uploadAllMultipartFiles();
    void uploadMultipartFiles(const std::set<std::string> &files);
    void applySettings(std::optional<nlohmann::json> settings);
    void switchOff();
    void setupFlushTimer();
    void flushTimerFired();
    void removeAllLogs();
    void limitPendingPackages();
    std::string generateNewLogPath() const;
    std::string multipartMimeURLWithBoundary(const std::string &boundary) const;
    static std::optional<std::string> boundaryFromURL(const std::string &path);
    void checkQueue(const char *method) const;

    std::optional<std::string> m_betaToken;
    std::string m_rootDirectory;
    Context m_context;
    std::shared_ptr<tel::OperationQueue> m_eventQueue;
    std::vector<tel::NotificationToken> m_observers;
    // Events handed in and not yet taken by the queue: one queue operation takes them all, so
    // recording costs the caller a lock and an append rather than a new operation each.
    std::mutex m_incomingMutex;
    std::vector<TLYEventPointer> m_incoming;
    bool m_drainQueued = false;

    // Set once by setUp, then read on the event queue only.
    std::string m_rootEventDirectory;
    std::shared_ptr<const TLYMetadata> m_metadata;
    std::shared_ptr<const TLYCrashMetadata> m_previousExecutionMetadata;
    std::shared_ptr<TLYUploader> m_uploader;
    std::shared_ptr<TLYNetworkRetryHandler> m_networkRetryHandler;
    std::string m_currentLogURL;
    TLYEventFilter m_eventFilter;
    TLYSettings m_settings;
    std::unique_ptr<TLYTimer> m_flushTimer;
    std::unique_ptr<TLYHearthAnalyticsBridge> m_hearthAnalyticsBridge;
    // The start-up clean-up has sorted the folder (before, it sends what it keeps itself).
    bool m_cleanupDone = false;
};
