#pragma once

#include "telemetry/core/FLTURLSessionTask.h"
#include "telemetry/platform/Operation.h"

#include <memory>
#include <optional>
#include <string>

class TLYUploader;

// Turns one package into its POST request and hands it to the uploader; the outcome reaches
// the uploader's delegate later.
class TLYUploadOperation : public tel::Operation
{
public:
    static constexpr const char *kUserAgent = "Tally Mac SDK/1.3.7";
    static constexpr const char *kDeveloperToken = "3c9e1a7b5d2f4086ae1b7c3d9f5e2a4b6c8d0e1f";

    TLYUploadOperation(std::weak_ptr<TLYUploader> uploader, std::string tallyURL,
                       std::optional<std::string> apiKey, std::string multipartURL,
                       std::string multipartMimeBoundary);

    void main() override;

    // The request for the package, stamped now.
    FLTURLRequest request() const;
    // Whole seconds since 1970, now.
    static std::string currentTimestampString();
    const std::string &multipartURL() const { return m_multipartURL; }

private:
    std::weak_ptr<TLYUploader> m_uploader;
    std::string m_tallyURL;
    std::optional<std::string> m_apiKey;
    std::string m_multipartURL;
    std::string m_multipartMimeBoundary;
};
