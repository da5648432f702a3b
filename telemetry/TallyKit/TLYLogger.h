#pragma once

#include <atomic>
#include <string>

// The analytics kit's diagnostics: lines prefixed "[Tally] " (or "[Tally:<label>] "), written to
// the client's system log only while debug mode is on. One shared instance per process.
// Thread-safe.
class TLYLogger
{
public:
    static TLYLogger &sharedLogger();

    bool debugMode() const { return m_debugMode.load(); }
    void setDebugMode(bool debugMode) { m_debugMode.store(debugMode); }

    // "[Tally] " followed by the text.
    void log(const std::string &text) const;
    // "[Tally:<label>] " followed by the text.
    void logWithLabel(const std::string &label, const std::string &text) const;

private:
    TLYLogger() = default;
    std::atomic<bool> m_debugMode{false};
};
