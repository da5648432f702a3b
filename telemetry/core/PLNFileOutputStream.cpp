#include "PLNFileOutputStream.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

PLNFileOutputStream::~PLNFileOutputStream()
{
    close();
}

bool PLNFileOutputStream::open()
{
    if (m_descriptor >= 0)
        return true;
    m_descriptor = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return m_descriptor >= 0;
}

void PLNFileOutputStream::close()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
    m_descriptor = -1;
}

ssize_t PLNFileOutputStream::write(const void *bytes, std::size_t length)
{
    if (m_descriptor < 0)
        return -1;
    ssize_t n;
    do {
        n = ::write(m_descriptor, bytes, length);
    } while (n < 0 && errno == EINTR);
    return n;
}
