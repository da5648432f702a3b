#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

// A byte sink that can refuse or take part of a write: what the multipart encoder streams into.
class PLNOutputStream
{
public:
    virtual ~PLNOutputStream() = default;
    virtual bool open() = 0;
    virtual void close() = 0;
    // Bytes accepted (possibly fewer than offered); -1 on failure.
    virtual ssize_t write(const void *bytes, std::size_t length) = 0;
};

// Collects everything in memory.
class PLNMemoryOutputStream : public PLNOutputStream
{
public:
    bool open() override { return true; }
    void close() override {}
    ssize_t write(const void *bytes, std::size_t length) override
    {
        m_data.append(static_cast<const char *>(bytes), length);
        return static_cast<ssize_t>(length);
    }
    const std::string &data() const { return m_data; }

private:
    std::string m_data;
};
