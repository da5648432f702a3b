#include "Faultline.h"

#include "FLTBetaController.h"
#include "FLTCrashReportingController.h"
#include "telemetry/TallyKit/Tally.h"
#include "telemetry/core/Plinth.h"
#include "telemetry/platform/SystemLog.h"
#include "telemetry/platform/ThreadStartHook.h"

// Answers the kit's controllers from Plinth: its API key and its downloaded settings.
class Faultline::ControllerDelegate : public FLTCrashReportingControllerDelegate,
                                      public FLTBetaControllerDelegate
{
public:
    std::optional<std::string>
    APIKeyForCrashReportingController(FLTCrashReportingController *) override
    {
        return Plinth::sharedSDK().APIKey();
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
        return Plinth::sharedSDK().APIKey();
    }
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
    m_controllerDelegate = std::make_shared<ControllerDelegate>();
    auto fileManager = std::make_shared<const FLTFileManager>();
    if (FLTBetaController::isBetaSupported()) {
        m_betaController = std::make_shared<FLTBetaController>(m_controllerDelegate);
        if (!m_betaController->start())
            tel::SystemLog::log("[Faultline] Beta could not be initialized");
    }
    m_crashReportingController =
        FLTCrashReportingController::create(fileManager, m_controllerDelegate);
    if (!m_crashReportingController->startWithEarlierReports())
        tel::SystemLog::log("[Faultline] Crash reporting could not be initialized");
    // Usage analytics starts with the crash kit's beta token, which this platform never has.
    Tally::startWithBetaToken(m_betaController ? m_betaController->betaToken()
                                               : FLTBetaController::platformBetaToken());
}

std::shared_ptr<FLTCrashReportingController> Faultline::crashReportingController() const
{
    return m_crashReportingController;
}

std::shared_ptr<FLTBetaController> Faultline::betaController() const
{
    return m_betaController;
}

void Faultline::prepareCurrentThread()
{
    // The same hook the library's own threads run: the crash handlers set it when they go in.
    tel::ThreadStartHook::prepareCurrentThread();
}
