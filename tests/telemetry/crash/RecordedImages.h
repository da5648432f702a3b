#pragma once

// This process's main executable recorded as a crashed launch would have recorded it, at a
// made-up load address, beside an image that is not loaded now: symbolication can then be checked
// against functions of the test itself.

#include "telemetry/crash/FLTBinaryImage.h"

#include "ReportStoreFixture.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace qnt::test {

inline constexpr std::uint64_t kRecordedBase = 0x10000000;

struct RecordedImages {
    std::filesystem::path folder;
    bool owned = true;
    FLTBinaryImageDetails main{};
    std::filesystem::path file = folder / "binary_images.fltrecord";

    // The image file goes into `into` when given, else into a folder of its own.
    explicit RecordedImages(const std::filesystem::path &into = {})
        : folder(into.empty() ? makeTemporaryFolder("flt-resolver") : into)
        , owned(into.empty())
    {
        FLTBinaryImageMainExecutable(&main);
        // The loader names the main program by no path; a recording names it by its file.
        if (!main.path[0])
            strncpy(main.path, std::filesystem::read_symlink("/proc/self/exe").c_str(),
                    sizeof main.path - 1);
        char line[1024];
        snprintf(line, sizeof line,
                 "{\"load\":{\"uuid\":\"%s\",\"base\":%" PRIu64 ",\"size\":%" PRIu64
                 ",\"path\":\"/old/place/%s\"}}\n"
                 "{\"load\":{\"uuid\":\"00000000000000000000000000000000\",\"base\":%" PRIu64
                 ",\"size\":4096,\"path\":\"/gone/plugin.so\"}}\n"
                 "{\"load\":{\"uuid\":\"x\",\"base\":null,\"size\":1}}\n",
                 main.uuid, kRecordedBase, static_cast<std::uint64_t>(main.size),
                 std::filesystem::path(main.path).filename().c_str(), kRecordedBase - 0x100000);
        writeFile(file, line);
    }
    ~RecordedImages()
    {
        if (owned)
            std::filesystem::remove_all(folder);
    }
    RecordedImages(const RecordedImages &) = delete;
    RecordedImages &operator=(const RecordedImages &) = delete;

    // Where the crashed launch had this function's address.
    std::uint64_t recorded(const void *address) const
    {
        return kRecordedBase + (reinterpret_cast<std::uint64_t>(address) - main.base);
    }
};

} // namespace qnt::test
