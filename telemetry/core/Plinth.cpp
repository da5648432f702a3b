#include "Plinth.h"

#include "AdNetKit.h"
#include "FLTUserDefaults.h"
#include "PLNApplicationInfo.h"
#include "PLNSettingsOnboardingManager.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/NotificationBus.h"
#include "telemetry/platform/SystemLog.h"

#include <algorithm>

namespace {

constexpr const char *kClassName = "Plinth";

std::atomic<bool> g_started{false};

std::string lowerHexWithoutDashes(std::string uuid)
{
    std::erase(uuid, '-');
    std::transform(uuid.begin(), uuid.end(), uuid.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return uuid;
}

bool contains(const std::vector<const PLNKit *> &kits, const PLNKit *kit)
{
    return std::find(kits.begin(), kits.end(), kit) != kits.end();
}

// The Hearth observer: registered when the client is loaded, removed when it fires.
tel::NotificationToken &hearthObserver()
{
    static tel::NotificationToken token = tel::NotificationBus::defaultBus().addObserver(
        Plinth::kHearthReadyNotification, nullptr,
        [](const tel::TelemetryNotification &) { Plinth::hostReadyToConfigureSDK(); });
    return token;
}

[[maybe_unused]] const bool g_hearthObserverInstalled = (hearthObserver(), true);

} // namespace

Plinth::Plinth()
{
    if (auto stored = readInstallationUUID()) {
        m_installID = *stored;
    } else {
        m_isFirstInstall = true;
        m_installID = generateInstallationUUID();
    }
    m_executionIdentifier = lowerHexWithoutDashes(PLNGenerateUUIDString());
    m_identifierModel = PLNApplicationIdentiferModel::initWithInstallID(m_installID);
    // Lives as long as the singleton: for the process.
    static const std::shared_ptr<PLNSettingsOnboardingManager> manager =
        PLNSettingsOnboardingManager::create(m_identifierModel.get(),
                                             {[this] { return installID(); },
                                              [this] { return advertisingToken(); },
                                              [this] { return hearthMode(); }});
    m_settingsManager = manager.get();
}

Plinth &Plinth::sharedSDK()
{
    // Made once and kept for the process; kits and queues may use it until exit.
    static Plinth *shared = new Plinth;
    return *shared;
}

Plinth &Plinth::with(const std::vector<KitArgument> &kits, const tel::Host::Hooks &hooks)
{
    tel::Host::install(hooks);
    return with(kits);
}

Plinth &Plinth::with(const std::vector<KitArgument> &kits)
{
    bool expected = false;
    if (!g_started.compare_exchange_strong(expected, true)) {
        tel::SystemLog::log("[Plinth] [Plinth +with] called multiple times. Only the first call is "
                            "honored, please pass all kits you wish to initialize");
        return sharedSDK();
    }
    Plinth &sdk = sharedSDK();
    sdk.start(kits);
    return sdk;
}

void Plinth::start(const std::vector<KitArgument> &kits)
{
    if (!APIKey())
        return;
    std::vector<const PLNKit *> classes = convertToKitClassesIfNeeded(kits);
    validatePLNKitConformance(classes);
    classes = kitClassesByAddingDialpadIfFound(std::move(classes));
    classes = kitClassesByAddingTallyIfFound(std::move(classes));
    classes = kitClassesByEnsuringScreenlyIsFirst(std::move(classes));
    classes = kitClassesByAddingAdNetIfFound(std::move(classes));
    setKitClasses(classes);
    for (const PLNKit *kit : classes)
        initializeKit(kit);
    onboardAppAndDownloadSettings();
}

void Plinth::setDebug(bool debug)
{
    m_debug.store(debug);
    tel::SystemLog::setDebugEnabled(debug);
}

std::optional<std::string> Plinth::APIKey()
{
    std::lock_guard lock(m_mutex);
    if (m_APIKey)
        return m_APIKey;
    if (hearthMode()) {
        const auto path = tel::AppInfo::pathForResource("BeaconService-Info", "plist");
        if (!path) {
            tel::SystemLog::log("[Plinth] BeaconService-Info.plist path unavailable");
            return std::nullopt;
        }
        const auto beacon = tel::PlistValue::readFile(*path);
        const tel::PlistValue *appID = beacon ? beacon->find("BEACON_APP_ID") : nullptr;
        if (!appID || appID->toString().empty()) {
            tel::SystemLog::log("[Plinth] BeaconService-Info.plist key BEACON_APP_ID unavailable");
            return std::nullopt;
        }
        m_APIKey = PLNSHA256HexString(appID->toString()).substr(0, 40);
        return m_APIKey;
    }
    const tel::PlistValue::Dictionary config = plinthConfig();
    const auto it = config.find("APIKey");
    // An empty key cannot identify the application to the service: it counts as no key, so
    // a configuration shipped without one starts nothing.
    if (it != config.end() && it->second.isString() && !it->second.string()->empty())
        m_APIKey = it->second.toString();
    if (!m_APIKey)
        tel::SystemLog::log("[Plinth] Plinth API Key is nil! Plinth won't work unless there is a "
                            "valid API Key setup in Info.plist");
    return m_APIKey;
}

void Plinth::setAPIKey(std::optional<std::string> key)
{
    std::lock_guard lock(m_mutex);
    m_APIKey = std::move(key);
}

std::string Plinth::advertisingToken() const
{
    std::lock_guard lock(m_mutex);
    return m_advertisingToken;
}

void Plinth::setAdvertisingToken(const std::string &token)
{
    std::lock_guard lock(m_mutex);
    m_advertisingToken = token;
}

std::vector<const PLNKit *> Plinth::kitClasses() const
{
    std::lock_guard lock(m_mutex);
    return m_kitClasses;
}

void Plinth::setKitClasses(std::vector<const PLNKit *> kits)
{
    std::lock_guard lock(m_mutex);
    m_kitClasses = std::move(kits);
}

tel::PlistValue::Dictionary Plinth::plinthConfig()
{
    std::lock_guard lock(m_mutex);
    if (!m_plinthConfig)
        m_plinthConfig = validPlinthConfigFromInfoPlist(tel::AppInfo::infoDictionary());
    return *m_plinthConfig;
}

void Plinth::setPlinthConfig(tel::PlistValue::Dictionary config)
{
    std::lock_guard lock(m_mutex);
    m_plinthConfig = std::move(config);
}

void Plinth::setSettingsAndOnboardingManager(PLNSettingsOnboardingManager *manager)
{
    std::lock_guard lock(m_mutex);
    m_settingsManager = manager;
}

std::string Plinth::instanceIdentifier() const
{
    return m_identifierModel ? m_identifierModel->instanceIdentifier() : std::string();
}

std::optional<tel::PlistValue::Dictionary>
Plinth::configurationDictionaryForKit(const PLNKitInstance &kit)
{
    return configurationDictionaryForKitClass(kit.kitClass());
}

std::optional<tel::PlistValue::Dictionary>
Plinth::configurationDictionaryForKitClass(const PLNKit &kit)
{
    const tel::PlistValue::Dictionary config = sharedSDK().plinthConfig();
    const auto kits = config.find("Kits");
    if (kits == config.end() || !kits->second.isArray())
        return std::nullopt;
    for (const tel::PlistValue &entry : *kits->second.array()) {
        const tel::PlistValue *name = entry.find("KitName");
        if (!name || !name->isString() || *name->string() != kit.className())
            continue;
        const tel::PlistValue *info = entry.find("KitInfo");
        if (info && info->isDictionary())
            return *info->dictionary();
        return tel::PlistValue::Dictionary{};
    }
    return std::nullopt;
}

std::vector<const PLNKit *>
Plinth::convertToKitClassesIfNeeded(const std::vector<KitArgument> &kits)
{
    std::vector<const PLNKit *> classes;
    for (const KitArgument &kit : kits) {
        if (const auto *cls = std::get_if<const PLNKit *>(&kit)) {
            if (*cls)
                classes.push_back(*cls);
        } else if (const auto *instance = std::get_if<const PLNKitInstance *>(&kit)) {
            if (*instance)
                classes.push_back(&(*instance)->kitClass());
        }
    }
    return classes;
}

void Plinth::validatePLNKitConformance(const std::vector<const PLNKit *> &kits)
{
    for (const PLNKit *kit : kits) {
        if (kit->conformsToPLNKit())
            continue;
        if (PLNLegacyKitInstance *instance = kit->sharedInstance()) {
            const bool complete = instance->respondsToStart()
                                  && instance->respondsToBundleIdentifier()
                                  && instance->respondsToVersion();
            tel::SystemLog::log(std::string("[") + kClassName
                                + "] Please upgrade to the latest version of \"" + kit->className()
                                + "\"");
            if (complete)
                continue;
        }
        throw PLNException(std::string("[") + kClassName + "] It appears that \"" + kit->className()
                           + "\" is not a valid Plinth Kit. Please make sure you only pass Plinth "
                             "Kits to [Plinth with:].");
    }
}

std::vector<const PLNKit *>
Plinth::kitClassesByAddingDialpadIfFound(std::vector<const PLNKit *> kits)
{
    const PLNKit *dialpad = PLNKit::classNamed("Dialpad");
    if (dialpad && !contains(kits, dialpad))
        kits.push_back(dialpad);
    return kits;
}

std::vector<const PLNKit *> Plinth::kitClassesByAddingTallyIfFound(std::vector<const PLNKit *> kits)
{
    const PLNKit *faultline = PLNKit::classNamed("Faultline");
    const PLNKit *tally = PLNKit::classNamed("Tally");
    if (faultline && tally && contains(kits, faultline) && tally->conformsToPLNKit()
        && !contains(kits, tally))
        kits.push_back(tally);
    return kits;
}

std::vector<const PLNKit *>
Plinth::kitClassesByEnsuringScreenlyIsFirst(std::vector<const PLNKit *> kits)
{
    const PLNKit *screenly = PLNKit::classNamed("Screenly");
    const auto it = std::find(kits.begin(), kits.end(), screenly);
    if (screenly && it != kits.end())
        std::rotate(kits.begin(), it, it + 1);
    return kits;
}

std::vector<const PLNKit *> Plinth::kitClassesByAddingAdNetIfFound(std::vector<const PLNKit *> kits)
{
    if (PLNKit::classNamed("ADNMobileAds"))
        kits.push_back(&AdNetKit::shared());
    return kits;
}

void Plinth::initializeKit(const PLNKit *kit)
{
    if (!kit)
        return;
    if (kit->conformsToPLNKit()) {
        if (kit->respondsToInitializeIfNeeded())
            const_cast<PLNKit *>(kit)->initializeIfNeeded();
        return;
    }
    if (PLNLegacyKitInstance *instance = kit->sharedInstance())
        instance->start();
}

std::map<std::string, std::string> Plinth::kitVersionsByKitBundleIdentifier() const
{
    std::map<std::string, std::string> versions;
    for (const PLNKit *kit : kitClasses()) {
        if (kit->conformsToPLNKit()) {
            versions[kit->bundleIdentifier()] = kit->kitDisplayVersion();
        } else if (PLNLegacyKitInstance *instance = kit->sharedInstance()) {
            versions[instance->bundleIdentifier()] = instance->version();
        }
    }
    versions[kSDKBundleIdentifier] = kSDKVersion;
    if (tel::SystemLog::isDebugEnabled()) {
        std::string text = "{";
        for (const auto &[id, version] : versions)
            text += "\n    \"" + id + "\" = \"" + version + "\";";
        tel::SystemLog::debug("[Plinth] Initialized with kit versions: " + text + "\n}");
    }
    return versions;
}

void Plinth::onboardAppAndDownloadSettings()
{
    if (PLNSettingsOnboardingManager *manager = settingsAndOnboardingManager())
        manager->beginSettingsAndOnboardingOperations(APIKey(), kitVersionsByKitBundleIdentifier());
}

std::optional<nlohmann::json> Plinth::settings() const
{
    PLNSettingsOnboardingManager *manager = settingsAndOnboardingManager();
    if (!manager)
        return std::nullopt;
    return manager->settingsModel().settingsDictionary();
}

std::optional<std::string> Plinth::readInstallationUUID()
{
    const auto value =
        FLTUserDefaults::standardUserDefaults().objectForKeyByMigratingFromNSUserDefaults(
            kInstallationUUIDKey);
    if (value && value->isString() && !value->string()->empty())
        return *value->string();
    return std::nullopt;
}

std::string Plinth::generateInstallationUUID()
{
    std::string uuid = PLNGenerateUUIDString();
    FLTUserDefaults &store = FLTUserDefaults::standardUserDefaults();
    store.setString(uuid, kInstallationUUIDKey);
    store.synchronize();
    return uuid;
}

tel::PlistValue::Dictionary
Plinth::validPlinthConfigFromInfoPlist(const std::optional<tel::PlistValue> &info)
{
    if (hearthMode())
        return {};
    if (!info || !info->isDictionary())
        throw PLNException(std::string("[") + kClassName + "] Cannot find Info.plist.");
    const tel::PlistValue *plinth = info->find("Plinth");
    if (!plinth || !plinth->isDictionary())
        throw PLNException(std::string("[") + kClassName
                           + "] Value of Info.plist key \"Plinth\" must be a NSDictionary.");
    const tel::PlistValue *kits = plinth->find("Kits");
    if (!kits || !kits->isArray())
        tel::SystemLog::log(std::string("[Plinth] [") + kClassName + "] Value of Info.plist["
                            + kClassName + "][Kits] should be a NSArray.");
    const tel::PlistValue *key = plinth->find("APIKey");
    if (!key || !key->isString())
        throw PLNException(std::string("[") + kClassName + "] Value of Info.plist[" + kClassName
                           + "][APIKey] must contain your " + kClassName + " API Key.");
    setInstallationMode(1);
    return *plinth->dictionary();
}

void Plinth::hostReadyToConfigureSDK()
{
    // Only once, like the observer it stands for.
    static std::atomic<bool> fired{false};
    if (fired.exchange(true))
        return;
    Plinth &sdk = sharedSDK();
    if (tel::AppInfo::objectForInfoDictionaryKey("Plinth") || sdk.installationMode() == 1)
        return;
    sdk.setInstallationMode(2);
    const std::string key = "hearth_faultline_collection_enabled";
    if (const auto enabled = tel::AppInfo::objectForInfoDictionaryKey(key)) {
        if ((enabled->isString() || enabled->isNumber()) && !enabled->toBool()) {
            tel::SystemLog::debug("[Plinth] Faultline initialization disabled via Info.plist key "
                                  + key);
            return;
        }
    }
    const PLNKit *faultline = PLNKit::classNamed("Faultline");
    if (!faultline) {
        tel::SystemLog::log(
            std::string("[Plinth] [") + kClassName
            + "] Attempting to initialize Faultline via Hearth but could not find Faultline.");
        return;
    }
    with({faultline});
}
