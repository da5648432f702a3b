#pragma once

// The crash kit's controller at launch. It checks the preconditions, leaves a launch marker that
// the first turn of the main thread's loop removes, makes this launch's report folder and starts
// the crash context over it (which installs the crash handlers), then deals with what earlier
// launches left behind. A marker found at start means the last launch died early: its reports are
// then sent at once, before start returns, where the settings allow it. Report folders in active
// are removed when they cannot be opened or hold nothing to send, and are otherwise symbolicated,
// packaged and uploaded; folders left in processing by an interrupted launch are packaged again;
// packages left in prepared are uploaded again. A failed upload is tried again after kRetryDelay
// seconds (the reports controller gives a package up after a bounded number of failures). All of it
// runs on the kit's serial work queue. Thread-safe.

#include "FLTFileManager.h"
#include "FLTInternalReport.h"
#include "FLTNetworkClient.h"
#include "FLTReportsController.h"
#include "FLTSettings.h"
#include "telemetry/platform/OperationQueue.h"
#include "telemetry/platform/Timer.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class FLTCrashReportingController;
struct FLTContextInitData;

// The user's answer to the send prompt.
enum class FLTPromptAnswer { DoNotSend, Send, AlwaysSend };

// The texts of the send prompt; alwaysSend is empty when that button is not offered.
struct FLTPromptTexts {
    std::string title;
    std::string message;
    std::string cancel;
    std::string send;
    std::optional<std::string> alwaysSend;
};

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
    virtual std::string installIDForCrashReportingController(FLTCrashReportingController *)
    {
        return {};
    }
    virtual bool isFirstInstallForCrashReportingController(FLTCrashReportingController *)
    {
        return false;
    }
    // The identifier of this launch, which names its report folder; nothing fails the start.
    virtual std::optional<std::string>
    executionIdentifierForCrashReportingController(FLTCrashReportingController *)
    {
        return std::nullopt;
    }
    // Whether detectedCrash is to be called at crash time.
    virtual bool shouldInstallCrashCallback() { return false; }
    // Crash time, on the crashed thread inside the signal handler: must be signal-safe.
    virtual void detectedCrash() {}
    virtual bool reportingControllerEnsureDeliveryOfUnixSignal(FLTCrashReportingController *,
                                                               int /*signal*/)
    {
        return false;
    }
    // Whether every earlier report goes through reportingControllerDidDetectReportForLastExecution
    // (which rules out the urgent path).
    virtual bool reportingControllerMustInformDelegateOfReports(FLTCrashReportingController *)
    {
        return false;
    }
    // Asks whether an earlier launch's report is to be sent; the completion may be called on any
    // thread, once.
    virtual void
    reportingControllerDidDetectReportForLastExecution(FLTCrashReportingController *,
                                                       const std::shared_ptr<FLTInternalReport> &,
                                                       std::function<void(bool submit)> completion)
    {
        completion(true);
    }
    virtual void reportingControllerInternalDidDetectReportForLastExecution(
        FLTCrashReportingController *, const std::shared_ptr<FLTInternalReport> &)
    {
    }
    // Whether the application shows the send prompt itself
    // (reportingControllerDisplayPermissionPrompt).
    virtual bool reportingControllerCanDisplayPermissionPrompt(FLTCrashReportingController *)
    {
        return false;
    }
    // Shows the send prompt on the main thread and answers through the completion (once, on any
    // thread). False when there is no one to ask: the report is then sent.
    virtual bool
    reportingControllerDisplayPermissionPrompt(FLTCrashReportingController *,
                                               const FLTPromptTexts &,
                                               std::function<void(FLTPromptAnswer)> /*completion*/)
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
    static constexpr const char *kAlwaysSendKey = "com.faultline.crash.always-send";
    // Runs `work` after `seconds`; tests replace it so that nothing waits for real.
    using Scheduler = std::function<void(double seconds, std::function<void()> work)>;

    static std::shared_ptr<FLTCrashReportingController>
    create(std::shared_ptr<const FLTFileManager> fileManager,
           std::weak_ptr<FLTCrashReportingControllerDelegate> delegate);
    ~FLTCrashReportingController() override;

    // The launch: the store, the launch marker, this launch's report folder and the crash context
    // with its handlers, then the earlier launches' reports (urgently when the last launch died
    // before the first turn of the main loop). `markMilliseconds` is a steady-clock reading taken
    // when the kit started. True only when both this launch's report and the crash context were
    // set up. Not signal-safe; runs once, on the main thread.
    bool startWithProfilingMark(double markMilliseconds,
                                const std::optional<std::string> &betaToken);
    // Starts the crash context; tests replace it to keep the process's handlers.
    using ContextStarter = std::function<bool(const FLTContextInitData &)>;
    void setContextStarter(ContextStarter starter);
    std::string launchMarkerPath() const;
    bool lastLaunchFailed() const { return m_lastLaunchFailed; }
    // This launch's report, once set up.
    std::shared_ptr<FLTInternalReport> currentReport() const { return m_currentReport; }
    // 0 not asked, 1 do not send, 2 send, 3 always send. "Always send" is kept in the client's
    // defaults store (kAlwaysSendKey) and holds at later launches too; the other answers hold
    // for this process only.
    int promptChoice() const { return m_promptChoice.load(); }
    bool needsToPrompt();
    // Sends the crash-time callback to the delegate. Signal-safe when the delegate's is.
    void deliverCrashDelegateCallback();
    // The host's application became active or resigned.
    void applicationActiveStateChanged(bool active);
    static double monotonicMilliseconds();

    // Prepares the store and hands the earlier launches' reports to processing and upload on the
    // work queue, without this launch's report or crash context. False (logged) when the
    // application has no bundle identifier, when the settings turn crash reporting off (every
    // stored report is then removed) or when the store cannot be prepared.
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

    void displayPermissionAlertForReport(const std::shared_ptr<FLTInternalReport> &report);

private:
    bool prepareStore();
    bool setupNewReport();
    bool startCrashReporter(const std::optional<std::string> &betaToken);
    void crashReportingSetupCompleted();
    void handlePromptAnswer(const std::shared_ptr<FLTInternalReport> &report,
                            FLTPromptAnswer answer);
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
    ContextStarter m_contextStarter;
    FLTCrashReportingControllerDelegate *m_crashDelegate = nullptr;
    std::shared_ptr<FLTCrashReportingControllerDelegate> m_crashDelegateOwner;
    double m_mark = 0;
    bool m_lastLaunchFailed = false;
    std::shared_ptr<FLTInternalReport> m_currentReport;
    std::atomic<int> m_promptChoice{0};
    // Main thread only.
    bool m_promptInProgress = false;
    std::vector<std::shared_ptr<FLTInternalReport>> m_waitingForPrompt;
};
