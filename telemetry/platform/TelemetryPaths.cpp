#include "TelemetryPaths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace tel {

namespace {

std::string fromEnvironment(const char *name)
{
    const char *value = std::getenv(name);
    // XDG says relative values are invalid and must be ignored.
    if (value && value[0] == '/')
        return value;
    return {};
}

} // namespace

std::string TelemetryPaths::homeFolder()
{
    if (const char *home = std::getenv("HOME"); home && home[0])
        return home;
    if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

std::string TelemetryPaths::applicationSupportFolder()
{
    std::string folder = fromEnvironment("XDG_DATA_HOME");
    return folder.empty() ? homeFolder() + "/.local/share" : folder;
}

std::string TelemetryPaths::cachesFolder()
{
    std::string folder = fromEnvironment("XDG_CACHE_HOME");
    return folder.empty() ? homeFolder() + "/.cache" : folder;
}

std::string TelemetryPaths::documentsFolder()
{
    std::string folder = fromEnvironment("XDG_DOCUMENTS_DIR");
    return folder.empty() ? homeFolder() + "/Documents" : folder;
}

std::string TelemetryPaths::temporaryFolder()
{
    std::string folder = fromEnvironment("TMPDIR");
    return folder.empty() ? "/tmp" : folder;
}

} // namespace tel
