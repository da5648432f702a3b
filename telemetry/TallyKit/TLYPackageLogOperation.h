#pragma once

#include "telemetry/platform/Operation.h"

#include <atomic>
#include <functional>
#include <string>

// Wraps one compressed log as the single file part of a multipart package named after its
// boundary ("<boundary>.multipartmime"). The package is written under a temporary name and
// appears only once complete; success() tells whether it is there, so the compressed file may go.
class TLYPackageLogOperation : public tel::Operation
{
public:
    static constexpr const char *kMimeType = "application/vnd.faultline.mac.events";

    TLYPackageLogOperation(std::string compressedLogURL, std::string packagedLogURL,
                           std::string multipartMimeBoundary);

    static std::string multipartURLForCompressedURL(const std::string &compressedURL,
                                                    const std::string &boundary);

    void main() override;

    const std::string &compressedLogURL() const { return m_compressedLogURL; }
    const std::string &packagedLogURL() const { return m_packagedLogURL; }
    const std::string &multipartMimeBoundary() const { return m_multipartMimeBoundary; }
    bool success() const { return m_success.load(); }
    // Runs at the end of main(), on the same thread, with success().
    void setFinishedBlock(std::function<void(bool success)> block)
    {
        m_finishedBlock = std::move(block);
    }

private:
    void run();

    std::string m_compressedLogURL;
    std::string m_packagedLogURL;
    std::string m_multipartMimeBoundary;
    std::atomic<bool> m_success{false};
    std::function<void(bool)> m_finishedBlock;
};
