#pragma once

#include "telemetry/core/PLNAppIconUtility.h"
#include "telemetry/core/PLNDownloadAndSaveSettingsOperation.h"
#include "telemetry/core/PLNOnboardingOperation.h"
#include "telemetry/core/PLNSettings.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class PLNApplicationIdentiferModel;
class PLNNetworkClient;

// Posted on the client's notification bus, with no object and no user info, once the
// downloaded settings are saved (on the network client's thread, not the main thread).
inline constexpr const char *PLNSettingsAvailableNotification = "PLNSettingsAvailableNotification";

// Downloads the telemetry settings at every start, onboards the application when they ask for
// it, and announces the settings. All its requests go through one network client pinned to
// the client's certificates; the client is invalidated once the chain ends, so there are no
// further requests in this launch. Thread-safe.
// Values of the running client that the manager sends with its requests. The client (Plinth)
// supplies them when it makes the manager, so the manager never reaches back up to it. Each
// callback may be empty: the installation identifier then comes from the identifier model, the
// advertising token is empty and the Hearth mode is off. Called on the network client's threads.
struct PLNClientValues {
    std::function<std::string()> installID;
    std::function<std::string()> advertisingToken;
    std::function<bool()> hearthMode;
};

class PLNSettingsOnboardingManager
    : public PLNDownloadAndSaveSettingsOperationDelegate,
      public PLNOnboardingOperationDelegate,
      public std::enable_shared_from_this<PLNSettingsOnboardingManager>
{
public:
    // The model is not owned and must outlive the manager (Plinth's lives for the process).
    static std::shared_ptr<PLNSettingsOnboardingManager>
    create(const PLNApplicationIdentiferModel *appIdentifierModel, PLNClientValues values = {});
    ~PLNSettingsOnboardingManager() override;

    void beginSettingsAndOnboardingOperations(
        const std::optional<std::string> &APIKey,
        std::map<std::string, std::string> kitVersionsByKitBundleIdentifier);
    void beginSettingsDownload();
    void beginOnboarding(bool create, const std::string &endpointString);
    void finishNetworkingSession();
    void postSettingsDownloadCompletedNotification();

    PLNSettings &settingsModel();
    std::string settingsURL();
    // Caches/io.plinth.sdk.mac.data/<bundle identifier>
    static std::string settingsDirectoryPath();
    std::string settingsPath();
    std::string advertisingToken();
    std::optional<std::string> appIconHash();
    // The environment variable of that name, else the configuration's "Faultline" entry,
    // else the built-in default ("SettingsEndpoint", "ConfigureEndpoint").
    static std::optional<std::string> valueForConfigurationKey(const std::string &key);

    const std::shared_ptr<PLNNetworkClient> &networkClient() const { return m_networkClient; }
    bool hasAttemptedAppConfigure() const;

    void
    operationDidDownloadAndSaveSettings(PLNDownloadAndSaveSettingsOperation *operation,
                                        const std::optional<tel::TelemetryError> &error) override;
    void onboardingOperationDidCompleteAppCreation(
        PLNOnboardingOperation *operation,
        const std::optional<tel::TelemetryError> &error) override;
    void onboardingOperationDidCompleteAppUpdate(
        PLNOnboardingOperation *operation,
        const std::optional<tel::TelemetryError> &error) override;

private:
    PLNSettingsOnboardingManager(const PLNApplicationIdentiferModel *model, PLNClientValues values);

    const PLNApplicationIdentiferModel *m_appIdentifierModel = nullptr;
    const PLNClientValues m_clientValues;
    std::shared_ptr<PLNNetworkClient> m_networkClient;
    PLNAppIconUtility m_iconUtility;
    mutable std::mutex m_mutex;
    std::unique_ptr<PLNSettings> m_settingsModel;
    std::shared_ptr<PLNOnboardingOperation> m_onboardingOperation;
    std::shared_ptr<PLNDownloadAndSaveSettingsOperation> m_settingsOperation;
    bool m_hasAttemptedAppConfigure = false;
    std::optional<std::string> m_APIKey;
    std::map<std::string, std::string> m_kitVersionsByKitBundleIdentifier;
};
