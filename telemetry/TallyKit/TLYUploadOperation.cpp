#include "TLYUploadOperation.h"

#include "TLYFileUtils.h"
#include "TLYLogger.h"
#include "TLYUploader.h"

#include "telemetry/core/PLNMultipartMimeStreamEncoder.h"

#include <chrono>
#include <sys/stat.h>

TLYUploadOperation::TLYUploadOperation(std::weak_ptr<TLYUploader> uploader, std::string tallyURL,
                                       std::optional<std::string> apiKey, std::string multipartURL,
                                       std::string multipartMimeBoundary)
    : m_uploader(std::move(uploader))
    , m_tallyURL(std::move(tallyURL))
    , m_apiKey(std::move(apiKey))
    , m_multipartURL(std::move(multipartURL))
    , m_multipartMimeBoundary(std::move(multipartMimeBoundary))
{
}

std::string TLYUploadOperation::currentTimestampString()
{
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count());
}

FLTURLRequest TLYUploadOperation::request() const
{
    FLTURLRequest request(m_tallyURL);
    request.HTTPMethod = "POST";
    struct stat info {
    };
    const std::string length =
        ::stat(m_multipartURL.c_str(), &info) == 0 ? std::to_string(info.st_size) : "0";
    request.setValue(PLNMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(
                         m_multipartMimeBoundary),
                     "Content-Type");
    request.setValue(length, "Content-Length");
    request.setValue(kUserAgent, "User-Agent");
    request.setValue(kDeveloperToken, "X-FAULTLINE-DEVELOPER-TOKEN");
    request.setValue("Tally Mac SDK", "X-FAULTLINE-API-CLIENT-TYPE");
    request.setValue("30", "X-FAULTLINE-API-CLIENT-VERSION");
    request.setValue("1.3.7", "X-FAULTLINE-API-CLIENT-DISPLAY-VERSION");
    request.setValue("30", "X-FAULTLINE-API-CLIENT-BUILD-VERSION");
    if (m_apiKey && !m_apiKey->empty())
        request.setValue(*m_apiKey, "X-FAULTLINE-API-KEY");
    request.setValue(currentTimestampString(), "X-Faultline-Api-Client-Packaged-Timestamp");
    request.HTTPBodyFile = m_multipartURL;
    return request;
}

void TLYUploadOperation::main()
{
    const std::string name = TLYFileUtils::baseName(m_multipartURL);
    TLYLogger::sharedLogger().log("Transmitting packaged events for '" + name + "'.");
    if (const auto uploader = m_uploader.lock())
        uploader->startUploadRequest(request(), m_multipartURL, name);
}
