#pragma once

#include "telemetry/platform/Operation.h"

#include <atomic>
#include <functional>
#include <string>

// Compresses one rolled event log into a gzip file of the same base name ("<UUID>.gz"). The
// gzip file is written under a temporary name and appears only once complete; success() tells
// whether the compressed file is there, so the log may go.
class TLYCompressLogOperation : public tel::Operation
{
public:
    TLYCompressLogOperation(std::string uncompressedLogURL, std::string compressedLogURL);

    static std::string compressedURLForUncompressedURL(const std::string &uncompressedURL);

    void main() override;

    const std::string &uncompressedLogURL() const { return m_uncompressedLogURL; }
    const std::string &compressedLogURL() const { return m_compressedLogURL; }
    bool success() const { return m_success.load(); }
    // Runs at the end of main(), on the same thread, with success().
    void setFinishedBlock(std::function<void(bool success)> block)
    {
        m_finishedBlock = std::move(block);
    }

private:
    void run();

    std::string m_uncompressedLogURL;
    std::string m_compressedLogURL;
    std::atomic<bool> m_success{false};
    std::function<void(bool)> m_finishedBlock;
};
