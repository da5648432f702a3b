#include "telemetry/core/PLNDownloadAndSaveSettingsOperation.h"

#include "telemetry/core/PLNApplicationInfo.h"
#include "telemetry/core/PLNNetworkClient.h"
#include "telemetry/core/PLNSettings.h"
#include "telemetry/platform/SystemLog.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

bool writeAll(int fd, const std::string &bytes)
{
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

tel::TelemetryError settingsError(std::int64_t code, const std::string &description)
{
    return PLNMakeError(kPLNSettingsErrorDomain, code,
                        {{kFLTLocalizedDescriptionKey, description}});
}

} // namespace

std::shared_ptr<PLNDownloadAndSaveSettingsOperation> PLNDownloadAndSaveSettingsOperation::create(
    const std::optional<std::string> &APIKey,
    std::weak_ptr<PLNDownloadAndSaveSettingsOperationDelegate> delegate, std::string settingsURL,
    std::string settingsDirectoryPath, std::string settingsFilePath, std::string installIdentifier,
    std::string advertisingToken, std::weak_ptr<PLNNetworkClient> networkClient, bool hearthMode)
{
    if (!APIKey)
        return nullptr;
    std::shared_ptr<PLNDownloadAndSaveSettingsOperation> operation(
        new PLNDownloadAndSaveSettingsOperation(*APIKey));
    operation->m_delegate = std::move(delegate);
    operation->m_settingsURL = std::move(settingsURL);
    operation->m_settingsDirectoryPath = std::move(settingsDirectoryPath);
    operation->m_settingsFilePath = std::move(settingsFilePath);
    operation->m_installIdentifier = std::move(installIdentifier);
    operation->m_networkClient = std::move(networkClient);
    if (PLNShouldCollectDeviceIdentifiers(hearthMode))
        operation->m_advertisingToken = std::move(advertisingToken);
    else
        tel::SystemLog::debug("[Plinth] Suppressing device identifier reporting");
    return operation;
}

FLTURLRequest PLNDownloadAndSaveSettingsOperation::settingsRequest() const
{
    FLTURLRequest request =
        mutableRequestWithDefaultHTTPHeaderFieldsAndTimeoutForURL(m_settingsURL);
    request.HTTPMethod = "GET";
    request.setValue("application/json", "Accept");
    request.setValue(m_installIdentifier, "X-Faultline-Installation-ID");
    if (const auto model = PLNHostModel())
        request.setValue(*model, "X-Faultline-Device-Model");
    if (const auto build = PLNOperatingSystemBuildVersion())
        request.setValue(*build, "X-Faultline-OS-Build-Version");
    request.setValue(PLNOperatingSystemDisplayVersion(), "X-Faultline-OS-Display-Version");
    request.setValue(kClientDisplayVersion, "X-Faultline-API-Client-Version");
    if (!m_advertisingToken.empty())
        request.setValue(m_advertisingToken, "X-Faultline-Advertising-Token");
    return request;
}

void PLNDownloadAndSaveSettingsOperation::main()
{
    auto client = m_networkClient.lock();
    if (!client) {
        downloadFinished(std::nullopt,
                         settingsError(PLNSettingsErrorNoClient, "The network client is gone"));
        return;
    }
    auto self = std::static_pointer_cast<PLNDownloadAndSaveSettingsOperation>(shared_from_this());
    client->startDownloadTaskWithRequest(settingsRequest(), 1,
                                         [self](std::optional<std::string> location,
                                                std::optional<FLTHTTPURLResponse>,
                                                std::optional<tel::TelemetryError> error) {
                                             self->downloadFinished(location, error);
                                         });
}

void PLNDownloadAndSaveSettingsOperation::downloadFinished(
    const std::optional<std::string> &location, const std::optional<tel::TelemetryError> &error)
{
    std::optional<tel::TelemetryError> outcome = error;
    if (!outcome) {
        outcome = location ? saveSettings(*location)
                           : settingsError(PLNSettingsErrorNotSaved, "Nothing was downloaded");
        if (outcome)
            tel::SystemLog::log("[Plinth] Unable to complete settings download "
                                + PLNErrorDescription(*outcome));
    }
    if (auto delegate = m_delegate.lock())
        delegate->operationDidDownloadAndSaveSettings(this, outcome);
    finish(outcome);
}

std::optional<tel::TelemetryError>
PLNDownloadAndSaveSettingsOperation::saveSettings(const std::string &location) const
{
    std::ifstream in(location, std::ios::binary);
    if (!in)
        return settingsError(PLNSettingsErrorNotSaved, "The downloaded file cannot be read");
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string body = buffer.str();
    if (!PLNSettings::isValidSettingsBody(body))
        return settingsError(PLNSettingsErrorInvalidBody, "The settings are not a JSON object");

    std::error_code ec;
    std::filesystem::create_directories(m_settingsDirectoryPath, ec);
    std::string temporary = m_settingsDirectoryPath + "/.settings.json.XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return settingsError(PLNSettingsErrorNotSaved, "The settings folder cannot be written");
    const bool written = writeAll(fd, body) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), m_settingsFilePath.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return settingsError(PLNSettingsErrorNotSaved, "The settings file cannot be written");
    }
    // The rename itself reaches the disk only with the folder.
    const int folder = ::open(m_settingsDirectoryPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return std::nullopt;
}
