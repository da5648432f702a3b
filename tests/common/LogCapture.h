#pragma once

#include "telemetry/platform/SystemLog.h"

#include <mutex>
#include <string>
#include <vector>

namespace qnt::test {

// Collects the telemetry client's log lines for its own lifetime (the client's log sink is
// process-wide: one capture at a time).
class LogCapture
{
public:
    LogCapture()
    {
        tel::SystemLog::setSink([this](const std::string &line) {
            std::lock_guard lock(m_mutex);
            m_lines.push_back(line);
        });
    }
    ~LogCapture() { tel::SystemLog::setSink({}); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    bool contains(const std::string &text) const { return count(text) > 0; }
    // The number of lines that hold the text.
    int count(const std::string &text) const
    {
        std::lock_guard lock(m_mutex);
        int found = 0;
        for (const auto &line : m_lines)
            found += line.find(text) != std::string::npos;
        return found;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

} // namespace qnt::test
