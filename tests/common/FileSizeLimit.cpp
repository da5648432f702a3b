#include "common/FileSizeLimit.h"

#include <csignal>

namespace qnt::test {

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (getrlimit(RLIMIT_FSIZE, &m_previous) != 0)
        return;
    const rlimit limit{bytes, m_previous.rlim_max};
    m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (m_set)
        setrlimit(RLIMIT_FSIZE, &m_previous);
    if (m_previousHandler != SIG_ERR)
        std::signal(SIGXFSZ, m_previousHandler);
}

} // namespace qnt::test
