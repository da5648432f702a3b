#pragma once

#include "TLYMetadata.h"

#include "telemetry/platform/Operation.h"

#include <memory>
#include <string>

// Hands one launch's metadata to the next: reads (and removes) what the previous launch stored
// in the crash-metadata file, then stores this launch's record, started now. An unreadable file
// is set aside with a log line and counts as an empty record.
class TLYRotateCrashMetadataOperation : public tel::Operation
{
public:
    TLYRotateCrashMetadataOperation(std::string crashMetadataURL,
                                    const TLYMetadataSerializable &currentMetadata);

    void main() override;
    // The previous launch's record (an empty one when there was none); set by main().
    std::shared_ptr<TLYCrashMetadata> crashMetadata() const { return m_crashMetadata; }

private:
    std::string m_crashMetadataURL;
    std::optional<nlohmann::ordered_json> m_currentRecord;
    std::shared_ptr<TLYCrashMetadata> m_crashMetadata;
};
