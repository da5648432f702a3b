// Usage analytics costs: recording one event on the caller's thread (the call returns once the
// event is built and queued; target under 2 us median) and the writer's throughput (events
// appended to event logs per second).
#include "telemetry/TallyKit/TLYCustomEvent.h"
#include "telemetry/TallyKit/TLYTallyController.h"
#include "telemetry/TallyKit/TLYWriteEventOperation.h"
#include "telemetry/TallyKit/Tally.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// A private folder for one benchmark, removed with it.
class ScratchFolder
{
public:
    ScratchFolder()
    {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qnt-bench-XXXXXX";
        m_path = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    const std::string &path() const { return m_path; }

private:
    std::string m_path;
};

TLYTallyController::Context benchContext()
{
    TLYTallyController::Context context;
    TLYMetadata::Fields fields;
    fields.APIKey = "bench";
    fields.sessionId = "bench-session";
    fields.installationId = "bench-install";
    context.metadataFields = fields;
    context.firstInstall = false;
    context.settingsProvider = [] { return std::optional<nlohmann::json>(); };
    return context;
}

void BM_RecordEventOnCallersThread(benchmark::State &state)
{
    ScratchFolder scratch;
    auto controller = TLYTallyController::create(std::nullopt, scratch.path(), benchContext());
    auto previous = Tally::sharedInstance().setTallyController(controller);
    const Tally::Attributes attributes = {{"tool", "rectangle"}, {"count", 3}};
    for (auto _ : state)
        Tally::logCustomEventWithName("shape_drawn", attributes);
    // Outside the timed loop: the queued events are written before the folder goes.
    controller->waitUntilIdle();
    Tally::sharedInstance().setTallyController(previous);
    controller.reset();
}
// A fixed number of events per run: the writer has to catch up with them all afterwards.
BENCHMARK(BM_RecordEventOnCallersThread)
    ->Iterations(std::getenv("QNT_BENCH_SMOKE") ? 100 : 20000)
    ->Repetitions(5)
    ->ComputeStatistics("median", [](const std::vector<double> &v) {
        std::vector<double> sorted = v;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    });

void BM_WriterThroughput(benchmark::State &state)
{
    ScratchFolder scratch;
    const auto metadata =
        std::make_shared<TLYMetadata>(benchContext().metadataFields.value(), std::nullopt);
    const auto event = std::make_shared<TLYCustomEvent>(
        "shape_drawn", nlohmann::ordered_json{{"tool", "rectangle"}, {"count", 3}});
    std::int64_t written = 0;
    int file = 0;
    std::string log = scratch.path() + "/0.log";
    for (auto _ : state) {
        // Logs roll at the default 8000 bytes, so each file stays small, as in use.
        if (++written % 40 == 0)
            log = scratch.path() + "/" + std::to_string(++file) + ".log";
        TLYWriteEventOperation operation(event, metadata, log);
        operation.main();
        benchmark::DoNotOptimize(operation.success());
    }
    state.SetItemsProcessed(written);
}
BENCHMARK(BM_WriterThroughput);

} // namespace
