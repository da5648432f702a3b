#include "TLYMetadata.h"

#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/core/PLNNetworkOperation.h"
#include "telemetry/core/Plinth.h"
#include "telemetry/platform/AppInfo.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::optional<std::string> nonEmpty(std::string text)
{
    if (text.empty())
        return std::nullopt;
    return text;
}

TLYMetadata::Fields fieldsFromClient()
{
    Plinth &sdk = Plinth::sharedSDK();
    TLYMetadata::Fields fields;
    fields.APIKey = sdk.APIKey();
    fields.sessionId = nonEmpty(sdk.executionIdentifier());
    fields.installationId = nonEmpty(sdk.installID());
    fields.instanceId = nonEmpty(sdk.instanceIdentifier());
    fields.model = PLNHostModel();
    fields.locale = nonEmpty(PLNNetworkOperation::localeIdentifier());
    fields.osBuild = PLNOperatingSystemBuildVersion();
    fields.osVersion = nonEmpty(PLNOperatingSystemDisplayVersion());
    const long cores = sysconf(_SC_NPROCESSORS_CONF);
    fields.cores = cores > 0 ? static_cast<std::uint32_t>(cores) : 0;
    fields.bundleId = nonEmpty(PLNApplicationEscapedBundleIdentifier());
    fields.bundleVersion = nonEmpty(PLNApplicationBuildVersion());
    fields.bundleShortVersion = nonEmpty(PLNApplicationDisplayVersion());
    return fields;
}

} // namespace

TLYMetadata::TLYMetadata(const std::optional<std::string> &betaToken)
    : TLYMetadata(fieldsFromClient(), betaToken)
{
}

TLYMetadata::TLYMetadata(Fields fields, const std::optional<std::string> &betaToken)
    : m_fields(std::move(fields))
    , m_betaToken(unwrapBetaToken(betaToken))
{
}

std::optional<std::string> TLYMetadata::unwrapBetaToken(const std::optional<std::string> &token)
{
    if (!token)
        return std::nullopt;
    const std::size_t colon = token->find(':');
    if (colon == std::string::npos || token->find(':', colon + 1) != std::string::npos)
        return std::nullopt;
    if (token->substr(0, colon) != "2")
        return std::nullopt;
    return token->substr(colon + 1);
}

std::optional<nlohmann::ordered_json>
TLYMetadata::dictionaryRepresentationWithStartTime(std::uint64_t startTime) const
{
    nlohmann::ordered_json record = nlohmann::ordered_json::object();
    const auto put = [&record](const char *key, const std::optional<std::string> &value) {
        if (value)
            record[key] = *value;
    };
    record["generator"] = kGenerator;
    put("api_key", m_fields.APIKey);
    put("session_id", m_fields.sessionId);
    record["started_at"] = startTime;
    put("beta_tester_token", m_betaToken);
    record["links_ad_support"] = false;
    record["advertising_tracking_enabled"] = false;
    put("install_id", m_fields.installationId);
    put("model", m_fields.model);
    put("machine", m_fields.model);
    put("locale", m_fields.locale);
    put("os_build", m_fields.osBuild);
    put("os_version", m_fields.osVersion);
    record["platform"] = "Mac";
    record["platform_code"] = 0u;
    record["cores"] = m_fields.cores;
    record["jailbroken"] = false;
    put("bundle_id", m_fields.bundleId);
    put("bundle_version", m_fields.bundleVersion);
    put("bundle_short_version", m_fields.bundleShortVersion);
    put("instance_id", m_fields.instanceId);
    return record;
}

std::optional<nlohmann::ordered_json>
TLYCrashMetadata::readSerializedDictionaryFromURL(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::stringstream buffer;
    buffer << in.rdbuf();
    nlohmann::ordered_json parsed = nlohmann::ordered_json::parse(buffer.str(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object())
        return std::nullopt;
    return parsed;
}

bool TLYCrashMetadata::writeSerializedDictionary(const nlohmann::ordered_json &dictionary,
                                                 const std::string &path)
{
    const std::string text =
        dictionary.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    const bool closed = ::close(fd) == 0;
    if (written != text.size() || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
