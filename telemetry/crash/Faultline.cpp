#include "Faultline.h"

#include "FLTBetaController.h"
#include "FLTContext.h"
#include "FLTCrashReportingController.h"
#include "FLTExceptionHandler.h"
#include "FLTReport.h"
#include "telemetry/TallyKit/Tally.h"
#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/core/Plinth.h"
#include "telemetry/platform/Host.h"
#include "telemetry/platform/PlistValue.h"
#include "telemetry/platform/TelemetryPaths.h"

#include <chrono>
#include <cstdint>
#include <sstream>
#include <vector>
#include <sys/stat.h>
#include "telemetry/platform/SystemLog.h"
#include "telemetry/platform/ThreadStartHook.h"

// Answers the kit's controllers from Plinth (API key, identifiers, downloaded settings) and
// from the application's delegate.
class Faultline::ControllerDelegate : public FLTCrashReportingControllerDelegate,
                                      public FLTBetaControllerDelegate
{
public:
    explicit ControllerDelegate(Faultline &kit)
        : m_kit(kit)
    {
    }
    std::optional<std::string>
    APIKeyForCrashReportingController(FLTCrashReportingController *) override
    {
        return m_kit.APIKey();
    }
    FLTSettings settingsForCrashReportingController(FLTCrashReportingController *) override
    {
        return FLTSettings(Plinth::sharedSDK().settings());
    }
    FLTSettings settingsForBetaController(FLTBetaController *) override
    {
        return FLTSettings(Plinth::sharedSDK().settings());
    }
    std::optional<std::string> APIKeyForBetaController(FLTBetaController *) override
    {
        return m_kit.APIKey();
    }
    std::string installIDForCrashReportingController(FLTCrashReportingController *) override
    {
        return m_kit.installID();
    }
    bool isFirstInstallForCrashReportingController(FLTCrashReportingController *) override
    {
        return m_kit.isFirstInstall();
    }
    std::optional<std::string>
    executionIdentifierForCrashReportingController(FLTCrashReportingController *) override
    {
        return Plinth::sharedSDK().executionIdentifier();
    }
    bool reportingControllerCanUseBackgroundSessions(FLTCrashReportingController *) override
    {
        auto app = m_kit.delegate();
        return app && app->canUseBackgroundSessions ? app->canUseBackgroundSessions(m_kit) : true;
    }
    bool shouldInstallCrashCallback() override
    {
        auto app = m_kit.delegate();
        m_crashCallback = app ? app->didDetectCrash : nullptr;
        return m_crashCallback != nullptr;
    }
    // Crash time: only the function pointer read at start-up is touched.
    void detectedCrash() override
    {
        if (m_crashCallback)
            m_crashCallback();
    }
    bool reportingControllerEnsureDeliveryOfUnixSignal(FLTCrashReportingController *,
                                                       int signal) override
    {
        auto app = m_kit.delegate();
        return app && app->ensureDeliveryOfUnixSignal
               && app->ensureDeliveryOfUnixSignal(m_kit, signal);
    }
    bool reportingControllerMustInformDelegateOfReports(FLTCrashReportingController *) override
    {
        auto app = m_kit.delegate();
        return app
               && (app->didDetectReportForLastExecutionWithCompletion
                   || app->didDetectCrashDuringPreviousExecutionWithReport
                   || app->didDetectCrashDuringPreviousExecution);
    }
    void reportingControllerDidDetectReportForLastExecution(
        FLTCrashReportingController *controller,
        const std::shared_ptr<FLTInternalReport> &internalReport,
        std::function<void(bool)> completion) override
    {
        auto app = m_kit.delegate();
        std::shared_ptr<FLTReport> report;
        if (app && app->didDetectReportForLastExecution) {
            report = std::make_shared<FLTReport>(internalReport, true);
            tel::Host::runOnMainThread(
                [app, report] { app->didDetectReportForLastExecution(report); });
        }
        if (!reportingControllerMustInformDelegateOfReports(controller)) {
            completion(true);
            return;
        }
        if (!report)
            report = std::make_shared<FLTReport>(internalReport);
        if (app->didDetectReportForLastExecutionWithCompletion)
            app->didDetectReportForLastExecutionWithCompletion(report, std::move(completion));
        else
            completion(true);
        tel::Host::runOnMainThread([app, report, &kit = m_kit] {
            if (app->didDetectCrashDuringPreviousExecutionWithReport)
                app->didDetectCrashDuringPreviousExecutionWithReport(kit, report);
            if (app->didDetectCrashDuringPreviousExecution)
                app->didDetectCrashDuringPreviousExecution(kit);
        });
    }
    // An earlier launch's crash is the previous session's crash for usage analytics, dated with
    // the time its crash record holds (the launch's start only when the record has none: the
    // start alone would date every crash too early). It is handed over on the main thread once
    // the analytics kit has started, which it does after the crash controller.
    void reportingControllerInternalDidDetectReportForLastExecution(
        FLTCrashReportingController *, const std::shared_ptr<FLTInternalReport> &report) override
    {
        if (!report || !report->isCrash())
            return;
        std::optional<std::int64_t> seconds = report->crashedOnDate();
        if (!seconds)
            seconds = report->dateCreated();
        using Clock = std::chrono::system_clock;
        const auto latest =
            std::chrono::duration_cast<std::chrono::seconds>(Clock::duration::max());
        if (!seconds || *seconds < 0 || *seconds > latest.count())
            return;
        const Clock::time_point date{std::chrono::seconds(*seconds)};
        std::lock_guard lock(m_mutex);
        if (!m_analyticsStarted) {
            m_crashDatesForAnalytics.push_back(date);
            return;
        }
        tel::Host::runOnMainThread([date] { Tally::logPreviousSessionCrashedOnDate(date); });
    }
    // The analytics kit has started: what waited for it goes now.
    void analyticsStarted()
    {
        std::vector<std::chrono::system_clock::time_point> dates;
        {
            std::lock_guard lock(m_mutex);
            m_analyticsStarted = true;
            dates.swap(m_crashDatesForAnalytics);
        }
        if (dates.empty())
            return;
        tel::Host::runOnMainThread([dates = std::move(dates)] {
            for (const auto &date : dates)
                Tally::logPreviousSessionCrashedOnDate(date);
        });
    }
    bool reportingControllerCanDisplayPermissionPrompt(FLTCrashReportingController *) override
    {
        auto app = m_kit.delegate();
        return app && app->permissionPrompt;
    }
    bool reportingControllerDisplayPermissionPrompt(
        FLTCrashReportingController *, const FLTPromptTexts &texts,
        std::function<void(FLTPromptAnswer)> completion) override
    {
        auto app = m_kit.delegate();
        if (!app || !app->permissionPrompt)
            return false;
        app->permissionPrompt(texts, std::move(completion));
        return true;
    }

private:
    Faultline &m_kit;
    void (*m_crashCallback)() = nullptr;
    std::mutex m_mutex;
    bool m_analyticsStarted = false;
    std::vector<std::chrono::system_clock::time_point> m_crashDatesForAnalytics;
};

namespace {

class FaultlineClass : public PLNKit
{
public:
    std::string className() const override { return "Faultline"; }
    std::string bundleIdentifier() const override { return Faultline::kBundleIdentifier; }
    std::string kitDisplayVersion() const override { return Faultline::kDisplayVersion; }
    std::optional<std::string> kitBuildVersion() const override { return Faultline::kBuildVersion; }
    bool respondsToInitializeIfNeeded() const override { return true; }
    void initializeIfNeeded() override { Faultline::sharedInstance().start(); }
};

// Registered when the kit is linked in, so that it can be found by name (the Hearth start
// looks for "Faultline" without being handed the class).
[[maybe_unused]] const bool g_registered = (Faultline::metaClass(), true);

} // namespace

const PLNKit &Faultline::metaClass()
{
    static const FaultlineClass *kit = [] {
        auto *k = new FaultlineClass;
        PLNKit::registerClass(k);
        return k;
    }();
    return *kit;
}

Faultline &Faultline::sharedInstance()
{
    static Faultline *shared = new Faultline;
    return *shared;
}

void Faultline::start()
{
    if (m_started.exchange(true))
        return;
    const double mark = FLTCrashReportingController::monotonicMilliseconds();
    tel::SystemLog::log(std::string("[Faultline] Version ") + kDisplayVersion + " (" + kBuildVersion
                        + ")");
    if (Plinth::sharedSDK().debug())
        tel::SystemLog::log("[Faultline] Running on " + PLNHostModel().value_or("unknown") + ", "
                            + PLNOperatingSystemDisplayVersion() + " ("
                            + PLNOperatingSystemBuildVersion().value_or("") + ")");
    {
        auto app = delegate();
        if (app
            && (app->didDetectCrashDuringPreviousExecutionWithReport
                || app->didDetectCrashDuringPreviousExecution))
            tel::Host::runOnMainThread([] {
                tel::SystemLog::log("[Faultline] The Faultline delegate implements deprecated "
                                    "methods.  Please see Faultline.h for details.");
            });
    }
    auto controllerDelegate = std::make_shared<ControllerDelegate>(*this);
    auto fileManager = std::make_shared<const FLTFileManager>();
    std::shared_ptr<FLTBetaController> beta;
    if (FLTBetaController::isBetaSupported()) {
        beta = std::make_shared<FLTBetaController>(controllerDelegate);
        if (!beta->start())
            tel::SystemLog::log("[Faultline] Beta could not be initialized");
    }
    auto controller = FLTCrashReportingController::create(fileManager, controllerDelegate);
    {
        std::lock_guard lock(m_mutex);
        m_controllerDelegate = controllerDelegate;
        m_betaController = beta;
        m_crashReportingController = controller;
    }
    const std::optional<std::string> token = beta ? beta->betaToken() : std::nullopt;
    if (!controller->startWithProfilingMark(mark, token))
        tel::SystemLog::log("[Faultline] Crash reporting could not be initialized");
    // Usage analytics starts with the crash kit's beta token, which this platform never has.
    Tally::startWithBetaToken(m_betaController ? m_betaController->betaToken()
                                               : FLTBetaController::platformBetaToken());
    controllerDelegate->analyticsStarted();
}

std::shared_ptr<FLTCrashReportingController> Faultline::crashReportingController() const
{
    std::lock_guard lock(m_mutex);
    return m_crashReportingController;
}

std::shared_ptr<FLTBetaController> Faultline::betaController() const
{
    std::lock_guard lock(m_mutex);
    return m_betaController;
}

bool Faultline::isFaultlineStarted() const
{
    return crashReportingController() != nullptr;
}

Faultline &Faultline::startWithAPIKey(const std::string &apiKey)
{
    return startWithAPIKey(apiKey, nullptr);
}

Faultline &Faultline::startWithAPIKey(const std::string &apiKey,
                                      std::shared_ptr<FaultlineDelegate> delegate)
{
    Faultline &kit = sharedInstance();
    if (delegate)
        kit.setDelegate(std::move(delegate));
    Plinth &core = Plinth::sharedSDK();
    const std::uint64_t mode = core.installationMode();
    core.setInstallationMode(1);
    if (mode == 2) {
        tel::SystemLog::log("[Faultline] Warning, calling startWithAPIKey:... after [HRTApp "
                            "configure] or HearthApp.configure() is not supported");
        return kit;
    }
    core.setAPIKey(apiKey);
    Plinth::with({&kit});
    return kit;
}

Faultline &Faultline::startWithAPIKey(const std::string &apiKey, double)
{
    tel::SystemLog::log("[Faultline] Warning, startWithAPIKey:afterDelay: is deprecated.");
    return startWithAPIKey(apiKey, nullptr);
}

Faultline &Faultline::startWithAPIKey(const std::string &apiKey,
                                      std::shared_ptr<FaultlineDelegate> delegate, double)
{
    tel::SystemLog::log("[Faultline] Warning, startWithAPIKey:delegate:afterDelay: is deprecated.");
    return startWithAPIKey(apiKey, std::move(delegate));
}

std::optional<std::string> Faultline::APIKey() const
{
    return Plinth::sharedSDK().APIKey();
}

std::string Faultline::installID() const
{
    // An older version of the kit kept its own installation identifier in a property list.
    const std::string path =
        tel::TelemetryPaths::applicationSupportFolder() + "/com.faultline/FLTUserDefaults.plist";
    struct stat info {
    };
    if (::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
        if (auto plist = tel::PlistValue::readFile(path)) {
            if (const tel::PlistValue *value = plist->find(Plinth::kInstallationUUIDKey))
                if (value->isString() && !value->toString().empty())
                    return value->toString();
        }
    }
    return Plinth::sharedSDK().installID();
}

bool Faultline::isFirstInstall() const
{
    return Plinth::sharedSDK().isFirstInstall();
}

void Faultline::setDebugMode(bool)
{
    Plinth::sharedSDK().setDebug(true);
    if (sharedInstance().isFaultlineStarted())
        tel::SystemLog::log(
            "[Faultline] Warning, consider enabling debug mode before starting Faultline");
}

bool Faultline::debugMode() const
{
    return Plinth::sharedSDK().debug();
}

void Faultline::setDelegate(std::shared_ptr<FaultlineDelegate> delegate)
{
    Faultline &kit = sharedInstance();
    {
        std::lock_guard lock(kit.m_mutex);
        kit.m_delegate = std::move(delegate);
    }
    if (kit.isFaultlineStarted())
        tel::SystemLog::log("[Faultline] Warning, setting delegate after start. Make sure to set "
                            "the Faultline delegate before calling startWithAPIKey:.., or +[Plinth "
                            "with...] to avoid missing some delegate callbacks.");
}

std::shared_ptr<FaultlineDelegate> Faultline::delegate() const
{
    std::lock_guard lock(m_mutex);
    return m_delegate;
}

void Faultline::crash()
{
    __builtin_trap();
}

void Faultline::throwException()
{
    FLTExceptionRecord(FLTExceptionKindObjectiveC, "FaultlineTestException",
                       "This is an Objective-C exception using for testing.", {}, true);
    __builtin_trap();
}

void Faultline::setUserIdentifier(const std::optional<std::string> &identifier)
{
    FLTUserLoggingRecordInternalKeyValue("com.faultline.user-id", identifier);
}

void Faultline::setUserName(const std::optional<std::string> &name)
{
    FLTUserLoggingRecordInternalKeyValue("com.faultline.user-name", name);
}

void Faultline::setUserEmail(const std::optional<std::string> &email)
{
    FLTUserLoggingRecordInternalKeyValue("com.faultline.user-email", email);
}

void Faultline::setObjectValue(const std::optional<std::string> &value, const std::string &key)
{
    FLTUserLoggingRecordUserKeyValue(key, value);
}

void Faultline::setIntValue(long long value, const std::string &key)
{
    setObjectValue(std::to_string(value), key);
}

void Faultline::setBoolValue(bool value, const std::string &key)
{
    // A boolean number reads as 1 or 0.
    setObjectValue(value ? "1" : "0", key);
}

void Faultline::setFloatValue(float value, const std::string &key)
{
    std::ostringstream text;
    text << value;
    setObjectValue(text.str(), key);
}

void Faultline::setDevelopmentPlatformName(const std::string &name)
{
    FLTUserLoggingRecordInternalKeyValue("com.faultline.development-platform-name", name);
}

void Faultline::setDevelopmentPlatformVersion(const std::string &version)
{
    FLTUserLoggingRecordInternalKeyValue("com.faultline.development-platform-version", version);
}

std::optional<std::string> Faultline::developmentPlatformName() const
{
    tel::SystemLog::log("[Faultline] developmentPlatformName is write-only");
    return std::nullopt;
}

std::optional<std::string> Faultline::developmentPlatformVersion() const
{
    tel::SystemLog::log("[Faultline] developmentPlatformVersion is write-only");
    return std::nullopt;
}

void Faultline::recordError(const FLTError &error)
{
    recordError(error, {});
}

void Faultline::recordError(const FLTError &error, const FLTErrorInfo &additionalUserInfo)
{
    FLTUserLoggingRecordError(error, additionalUserInfo);
}

void Faultline::recordCustomExceptionName(const std::string &name, const std::string &reason,
                                          const std::vector<FLTStackFrame> &frameArray)
{
    std::vector<FLTExceptionFrame> frames;
    frames.reserve(frameArray.size());
    for (const FLTStackFrame &frame : frameArray) {
        FLTExceptionFrame copy;
        copy.address = frame.address;
        copy.symbol = frame.symbol.value_or("");
        copy.offset = frame.offset;
        copy.library = frame.library.value_or("");
        copy.fileName = frame.fileName.value_or("");
        copy.lineNumber = frame.lineNumber;
        frames.push_back(std::move(copy));
    }
    FLTExceptionRecord(FLTExceptionKindCustom, name.c_str(), reason.c_str(), frames, false);
}

bool Faultline::recordJavaScriptErrorMessage(const std::map<std::string, std::string> &message)
{
    const auto text = message.find("msg");
    if (text == message.end() || !FLTContextIsInitialized()) {
        tel::SystemLog::log("[Faultline] Unable to record exception from WKWebView");
        return false;
    }
    FLTExceptionRecord(FLTExceptionKindJavaScript, "exception", text->second.c_str(), {}, false);
    return true;
}

void Faultline::logEvent(const std::string &name)
{
    Tally::logCustomEventWithName(name);
}

void Faultline::logEvent(const std::string &name, const nlohmann::ordered_json &attributes)
{
    Tally::logCustomEventWithName(name, attributes);
}

bool Faultline::recordsCrashes() const
{
    const FLTContext *context = FLTContextGet();
    return FLTContextIsInitialized() && context->signalStore.installed;
}

bool Faultline::recordsValues() const
{
    return FLTContextIsInitialized();
}

bool Faultline::recordsErrors() const
{
    return FLTContextIsInitialized() && FLTContextGet()->errorStore.maxEntries > 0;
}

void Faultline::applicationActiveStateChanged(bool active)
{
    if (auto controller = crashReportingController())
        controller->applicationActiveStateChanged(active);
}

void Faultline::prepareCurrentThread()
{
    // The same hook the library's own threads run: the crash handlers set it when they go in.
    tel::ThreadStartHook::prepareCurrentThread();
}
