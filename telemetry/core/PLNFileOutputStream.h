#pragma once

#include "PLNOutputStream.h"

#include <string>

// Writes to a file, created (or truncated) when the stream opens.
class PLNFileOutputStream : public PLNOutputStream
{
public:
    explicit PLNFileOutputStream(std::string path)
        : m_path(std::move(path))
    {
    }
    ~PLNFileOutputStream() override;
    PLNFileOutputStream(const PLNFileOutputStream &) = delete;
    PLNFileOutputStream &operator=(const PLNFileOutputStream &) = delete;

    bool open() override;
    void close() override;
    ssize_t write(const void *bytes, std::size_t length) override;
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
    int m_descriptor = -1;
};
