#include "TLYCompressLogOperation.h"

#include "TLYFileUtils.h"
#include "TLYLogger.h"

#include "telemetry/platform/SystemLog.h"

#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <unistd.h>

TLYCompressLogOperation::TLYCompressLogOperation(std::string uncompressedLogURL,
                                                 std::string compressedLogURL)
    : m_uncompressedLogURL(std::move(uncompressedLogURL))
    , m_compressedLogURL(std::move(compressedLogURL))
{
}

std::string
TLYCompressLogOperation::compressedURLForUncompressedURL(const std::string &uncompressedURL)
{
    return TLYFileUtils::pathByReplacingExtension(uncompressedURL, "gz");
}

void TLYCompressLogOperation::main()
{
    run();
    if (m_finishedBlock)
        m_finishedBlock(m_success.load());
}

void TLYCompressLogOperation::run()
{
    m_success = false;
    if (!TLYFileUtils::isRegularFile(m_uncompressedLogURL)) {
        TLYLogger::sharedLogger().log("Error: attempting to compress nonexistent file: "
                                      + m_uncompressedLogURL);
        return;
    }
    if (::access(m_compressedLogURL.c_str(), F_OK) == 0) {
        m_success = true;
        return;
    }
    std::ifstream in(m_uncompressedLogURL, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const std::string bytes = buffer.str();
    if (!in.good() && !in.eof()) {
        tel::SystemLog::log("[Tally] Failed to read " + m_uncompressedLogURL);
        return;
    }
    const std::string temporary = m_compressedLogURL + ".partial";
    gzFile output = gzopen(temporary.c_str(), "w");
    if (!output) {
        tel::SystemLog::log("[Tally] Failed to compress file at " + m_uncompressedLogURL);
        return;
    }
    bool complete = true;
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        const unsigned chunk = static_cast<unsigned>(
            std::min<std::size_t>(bytes.size() - offset, std::numeric_limits<int>::max()));
        const int written = gzwrite(output, bytes.data() + offset, chunk);
        if (written <= 0) {
            complete = false;
            break;
        }
        offset += static_cast<std::size_t>(written);
    }
    // Buffered bytes reach the file only at close, so its result counts too.
    if (gzclose(output) != Z_OK)
        complete = false;
    if (!complete || std::rename(temporary.c_str(), m_compressedLogURL.c_str()) != 0) {
        tel::SystemLog::log("[Tally] Failed to compress file at " + m_uncompressedLogURL);
        ::unlink(temporary.c_str());
        return;
    }
    m_success = true;
}
