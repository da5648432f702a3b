#pragma once

// The crash kit's controller of the report store at launch: it deals with what earlier launches
// left behind. Report folders in active are removed when they cannot be opened or hold nothing
// to send, and are otherwise symbolicated, packaged and uploaded; folders left in processing by
// an interrupted launch are packaged again; packages left in prepared are uploaded again. A
// failed upload is tried again after kRetryDelay seconds (the reports controller gives a package
// up after a bounded number of failures). All of it runs on the kit's serial work queue.
// Thread-safe.

#include "FLTFileManager.h"
#include "FLTInternalReport.h"
#include "FLTNetworkClient.h"
#include "FLTReportsController.h"
#include "FLTSettings.h"
#include "telemetry/platform/OperationQueue.h"
#include "telemetry/platform/Timer.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class FLTCrashReportingController;

class FLTCrashReportingControllerDelegate
{
public:
    virtual ~FLTCrashReportingControllerDelegate() = default;
    virtual std::optional<std::string>
    APIKeyForCrashReportingController(FLTCrashReportingController *) = 0;
    virtual FLTSettings settingsForCrashReportingController(FLTCrashReportingController *) = 0;
    virtual bool reportingControllerCanUseBackgroundSessions(FLTCrashReportingController *)
    {
        return false;
    }
};

class FLTCrashReportingController : public FLTNetworkClientDelegate,
                                    public FLTReportsControllerDelegate,
                                    public std::enable_shared_from_this<FLTCrashReportingController>
{
public:
    static constexpr double kRetryDelay = 600.0;
    // Runs `work` after `seconds`; tests replace it so that nothing waits for real.
    using Scheduler = std::function<void(double seconds, std::function<void()> work)>;

    static std::shared_ptr<FLTCrashReportingController>
    create(std::shared_ptr<const FLTFileManager> fileManager,
           std::weak_ptr<FLTCrashReportingControllerDelegate> delegate);
    ~FLTCrashReportingController() override;

    // Prepares the store and hands the earlier launches' reports to processing and upload on the
    // work queue. False (logged) when the application has no bundle identifier, when the
    // settings turn crash reporting off (every stored report is then removed) or when the store
    // cannot be prepared.
    bool startWithEarlierReports();
    void processExistingReportPaths(const std::vector<std::string> &paths, bool urgent);
    void handleContentsInOtherReportingDirectories();
    void handleDelegateCompletionForReport(const std::shared_ptr<FLTInternalReport> &report,
                                           bool submit);

    const std::shared_ptr<tel::OperationQueue> &operationQueue() const { return m_operationQueue; }
    const std::shared_ptr<FLTNetworkClient> &networkClient() const { return m_networkClient; }
    std::shared_ptr<FLTReportsController> reportsController();
    const std::shared_ptr<const FLTFileManager> &fileManager() const { return m_fileManager; }
    FLTSettings settings();
    void setScheduler(Scheduler scheduler);

    // FLTNetworkClientDelegate
    bool networkClientCanUseBackgroundSessions(FLTNetworkClient *) override;
    void
    networkClientDidFinishUploadWithPath(FLTNetworkClient *, const std::string &path,
                                         const std::optional<tel::TelemetryError> &error) override;
    // FLTReportsControllerDelegate
    void reportsControllerDidCompletePackageSubmission(
        FLTReportsController *, const std::string &path,
        const std::optional<tel::TelemetryError> &error) override;
    void reportsControllerDidCompleteAllSubmissions(FLTReportsController *) override;
    FLTSettings settingsForReportsController(FLTReportsController *) override;
    std::optional<std::string> APIKeyForReportsController(FLTReportsController *) override;
    std::string bundleIdentifierForReportsController(FLTReportsController *) override;

private:
    FLTCrashReportingController(std::shared_ptr<const FLTFileManager> fileManager,
                                std::weak_ptr<FLTCrashReportingControllerDelegate> delegate);
    bool canProcessUrgentReports();

    std::shared_ptr<const FLTFileManager> m_fileManager;
    std::weak_ptr<FLTCrashReportingControllerDelegate> m_delegate;
    std::shared_ptr<tel::OperationQueue> m_operationQueue;
    std::shared_ptr<FLTNetworkClient> m_networkClient;

    std::mutex m_mutex;
    std::shared_ptr<FLTReportsController> m_reportsController;
    std::optional<FLTSettings> m_settings;
    Scheduler m_scheduler;
    std::vector<std::shared_ptr<tel::Timer>> m_retryTimers;
};
