#pragma once

#include "TLYEvent.h"
#include "TLYMetadata.h"

#include "telemetry/platform/Operation.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>

// Appends one event to a log file: "<ms>\t<name>\t<payload bytes>\t<JSON payload>\n". A new file
// first gets the metadata record, stamped with the event's time. A failed write is cut back off
// the file, so a torn line never glues two events together, and a new file whose metadata
// record could not be written is removed. Runs on the analytics event queue (one writer per
// file).
class TLYWriteEventOperation : public tel::Operation
{
public:
    TLYWriteEventOperation(TLYEventPointer event,
                           std::shared_ptr<const TLYMetadataSerializable> metadata,
                           std::string logFileUrl);

    void main() override;

    const TLYEventPointer &event() const { return m_event; }
    const std::string &logFileUrl() const { return m_logFileUrl; }
    // The two lines without their line feed; nothing when the payload cannot be built.
    const std::optional<std::string> &formattedEvent() const { return m_formattedEvent; }
    const std::optional<std::string> &formattedMetadata() const { return m_formattedMetadata; }
    bool success() const { return m_success.load(); }

    // The four tab-separated fields; nothing without a payload object.
    static std::optional<std::string>
    logLineWithTimestamp(std::uint64_t milliseconds, const std::string &eventName,
                         const std::optional<nlohmann::ordered_json> &payload);
    static std::uint64_t millisecondsSince1970(TLYClock::time_point time);
    // Writes the line and a line feed, continuing short writes at most twice.
    static bool appendLogLine(const std::string &line, int fileDescriptor);

private:
    TLYEventPointer m_event;
    std::shared_ptr<const TLYMetadataSerializable> m_metadata;
    std::string m_logFileUrl;
    std::optional<std::string> m_formattedEvent;
    std::optional<std::string> m_formattedMetadata;
    std::atomic<bool> m_success{false};
};
