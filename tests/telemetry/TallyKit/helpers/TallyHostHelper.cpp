// A host of the analytics kit for the tests that stop a process the hard way:
//   tally_host_helper record <root> <threads> <events per thread>
//       records custom events through the public interface from several threads, waits until
//       they are written, prints "written" and kills itself (SIGKILL) before anything is sent;
//   tally_host_helper upload <root> <url> <CA certificate, DER>
//       starts again with settings that point at <url>, pinned to the given authority, and
//       exits 0 once everything earlier launches left has been sent (1 on time-out).
#include "telemetry/TallyKit/TLYFileUtils.h"
#include "telemetry/TallyKit/TLYTallyController.h"
#include "telemetry/TallyKit/Tally.h"
#include "telemetry/core/PLNCertificatePinner.h"
#include "telemetry/platform/ExitGate.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

TLYTallyController::Context context(std::optional<nlohmann::json> settings)
{
    TLYTallyController::Context context;
    TLYMetadata::Fields fields;
    fields.APIKey = "helper-key";
    fields.sessionId = "helper-session";
    fields.installationId = "helper-install";
    context.metadataFields = fields;
    context.firstInstall = false;
    context.settingsProvider = [settings] { return settings; };
    return context;
}

int record(const std::string &root, int threads, int perThread)
{
    auto controller = TLYTallyController::create(std::nullopt, root, context(std::nullopt));
    Tally::sharedInstance().setTallyController(controller);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([t, perThread] {
            for (int i = 0; i < perThread; ++i)
                Tally::logCustomEventWithName("helper", {{"thread", t}, {"n", i}});
        });
    for (auto &worker : workers)
        worker.join();
    Tally::waitUntilRecorded();
    std::printf("written\n");
    std::fflush(stdout);
    std::raise(SIGKILL);
    return 3;
}

int upload(const std::string &root, const std::string &url, const std::string &caFile)
{
    std::ifstream in(caFile, std::ios::binary);
    PLNCertificate ca((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    PLNCertificatePinner::setPinnedCertificatesForTesting(std::vector<PLNCertificate>{ca});
    nlohmann::json settings = {{"analytics", {{"url", url}}}};
    auto controller = TLYTallyController::create(std::nullopt, root, context(settings));
    const std::string events = TLYTallyController::eventDirectoryForRootDirectory(root);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        controller->waitUntilIdle();
        if (TLYFileUtils::filesWithExtension("multipartmime", events).empty()
            && TLYFileUtils::filesWithExtension("gz", events).empty()
            && TLYFileUtils::filesWithExtension("log", events).size() <= 1)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 1;
}

int run(const std::vector<std::string> &args)
{
    if (args.size() == 4 && args[0] == "record")
        return record(args[1], std::stoi(args[2]), std::stoi(args[3]));
    if (args.size() == 4 && args[0] == "upload")
        return upload(args[1], args[2], args[3]);
    std::fprintf(stderr, "usage: tally_host_helper record <root> <threads> <events> | upload "
                         "<root> <url> <ca.der>\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    const int status = run(std::vector<std::string>(argv + 1, argv + argc));
    // As the application does: the library's threads stop before the process exits.
    tel::ExitGate::close(2.0);
    return status;
}
