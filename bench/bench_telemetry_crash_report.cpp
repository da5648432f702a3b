// Next-launch work on one crash report of 50 threads × 64 frames: symbolication (against this
// program's own images, as the next launch of a crashed program does), demangling, the
// companion file and the gzip-compressed multipart package. Target: under 200 ms a report.
// Packaging alone is the baseline of the same run.
#include "telemetry/crash/FLTBinaryImage.h"
#include "telemetry/crash/FLTFileManager.h"
#include "telemetry/crash/FLTInternalReport.h"
#include "telemetry/crash/FLTPackageReportOperation.h"
#include "telemetry/crash/FLTProcessReportOperation.h"

#include <benchmark/benchmark.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kRecordedBase = 0x10000000;
constexpr int kThreads = 50;
constexpr int kFrames = 64;

// A store under a temporary Caches folder holding one report folder to copy from.
struct Fixture {
    fs::path caches;
    std::shared_ptr<FLTFileManager> manager;
    fs::path source;

    Fixture()
    {
        std::string pattern = (fs::temp_directory_path() / "flt-bench-XXXXXX").string();
        caches = mkdtemp(pattern.data());
        setenv("XDG_CACHE_HOME", caches.c_str(), 1);
        manager = std::make_shared<FLTFileManager>("org.quintora.bench");
        manager->prepareForNewLaunch();
        source = caches / "source";
        fs::create_directories(source);

        FLTBinaryImageDetails main{};
        FLTBinaryImageMainExecutable(&main);
        const std::string path = fs::read_symlink("/proc/self/exe").string();
        char line[1024];
        snprintf(line, sizeof line,
                 "{\"load\":{\"uuid\":\"%s\",\"base\":%" PRIu64 ",\"size\":%" PRIu64
                 ",\"path\":\"%s\"}}\n",
                 main.uuid, kRecordedBase, static_cast<std::uint64_t>(main.size), path.c_str());
        std::ofstream(source / "binary_images.fltrecord") << line;
        std::ofstream(source / "metadata.fltrecord")
            << "{\"identity\":{\"session_id\":\"bench\",\"api_key\":\"k\",\"started_at\":1}}\n";
        // Frames spread over the program's code, as deep stacks are.
        std::string threads = "{\"threads\":[";
        for (int t = 0; t < kThreads; ++t) {
            threads += std::string(t ? "," : "") + "{\"stacktrace\":[";
            for (int f = 0; f < kFrames; ++f) {
                const std::uint64_t offset = (static_cast<std::uint64_t>(t * kFrames + f) * 7919u)
                                             % (main.size ? main.size : 1);
                threads += std::string(f ? "," : "") + std::to_string(kRecordedBase + offset);
            }
            threads += "]}";
        }
        threads += "]}\n";
        std::ofstream(source / "signal.fltrecord") << "{\"signal\":{\"number\":11,\"time\":2}}\n"
                                                   << threads;
    }
    ~Fixture() { fs::remove_all(caches); }

    std::shared_ptr<FLTInternalReport> freshReport() const
    {
        const fs::path folder = fs::path(manager->processingPath()) / "bench";
        fs::remove_all(folder);
        fs::copy(source, folder);
        return FLTInternalReport::reportWithPath(folder.string());
    }
};

Fixture &fixture()
{
    static Fixture shared;
    return shared;
}

void packageAndClean(const std::shared_ptr<FLTInternalReport> &report, benchmark::State &state)
{
    FLTPackageReportOperation packaging(report, fixture().manager);
    packaging.start();
    if (!packaging.finalPath())
        state.SkipWithError("no package");
    else
        fs::remove(*packaging.finalPath());
}

void BM_ProcessAndPackage(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto report = fixture().freshReport();
        state.ResumeTiming();
        FLTProcessReportOperation processing(report, std::make_shared<FLTSymbolResolver>());
        processing.start();
        packageAndClean(report, state);
    }
}
BENCHMARK(BM_ProcessAndPackage)->Unit(benchmark::kMillisecond);

void BM_PackageOnly(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto report = fixture().freshReport();
        state.ResumeTiming();
        packageAndClean(report, state);
    }
}
BENCHMARK(BM_PackageOnly)->Unit(benchmark::kMillisecond);

} // namespace
