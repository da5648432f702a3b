#pragma once

// The crash kit's check for newer test builds of a build distributed to testers. It is armed only
// when a beta token exists; the token source of this platform has none, so start() answers false
// and no update request is ever made. Once armed (a token source that answers), every settings
// notification asks the beta endpoint for an update, at most one request at a time, and a found
// update becomes activeUpdate(); checks then pause for the settings' suspension time.
// Thread-safe: work runs on the controller's serial queue.

#include "FLTKitRequest.h"
#include "FLTSettings.h"
#include "telemetry/core/PLNNetworkClient.h"
#include "telemetry/platform/DispatchQueue.h"
#include "telemetry/platform/NotificationBus.h"
#include "telemetry/platform/Timer.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class FLTBetaController;

struct FLTBetaUpdate {
    std::string url;
    std::string version;

    // Nothing, and `error` set (code -1017 of the URL-loading domain), without a valid "url".
    static std::optional<FLTBetaUpdate> betaUpdateWithDictionary(const nlohmann::json &dictionary,
                                                                 tel::TelemetryError *error);
    static std::string promptTitle();
    static std::string promptMessage();
    static std::string cancelLabel();
    static std::string installLabel();
};

class FLTBetaControllerDelegate
{
public:
    virtual ~FLTBetaControllerDelegate() = default;
    virtual FLTSettings settingsForBetaController(FLTBetaController *) = 0;
    virtual std::optional<std::string> APIKeyForBetaController(FLTBetaController *) = 0;
};

class FLTBetaController
{
public:
    using TokenSource = std::function<std::optional<std::string>()>;
    static constexpr const char *kUserAgent = FLTKitRequest::kUserAgent;

    // Not an application extension, and signed for distribution outside the store.
    static bool isBetaSupported();
    static std::vector<PLNCertificate> pinnnedCertificates();
    // The platform's token source answers no token.
    static std::optional<std::string> platformBetaToken() { return std::nullopt; }

    explicit FLTBetaController(std::weak_ptr<FLTBetaControllerDelegate> delegate,
                               TokenSource tokenSource = platformBetaToken);
    ~FLTBetaController();
    FLTBetaController(const FLTBetaController &) = delete;
    FLTBetaController &operator=(const FLTBetaController &) = delete;

    // False without a beta token; otherwise observes the settings notification.
    bool start();
    // Fetched once from the token source.
    std::optional<std::string> betaToken();

    void checkForUpdate();
    bool shouldGetUpdates() const;
    void temporarilySuspendChecks();
    void allowChecks();
    std::optional<FLTBetaUpdate> activeUpdate() const;
    // The update request, with the token.
    std::optional<FLTURLRequest> updateRequest();
    // Reads a finished check's answer; a valid update is kept.
    void updateWithData(const std::optional<std::string> &data,
                        const std::optional<tel::TelemetryError> &error);

private:
    void didGetUpdate(const std::optional<FLTBetaUpdate> &update);

    std::weak_ptr<FLTBetaControllerDelegate> m_delegate;
    TokenSource m_tokenSource;
    tel::DispatchQueue m_queue;
    std::shared_ptr<PLNNetworkClient> m_networkClient;
    tel::NotificationToken m_observer;

    mutable std::mutex m_mutex;
    bool m_tokenFetched = false;
    std::optional<std::string> m_betaToken;
    std::optional<FLTBetaUpdate> m_activeUpdate;
    std::shared_ptr<tel::Timer> m_checkSuspensionTimer;
    bool m_checksSuspended = false;
    bool m_retrying = false;
};
