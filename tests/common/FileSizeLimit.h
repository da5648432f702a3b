#pragma once

#include <sys/resource.h>

namespace qnt::test {

// Limits the size of every file this process writes, as a full disk would, and ignores SIGXFSZ
// (a write past the limit then fails instead of ending the process), for as long as it lives;
// then puts back the limit and the signal disposition it found. The hard limit stays as it
// was: lowering it could not be undone without privileges.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    // False when the limit could not be set (nothing is limited then).
    bool isSet() const { return m_set; }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
    bool m_set = false;
};

} // namespace qnt::test
