#include "telemetry/TallyKit/TLYTallyController.h"

#include "telemetry/TallyKit/TLYCrashEvent.h"
#include "telemetry/TallyKit/TLYCustomEvent.h"
#include "telemetry/TallyKit/TLYLogger.h"
#include "telemetry/TallyKit/TLYPredefinedEvent.h"
#include "telemetry/platform/DispatchQueue.h"

#include "TLYFakeHearthAnalytics.h"
#include "TallyTestSupport.h"
#include "common/TestEnvironment.h"
#include "common/WaitUntil.h"
#include "telemetry/core/NetTestServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

namespace {

using namespace qnt::test;
using json = nlohmann::ordered_json;

// What the server received, unpacked: every event of every uploaded log.
struct Received {
    std::vector<LogLine> events;   // all lines but the metadata records
    std::vector<LogLine> metadata; // the first line of each log
    std::size_t uploads = 0;
    std::vector<std::string> problems;

    std::size_t count(const std::string &name) const
    {
        return static_cast<std::size_t>(std::count_if(
            events.begin(), events.end(), [&](const LogLine &l) { return l.name == name; }));
    }
};

class TLYTallyControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        certificates = makeTestCertificates(isolatedHome() + "/certs", "tally");
        pinned = std::make_unique<ScopedPinnedCertificates>(
            std::vector<PLNCertificate>{certificates.caDER});
        server = std::make_unique<NetTestServer>(certificates);
        server->on("POST", "/spi/v2/events",
                   [this](const RecordedRequest &, httplib::Response &response) {
                       std::lock_guard lock(mutex);
                       if (!statuses.empty()) {
                           response.status = statuses.front();
                           if (statuses.size() > 1)
                               statuses.erase(statuses.begin());
                       }
                       if (!retryAfter.empty())
                           response.set_header("Retry-After", retryAfter);
                       response.set_content("{}", "application/json");
                   });
        server->start();
        root = makeFolder("analytics");
        events = TLYTallyController::eventDirectoryForRootDirectory(root);
        url = server->baseURL() + "/spi/v2/events";
    }

    void TearDown() override
    {
        controller.reset();
        server.reset();
        pinned.reset();
    }

    // A controller on the test's folder; the settings are those the client "has" at start.
    void start(std::optional<nlohmann::json> settings, TLYTallyController::Context context = {},
               const std::optional<std::string> &betaToken = std::nullopt)
    {
        if (!context.metadataFields)
            context.metadataFields = testMetadataFields();
        if (!context.firstInstall)
            context.firstInstall = false;
        context.settingsProvider = [settings] { return settings; };
        controller = TLYTallyController::create(betaToken, root, context);
    }

    Received received() const
    {
        Received result;
        for (const RecordedRequest &request : server->requests()) {
            if (request.path != "/spi/v2/events")
                continue;
            ++result.uploads;
            if (!request.partsParsed || request.parts.size() != 1) {
                result.problems.push_back("a body that is not one multipart part");
                continue;
            }
            const FormPart &part = request.parts[0];
            const auto text = gunzip(part.content);
            if (!text) {
                result.problems.push_back("a part that does not gunzip: " + part.filename);
                continue;
            }
            const auto lines = parseLog(*text);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (lines[i].declaredLength != lines[i].payloadText.size()
                    || lines[i].payload.is_discarded())
                    result.problems.push_back("a damaged line in " + part.filename);
                if ((i == 0) != (lines[i].name == "metadata"))
                    result.problems.push_back("a log without its metadata record first");
                (i == 0 ? result.metadata : result.events).push_back(lines[i]);
            }
        }
        return result;
    }

    bool noPackagesLeft() const
    {
        return filesIn(events, "multipartmime").empty() && filesIn(events, "gz").empty();
    }

    TestCertificates certificates;
    std::unique_ptr<ScopedPinnedCertificates> pinned;
    std::unique_ptr<NetTestServer> server;
    std::string root, events, url;
    std::shared_ptr<TLYTallyController> controller;
    std::mutex mutex;
    std::vector<int> statuses; // answered in turn, the last one for ever; empty = 200
    std::string retryAfter;
};

TEST_F(TLYTallyControllerTest, EventsFromEightThreadsReachTheServerExactlyOnce)
{
    TLYTallyController::Context context;
    context.firstInstall = true;
    start(settingsWithURL(url, {{"max_byte_size_per_file", 8000}}), context);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < 25; ++i)
                controller->logEvent(std::make_shared<TLYCustomEvent>(
                    "drawn", json{{"thread", t}, {"n", i}, {"text", "ünïcödé €"}}));
        });
    for (auto &thread : threads)
        thread.join();
    // Leaving the application rolls the last log over.
    controller->applicationLifecycleEvent(TLYTallyController::kApplicationWillResignActive);
    controller->waitUntilIdle();
    ASSERT_TRUE(waitUntil([&] { return received().count("custom") >= 200 && noPackagesLeft(); },
                          std::chrono::seconds(60)))
        << received().count("custom") << " events in " << received().uploads << " uploads; "
        << filesIn(events).size() << " files left: " << filesIn(events).front();
    controller->waitUntilIdle();

    const Received got = received();
    EXPECT_TRUE(got.problems.empty()) << got.problems.front();
    EXPECT_GT(got.uploads, 2u) << "the logs rolled at the size limit";
    EXPECT_EQ(got.count("custom"), 200u);
    EXPECT_EQ(got.count("app_launched"), 1u);
    EXPECT_EQ(got.count("app_installed"), 1u);
    EXPECT_EQ(got.count("app_became_inactive"), 1u);
    std::set<std::string> ids;
    std::set<std::pair<int, int>> numbers;
    for (const LogLine &line : got.events) {
        EXPECT_TRUE(ids.insert(line.payload["eventId"].get<std::string>()).second);
        if (line.name == "custom")
            numbers.insert({line.payload["custom_attributes"]["thread"].get<int>(),
                            line.payload["custom_attributes"]["n"].get<int>()});
    }
    EXPECT_EQ(numbers.size(), 200u);
    for (const LogLine &record : got.metadata)
        EXPECT_EQ(record.payload["session_id"], "0123456789abcdef0123456789abcdef");

    for (const RecordedRequest &request : server->requests()) {
        ASSERT_EQ(request.parts.size(), 1u);
        const std::string boundary =
            request.header("Content-Type")
                .substr(std::string("multipart/form-data; boundary=").size());
        EXPECT_EQ(request.header("Content-Type"), "multipart/form-data; boundary=" + boundary);
        EXPECT_GT(std::stoul(request.header("Content-Length")), 200u);
        EXPECT_EQ(request.header("User-Agent"), "Tally Mac SDK/1.3.7");
        EXPECT_EQ(request.header("X-FAULTLINE-DEVELOPER-TOKEN"),
                  "3c9e1a7b5d2f4086ae1b7c3d9f5e2a4b6c8d0e1f");
        EXPECT_EQ(request.header("X-FAULTLINE-API-CLIENT-TYPE"), "Tally Mac SDK");
        EXPECT_EQ(request.header("X-FAULTLINE-API-CLIENT-VERSION"), "30");
        EXPECT_EQ(request.header("X-FAULTLINE-API-CLIENT-DISPLAY-VERSION"), "1.3.7");
        EXPECT_EQ(request.header("X-FAULTLINE-API-CLIENT-BUILD-VERSION"), "30");
        EXPECT_EQ(request.header("X-FAULTLINE-API-KEY"),
                  "0123456789abcdef0123456789abcdef01234567");
        EXPECT_FALSE(request.header("X-Faultline-Api-Client-Packaged-Timestamp").empty());
        const std::string &name = request.parts[0].filename;
        EXPECT_EQ(request.parts[0].name, name);
        EXPECT_EQ(name.size(), 39u) << name; // "<UUID>.gz"
        EXPECT_EQ(name.substr(36), ".gz");
    }
}

TEST_F(TLYTallyControllerTest, SamplingDropsLifecycleEventsOfOddInstallations)
{
    TLYTallyController::Context context;
    context.metadataFields = testMetadataFields("a"); // its hash, 97, is odd
    for (const std::optional<std::string> &beta :
         {std::optional<std::string>(), std::optional<std::string>("2:x")}) {
        root = makeFolder("sampling");
        events = TLYTallyController::eventDirectoryForRootDirectory(root);
        start(settingsWithURL(url, {{"sampling_rate", 2}, {"max_byte_size_per_file", 100000}}),
              context, beta);
        controller->waitUntilIdle(); // the settings are in
        controller->applicationLifecycleEvent(TLYTallyController::kApplicationWillTerminate);
        controller->logEvent(std::make_shared<TLYCustomEvent>("kept", json::object()));
        controller->logEvent(TLYPredefinedEvent::searchEventWithQuery("q", {}));
        controller->waitUntilIdle();
        const auto logs = filesIn(events, "log");
        ASSERT_EQ(logs.size(), 1u);
        std::map<std::string, int> names;
        for (const LogLine &line : parseLog(readFile(logs[0])))
            ++names[line.name];
        EXPECT_EQ(names["custom"], 1);
        EXPECT_EQ(names["predefined"], 1);
        EXPECT_EQ(names["app_terminated"], beta ? 1 : 0);
        controller.reset();
    }
}

TEST_F(TLYTallyControllerTest, StartUpFinishesWhatEarlierLaunchesLeft)
{
    ::mkdir(root.c_str(), 0755);
    ::mkdir(events.c_str(), 0755);
    makeLog(events, "A");
    makeGzip(events, "A");
    makeGzip(events, "B");
    writeFile(events + "/D", "junk");
    std::vector<std::string> packages;
    for (int i = 0; i < 101; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "P%d", 1000 + i);
        packages.push_back(makePackage(events, name));
        const timespec times[2] = {{1'000'000 + i, 0}, {1'000'000 + i, 0}};
        ::utimensat(AT_FDCWD, packages.back().c_str(), times, 0);
    }

    start(settingsWithURL(url));
    ASSERT_TRUE(waitUntil([&] { return received().uploads >= 100 && noPackagesLeft(); },
                          std::chrono::seconds(60)))
        << received().uploads << " uploads; " << filesIn(events).size()
        << " files left: " << filesIn(events).front();
    controller->waitUntilIdle();
    const Received got = received();
    EXPECT_TRUE(got.problems.empty());
    // No more than 100 packages are ever on disk: the log A (compressed again) and the
    // compressed log B become packages too, so the three oldest go unsent.
    EXPECT_EQ(got.uploads, 100u);
    std::set<std::string> sent;
    for (const RecordedRequest &request : server->requests())
        sent.insert(
            request.header("Content-Type").substr(request.header("Content-Type").find('=') + 1));
    for (const char *oldest : {"P1000", "P1001", "P1002"})
        EXPECT_EQ(sent.count(oldest), 0u) << oldest;
    for (const char *newer : {"P1003", "P1100"})
        EXPECT_EQ(sent.count(newer), 1u) << newer;
    EXPECT_TRUE(filesIn(events, "gz").empty());
    EXPECT_TRUE(filesIn(events, "").size() <= 1u); // at most this launch's own log
}

TEST_F(TLYTallyControllerTest, WithoutSettingsEventsWaitOnDisk)
{
    start(std::nullopt);
    controller->applicationLifecycleEvent(TLYTallyController::kApplicationDidBecomeActive);
    controller->waitUntilIdle();
    EXPECT_EQ(filesIn(events, "multipartmime").size(), 1u);
    EXPECT_EQ(server->requestCount(), 0u);
    // The first settings send what waited.
    controller->initializeSettingsIfNeededWithPlinthSettings(settingsWithURL(url));
    ASSERT_TRUE(waitUntil([&] { return received().uploads == 1 && noPackagesLeft(); }));
    const Received got = received();
    EXPECT_EQ(got.count("app_launched"), 1u);
    EXPECT_EQ(got.count("app_became_active"), 1u);
}

TEST_F(TLYTallyControllerTest, RetriesGrowAndStopAfterTheEleventh)
{
    statuses = {503};
    std::mutex delaysMutex;
    std::vector<double> delays;
    TLYTallyController::Context context;
    context.backoffScheduler = [&](double seconds, std::function<void()> work) {
        {
            std::lock_guard lock(delaysMutex);
            delays.push_back(seconds);
        }
        tel::DispatchQueue::global().async(std::move(work));
    };
    start(settingsWithURL(url), context);
    controller->applicationLifecycleEvent(TLYTallyController::kApplicationDidBecomeActive);
    ASSERT_TRUE(waitUntil([&] { return server->requestCount() >= 12; }, std::chrono::seconds(60)));
    controller->waitUntilIdle();
    ASSERT_TRUE(waitUntil([&] { return controller->eventQueue().operationCount() == 0; }));
    EXPECT_EQ(server->requestCount(), 12u);
    std::lock_guard lock(delaysMutex);
    ASSERT_EQ(delays.size(), 11u);
    for (std::size_t n = 1; n <= delays.size(); ++n) {
        const double expected = std::pow(2.0, static_cast<double>(n));
        EXPECT_GE(delays[n - 1], expected * 0.9 - 1e-9) << n;
        EXPECT_LE(delays[n - 1], expected * 1.1 + 1e-9) << n;
    }
    // The package waits for a later launch instead of being lost to the outage.
    EXPECT_EQ(filesIn(events, "multipartmime").size(), 1u);
}

TEST_F(TLYTallyControllerTest, RetryAfterIsTheLeastWaitAndClientErrorsAreFinal)
{
    statuses = {503, 503, 200};
    retryAfter = "30";
    std::vector<double> delays;
    std::mutex delaysMutex;
    TLYTallyController::Context context;
    context.backoffScheduler = [&](double seconds, std::function<void()> work) {
        std::lock_guard lock(delaysMutex);
        delays.push_back(seconds);
        tel::DispatchQueue::global().async(std::move(work));
    };
    start(settingsWithURL(url), context);
    controller->applicationLifecycleEvent(TLYTallyController::kApplicationDidBecomeActive);
    ASSERT_TRUE(waitUntil([&] { return server->requestCount() == 3 && noPackagesLeft(); }));
    {
        std::lock_guard lock(delaysMutex);
        ASSERT_EQ(delays.size(), 2u);
        EXPECT_GE(delays[0], 30.0);
        EXPECT_GE(delays[1], 30.0);
        EXPECT_LT(delays[1], 60.0);
    }
    // 400 will not change on retry: the package goes at once.
    {
        std::lock_guard lock(mutex);
        statuses = {400};
        retryAfter.clear();
    }
    controller->applicationLifecycleEvent(TLYTallyController::kApplicationWillResignActive);
    ASSERT_TRUE(waitUntil([&] { return server->requestCount() == 4 && noPackagesLeft(); }));
    std::lock_guard lock(delaysMutex);
    EXPECT_EQ(delays.size(), 2u);
}

TEST_F(TLYTallyControllerTest, SwitchedOffByTheSettingsEmptiesTheFolderAndSendsNothing)
{
    start(std::nullopt);
    controller->applicationLifecycleEvent(TLYTallyController::kApplicationDidBecomeActive);
    controller->logEvent(std::make_shared<TLYCustomEvent>("pending", json::object()));
    controller->waitUntilIdle();
    ASSERT_FALSE(filesIn(events).empty());

    controller->initializeSettingsIfNeededWithPlinthSettings(
        settingsWithURL(url, {}, {{"collect_analytics", false}}));
    controller->logEvent(std::make_shared<TLYCustomEvent>("after", json::object()));
    controller->applicationLifecycleEvent(TLYTallyController::kApplicationWillResignActive);
    controller->waitUntilIdle();
    EXPECT_TRUE(filesIn(events).empty());
    EXPECT_EQ(server->requestCount(), 0u);

    // Also when a later download switches it off in the middle of a launch.
    controller.reset();
    root = makeFolder("switch-later");
    events = TLYTallyController::eventDirectoryForRootDirectory(root);
    statuses = {503};
    start(settingsWithURL(url));
    controller->applicationLifecycleEvent(TLYTallyController::kApplicationDidBecomeActive);
    controller->waitUntilIdle();
    controller->initializeSettingsIfNeededWithPlinthSettings(
        settingsWithURL(url, {}, {{"collect_analytics", false}}));
    controller->waitUntilIdle();
    const std::size_t sent = server->requestCount();
    controller->logEvent(std::make_shared<TLYCustomEvent>("after", json::object()));
    controller->applicationLifecycleEvent(TLYTallyController::kApplicationWillResignActive);
    controller->waitUntilIdle();
    EXPECT_TRUE(filesIn(events).empty());
    EXPECT_EQ(server->requestCount(), sent);
}

TEST_F(TLYTallyControllerTest, APreviousCrashTravelsInALogOfItsOwn)
{
    // The previous launch left its metadata behind.
    ::mkdir(root.c_str(), 0755);
    json previous =
        *TLYMetadata(testMetadataFields(), std::nullopt).dictionaryRepresentationWithStartTime(5);
    previous["session_id"] = "crashed-launch";
    TLYCrashMetadata::writeSerializedDictionary(
        previous, TLYTallyController::crashMetadataPathForRootDirectory(root));
    start(settingsWithURL(url));
    const auto crashTime =
        std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'000));
    controller->logCrashEvent(std::make_shared<TLYCrashEvent>(crashTime, 0));
    ASSERT_TRUE(
        waitUntil([&] { return received().count("app_crashed") == 1 && noPackagesLeft(); }));
    // Two logs: this launch's (rolled first) and the crash's own.
    bool found = false;
    for (const RecordedRequest &request : server->requests()) {
        const auto lines = parseLog(*gunzip(request.parts.at(0).content));
        if (lines.size() == 2 && lines[1].name == "app_crashed") {
            found = true;
            EXPECT_EQ(lines[0].payload["session_id"], "crashed-launch");
            EXPECT_EQ(lines[1].timestamp, 1'700'000'000'000u);
            EXPECT_EQ(lines[1].payload["crash_state"], "unknown");
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(TLYTallyControllerTest, ForwardsToHearthWhenTheSettingsAsk)
{
    auto sink = std::make_shared<TLYFakeHearthAnalytics>();
    TLYTallyController::Context context;
    context.hearthAnalytics = sink;
    start(settingsWithURL(url, {{"forward_to_beacon_analytics", true}}), context);
    controller->waitUntilIdle();
    controller->logEvent(TLYPredefinedEvent::purchaseEventWithPrice(
        TLYDecimal::fromString("1"), "EUR", true, "a", "b", "c", {}));
    controller->logEvent(TLYPredefinedEvent::levelEndEventWithLevelName("one", 3, true, {}));
    controller->logEvent(std::make_shared<TLYCustomEvent>("custom one", json::object()));
    controller->waitUntilIdle();
    const auto calls = sink->calls();
    ASSERT_EQ(calls.size(), 3u); // no purchase; level_end twice; the custom event
    EXPECT_EQ(calls[0].name, "level_end");
    EXPECT_EQ(calls[1].name, "post_score");
    EXPECT_EQ(calls[2].name, "custom_one");
}

TEST_F(TLYTallyControllerTest, TheTimedFlushRollsALogPastItsLimit)
{
    start(settingsWithURL(url, {{"flush_interval_secs", 0.05}, {"max_byte_size_per_file", 10}}));
    controller->waitUntilIdle();
    // The size test before this event sees an empty log, so only the timer can roll it.
    ASSERT_TRUE(waitUntil([&] { return received().count("app_launched") == 1; }));
}

TEST_F(TLYTallyControllerTest, TheFolderStaysBoundedWhileTheServerIsDown)
{
    // A week of use with the server away: many logs roll, and no more than the limit of
    // packages stays on disk, the oldest going first.
    statuses = {503};
    TLYTallyController::Context context;
    context.backoffScheduler = [](double, std::function<void()>) {}; // the retries never come
    start(settingsWithURL(url,
                          {{"max_pending_send_file_count", 20}, {"max_byte_size_per_file", 2000}}),
          context);
    for (int day = 0; day < 7; ++day)
        for (int i = 0; i < 200; ++i)
            controller->logEvent(std::make_shared<TLYCustomEvent>(
                "day", json{{"day", day}, {"i", i}, {"padding", std::string(40, 'p')}}));
    controller->waitUntilIdle();
    const auto packages = filesIn(events, "multipartmime");
    EXPECT_EQ(packages.size(), 20u);
    std::uint64_t bytes = 0;
    for (const std::string &file : filesIn(events))
        bytes += readFile(file).size();
    EXPECT_LT(bytes, 20u * 4000u + 3000u);
    // The kept packages are the newest: the last day's events are all there.
    std::set<int> lastDay;
    for (const std::string &package : packages) {
        const std::string body = readFile(package);
        const std::size_t start = body.find("\r\n\r\n") + 4;
        const std::size_t end = body.rfind("\r\n--");
        const auto log = gunzip(body.substr(start, end - start));
        ASSERT_TRUE(log);
        for (const LogLine &line : parseLog(*log))
            if (line.name == "custom" && line.payload["custom_attributes"]["day"] == 6)
                lastDay.insert(line.payload["custom_attributes"]["i"].get<int>());
    }
    EXPECT_GT(lastDay.size(), 150u);
}

TEST_F(TLYTallyControllerTest, DamagedSettingsCountAsTheDefaults)
{
    // Keys of the wrong kind read as absent; the pipeline records and sends as by default.
    start(nlohmann::json{{"features", "on"},
                         {"analytics",
                          {{"url", url},
                           {"max_byte_size_per_file", "huge"},
                           {"sampling_rate", nlohmann::json::array({2})},
                           {"flush_interval_secs", nullptr}}}});
    controller->logEvent(std::make_shared<TLYCustomEvent>("kept", json::object()));
    controller->applicationLifecycleEvent(TLYTallyController::kApplicationWillResignActive);
    ASSERT_TRUE(waitUntil([&] { return received().count("custom") == 1 && noPackagesLeft(); }));
    EXPECT_EQ(received().count("app_launched"), 1u);
}

} // namespace
