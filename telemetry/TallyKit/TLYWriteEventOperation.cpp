#include "TLYWriteEventOperation.h"

#include "TLYFileUtils.h"
#include "TLYLogger.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TLYWriteEventOperation::TLYWriteEventOperation(
    TLYEventPointer event, std::shared_ptr<const TLYMetadataSerializable> metadata,
    std::string logFileUrl)
    : m_event(std::move(event))
    , m_metadata(std::move(metadata))
    , m_logFileUrl(std::move(logFileUrl))
{
    if (!m_event)
        return;
    const std::uint64_t ms = millisecondsSince1970(m_event->timestamp());
    m_formattedEvent =
        logLineWithTimestamp(ms, m_event->name(), m_event->dictionaryRepresentation());
    if (m_metadata)
        m_formattedMetadata =
            logLineWithTimestamp(ms, m_metadata->eventName(),
                                 m_metadata->dictionaryRepresentationWithStartTime(ms / 1000));
}

std::uint64_t TLYWriteEventOperation::millisecondsSince1970(TLYClock::time_point time)
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    return ms < 0 ? 0 : static_cast<std::uint64_t>(ms);
}

std::optional<std::string>
TLYWriteEventOperation::logLineWithTimestamp(std::uint64_t milliseconds,
                                             const std::string &eventName,
                                             const std::optional<nlohmann::ordered_json> &payload)
{
    if (!payload || !payload->is_object())
        return std::nullopt;
    // Text that is not UTF-8 is written with replacement characters rather than losing the event.
    const std::string json =
        payload->dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    return std::to_string(milliseconds) + "\t" + eventName + "\t" + std::to_string(json.size())
           + "\t" + json;
}

bool TLYWriteEventOperation::appendLogLine(const std::string &line, int fileDescriptor)
{
    const std::string bytes = line + "\n";
    std::size_t left = bytes.size();
    const char *cursor = bytes.data();
    int calls = 0;
    while (left > 0 && calls < 3) {
        const ssize_t written = ::write(fileDescriptor, cursor, left);
        if (written < 0 && errno == EINTR)
            continue;
        ++calls;
        if (written < 0)
            TLYLogger::sharedLogger().logWithLabel(
                "WriteOperation", std::string("Failed to write: ") + std::strerror(errno) + "\n");
        if (static_cast<std::size_t>(written) > left) {
            TLYLogger::sharedLogger().logWithLabel(
                "WriteOperation", "Error: length doesn't make sense (" + std::to_string(written)
                                      + ", " + std::to_string(left) + ")\n");
            return false;
        }
        if (written == 0)
            break;
        left -= static_cast<std::size_t>(written);
        cursor += written;
    }
    if (left == 0)
        return true;
    TLYLogger::sharedLogger().logWithLabel("WriteOperation",
                                           "Error: exited write loop without success\n");
    return false;
}

void TLYWriteEventOperation::main()
{
    m_success = false;
    if (TLYFileUtils::isDirectory(m_logFileUrl))
        return;
    struct stat info {
    };
    const bool existed = ::stat(m_logFileUrl.c_str(), &info) == 0;
    const off_t previousSize = existed ? info.st_size : 0;
    const int fd = ::open(m_logFileUrl.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    bool result = false;
    if (m_formattedEvent && m_formattedMetadata) {
        result = existed || appendLogLine(*m_formattedMetadata, fd);
        if (result)
            result = appendLogLine(*m_formattedEvent, fd);
        // Whatever part of a line went out is taken back, so the file stays whole lines.
        if (!result && ::ftruncate(fd, previousSize) != 0)
            TLYLogger::sharedLogger().logWithLabel(
                "WriteOperation",
                std::string("Failed to cut back a partial line: ") + std::strerror(errno));
    }
    bool success = result;
    if (::close(fd) != 0) {
        TLYLogger::sharedLogger().logWithLabel(
            "WriteOperation", std::string("Failed to close file, error: ") + std::strerror(errno));
        success = false;
    }
    // A new log must open with its metadata record: one that could not get it goes.
    if (!existed && !result)
        ::unlink(m_logFileUrl.c_str());
    m_success = success;
}
