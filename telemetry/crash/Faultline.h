#pragma once

#include "FLTCrashReportingController.h"
#include "FLTStackFrame.h"
#include "FLTUserLogging.h"
#include "telemetry/core/PLNKit.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class FLTBetaController;
class FLTReport;
class Faultline;

// What an application may want to hear from the crash kit. Every member is optional: an empty one
// is as if the application did not implement it.
struct FaultlineDelegate {
    // An earlier launch's report, read-only with everything read up front; on the main thread.
    std::function<void(std::shared_ptr<FLTReport>)> didDetectReportForLastExecution;
    // An earlier launch's report and the question whether to send it: call the completion once,
    // from any thread, with false to remove the report unsent.
    std::function<void(std::shared_ptr<FLTReport>, std::function<void(bool submit)>)>
        didDetectReportForLastExecutionWithCompletion;
    // Older forms of the same news, without a say; on the main thread.
    std::function<void(Faultline &, std::shared_ptr<FLTReport>)>
        didDetectCrashDuringPreviousExecutionWithReport;
    std::function<void(Faultline &)> didDetectCrashDuringPreviousExecution;
    std::function<bool(Faultline &)> canUseBackgroundSessions;
    // Crash time, on the crashed thread inside the signal handler, after the crash is on record.
    // It must be async-signal-safe: no allocation, no locks, no stdio.
    void (*didDetectCrash)() = nullptr;
    // Whether the signal is to reach the handlers that were there before the kit's.
    std::function<bool(Faultline &, int signal)> ensureDeliveryOfUnixSignal;
    // The send prompt, where the settings ask for one: show it (on the main thread, where this is
    // called) and answer once through the completion, from any thread.
    std::function<void(const FLTPromptTexts &, std::function<void(FLTPromptAnswer)>)>
        permissionPrompt;
};

// The crash-reporting kit. The application hands its class to Plinth::with at launch:
//     Plinth::with({&Faultline::metaClass()}, hooks);
// Plinth then initialises it (initializeIfNeeded: sharedInstance, then start) when an API key
// is configured. Unless said otherwise its operations are thread-safe and not signal-safe.
class Faultline : public PLNKitInstance
{
public:
    static constexpr const char *kBundleIdentifier = "io.faultline.sdk.mac";
    static constexpr const char *kDisplayVersion = "3.9.3";
    static constexpr const char *kBuildVersion = "128";

    // The kit's class object, registered under the name "Faultline".
    static const PLNKit &metaClass();
    static Faultline &sharedInstance();

    const PLNKit &kitClass() const override { return metaClass(); }
    std::string bundleIdentifier() const { return kBundleIdentifier; }
    std::string version() const { return kDisplayVersion; }

    // Once-only start of the crash kit, on the main thread: the beta check (where beta is
    // supported), then the crash controller, which installs the crash handlers over this
    // launch's report folder and deals with the reports earlier launches left.
    void start();
    // Made by start; the kit counts as started while the crash controller is set.
    std::shared_ptr<FLTCrashReportingController> crashReportingController() const;
    std::shared_ptr<FLTBetaController> betaController() const;
    bool isFaultlineStarted() const;

    // Starting from code: sets the delegate when given, then the API key, and starts the
    // telemetry core with this kit. After the core was configured through Hearth it logs a
    // warning and starts nothing.
    static Faultline &startWithAPIKey(const std::string &apiKey);
    static Faultline &startWithAPIKey(const std::string &apiKey,
                                      std::shared_ptr<FaultlineDelegate> delegate);
    // The delay is not used: the kit starts at once (logged).
    static Faultline &startWithAPIKey(const std::string &apiKey, double delay);
    static Faultline &startWithAPIKey(const std::string &apiKey,
                                      std::shared_ptr<FaultlineDelegate> delegate, double delay);

    std::optional<std::string> APIKey() const;
    // The installation identifier of an older version of the kit when one was left, else the
    // telemetry core's.
    std::string installID() const;
    bool isFirstInstall() const;

    // The setters and records below act on the one instance. They are static, so they can be
    // called on the class (Faultline::setUserIdentifier(...)) as well as on sharedInstance().

    // Turns the telemetry core's debug mode on, whatever the argument.
    static void setDebugMode(bool debugMode);
    bool debugMode() const;
    static void setDelegate(std::shared_ptr<FaultlineDelegate> delegate);
    std::shared_ptr<FaultlineDelegate> delegate() const;

    // Test crashes. crash stops the process with a trap instruction (SIGILL on x86-64);
    // throwException records an uncaught exception named "FaultlineTestException", then traps.
    [[noreturn]] static void crash();
    [[noreturn]] static void throwException();

    // Values that go into this launch's report: user identity, custom keys, the platform the
    // application was made with. Nothing is recorded before the kit has started.
    static void setUserIdentifier(const std::optional<std::string> &identifier);
    static void setUserName(const std::optional<std::string> &name);
    static void setUserEmail(const std::optional<std::string> &email);
    static void setObjectValue(const std::optional<std::string> &value, const std::string &key);
    static void setIntValue(long long value, const std::string &key);
    static void setBoolValue(bool value, const std::string &key);
    static void setFloatValue(float value, const std::string &key);
    static void setDevelopmentPlatformName(const std::string &name);
    static void setDevelopmentPlatformVersion(const std::string &version);
    // Write-only: log and answer nothing.
    std::optional<std::string> developmentPlatformName() const;
    std::optional<std::string> developmentPlatformVersion() const;

    // Non-fatal records of this launch: errors with their information, custom exceptions with
    // their frames, and script errors of a web view (a message with "msg", "url", "line" and
    // "column"; false when it cannot be recorded).
    static void recordError(const FLTError &error);
    static void recordError(const FLTError &error, const FLTErrorInfo &additionalUserInfo);
    static void recordCustomExceptionName(const std::string &name, const std::string &reason,
                                          const std::vector<FLTStackFrame> &frameArray);
    bool recordJavaScriptErrorMessage(const std::map<std::string, std::string> &message);

    // A custom usage event, handed to the analytics kit (Tally), which checks the name and the
    // attributes and drops the event while analytics is off.
    static void logEvent(const std::string &name);
    static void logEvent(const std::string &name, const nlohmann::ordered_json &attributes);

    // What this launch records, for a host that offers the kit's commands: crashes (the crash
    // handlers are in; not while crash reporting is switched off by the settings or a debugger
    // is attached), user values and custom keys (the launch's report folder is set up), errors
    // (that, and the settings allow them). Thread-safe.
    bool recordsCrashes() const;
    bool recordsValues() const;
    bool recordsErrors() const;

    // The host's application became active or resigned; recorded with the report.
    void applicationActiveStateChanged(bool active);

    // Prepares the calling thread for crash capture as the kit prepares the threads of the
    // telemetry library: once the crash handlers are installed the thread gets an alternate
    // signal stack, so a stack overflow on it is still recorded. For the threads the application
    // makes: call it first thing on each, and again now and then on a long-lived one (the kit may
    // start after the thread did). Calling it again is cheap and changes nothing; before the
    // handlers are installed it does nothing at all. Not signal-safe.
    static void prepareCurrentThread();
    bool hasStarted() const { return m_started.load(); }

private:
    class ControllerDelegate;
    friend class ControllerDelegate;
    Faultline() = default;
    std::atomic<bool> m_started{false};
    mutable std::mutex m_mutex;
    std::shared_ptr<FaultlineDelegate> m_delegate;
    std::shared_ptr<ControllerDelegate> m_controllerDelegate;
    std::shared_ptr<FLTCrashReportingController> m_crashReportingController;
    std::shared_ptr<FLTBetaController> m_betaController;
};
