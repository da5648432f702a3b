#include "common/TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace qnt::test {

namespace {
std::string g_home;
pid_t g_owner = 0;
}

std::string isolateUserFolders()
{
    if (!g_home.empty())
        return g_home;
    std::string templ = (std::filesystem::temp_directory_path() / "qnt-test-XXXXXX").string();
    if (!mkdtemp(templ.data()))
        std::abort();
    g_home = templ;
    g_owner = getpid();
    // Registered before any test touches its singletons, so it runs after their destructors
    // (user defaults flush on destruction) and nothing recreates the folder afterwards.
    std::atexit(removeIsolatedFolders);
    const std::filesystem::path home(g_home);
    const std::pair<const char *, std::filesystem::path> vars[] = {
        {"HOME", home},
        {"XDG_CONFIG_HOME", home / ".config"},
        {"XDG_DATA_HOME", home / ".local/share"},
        {"XDG_CACHE_HOME", home / ".cache"},
        {"XDG_RUNTIME_DIR", home / "run"},
    };
    for (const auto &[name, path] : vars) {
        std::filesystem::create_directories(path);
        setenv(name, path.c_str(), 1);
    }
    std::filesystem::permissions(home / "run", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    return g_home;
}

const std::string &isolatedHome()
{
    return g_home;
}

void removeIsolatedFolders()
{
    // Forked children exit too; only the process that made the folder removes it.
    if (g_home.empty() || getpid() != g_owner || std::getenv("QNT_KEEP_TEST_HOME"))
        return;
    std::error_code ignored;
    std::filesystem::remove_all(g_home, ignored);
}

} // namespace qnt::test
