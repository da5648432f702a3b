// A real crash reaches the reports endpoint at the next launch: the crash helper crashes by
// SIGSEGV inside templated functions of a namespace, is started again, and its report arrives
// once at an HTTPS server of the test's own, symbolicated and demangled; the store ends empty.
// A launch killed during its upload leaves the package for the next one, which sends it once.
// Whole launches of the kit: this launch's folder and crash handlers, the launch marker, user
// values in the report, the urgent path after a crash before the first turn of the main loop, the
// application's delegate that declines and the send prompt. Launches of the whole client: the
// crash reaches usage analytics too, and analytics switched off leaves crash reporting on.

#include "telemetry/crash/FLTContext.h"
#include "telemetry/crash/FLTCrashReportingController.h"
#include "telemetry/crash/FLTFile.h"

#include "common/Gzip.h"
#include "common/LogCapture.h"
#include "ReportStoreFixture.h"
#include "common/ChildProcess.h"
#include "common/ScopedEnvironment.h"
#include "common/WaitUntil.h"
#include "tests/telemetry/core/NetTestServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using nlohmann::json;
using qnt::test::ChildOptions;
using qnt::test::NetTestServer;
using qnt::test::RecordedRequest;

namespace {

constexpr const char *kHelperBundle = "org.quintora.crash-helper";
// A launch that sends earlier reports ends by itself once they are sent, or after four minutes
// of waiting (a machine busy with other work slows it many times over); this only catches a
// launch that hangs.
constexpr auto kLaunchTimeout = std::chrono::minutes(5);

class NextLaunch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder = qnt::test::makeTemporaryFolder("flt-next-launch");
        m_certificates = qnt::test::makeTestCertificates((m_folder / "certs").string(), "next");
        m_der = m_folder / "certs" / "next-ca.der";
        m_store = m_folder / "cache" / "com.faultline.data" / kHelperBundle / "v3";
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::vector<std::string> environment() const
    {
        return {"XDG_CACHE_HOME=" + (m_folder / "cache").string(),
                "FaultlineReportsEndpoint=" + m_server->baseURL()};
    }

    // Crashes the helper into a launch folder of its store.
    void crashOnce(const std::string &identifier)
    {
        const fs::path launch = m_store / "active" / identifier;
        fs::create_directories(launch);
        ChildOptions options;
        options.standardError = ChildOptions::StandardError::Captured;
        options.environment = environment();
        const auto result = qnt::test::runChild(
            {std::string(QNT_BIN_DIR) + "/flt_crash_helper_nofp", "segv-template", launch.string()},
            options);
        ASSERT_TRUE(result.signaled) << result.errors;
        ASSERT_EQ(result.signal, SIGSEGV);
        ASSERT_TRUE(fs::exists(launch / "signal.fltrecord"));
    }

    std::vector<std::string> helperArguments() const
    {
        return {std::string(QNT_BIN_DIR) + "/flt_crash_helper_nofp", "next-launch", m_der.string()};
    }

    bool storeIsEmpty() const
    {
        for (const char *stage : {"active", "processing", "prepared"})
            if (fs::exists(m_store / stage) && !fs::is_empty(m_store / stage))
                return false;
        return true;
    }

    fs::path m_folder;
    fs::path m_der;
    fs::path m_store;
    qnt::test::TestCertificates m_certificates;
    std::unique_ptr<NetTestServer> m_server;
};

TEST_F(NextLaunch, CrashReportArrivesOnceSymbolicatedAndTheStoreEndsEmpty)
{
    std::atomic<int> uploads{0};
    m_server = std::make_unique<NetTestServer>(m_certificates);
    m_server->on("POST", "/sdk-api/v1/platforms/mac/apps/.*/reports",
                 [&](const RecordedRequest &, httplib::Response &response) {
                     ++uploads;
                     response.status = 200;
                     response.set_content("{}", "application/json");
                 });
    m_server->start();
    crashOnce("f00dfeed");

    ChildOptions options;
    options.standardError = ChildOptions::StandardError::Captured;
    options.environment = environment();
    options.timeout = kLaunchTimeout;
    const auto result = qnt::test::runChild(helperArguments(), options);
    ASSERT_TRUE(result.exited) << result.errors;
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_TRUE(storeIsEmpty());
    EXPECT_EQ(uploads, 1);

    const auto requests = m_server->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path,
              std::string("/sdk-api/v1/platforms/mac/apps/") + kHelperBundle + "/reports");
    std::string symbolicated;
    for (const auto &part : requests[0].parts)
        if (part.name == "signal.fltrecord.symbolicated")
            symbolicated = qnt::test::gunzip(part.content).value_or("");
    const json parsed = json::parse(symbolicated, nullptr, false);
    ASSERT_FALSE(parsed.is_discarded()) << symbolicated;
    // The crashed thread comes first in the recording: its innermost frames, by position.
    const json &frames = parsed["threads"][0];
    ASSERT_GE(frames.size(), 4u) << symbolicated;
    const char *expected[] = {"quintora_crash::Walker<long>::leaf(long)",
                              "quintora_crash::Walker<long>::mid(long)",
                              "quintora_crash::Walker<long>::outer(long)"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[i]["symbol"], expected[i]) << symbolicated;
        EXPECT_EQ(frames[i]["library"], "flt_crash_helper_nofp");
        EXPECT_TRUE(frames[i].contains("raw_symbol"));
    }
    bool sawMain = false;
    for (const auto &frame : frames)
        sawMain = sawMain || frame["symbol"] == "main";
    EXPECT_TRUE(sawMain) << symbolicated;
}

TEST_F(NextLaunch, ALaunchKilledDuringItsUploadLeavesThePackageForTheNextOne)
{
    std::mutex gate;
    std::condition_variable released;
    bool release = false;
    std::atomic<int> requests{0};
    std::atomic<int> accepted{0};
    m_server = std::make_unique<NetTestServer>(m_certificates);
    m_server->on("POST", "/sdk-api/v1/platforms/mac/apps/.*/reports",
                 [&](const RecordedRequest &, httplib::Response &response) {
                     if (requests.fetch_add(1) == 0) {
                         // The first launch is killed while it waits for this answer.
                         std::unique_lock lock(gate);
                         released.wait(lock, [&] { return release; });
                         response.status = 503;
                         return;
                     }
                     ++accepted;
                     response.status = 200;
                     response.set_content("{}", "application/json");
                 });
    m_server->start();
    crashOnce("0ddba11");

    const auto arguments = helperArguments();
    const auto variables = environment();
    // Everything the child needs is made before the fork: after it only exec follows.
    std::vector<std::string> childEnvironment(variables);
    for (char **entry = environ; *entry; ++entry)
        if (std::string(*entry).rfind("XDG_CACHE_HOME=", 0) != 0
            && std::string(*entry).rfind("FaultlineReportsEndpoint=", 0) != 0)
            childEnvironment.emplace_back(*entry);
    std::vector<char *> argv, envp;
    for (const auto &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    for (const auto &variable : childEnvironment)
        envp.push_back(const_cast<char *>(variable.c_str()));
    envp.push_back(nullptr);
    const int devnull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(devnull, 1);
        dup2(devnull, 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(devnull);
    const bool uploading =
        qnt::test::waitUntil([&] { return requests == 1; }, std::chrono::seconds(60));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    {
        std::lock_guard lock(gate);
        release = true;
    }
    released.notify_all();
    ASSERT_TRUE(uploading);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_FALSE(storeIsEmpty());

    ChildOptions options;
    options.standardError = ChildOptions::StandardError::Captured;
    options.environment = variables;
    options.timeout = kLaunchTimeout;
    const auto result = qnt::test::runChild(arguments, options);
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(requests, 2);
    EXPECT_TRUE(storeIsEmpty());
}

// The kit's own launches, in the crash helper: one crashes, the next one reports.
class KitLaunch : public NextLaunch
{
protected:
    void SetUp() override
    {
        NextLaunch::SetUp();
        m_server = std::make_unique<NetTestServer>(m_certificates);
        m_server->on("POST", "/sdk-api/v1/platforms/mac/apps/.*/reports",
                     [this](const RecordedRequest &, httplib::Response &response) {
                         ++m_uploads;
                         response.status = 200;
                         response.set_content("{}", "application/json");
                     });
        m_server->start();
    }

    qnt::test::ChildResult launch(const std::string &identifier, const std::string &action,
                                  const std::vector<std::string> &extra = {}) const
    {
        ChildOptions options;
        options.standardError = ChildOptions::StandardError::Captured;
        options.environment = environment();
        options.environment.push_back("FLT_TEST_CA=" + m_der.string());
        options.environment.push_back("XDG_DATA_HOME=" + (m_folder / "data").string());
        options.timeout = kLaunchTimeout;
        for (const auto &variable : extra)
            options.environment.push_back(variable);
        return qnt::test::runChild(
            {std::string(QNT_BIN_DIR) + "/flt_crash_helper_nofp", "kit-launch", identifier, action},
            options);
    }

    std::string part(const RecordedRequest &request, const std::string &name) const
    {
        for (const auto &item : request.parts)
            if (item.name == name)
                return qnt::test::gunzip(item.content).value_or(item.content);
        return {};
    }

    static std::string hex(const std::string &text)
    {
        static const char digits[] = "0123456789abcdef";
        std::string out;
        for (unsigned char c : text) {
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        return out;
    }

    static std::string readFile(const fs::path &path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::atomic<int> m_uploads{0};
};

TEST_F(KitLaunch, ACrashWithUserValuesIsRecordedAndTheNextLaunchUploadsItOnce)
{
    const auto crashed = launch("launch-one", "crash");
    ASSERT_TRUE(crashed.signaled) << crashed.output << crashed.errors;
    EXPECT_EQ(crashed.signal, SIGILL); // the kit's test crash is a trap instruction
    EXPECT_NE(crashed.output.find("started 1 last-launch-failed 0"), std::string::npos);
    const fs::path folder = m_store / "active" / "launch-one";
    ASSERT_TRUE(fs::exists(folder / "signal.fltrecord"));
    // The loop turned once before the crash: the marker is gone, both times are on record.
    EXPECT_FALSE(fs::exists(m_store / "launchmarker"));
    const std::string internal = readFile(folder / "internal_incremental_kv.fltrecord");
    for (const char *key : {"com.faultline.kit-start-time", "com.faultline.first-run-loop-time",
                            "com.faultline.in-background", "com.faultline.user-id"})
        EXPECT_NE(internal.find(hex(key)), std::string::npos) << key;

    const auto next = launch("launch-two", "turn");
    ASSERT_TRUE(next.exited) << next.errors;
    EXPECT_EQ(next.exitCode, 0) << next.errors;
    EXPECT_NE(next.output.find("started 1 last-launch-failed 0"), std::string::npos);
    EXPECT_EQ(m_uploads, 1);
    const auto requests = m_server->requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest &request = requests[0];
    EXPECT_EQ(part(request, "report_id"), "launch-one");
    const std::string internalPart = part(request, "internal_incremental_kv.fltrecord");
    EXPECT_NE(internalPart.find(hex("com.faultline.user-id")), std::string::npos);
    EXPECT_NE(internalPart.find(hex("user-31")), std::string::npos);
    EXPECT_NE(internalPart.find(hex("com.faultline.user-name")), std::string::npos);
    const std::string userPart = part(request, "user_incremental_kv.fltrecord");
    for (const char *text : {"diagram", "flowchart", "shapes", "42"})
        EXPECT_NE(userPart.find(hex(text)), std::string::npos) << text << " in " << userPart;
    const std::string errors = part(request, "errors_a.fltrecord");
    EXPECT_NE(errors.find("\"error\""), std::string::npos) << errors;
    EXPECT_NE(errors.find(hex("layout")), std::string::npos) << errors;
    const std::string custom = part(request, "custom_exception_a.fltrecord");
    EXPECT_NE(custom.find("\"type\":\"custom\""), std::string::npos) << custom;
    const json symbolicated =
        json::parse(part(request, "signal.fltrecord.symbolicated"), nullptr, false);
    ASSERT_FALSE(symbolicated.is_discarded());
    EXPECT_EQ(symbolicated["threads"][0][0]["symbol"], "Faultline::crash()");
    // Only the launch that is running is left.
    EXPECT_EQ(fs::directory_iterator(m_store / "active")->path().filename(), "launch-two");
}

TEST_F(KitLaunch, ACrashBeforeTheLoopTurnedIsSentBeforeTheNextStartReturns)
{
    const auto crashed = launch("early", "crash-early");
    ASSERT_TRUE(crashed.signaled) << crashed.output << crashed.errors;
    EXPECT_EQ(crashed.signal, SIGSEGV);
    EXPECT_TRUE(fs::exists(m_store / "launchmarker"));

    const auto next = launch("after", "turn");
    ASSERT_TRUE(next.exited) << next.errors;
    EXPECT_EQ(next.exitCode, 0) << next.errors;
    // "left 0": by the time start returned the report had been sent and removed.
    EXPECT_NE(next.output.find("started 1 last-launch-failed 1 left 0"), std::string::npos)
        << next.output;
    EXPECT_EQ(m_uploads, 1);
    EXPECT_FALSE(fs::exists(m_store / "launchmarker"));
}

TEST_F(KitLaunch, AStackOverflowOnAPlainThreadOfALibraryIsRecordedAndSentOnce)
{
    // The thread was made by the library with pthread_create alone: nothing of the kit's ran on
    // it, yet it has its alternate stack from its creation.
    const std::string plugin = fs::canonical(FLT_CRASH_PLUGIN).string();
    const auto crashed =
        launch("library-thread", "crash-library-thread", {"FLT_CRASH_PLUGIN=" + plugin});
    ASSERT_TRUE(crashed.signaled) << crashed.output << crashed.errors;
    EXPECT_EQ(crashed.signal, SIGSEGV);
    const fs::path folder = m_store / "active" / "library-thread";
    // The crashed thread's repeated frame lies in the library.
    std::optional<std::uint64_t> repeated;
    for (const json &line : FLTFileReadSections((folder / "signal.fltrecord").c_str(), false)
                                .value_or(std::vector<json>()))
        if (line.contains("threads"))
            for (const json &thread : line["threads"])
                if (thread.value("crashed", false) && thread.contains("repeated_pc"))
                    repeated = thread["repeated_pc"].get<std::uint64_t>();
    ASSERT_TRUE(repeated) << crashed.errors;
    bool inLibrary = false;
    for (const json &line : FLTFileReadSections((folder / "binary_images.fltrecord").c_str(), false)
                                .value_or(std::vector<json>()))
        if (line.contains("load") && line["load"].value("path", "") == plugin) {
            const auto base = line["load"]["base"].get<std::uint64_t>();
            inLibrary =
                *repeated >= base && *repeated < base + line["load"]["size"].get<std::uint64_t>();
        }
    EXPECT_TRUE(inLibrary);

    const auto next = launch("after-library-thread", "turn");
    ASSERT_TRUE(next.exited) << next.errors;
    EXPECT_EQ(next.exitCode, 0) << next.errors;
    EXPECT_EQ(m_uploads, 1);
    const auto requests = m_server->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(part(requests[0], "report_id"), "library-thread");
    EXPECT_NE(part(requests[0], "signal.fltrecord").find("\"repeated_pc\""), std::string::npos);
}

TEST_F(KitLaunch, ADelegateThatDeclinesRemovesTheReportUnsent)
{
    const auto crashed = launch("declined", "crash-early");
    ASSERT_TRUE(crashed.signaled) << crashed.output << crashed.errors;
    const auto next = launch("later", "turn", {"FLT_DELEGATE=decline"});
    EXPECT_EQ(next.exitCode, 0) << next.errors;
    EXPECT_EQ(m_uploads, 0);
    EXPECT_FALSE(fs::exists(m_store / "active" / "declined"));
}

TEST_F(KitLaunch, TheSendPromptIsShownOnceAndItsAnswerHoldsForTheOtherReports)
{
    struct Case {
        const char *answer;
        int uploads;
    };
    for (const Case &c : {Case{"always", 2}, Case{"never", 0}}) {
        SCOPED_TRACE(c.answer);
        m_uploads = 0;
        fs::remove_all(m_folder / "data");
        crashOnce(std::string("first-") + c.answer);
        crashOnce(std::string("second-") + c.answer);
        const auto next = launch(std::string("asking-") + c.answer, "turn",
                                 {std::string("FLT_PROMPT=") + c.answer});
        EXPECT_EQ(next.exitCode, 0) << next.errors;
        EXPECT_NE(next.output.find("settled prompts 1"), std::string::npos) << next.output;
        EXPECT_EQ(m_uploads, c.uploads);
        for (const char *stage : {"first-", "second-"})
            EXPECT_FALSE(fs::exists(m_store / "active" / (std::string(stage) + c.answer)));
        fs::remove_all(m_store / "active");
    }
}

TEST_F(KitLaunch, AlwaysSendHoldsAtLaterLaunches)
{
    crashOnce("first");
    const auto asking = launch("asking", "turn", {"FLT_PROMPT=always"});
    EXPECT_NE(asking.output.find("settled prompts 1"), std::string::npos) << asking.output;
    // A later launch, whose prompt would answer "never", does not ask: both reports go.
    crashOnce("second");
    crashOnce("third");
    const auto later = launch("later", "turn", {"FLT_PROMPT=never"});
    EXPECT_EQ(later.exitCode, 0) << later.errors;
    EXPECT_NE(later.output.find("settled prompts 0"), std::string::npos) << later.output;
    EXPECT_EQ(m_uploads, 3);
}

// Settings that switch crash reporting off: the start answers no, installs nothing and empties
// every store folder.
TEST(CrashReportingSwitchedOff, StartEmptiesTheStoreAndInstallsNothing)
{
    class SwitchedOff : public FLTCrashReportingControllerDelegate
    {
    public:
        std::optional<std::string>
        APIKeyForCrashReportingController(FLTCrashReportingController *) override
        {
            return "key-off";
        }
        FLTSettings settingsForCrashReportingController(FLTCrashReportingController *) override
        {
            return FLTSettings(json{{"features", {{"collect_reports", false}}}});
        }
    };
    const qnt::test::TemporaryStore store;
    const auto &manager = store.manager();
    store.addReport(manager->activePath(), "earlier", {{"signal.fltrecord", "{}\n"}});
    store.addReport(manager->processingPath(), "half-packed", {{"signal.fltrecord", "{}\n"}});
    qnt::test::writeFile(fs::path(manager->preparedPath()) / "B.multipartmime", "package");
    const qnt::test::LogCapture log;
    auto delegate = std::make_shared<SwitchedOff>();
    auto controller = FLTCrashReportingController::create(manager, delegate);
    bool contextStarted = false;
    controller->setContextStarter([&](const FLTContextInitData &) {
        contextStarted = true;
        return true;
    });
    EXPECT_FALSE(controller->startWithProfilingMark(
        FLTCrashReportingController::monotonicMilliseconds(), std::nullopt));
    controller->operationQueue()->waitUntilAllOperationsAreFinished();
    EXPECT_FALSE(contextStarted);
    EXPECT_TRUE(log.contains("[Faultline:Crash] Reporting is disabled"));
    EXPECT_FALSE(fs::exists(controller->launchMarkerPath()));
    for (const std::string &stage : {manager->activePath(), manager->processingPath(),
                                     manager->preparedPath(), manager->pendingPath()})
        EXPECT_TRUE(!fs::exists(stage) || fs::is_empty(stage)) << stage;
}

// Two launches of the whole client as an application starts it (Plinth::with the crash kit, which
// starts usage analytics), with settings, reports and analytics uploads on the test's server.
class ClientLaunch : public NextLaunch
{
protected:
    void serve(bool collectAnalytics)
    {
        m_server = std::make_unique<NetTestServer>(m_certificates);
        m_server->on(
            "GET", "/spi/v2/platforms/mac/apps/org.quintora.crash-helper/settings",
            [this, collectAnalytics](const RecordedRequest &, httplib::Response &response) {
                const json settings = {{"features", {{"collect_analytics", collectAnalytics}}},
                                       {"analytics", {{"url", m_server->baseURL() + "/events"}}}};
                response.set_content(settings.dump(), "application/json");
            });
        for (const char *path : {"/sdk-api/v1/platforms/mac/apps/.*/reports", "/events"})
            m_server->on("POST", path, [](const RecordedRequest &, httplib::Response &response) {
                response.status = 200;
                response.set_content("{}", "application/json");
            });
        m_server->start();
    }

    qnt::test::ChildResult launch(const std::string &action) const
    {
        ChildOptions options;
        options.standardError = ChildOptions::StandardError::Captured;
        options.environment = environment();
        for (const std::string &variable :
             {"XDG_DATA_HOME=" + (m_folder / "data").string(),
              "XDG_CONFIG_HOME=" + (m_folder / "config").string(),
              "SettingsEndpoint=" + m_server->baseURL(), "FLT_TEST_CA=" + m_der.string()})
            options.environment.push_back(variable);
        options.timeout = kLaunchTimeout;
        return qnt::test::runChild(
            {std::string(QNT_BIN_DIR) + "/flt_crash_helper_nofp", "plinth-launch", action},
            options);
    }

    std::vector<RecordedRequest> requestsTo(const std::string &pathStart) const
    {
        std::vector<RecordedRequest> found;
        for (const RecordedRequest &request : m_server->requests())
            if (request.method == "POST" && request.path.rfind(pathStart, 0) == 0)
                found.push_back(request);
        return found;
    }
};

// Usage analytics hears of the earlier launch's crash (in a log of that launch's own) and of the
// crash kit's custom event; analytics switched off by the settings stops analytics, not crash
// reporting.
TEST_F(ClientLaunch, TheCrashReachesReportsAndAnalyticsAndAnalyticsOffLeavesCrashReportsOn)
{
    for (const bool analytics : {true, false}) {
        SCOPED_TRACE(analytics ? "analytics on" : "analytics off");
        fs::remove_all(m_folder / "cache");
        fs::remove_all(m_folder / "data");
        serve(analytics);
        const auto crashed = launch("crash");
        ASSERT_TRUE(crashed.signaled) << crashed.output << crashed.errors;
        EXPECT_EQ(crashed.signal, SIGILL);
        const auto next = launch("turn");
        ASSERT_TRUE(next.exited) << next.errors;
        ASSERT_EQ(next.exitCode, 0) << next.output << next.errors;

        const auto reports = requestsTo("/sdk-api/");
        ASSERT_EQ(reports.size(), 1u);
        std::string crashedLaunch, signalRecord;
        for (const auto &part : reports[0].parts) {
            if (part.name == "report_id")
                crashedLaunch = part.content;
            if (part.name == "signal.fltrecord")
                signalRecord = qnt::test::gunzip(part.content).value_or("");
        }
        const json signal =
            json::parse(signalRecord.substr(0, signalRecord.find('\n')), nullptr, false);
        ASSERT_TRUE(signal.contains("signal")) << signalRecord;
        const std::uint64_t crashTime = signal["signal"]["time"];
        ASSERT_EQ(crashedLaunch.size(), 32u);
        // Only the launch that ran last is left.
        EXPECT_EQ(std::distance(fs::directory_iterator(m_store / "active"), {}), 1);
        EXPECT_FALSE(fs::exists(m_store / "active" / crashedLaunch));

        const auto uploads = requestsTo("/events");
        if (!analytics) {
            EXPECT_TRUE(uploads.empty());
            continue;
        }
        std::string crashLog, exported;
        for (const auto &upload : uploads)
            for (const auto &part : upload.parts) {
                const std::string log = qnt::test::gunzip(part.content).value_or("");
                if (log.find("\tapp_crashed\t") != std::string::npos)
                    crashLog += log;
                if (log.find("\"diagram_exported\"") != std::string::npos)
                    exported += log;
            }
        EXPECT_NE(crashLog.find("\"session_id\":\"" + crashedLaunch + "\""), std::string::npos)
            << crashLog;
        // Dated with the crash, not with the start of the launch that crashed.
        EXPECT_NE(crashLog.find(std::to_string(crashTime * 1000) + "\tapp_crashed\t"),
                  std::string::npos)
            << crashTime << " in " << crashLog;
        EXPECT_NE(exported.find("\"svg\""), std::string::npos) << exported;
    }
}

} // namespace
