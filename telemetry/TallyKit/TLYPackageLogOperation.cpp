#include "TLYPackageLogOperation.h"

#include "TLYFileUtils.h"
#include "TLYLogger.h"

#include "telemetry/core/PLNFileOutputStream.h"
#include "telemetry/core/PLNMultipartMimeStreamEncoder.h"
#include "telemetry/platform/SystemLog.h"

#include <cstdio>
#include <unistd.h>

TLYPackageLogOperation::TLYPackageLogOperation(std::string compressedLogURL,
                                               std::string packagedLogURL,
                                               std::string multipartMimeBoundary)
    : m_compressedLogURL(std::move(compressedLogURL))
    , m_packagedLogURL(std::move(packagedLogURL))
    , m_multipartMimeBoundary(std::move(multipartMimeBoundary))
{
}

std::string TLYPackageLogOperation::multipartURLForCompressedURL(const std::string &compressedURL,
                                                                 const std::string &boundary)
{
    const std::size_t slash = compressedURL.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : compressedURL.substr(0, slash);
    return folder + "/" + boundary + ".multipartmime";
}

void TLYPackageLogOperation::main()
{
    run();
    if (m_finishedBlock)
        m_finishedBlock(m_success.load());
}

void TLYPackageLogOperation::run()
{
    m_success = false;
    if (!TLYFileUtils::isRegularFile(m_compressedLogURL)) {
        TLYLogger::sharedLogger().log("Error: attempting to package nonexistent file: "
                                      + m_compressedLogURL);
        return;
    }
    const std::string temporary = m_packagedLogURL + ".partial";
    PLNFileOutputStream stream(temporary);
    PLNMultipartMimeStreamEncoder encoder(stream, m_multipartMimeBoundary);
    bool added = false;
    encoder.encode([&] {
        if (m_compressedLogURL.empty() || ::access(m_compressedLogURL.c_str(), F_OK) != 0) {
            TLYLogger::sharedLogger().log("Error packaging: " + m_compressedLogURL
                                          + " is an invalid path.");
            return;
        }
        const std::string name = TLYFileUtils::lastPathComponent(m_compressedLogURL);
        encoder.addFile(m_compressedLogURL, name, kMimeType, name);
        added = true;
    });
    if (!added || encoder.failed()
        || std::rename(temporary.c_str(), m_packagedLogURL.c_str()) != 0) {
        tel::SystemLog::log("[Tally] Failed to package " + m_compressedLogURL);
        ::unlink(temporary.c_str());
        return;
    }
    m_success = true;
}
