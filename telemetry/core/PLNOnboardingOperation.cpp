#include "telemetry/core/PLNOnboardingOperation.h"

#include "telemetry/core/PLNApplicationIdentiferModel.h"
#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/core/PLNMultipartMimeStreamEncoder.h"
#include "telemetry/core/PLNNetworkClient.h"
#include "telemetry/core/PLNURLBuilder.h"
#include "telemetry/platform/SystemLog.h"

namespace {

// A value the configuration does not have is left out of the form.
tel::PlistValue valueOrNull(const std::string &text)
{
    return text.empty() ? tel::PlistValue() : tel::PlistValue(text);
}

} // namespace

PLNOnboardingOperation::Identity
PLNOnboardingOperation::identityFromModel(const PLNApplicationIdentiferModel *model,
                                          std::optional<PLNIcon> icon)
{
    Identity identity;
    identity.icon = std::move(icon);
    if (!model)
        return identity;
    identity.instanceIdentifier = model->instanceIdentifier();
    identity.minimumSDKString = model->minimumSDKString();
    identity.builtSDKString = model->builtSDKString();
    for (const auto &[architecture, uuid] : model->architectureUUIDMap())
        identity.architectureUUIDs.emplace_back(architecture, uuid);
    return identity;
}

std::shared_ptr<PLNOnboardingOperation>
PLNOnboardingOperation::create(std::weak_ptr<PLNOnboardingOperationDelegate> delegate,
                               bool shouldCreate, const std::optional<std::string> &APIKey,
                               std::map<std::string, std::string> kitVersionsByKitBundleIdentifier,
                               Identity identity, std::string endpointString,
                               std::weak_ptr<PLNNetworkClient> networkClient)
{
    if (!APIKey)
        return nullptr;
    std::shared_ptr<PLNOnboardingOperation> operation(new PLNOnboardingOperation(*APIKey));
    operation->m_delegate = std::move(delegate);
    operation->m_shouldCreate = shouldCreate;
    operation->m_kitVersionsByKitBundleIdentifier = std::move(kitVersionsByKitBundleIdentifier);
    operation->m_identity = std::move(identity);
    operation->m_appEndpoint = std::move(endpointString);
    operation->m_networkClient = std::move(networkClient);
    return operation;
}

std::string PLNOnboardingOperation::appCreateURL() const
{
    PLNURLBuilder builder = PLNURLBuilder::URLWithBase(m_appEndpoint);
    builder.appendComponent("/spi/v1/platforms/");
    builder.escapeAndAppendComponent(appPlatform());
    builder.appendComponent("/apps");
    return builder.URL();
}

std::string PLNOnboardingOperation::appUpdateURL() const
{
    PLNURLBuilder builder = PLNURLBuilder::URLWithBase(m_appEndpoint);
    builder.appendComponent("/spi/v1/platforms/");
    builder.escapeAndAppendComponent(appPlatform());
    builder.appendComponent("/apps/");
    builder.escapeAndAppendComponent(appBundleIdentifier());
    return builder.URL();
}

std::string PLNOnboardingOperation::appBundleIdentifier()
{
    return PLNApplicationEscapedBundleIdentifier();
}

std::string PLNOnboardingOperation::appName()
{
    return PLNApplicationDisplayName();
}

std::string PLNOnboardingOperation::appBuildVersion()
{
    return PLNApplicationBuildVersion();
}

std::string PLNOnboardingOperation::appDisplayVersion()
{
    return PLNApplicationDisplayVersion();
}

int PLNOnboardingOperation::appInstallSource()
{
    return PLNApplicationInstallSource();
}

tel::TelemetryError
PLNOnboardingOperation::errorForCode(std::int64_t code,
                                     std::map<std::string, tel::PlistValue> userInfo)
{
    return PLNMakeError(kPLNSDKOnboardingErrorDomain, code, std::move(userInfo));
}

void PLNOnboardingOperation::addParts(PLNMultipartMimeStreamEncoder &encoder) const
{
    encoder.addValue(valueOrNull(appBundleIdentifier()), "app[identifier]");
    encoder.addValue(valueOrNull(m_identity.instanceIdentifier), "app[instance_identifier]");
    encoder.addValue(valueOrNull(appName()), "app[name]");
    encoder.addValue(valueOrNull(appBuildVersion()), "app[build_version]");
    encoder.addValue(valueOrNull(appDisplayVersion()), "app[display_version]");
    encoder.addValue(tel::PlistValue(std::to_string(appInstallSource())), "app[source]");
    encoder.addValue(valueOrNull(m_identity.minimumSDKString), "app[minimum_sdk_version]");
    encoder.addValue(valueOrNull(m_identity.builtSDKString), "app[built_sdk_version]");
    for (const auto &[bundleIdentifier, version] : m_kitVersionsByKitBundleIdentifier)
        encoder.addValue(valueOrNull(version), "app[build][libraries][" + bundleIdentifier + "]");
    for (const auto &[architecture, uuid] : m_identity.architectureUUIDs) {
        encoder.addValue(valueOrNull(architecture), "app[slices][][arch]");
        encoder.addValue(valueOrNull(uuid), "app[slices][][uuid]");
    }
    const auto &icon = m_identity.icon;
    if (icon && !icon->data().empty() && !icon->dataHash().empty()) {
        encoder.addValue(tel::PlistValue(icon->dataHash()), "app[icon][hash]");
        encoder.addValue(tel::PlistValue(icon->prerendered() ? "true" : "false"),
                         "app[icon][prerendered]");
        encoder.addValue(tel::PlistValue(std::to_string(static_cast<unsigned long>(icon->width()))),
                         "app[icon][width]");
        encoder.addValue(
            tel::PlistValue(std::to_string(static_cast<unsigned long>(icon->height()))),
            "app[icon][height]");
        encoder.addFileData(icon->data(), "icon.png", "image/png", "app[icon][data]");
    }
}

std::optional<FLTURLRequest>
PLNOnboardingOperation::onboardingRequestForAppCreate(bool create) const
{
    const auto encoded = PLNMultipartMimeStreamEncoder::encodedBodyWithBlock(
        [this](PLNMultipartMimeStreamEncoder &encoder) { addParts(encoder); });
    if (!encoded.complete)
        return std::nullopt;
    FLTURLRequest request = mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(
        create ? appCreateURL() : appUpdateURL());
    request.HTTPMethod = create ? "POST" : "PUT";
    request.setValue(encoded.contentType, "Content-Type");
    request.setValue(encoded.contentLength, "Content-Length");
    request.HTTPBody = encoded.body;
    return request;
}

void PLNOnboardingOperation::beginAppConfigure()
{
    const auto request = onboardingRequestForAppCreate(m_shouldCreate);
    if (!request) {
        tel::SystemLog::log("[Plinth] configure failed during onboarding");
        completed(errorForCode(
            0, {{kFLTLocalizedDescriptionKey, std::string("Multipart mime encoder was nil")}}));
        return;
    }
    auto client = m_networkClient.lock();
    if (!client) {
        completed(errorForCode(
            0, {{kFLTLocalizedDescriptionKey, std::string("The network client is gone")}}));
        return;
    }
    auto self = std::static_pointer_cast<PLNOnboardingOperation>(shared_from_this());
    client->startDataTaskWithRequest(
        *request, m_shouldCreate ? 10 : 1,
        [self](std::optional<std::string>, std::optional<FLTHTTPURLResponse>,
               std::optional<tel::TelemetryError> error) { self->completed(error); });
}

void PLNOnboardingOperation::completed(const std::optional<tel::TelemetryError> &error)
{
    if (auto delegate = m_delegate.lock()) {
        if (m_shouldCreate)
            delegate->onboardingOperationDidCompleteAppCreation(this, error);
        else
            delegate->onboardingOperationDidCompleteAppUpdate(this, error);
    }
    finish(error);
}
