#pragma once

#include <string>

namespace tel {

// A shared library the client opens only when it first needs it (dlopen(3)), so that a process
// which never uploads anything never maps it. Opened with every symbol bound at once; a missing
// library or symbol leaves the library unusable, with the reason in error(). Never to be opened
// from a signal handler. Not thread-safe: callers open it once (a function-local static).
class SharedLibrary
{
public:
    explicit SharedLibrary(const char *fileName);
    ~SharedLibrary() = default; // stays mapped: callbacks into it may outlive any one user
    SharedLibrary(const SharedLibrary &) = delete;
    SharedLibrary &operator=(const SharedLibrary &) = delete;

    bool isLoaded() const { return m_handle && m_error.empty(); }
    const std::string &error() const { return m_error; }

    // Resolves a symbol into a function pointer of the given type; a missing one is recorded in
    // error() and leaves the pointer null.
    template <typename Function> void resolve(Function &function, const char *name)
    {
        function = reinterpret_cast<Function>(symbol(name));
    }

private:
    void *symbol(const char *name);

    std::string m_fileName;
    void *m_handle = nullptr;
    std::string m_error;
};

} // namespace tel
