#pragma once

#include "telemetry/core/PLNNetworkOperation.h"

#include <memory>
#include <optional>
#include <string>

class PLNDownloadAndSaveSettingsOperation;
class PLNNetworkClient;

inline constexpr const char *kPLNSettingsErrorDomain = "PLNSettingsError";
enum PLNSettingsErrorCode : std::int64_t {
    PLNSettingsErrorInvalidBody = -1, // the downloaded body is not a JSON object
    PLNSettingsErrorNotSaved = -2,    // the file could not be written
    PLNSettingsErrorNoClient = -3,    // the network client is gone
};

class PLNDownloadAndSaveSettingsOperationDelegate
{
public:
    virtual ~PLNDownloadAndSaveSettingsOperationDelegate() = default;
    // Called once, on the network client's thread, before the operation finishes.
    virtual void
    operationDidDownloadAndSaveSettings(PLNDownloadAndSaveSettingsOperation *operation,
                                        const std::optional<tel::TelemetryError> &error) = 0;
};

// Downloads the settings (GET, retry limit 1) and keeps them as "settings.json". The body is
// checked first and replaces the previous file in one rename, so a failed or bad download
// leaves the previous settings as they were.
class PLNDownloadAndSaveSettingsOperation : public PLNNetworkOperation
{
public:
    // Nullptr without an API key. The advertising token is kept only when device identifiers
    // may be reported (never in Hearth mode).
    static std::shared_ptr<PLNDownloadAndSaveSettingsOperation>
    create(const std::optional<std::string> &APIKey,
           std::weak_ptr<PLNDownloadAndSaveSettingsOperationDelegate> delegate,
           std::string settingsURL, std::string settingsDirectoryPath, std::string settingsFilePath,
           std::string installIdentifier, std::string advertisingToken,
           std::weak_ptr<PLNNetworkClient> networkClient, bool hearthMode);

    void main() override;
    // The settings request: the common fields plus the device's.
    FLTURLRequest settingsRequest() const;

    const std::string &settingsURL() const { return m_settingsURL; }
    const std::string &settingsDirectoryPath() const { return m_settingsDirectoryPath; }
    const std::string &settingsFilePath() const { return m_settingsFilePath; }
    const std::string &installIdentifier() const { return m_installIdentifier; }
    const std::string &advertisingToken() const { return m_advertisingToken; }

protected:
    std::string className() const override { return "PLNDownloadAndSaveSettingsOperation"; }

private:
    PLNDownloadAndSaveSettingsOperation(std::string APIKey)
        : PLNNetworkOperation(std::move(APIKey))
    {
    }
    void downloadFinished(const std::optional<std::string> &location,
                          const std::optional<tel::TelemetryError> &error);
    // Checks the downloaded body and renames it over the settings file.
    std::optional<tel::TelemetryError> saveSettings(const std::string &location) const;

    std::weak_ptr<PLNDownloadAndSaveSettingsOperationDelegate> m_delegate;
    std::string m_settingsURL;
    std::string m_settingsDirectoryPath;
    std::string m_settingsFilePath;
    std::string m_installIdentifier;
    std::string m_advertisingToken;
    std::weak_ptr<PLNNetworkClient> m_networkClient;
};
