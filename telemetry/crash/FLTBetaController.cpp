#include "FLTBetaController.h"

#include "Faultline.h"
#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/core/PLNNetworkOperation.h"
#include "telemetry/core/PLNSettings.h"
#include "telemetry/core/PLNSettingsOnboardingManager.h"
#include "telemetry/core/PLNURLBuilder.h"
#include "telemetry/core/Plinth.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/SystemLog.h"

namespace {

void debugLine(const std::string &line)
{
    tel::SystemLog::debug("[Faultline:Beta] " + line);
}

bool isApplicationExtension()
{
    const auto extension = tel::AppInfo::objectForInfoDictionaryKey("NSExtension");
    if (!extension || !extension->isDictionary())
        return false;
    const auto *dictionary = extension->dictionary();
    const auto point = dictionary->find("NSExtensionPointIdentifier");
    return point != dictionary->end() && point->second.isString();
}

} // namespace

std::optional<FLTBetaUpdate>
FLTBetaUpdate::betaUpdateWithDictionary(const nlohmann::json &dictionary,
                                        tel::TelemetryError *error)
{
    const auto url = dictionary.is_object() ? dictionary.find("url") : dictionary.end();
    if (url == dictionary.end() || !url->is_string() || url->get<std::string>().empty()) {
        if (error)
            *error = PLNMakeError(kFLTURLErrorDomain, -1017);
        return std::nullopt;
    }
    FLTBetaUpdate update;
    update.url = url->get<std::string>();
    const auto version = dictionary.find("version_string");
    if (version != dictionary.end() && version->is_string())
        update.version = version->get<std::string>();
    return update;
}

std::string FLTBetaUpdate::promptTitle()
{
    return "New Build Available";
}

std::string FLTBetaUpdate::promptMessage()
{
    return "A new version of " + PLNApplicationDisplayName() + " is available for testing.";
}

std::string FLTBetaUpdate::cancelLabel()
{
    return "Cancel";
}

std::string FLTBetaUpdate::installLabel()
{
    return "Install";
}

bool FLTBetaController::isBetaSupported()
{
    return !isApplicationExtension() && PLNApplicationInstallSource() == 3;
}

std::vector<PLNCertificate> FLTBetaController::pinnnedCertificates()
{
    return PLNCertificatePinner::pinnedCertificates();
}

FLTBetaController::FLTBetaController(std::weak_ptr<FLTBetaControllerDelegate> delegate,
                                     TokenSource tokenSource)
    : m_delegate(std::move(delegate))
    , m_tokenSource(std::move(tokenSource))
    , m_queue(std::string(Faultline::kBundleIdentifier) + ".beta")
    , m_networkClient(PLNNetworkClient::create(pinnnedCertificates()))
{
    if (!m_networkClient)
        tel::SystemLog::debug("[Crahlytics:Beta] Failed to configure networking");
}

FLTBetaController::~FLTBetaController()
{
    m_observer = tel::NotificationToken();
    std::shared_ptr<tel::Timer> timer;
    {
        std::lock_guard lock(m_mutex);
        timer = std::move(m_checkSuspensionTimer);
    }
    if (timer)
        timer->cancel();
    if (m_networkClient)
        m_networkClient->invalidateAndCancel();
    m_queue.sync([] {});
}

std::optional<std::string> FLTBetaController::betaToken()
{
    std::lock_guard lock(m_mutex);
    if (!m_tokenFetched) {
        m_tokenFetched = true;
        if (m_tokenSource)
            m_betaToken = m_tokenSource();
    }
    return m_betaToken;
}

bool FLTBetaController::start()
{
    if (!betaToken())
        return false;
    m_observer = tel::NotificationBus::defaultBus().addObserver(
        PLNSettingsAvailableNotification, nullptr,
        [this](const tel::TelemetryNotification &) { checkForUpdate(); });
    return true;
}

bool FLTBetaController::shouldGetUpdates() const
{
    std::lock_guard lock(m_mutex);
    return !m_checksSuspended;
}

void FLTBetaController::temporarilySuspendChecks()
{
    double duration = 3600;
    if (auto delegate = m_delegate.lock())
        duration = delegate->settingsForBetaController(this).betaSuspendDuration();
    std::lock_guard lock(m_mutex);
    m_checksSuspended = true;
    if (m_checkSuspensionTimer)
        m_checkSuspensionTimer->cancel();
    m_checkSuspensionTimer = tel::Timer::schedule(duration, 0, &m_queue, [this] { allowChecks(); });
}

void FLTBetaController::allowChecks()
{
    std::lock_guard lock(m_mutex);
    if (m_checkSuspensionTimer)
        m_checkSuspensionTimer->cancel();
    m_checkSuspensionTimer.reset();
    m_checksSuspended = false;
}

std::optional<FLTBetaUpdate> FLTBetaController::activeUpdate() const
{
    std::lock_guard lock(m_mutex);
    return m_activeUpdate;
}

std::optional<FLTURLRequest> FLTBetaController::updateRequest()
{
    const auto token = betaToken();
    if (!token)
        return std::nullopt;
    PLNURLBuilder builder(FLTSettings::betaEndpoint());
    builder.appendComponent("/spi/v2/platforms/");
    builder.appendComponent("mac");
    builder.appendComponent("/apps/");
    // Escaped like every other path piece of the client.
    builder.escapeAndAppendComponent(PLNApplicationEscapedBundleIdentifier());
    builder.appendComponent("/beta_update_check");
    auto nonEmpty = [](std::string text) {
        return text.empty() ? std::nullopt : std::optional<std::string>(std::move(text));
    };
    builder.appendValue(nonEmpty(PLNApplicationBuildVersion()), "build_version");
    builder.appendValue(nonEmpty(PLNApplicationDisplayVersion()), "display_version");
    builder.appendValue(nonEmpty(Plinth::sharedSDK().instanceIdentifier()), "instance");
    builder.appendValue(std::to_string(PLNApplicationInstallSource()), "source");
    debugLine("Beta Update-Check url string: '" + builder.URL() + "'");

    std::optional<std::string> APIKey;
    if (auto delegate = m_delegate.lock())
        APIKey = delegate->APIKeyForBetaController(this);
    FLTURLRequest request = FLTKitRequest::requestWithURL(builder.URL(), 10, APIKey);
    request.setValue(*token, "X-Faultline-Beta-Token");
    return request;
}

void FLTBetaController::checkForUpdate()
{
    m_queue.async([this] {
        {
            std::lock_guard lock(m_mutex);
            if (m_checksSuspended || m_retrying || !isBetaSupported() || !m_networkClient)
                return;
            m_retrying = true;
        }
        debugLine("Loading beta update");
        const auto request = updateRequest();
        if (!request) {
            std::lock_guard lock(m_mutex);
            m_retrying = false;
            return;
        }
        m_networkClient->startDataTaskWithRequest(*request, 10,
                                                  [this](std::optional<std::string> data,
                                                         std::optional<FLTHTTPURLResponse>,
                                                         std::optional<tel::TelemetryError> error) {
                                                      m_queue.async([this, data, error] {
                                                          updateWithData(data, error);
                                                          std::lock_guard lock(m_mutex);
                                                          m_retrying = false;
                                                      });
                                                  });
    });
}

void FLTBetaController::updateWithData(const std::optional<std::string> &data,
                                       const std::optional<tel::TelemetryError> &error)
{
    if (error || !data || data->empty()) {
        debugLine("Failed to load update '"
                  + (error ? PLNErrorDescription(*error) : std::string("(null)")) + "'");
        return;
    }
    debugLine("Beta update loaded");
    temporarilySuspendChecks();
    const auto parsed = nlohmann::json::parse(*data, nullptr, false);
    if (parsed.is_discarded()) {
        debugLine("Unable to deserialize beta update data: " + *data);
        return;
    }
    tel::TelemetryError readError;
    const auto update = FLTBetaUpdate::betaUpdateWithDictionary(parsed, &readError);
    if (!update)
        debugLine("Unable to read beta update data: " + PLNErrorDescription(readError));
    didGetUpdate(update);
}

void FLTBetaController::didGetUpdate(const std::optional<FLTBetaUpdate> &update)
{
    if (!update || update->url.empty()) {
        debugLine("Beta update url is invalid");
        return;
    }
    // No alert on this platform: the update is kept for whoever asks.
    std::lock_guard lock(m_mutex);
    m_activeUpdate = update;
}
