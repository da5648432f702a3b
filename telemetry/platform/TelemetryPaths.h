#pragma once

#include <string>

namespace tel {

// The user's folders as the client uses them. The XDG base folders stand in for the
// Application Support and Caches folders of the user domain; every call reads the environment
// again, so a test that points XDG_* elsewhere is followed at once.
class TelemetryPaths
{
public:
    static std::string homeFolder();
    // $XDG_DATA_HOME, else ~/.local/share.
    static std::string applicationSupportFolder();
    // $XDG_CACHE_HOME, else ~/.cache.
    static std::string cachesFolder();
    // $XDG_DOCUMENTS_DIR, else ~/Documents.
    static std::string documentsFolder();
    // $TMPDIR, else /tmp.
    static std::string temporaryFolder();
};

} // namespace tel
