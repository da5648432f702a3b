#pragma once

#include "PLNApplicationIdentiferModel.h"
#include "PLNException.h"
#include "PLNKit.h"
#include "telemetry/platform/Host.h"
#include "telemetry/platform/PlistValue.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class PLNSettingsOnboardingManager;

// The core of the telemetry client: the process-wide singleton that the application starts
// once at launch with the kits it wants (Quintora passes the crash kit, Faultline).
// With no API key configured the start initialises nothing. Thread-safe; with() runs the start
// synchronously on the calling thread (the main thread at launch).
class Plinth
{
public:
    // A kit given by its class or by one of its instances.
    using KitArgument = std::variant<const PLNKit *, const PLNKitInstance *>;

    static constexpr const char *kSDKBundleIdentifier = "io.plinth.sdk.mac";
    static constexpr const char *kSDKVersion = "1.7.2";
    static constexpr const char *kInstallationUUIDKey = "com.faultline.iuuid";
    static constexpr const char *kHearthReadyNotification = "HRTAppReadyToConfigureSDKNotification";

    // The application's only entry: installs the host's hooks (main-thread executor, user
    // defaults reader), then starts the kits once. Later calls only log. Throws PLNException
    // on misconfiguration (an invalid kit, an Info.plist without a valid "Plinth" dictionary).
    static Plinth &with(const std::vector<KitArgument> &kits, const tel::Host::Hooks &hooks);
    static Plinth &with(const std::vector<KitArgument> &kits);
    static Plinth &sharedSDK();

    bool debug() const { return m_debug.load(); }
    void setDebug(bool debug);
    // Set in code, or resolved from the configuration on first use and then cached.
    std::optional<std::string> APIKey();
    void setAPIKey(std::optional<std::string> key);
    std::string installID() const { return m_installID; }
    bool isFirstInstall() const { return m_isFirstInstall; }
    std::string executionIdentifier() const { return m_executionIdentifier; }
    std::string advertisingToken() const;
    void setAdvertisingToken(const std::string &token);
    std::vector<const PLNKit *> kitClasses() const;
    void setKitClasses(std::vector<const PLNKit *> kits);
    // The validated "Plinth" dictionary of the configuration, computed once.
    tel::PlistValue::Dictionary plinthConfig();
    void setPlinthConfig(tel::PlistValue::Dictionary config);
    PLNSettingsOnboardingManager *settingsAndOnboardingManager() const { return m_settingsManager; }
    void setSettingsAndOnboardingManager(PLNSettingsOnboardingManager *manager);
    const PLNApplicationIdentiferModel *applicationIdentifierModel() const
    {
        return m_identifierModel.get();
    }
    std::string instanceIdentifier() const;
    // The downloaded settings (the cached "settings.json"); nothing before the first download.
    std::optional<nlohmann::json> settings() const;
    std::uint64_t installationMode() const { return m_installationMode.load(); }
    void setInstallationMode(std::uint64_t mode) { m_installationMode.store(mode); }
    bool hearthMode() const { return installationMode() == 2; }

    std::optional<tel::PlistValue::Dictionary>
    configurationDictionaryForKit(const PLNKitInstance &kit);
    static std::optional<tel::PlistValue::Dictionary>
    configurationDictionaryForKitClass(const PLNKit &kit);

    // Steps of the start, each on a list of kits.
    static std::vector<const PLNKit *>
    convertToKitClassesIfNeeded(const std::vector<KitArgument> &kits);
    static void validatePLNKitConformance(const std::vector<const PLNKit *> &kits);
    static std::vector<const PLNKit *>
    kitClassesByAddingDialpadIfFound(std::vector<const PLNKit *> kits);
    static std::vector<const PLNKit *>
    kitClassesByAddingTallyIfFound(std::vector<const PLNKit *> kits);
    static std::vector<const PLNKit *>
    kitClassesByEnsuringScreenlyIsFirst(std::vector<const PLNKit *> kits);
    static std::vector<const PLNKit *>
    kitClassesByAddingAdNetIfFound(std::vector<const PLNKit *> kits);
    static void initializeKit(const PLNKit *kit);

    std::map<std::string, std::string> kitVersionsByKitBundleIdentifier() const;
    void onboardAppAndDownloadSettings();

    std::optional<std::string> readInstallationUUID();
    std::string generateInstallationUUID();
    tel::PlistValue::Dictionary
    validPlinthConfigFromInfoPlist(const std::optional<tel::PlistValue> &info);

    // The Hearth way in: the host announces that Hearth is ready to configure its SDKs (the
    // notification "HRTAppReadyToConfigureSDKNotification" on the client's bus does the same).
    static void hostReadyToConfigureSDK();

private:
    Plinth();
    void start(const std::vector<KitArgument> &kits);

    std::atomic<bool> m_debug{false};
    bool m_isFirstInstall = false;
    std::string m_installID;
    std::string m_executionIdentifier;
    std::unique_ptr<PLNApplicationIdentiferModel> m_identifierModel;
    PLNSettingsOnboardingManager *m_settingsManager = nullptr;
    std::atomic<std::uint64_t> m_installationMode{0};

    mutable std::recursive_mutex m_mutex;
    std::optional<std::string> m_APIKey;
    std::string m_advertisingToken;
    std::vector<const PLNKit *> m_kitClasses;
    std::optional<tel::PlistValue::Dictionary> m_plinthConfig;
};
