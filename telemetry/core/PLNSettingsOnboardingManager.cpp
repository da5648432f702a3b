#include "telemetry/core/PLNSettingsOnboardingManager.h"

#include "telemetry/core/PLNApplicationIdentiferModel.h"
#include "telemetry/core/PLNCertificatePinner.h"
#include "telemetry/core/PLNNetworkClient.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/NotificationBus.h"
#include "telemetry/platform/SystemLog.h"
#include "telemetry/platform/TelemetryPaths.h"

#include <cstdlib>

namespace {

// No real endpoint ships: a build that is not configured talks to no server (".invalid" never
// resolves).
const std::map<std::string, std::string> &defaultConfiguration()
{
    static const std::map<std::string, std::string> defaults = {
        {"SettingsEndpoint", "https://settings.plinth.invalid"},
        {"ConfigureEndpoint", "https://configure.plinth.invalid"},
    };
    return defaults;
}

} // namespace

std::shared_ptr<PLNSettingsOnboardingManager>
PLNSettingsOnboardingManager::create(const PLNApplicationIdentiferModel *appIdentifierModel,
                                     PLNClientValues values)
{
    return std::shared_ptr<PLNSettingsOnboardingManager>(
        new PLNSettingsOnboardingManager(appIdentifierModel, std::move(values)));
}

PLNSettingsOnboardingManager::PLNSettingsOnboardingManager(
    const PLNApplicationIdentiferModel *model, PLNClientValues values)
    : m_appIdentifierModel(model)
    , m_clientValues(std::move(values))
    , m_networkClient(PLNNetworkClient::create(PLNCertificatePinner::pinnedCertificates()))
{
}

PLNSettingsOnboardingManager::~PLNSettingsOnboardingManager() = default;

void PLNSettingsOnboardingManager::beginSettingsAndOnboardingOperations(
    const std::optional<std::string> &APIKey,
    std::map<std::string, std::string> kitVersionsByKitBundleIdentifier)
{
    {
        std::lock_guard lock(m_mutex);
        m_APIKey = APIKey;
        m_kitVersionsByKitBundleIdentifier = std::move(kitVersionsByKitBundleIdentifier);
    }
    beginSettingsDownload();
}

void PLNSettingsOnboardingManager::beginSettingsDownload()
{
    std::optional<std::string> key;
    {
        std::lock_guard lock(m_mutex);
        key = m_APIKey;
    }
    std::string installID = m_appIdentifierModel       ? m_appIdentifierModel->installID()
                            : m_clientValues.installID ? m_clientValues.installID()
                                                       : std::string();
    auto operation = PLNDownloadAndSaveSettingsOperation::create(
        key, weak_from_this(), settingsURL(), settingsDirectoryPath(), settingsPath(),
        std::move(installID), advertisingToken(), m_networkClient,
        m_clientValues.hearthMode && m_clientValues.hearthMode());
    if (!operation)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_settingsOperation = operation;
    }
    operation->start();
}

void PLNSettingsOnboardingManager::beginOnboarding(bool create, const std::string &endpointString)
{
    std::shared_ptr<PLNOnboardingOperation> previous;
    std::optional<std::string> key;
    std::map<std::string, std::string> kits;
    {
        std::lock_guard lock(m_mutex);
        previous = std::move(m_onboardingOperation);
        key = m_APIKey;
        kits = m_kitVersionsByKitBundleIdentifier;
    }
    if (previous)
        previous->cancel();
    auto operation =
        PLNOnboardingOperation::create(weak_from_this(), create, key, std::move(kits),
                                       PLNOnboardingOperation::identityFromModel(
                                           m_appIdentifierModel, m_iconUtility.applicationIcon()),
                                       endpointString, m_networkClient);
    if (!operation)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_onboardingOperation = operation;
    }
    operation->start();
}

void PLNSettingsOnboardingManager::finishNetworkingSession()
{
    if (m_networkClient)
        m_networkClient->invalidateAndCancel();
}

void PLNSettingsOnboardingManager::postSettingsDownloadCompletedNotification()
{
    tel::SystemLog::debug("[Plinth] Settings are available for consumption");
    tel::NotificationBus::defaultBus().post(PLNSettingsAvailableNotification);
}

PLNSettings &PLNSettingsOnboardingManager::settingsModel()
{
    std::lock_guard lock(m_mutex);
    if (!m_settingsModel)
        m_settingsModel = std::make_unique<PLNSettings>(settingsPath());
    return *m_settingsModel;
}

std::string PLNSettingsOnboardingManager::settingsURL()
{
    const std::string endpoint = valueForConfigurationKey("SettingsEndpoint").value_or("");
    std::optional<std::string> instance;
    if (m_appIdentifierModel)
        instance = m_appIdentifierModel->instanceIdentifier();
    return PLNSettings::settingsURLForEndpoint(endpoint, instance, appIconHash());
}

std::string PLNSettingsOnboardingManager::settingsDirectoryPath()
{
    std::string path = tel::TelemetryPaths::cachesFolder() + "/io.plinth.sdk.mac.data";
    const std::string bundleIdentifier = tel::AppInfo::bundleIdentifier();
    if (!bundleIdentifier.empty())
        path += "/" + bundleIdentifier;
    return path;
}

std::string PLNSettingsOnboardingManager::settingsPath()
{
    return settingsDirectoryPath() + "/settings.json";
}

std::string PLNSettingsOnboardingManager::advertisingToken()
{
    return m_clientValues.advertisingToken ? m_clientValues.advertisingToken() : std::string();
}

std::optional<std::string> PLNSettingsOnboardingManager::appIconHash()
{
    const auto icon = m_iconUtility.applicationIcon();
    if (!icon || icon->dataHash().empty())
        return std::nullopt;
    return icon->dataHash();
}

std::optional<std::string>
PLNSettingsOnboardingManager::valueForConfigurationKey(const std::string &key)
{
    if (const char *value = std::getenv(key.c_str()))
        return std::string(value);
    if (const auto faultline = tel::AppInfo::objectForInfoDictionaryKey("Faultline")) {
        if (const tel::PlistValue *value = faultline->find(key); value && !value->isNull())
            return value->description();
    }
    const auto &defaults = defaultConfiguration();
    if (const auto it = defaults.find(key); it != defaults.end())
        return it->second;
    return std::nullopt;
}

bool PLNSettingsOnboardingManager::hasAttemptedAppConfigure() const
{
    std::lock_guard lock(m_mutex);
    return m_hasAttemptedAppConfigure;
}

void PLNSettingsOnboardingManager::operationDidDownloadAndSaveSettings(
    PLNDownloadAndSaveSettingsOperation *, const std::optional<tel::TelemetryError> &error)
{
    if (error) {
        tel::SystemLog::log("[Plinth] failed to download settings " + PLNErrorDescription(*error));
        finishNetworkingSession();
        return;
    }
    tel::SystemLog::debug("[Plinth] settings downloaded successfully");
    settingsModel().clearSettingsDictionary();

    bool attempted = false;
    {
        std::lock_guard lock(m_mutex);
        attempted = m_hasAttemptedAppConfigure;
    }
    if (attempted) {
        tel::SystemLog::debug("[Plinth] App already onboarded in this run of the app");
        postSettingsDownloadCompletedNotification();
        finishNetworkingSession();
        return;
    }
    const std::string endpoint = valueForConfigurationKey("ConfigureEndpoint").value_or("");
    if (settingsModel().appNeedsOnboarding()) {
        tel::SystemLog::debug("[Plinth] Starting onboarding with app create");
        {
            std::lock_guard lock(m_mutex);
            m_hasAttemptedAppConfigure = true;
        }
        // The notification waits for the settings downloaded after the creation.
        beginOnboarding(true, endpoint);
        return;
    }
    postSettingsDownloadCompletedNotification();
    if (settingsModel().appUpdateRequired()) {
        tel::SystemLog::debug("[Plinth] Starting onboarding with app update");
        {
            std::lock_guard lock(m_mutex);
            m_hasAttemptedAppConfigure = true;
        }
        beginOnboarding(false, endpoint);
        return;
    }
    finishNetworkingSession();
}

void PLNSettingsOnboardingManager::onboardingOperationDidCompleteAppCreation(
    PLNOnboardingOperation *, const std::optional<tel::TelemetryError> &error)
{
    if (error) {
        tel::SystemLog::log("[Plinth] unable to complete application configure: "
                            + PLNErrorDescription(*error));
        finishNetworkingSession();
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_onboardingOperation.reset();
    }
    tel::SystemLog::debug("[Plinth] completed configure");
    beginSettingsDownload();
}

void PLNSettingsOnboardingManager::onboardingOperationDidCompleteAppUpdate(
    PLNOnboardingOperation *, const std::optional<tel::TelemetryError> &error)
{
    finishNetworkingSession();
    if (error) {
        tel::SystemLog::log("[Plinth] unable to complete application update: "
                            + PLNErrorDescription(*error));
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_onboardingOperation.reset();
    }
    tel::SystemLog::debug("[Plinth] completed application update");
}
