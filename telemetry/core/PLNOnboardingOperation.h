#pragma once

#include "telemetry/core/PLNIcon.h"
#include "telemetry/core/PLNNetworkOperation.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PLNApplicationIdentiferModel;
class PLNMultipartMimeStreamEncoder;
class PLNNetworkClient;
class PLNOnboardingOperation;

inline constexpr const char *kPLNSDKOnboardingErrorDomain = "PLNSDKOnboardingErrorDomain";

class PLNOnboardingOperationDelegate
{
public:
    virtual ~PLNOnboardingOperationDelegate() = default;
    // One of the two is called once, on the network client's thread, before the operation
    // finishes.
    virtual void
    onboardingOperationDidCompleteAppCreation(PLNOnboardingOperation *operation,
                                              const std::optional<tel::TelemetryError> &error) = 0;
    virtual void
    onboardingOperationDidCompleteAppUpdate(PLNOnboardingOperation *operation,
                                            const std::optional<tel::TelemetryError> &error) = 0;
};

// Creates (POST) or updates (PUT) the application's record on the web service with a
// multipart form of its identity, versions, kits, architecture slices and icon.
class PLNOnboardingOperation : public PLNNetworkOperation
{
public:
    // What the operation sends of the build's identity (copied, so the operation owns it).
    struct Identity {
        std::string instanceIdentifier;
        std::string minimumSDKString = "0.0.0";
        std::string builtSDKString = "0.0.0";
        std::vector<std::pair<std::string, std::string>> architectureUUIDs;
        std::optional<PLNIcon> icon;
    };
    static Identity identityFromModel(const PLNApplicationIdentiferModel *model,
                                      std::optional<PLNIcon> icon);

    // Nullptr without an API key.
    static std::shared_ptr<PLNOnboardingOperation>
    create(std::weak_ptr<PLNOnboardingOperationDelegate> delegate, bool shouldCreate,
           const std::optional<std::string> &APIKey,
           std::map<std::string, std::string> kitVersionsByKitBundleIdentifier, Identity identity,
           std::string endpointString, std::weak_ptr<PLNNetworkClient> networkClient);

    void main() override { beginAppConfigure(); }
    void beginAppConfigure();
    // The whole request, body included; nothing when the body could not be encoded.
    std::optional<FLTURLRequest> onboardingRequestForAppCreate(bool create) const;
    std::string appCreateURL() const;
    std::string appUpdateURL() const;

    static std::string appBundleIdentifier();
    static std::string appPlatform() { return "mac"; }
    static std::string appName();
    static std::string appBuildVersion();
    static std::string appDisplayVersion();
    static int appInstallSource();
    static tel::TelemetryError errorForCode(std::int64_t code,
                                            std::map<std::string, tel::PlistValue> userInfo = {});

    bool shouldCreate() const { return m_shouldCreate; }
    const std::string &appEndpoint() const { return m_appEndpoint; }

protected:
    std::string className() const override { return "PLNOnboardingOperation"; }

private:
    explicit PLNOnboardingOperation(std::string APIKey)
        : PLNNetworkOperation(std::move(APIKey))
    {
    }
    void addParts(PLNMultipartMimeStreamEncoder &encoder) const;
    void completed(const std::optional<tel::TelemetryError> &error);

    std::weak_ptr<PLNOnboardingOperationDelegate> m_delegate;
    bool m_shouldCreate = true;
    std::map<std::string, std::string> m_kitVersionsByKitBundleIdentifier;
    Identity m_identity;
    std::string m_appEndpoint;
    std::weak_ptr<PLNNetworkClient> m_networkClient;
};
