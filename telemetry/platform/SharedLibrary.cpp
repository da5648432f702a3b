#include "telemetry/platform/SharedLibrary.h"

#include <dlfcn.h>

namespace tel {

SharedLibrary::SharedLibrary(const char *fileName)
    : m_fileName(fileName)
{
    m_handle = ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char *reason = ::dlerror();
        m_error = "Could not load " + m_fileName + ": " + (reason ? reason : "unknown error");
    }
}

void *SharedLibrary::symbol(const char *name)
{
    if (!m_handle)
        return nullptr;
    ::dlerror();
    void *address = ::dlsym(m_handle, name);
    if (!address && m_error.empty())
        m_error = m_fileName + " has no " + name;
    return address;
}

} // namespace tel
