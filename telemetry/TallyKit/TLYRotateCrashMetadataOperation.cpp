#include "TLYRotateCrashMetadataOperation.h"

#include "TLYFileUtils.h"

#include "telemetry/platform/SystemLog.h"

#include <chrono>
#include <unistd.h>

TLYRotateCrashMetadataOperation::TLYRotateCrashMetadataOperation(
    std::string crashMetadataURL, const TLYMetadataSerializable &currentMetadata)
    : m_crashMetadataURL(std::move(crashMetadataURL))
{
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    m_currentRecord =
        currentMetadata.dictionaryRepresentationWithStartTime(static_cast<std::uint64_t>(now));
}

void TLYRotateCrashMetadataOperation::main()
{
    nlohmann::ordered_json previous = nlohmann::ordered_json::object();
    if (::access(m_crashMetadataURL.c_str(), F_OK) == 0) {
        if (auto stored = TLYCrashMetadata::readSerializedDictionaryFromURL(m_crashMetadataURL))
            previous = std::move(*stored);
        else
            tel::SystemLog::log("[Tally] The stored launch metadata at " + m_crashMetadataURL
                                + " is not a JSON object; it is discarded.");
        ::unlink(m_crashMetadataURL.c_str());
    }
    m_crashMetadata = std::make_shared<TLYCrashMetadata>(std::move(previous));
    if (m_currentRecord)
        TLYCrashMetadata::writeSerializedDictionary(*m_currentRecord, m_crashMetadataURL);
}
