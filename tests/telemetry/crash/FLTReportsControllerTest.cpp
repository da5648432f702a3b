// Earlier launches' reports go to the reports endpoint: packaging, the request, retries,
// duplicate suppression, quarantine and resumption, against an HTTPS server of the test's own
// on 127.0.0.1 to which the client is pinned.

#include "telemetry/crash/FLTCrashReportingController.h"
#include "telemetry/crash/FLTPackageReportOperation.h"
#include "telemetry/crash/FLTReportsController.h"

#include "RecordedImages.h"
#include "ReportStoreFixture.h"
#include "common/Gzip.h"
#include "common/LogCapture.h"
#include "common/ScopeExit.h"
#include "common/ScopedEnvironment.h"
#include "common/WaitUntil.h"
#include "telemetry/core/Plinth.h"
#include "tests/telemetry/TallyKit/TLYFakeHearthAnalytics.h"
#include "tests/telemetry/core/NetTestServer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

namespace fs = std::filesystem;
using nlohmann::json;
using qnt::test::NetTestServer;
using qnt::test::RecordedRequest;
using qnt::test::TemporaryStore;
using qnt::test::waitUntil;

namespace {

constexpr const char *kReportsPattern = "/sdk-api/v1/platforms/mac/apps/.*/reports";

class TestDelegate : public FLTCrashReportingControllerDelegate
{
public:
    std::optional<std::string>
    APIKeyForCrashReportingController(FLTCrashReportingController *) override
    {
        return "key-1";
    }
    FLTSettings settingsForCrashReportingController(FLTCrashReportingController *) override
    {
        return FLTSettings(std::nullopt);
    }
};

using qnt::test::LogCapture;

class ReportsUpload : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = new fs::path(qnt::test::makeTemporaryFolder("flt-certs"));
        s_certificates = new qnt::test::TestCertificates(
            qnt::test::makeTestCertificates(s_folder->string(), "reports"));
    }
    static void TearDownTestSuite()
    {
        fs::remove_all(*s_folder);
        delete s_certificates;
        delete s_folder;
    }

    // Starts the server with a handler that answers each upload by its number (0 for the first).
    void startServer(std::function<void(int, httplib::Response &)> answer)
    {
        m_server = std::make_unique<NetTestServer>(*s_certificates);
        m_server->on("POST", kReportsPattern,
                     [this, answer](const RecordedRequest &, httplib::Response &response) {
                         answer(m_uploads.fetch_add(1), response);
                     });
        m_server->start();
        m_endpoint.emplace("FaultlineReportsEndpoint", m_server->baseURL());
    }

    std::shared_ptr<FLTCrashReportingController> makeController()
    {
        auto controller = FLTCrashReportingController::create(m_store.manager(), m_delegate);
        // Retries run at once; the waits asked for are kept.
        controller->networkClient()->setScheduler(
            [this](double seconds, std::function<void()> work) {
                {
                    std::lock_guard lock(m_mutex);
                    m_delays.push_back(seconds);
                }
                work();
            });
        controller->setScheduler([this](double seconds, std::function<void()>) {
            std::lock_guard lock(m_mutex);
            m_laterRetries.push_back(seconds);
        });
        return controller;
    }

    bool storeIsEmpty() const
    {
        const auto &manager = *m_store.manager();
        return manager.activePathContents().empty() && manager.processingPathContents().empty()
               && manager.preparedPathContents().empty();
    }

    static void accept(httplib::Response &response)
    {
        response.status = 200;
        response.set_content("{\"status\":\"ok\"}", "application/json");
    }

    static inline fs::path *s_folder = nullptr;
    static inline qnt::test::TestCertificates *s_certificates = nullptr;

    TemporaryStore m_store;
    qnt::test::ScopedPinnedCertificates m_pinned{{s_certificates->caDER}};
    std::shared_ptr<TestDelegate> m_delegate = std::make_shared<TestDelegate>();
    std::unique_ptr<NetTestServer> m_server;
    std::optional<qnt::test::ScopedEnvironmentVariable> m_endpoint;
    std::atomic<int> m_uploads{0};
    std::mutex m_mutex;
    std::vector<double> m_delays;
    std::vector<double> m_laterRetries;
};

TEST_F(ReportsUpload, EarlierReportIsSymbolicatedPackedSentAndRemoved)
{
    startServer([](int, httplib::Response &response) { accept(response); });
    const fs::path folder = m_store.addReport(
        m_store.manager()->activePath(), "0123abcd",
        {{"signal.fltrecord", "{\"signal\":{\"number\":11,\"time\":1767225700}}\n"
                              "{\"threads\":[{\"stacktrace\":[1],\"crashed\":true}]}\n"},
         {"sdk.log", "INFO  [start:1] started\n"},
         {"user_compacted_kv.fltrecord", "{\"kv\":{\"key\":\"6b\",\"value\":\"76\"}}\n"}});
    qnt::test::RecordedImages images(folder);
    auto controller = makeController();
    ASSERT_TRUE(controller->startWithEarlierReports());
    ASSERT_TRUE(waitUntil([&] { return m_uploads == 1 && storeIsEmpty(); }));
    controller.reset();

    const auto requests = m_server->requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest &request = requests[0];
    EXPECT_EQ(request.path, "/sdk-api/v1/platforms/mac/apps/org.quintora.store-test/reports");
    const std::map<std::string, std::string> headers = {
        {"User-Agent", "Faultline Mac SDK/3.9.3"},
        {"Accept", "application/json"},
        {"Accept-Charset", "utf-8"},
        {"X-Faultline-Developer-Token", "3c9e1a7b5d2f4086ae1b7c3d9f5e2a4b6c8d0e1f"},
        {"X-Faultline-API-Client-Id", "io.faultline.sdk.mac"},
        {"X-Faultline-API-Client-Display-Version", "3.9.3"},
        {"X-Faultline-API-Client-Build-Version", "128"},
        {"X-Faultline-API-Key", "key-1"}};
    for (const auto &[name, value] : headers)
        EXPECT_EQ(request.header(name), value) << name;
    EXPECT_TRUE(request.hasHeader("Accept-Language"));
    EXPECT_TRUE(request.hasHeader("Content-Language"));
    EXPECT_EQ(request.header("Content-Type").rfind("multipart/form-data; boundary=", 0), 0u);
    ASSERT_TRUE(request.partsParsed);
    ASSERT_GE(request.parts.size(), 2u);
    EXPECT_EQ(request.parts[0].name, "api_key");
    EXPECT_EQ(request.parts[1].name, "report_id");
    EXPECT_EQ(request.parts[1].content, "0123abcd");
    std::map<std::string, std::string> files;
    for (std::size_t i = 2; i < request.parts.size(); ++i) {
        EXPECT_EQ(request.parts[i].filename, request.parts[i].name + ".gz");
        EXPECT_TRUE(files
                        .emplace(request.parts[i].name,
                                 qnt::test::gunzip(request.parts[i].content).value_or("?"))
                        .second)
            << "packed twice: " << request.parts[i].name;
    }
    for (const char *name :
         {"metadata.fltrecord", "binary_images.fltrecord", "signal.fltrecord",
          "signal.fltrecord.symbolicated", "sdk.log", "user_compacted_kv.fltrecord"})
        EXPECT_EQ(files.count(name), 1u) << name;
    EXPECT_FALSE(
        json::parse(files["signal.fltrecord.symbolicated"], nullptr, false).is_discarded());
    EXPECT_TRUE(m_delays.empty());
    EXPECT_TRUE(m_laterRetries.empty());
}

TEST_F(ReportsUpload, ServerErrorsAreRetriedWithGrowingWaitsAndOneCopyIsAccepted)
{
    std::atomic<int> accepted{0};
    startServer([&](int number, httplib::Response &response) {
        if (number < 2) {
            response.status = 503;
            return;
        }
        ++accepted;
        accept(response);
    });
    m_store.addReport(m_store.manager()->activePath(), "retry1", {{"errors_a.fltrecord", "{}\n"}});
    auto controller = makeController();
    ASSERT_TRUE(controller->startWithEarlierReports());
    ASSERT_TRUE(waitUntil([&] { return accepted == 1 && storeIsEmpty(); }));
    controller.reset();
    EXPECT_EQ(m_uploads, 3);
    EXPECT_EQ(accepted, 1);
    std::lock_guard lock(m_mutex);
    ASSERT_EQ(m_delays.size(), 2u);
    EXPECT_GE(m_delays[0], 2.0);
    EXPECT_GT(m_delays[1], m_delays[0]);
}

TEST_F(ReportsUpload, ARefusedPackageIsQuarantinedNotRetried)
{
    LogCapture log;
    startServer([](int, httplib::Response &response) {
        response.status = 400;
        response.set_content("{}", "application/json");
    });
    m_store.addReport(m_store.manager()->activePath(), "refused", {{"signal.fltrecord", "{}\n"}});
    auto controller = makeController();
    ASSERT_TRUE(controller->startWithEarlierReports());
    const auto quarantined = [&] {
        return m_store.manager()->contentsOfDirectory(m_store.manager()->quarantinePath()).size()
               == 1;
    };
    ASSERT_TRUE(waitUntil([&] { return quarantined() && storeIsEmpty(); }));
    controller.reset();
    EXPECT_EQ(m_uploads, 1);
    EXPECT_TRUE(m_delays.empty());
    EXPECT_TRUE(m_laterRetries.empty());
    EXPECT_TRUE(log.contains("Quarantined package"));
}

TEST_F(ReportsUpload, ASuccessWithoutTheExpectedContentTypeIsASuccess)
{
    startServer([](int, httplib::Response &response) {
        response.status = 202;
        response.set_content("accepted", "text/plain;charset=utf-8");
    });
    m_store.addReport(m_store.manager()->activePath(), "typed", {{"signal.fltrecord", "{}\n"}});
    auto controller = makeController();
    ASSERT_TRUE(controller->startWithEarlierReports());
    ASSERT_TRUE(waitUntil([&] { return m_uploads == 1 && storeIsEmpty(); }));
    controller.reset();
    EXPECT_TRUE(m_laterRetries.empty());
}

TEST_F(ReportsUpload, LeftoversOfAnInterruptedLaunchAreResumed)
{
    startServer([](int, httplib::Response &response) { accept(response); });
    const auto &manager = *m_store.manager();
    // A folder in processing, a finished package in prepared, a folder with only keys and a
    // folder whose metadata has no session.
    m_store.addReport(manager.processingPath(), "half-done", {{"signal.fltrecord", "{}\n"}});
    const fs::path planted =
        m_store.addReport(manager.processingPath(), "packed", {{"signal.fltrecord", "{}\n"}});
    {
        FLTPackageReportOperation packaging(FLTInternalReport::reportWithPath(planted.string()),
                                            m_store.manager());
        packaging.start();
        ASSERT_TRUE(packaging.finalPath());
        fs::remove_all(planted);
    }
    const fs::path package = manager.preparedPathContents().front();
    const auto plantedParts =
        qnt::test::parseMultipart("multipart/form-data; boundary=" + package.stem().string(),
                                  qnt::test::readWholeFile(package));
    m_store.addReport(manager.activePath(), "keys-only",
                      {{"user_incremental_kv.fltrecord", "{}\n"}});
    const fs::path noSession = m_store.addReport(manager.activePath(), "no-session",
                                                 {{"signal.fltrecord", "{}\n"}}, false);
    qnt::test::writeFile(noSession / "metadata.fltrecord", qnt::test::metadataRecord(""));

    auto controller = makeController();
    ASSERT_TRUE(controller->startWithEarlierReports());
    ASSERT_TRUE(waitUntil([&] { return m_uploads == 2 && storeIsEmpty(); }));
    controller.reset();
    std::set<std::string> ids;
    bool unchanged = false;
    for (const auto &request : m_server->requests()) {
        ASSERT_GE(request.parts.size(), 2u);
        ids.insert(request.parts[1].content);
        if (request.parts[1].content == "packed") {
            ASSERT_EQ(request.parts.size(), plantedParts.size());
            unchanged = true;
            for (std::size_t i = 0; i < plantedParts.size(); ++i)
                unchanged = unchanged && request.parts[i].content == plantedParts[i].content;
        }
    }
    EXPECT_EQ(ids, (std::set<std::string>{"half-done", "packed"}));
    EXPECT_TRUE(unchanged);
}

TEST_F(ReportsUpload, HostileStoreEntriesAreRemovedOrQuarantinedAndNothingOutsideIsTouched)
{
    LogCapture log;
    startServer([](int, httplib::Response &response) { accept(response); });
    const auto &manager = *m_store.manager();
    const fs::path outside = qnt::test::makeTemporaryFolder("flt-outside");
    qnt::test::writeFile(outside / "metadata.fltrecord", qnt::test::metadataRecord("outside"));
    qnt::test::writeFile(outside / "signal.fltrecord", "{}\n");
    qnt::test::writeFile(outside / "package", "MIME-Version: 1.0\r\n");
    const fs::path prepared = manager.preparedPath();
    const std::string boundary = "0F3C2B1A-0000-4000-8000-000000000001";
    struct Planted {
        fs::path path;
        std::string content;
    };
    const Planted packages[] = {
        {prepared / (boundary + ".multipartmime"), "garbage that is no package"},
        {prepared / "0F3C2B1A-0000-4000-8000-000000000002.multipartmime",
         "MIME-Version: 1.0\r\n--0F3C2B1A-0000-4000-8000-000000000002\r\nContent-Disp"},
        {prepared / "not-a-package.txt", "MIME-Version: 1.0\r\n--x--\r\n"},
        {prepared / "0F3C2B1A-0000-4000-8000-000000000003.multipartmime", ""},
    };
    for (const Planted &planted : packages)
        qnt::test::writeFile(planted.path, planted.content);
    fs::create_symlink(outside / "package",
                       prepared / "0F3C2B1A-0000-4000-8000-000000000004.multipartmime");
    fs::create_directory_symlink(outside, fs::path(manager.activePath()) / "linked-folder");
    fs::create_directory_symlink(outside, fs::path(manager.processingPath()) / "linked-folder");
    const fs::path empty = fs::path(manager.activePath()) / "empty-folder";
    fs::create_directories(empty);
    qnt::test::writeFile(fs::path(manager.activePath()) / "stray-file", "x");

    auto controller = makeController();
    ASSERT_TRUE(controller->startWithEarlierReports());
    ASSERT_TRUE(waitUntil([&] { return storeIsEmpty(); }));
    controller.reset();
    EXPECT_EQ(m_uploads, 0);
    EXPECT_EQ(manager.contentsOfDirectory(manager.quarantinePath()).size(), 3u);
    for (const char *file : {"metadata.fltrecord", "signal.fltrecord", "package"})
        EXPECT_TRUE(fs::exists(outside / file)) << file;
    EXPECT_EQ(qnt::test::readWholeFile(outside / "package"), "MIME-Version: 1.0\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 3);
    EXPECT_TRUE(log.contains("Quarantined package"));
    EXPECT_TRUE(log.contains("Removing an unreadable report"));
    fs::remove_all(outside);
}

TEST_F(ReportsUpload, APackageIsNotUploadedTwiceAtOnce)
{
    std::mutex gate;
    std::condition_variable opened;
    bool open = false;
    startServer([&](int, httplib::Response &response) {
        std::unique_lock lock(gate);
        opened.wait(lock, [&] { return open; });
        accept(response);
    });
    const fs::path folder = m_store.addReport(m_store.manager()->processingPath(), "once",
                                              {{"signal.fltrecord", "{}\n"}});
    FLTPackageReportOperation packaging(FLTInternalReport::reportWithPath(folder.string()),
                                        m_store.manager());
    packaging.start();
    fs::remove_all(folder);
    auto controller = makeController();
    auto reports = controller->reportsController();
    EXPECT_TRUE(reports->uploadPackagedReportAtPath(*packaging.finalPath(), false));
    ASSERT_TRUE(waitUntil([&] { return m_uploads == 1; }));
    EXPECT_TRUE(reports->uploadPackagedReportAtPath(*packaging.finalPath(), false));
    EXPECT_TRUE(controller->networkClient()->hasUploadForPath(*packaging.finalPath()));
    {
        std::lock_guard lock(gate);
        open = true;
    }
    opened.notify_all();
    ASSERT_TRUE(waitUntil([&] { return storeIsEmpty(); }));
    // Sent and removed: starting it again sends nothing.
    EXPECT_FALSE(reports->uploadPackagedReportAtPath(*packaging.finalPath(), false));
    controller->operationQueue()->waitUntilAllOperationsAreFinished();
    controller.reset();
    EXPECT_EQ(m_uploads, 1);
}

TEST_F(ReportsUpload, RepeatedFailuresGiveThePackageUp)
{
    startServer([](int, httplib::Response &response) { accept(response); });
    const fs::path folder = m_store.addReport(m_store.manager()->processingPath(), "flaky",
                                              {{"signal.fltrecord", "{}\n"}});
    FLTPackageReportOperation packaging(FLTInternalReport::reportWithPath(folder.string()),
                                        m_store.manager());
    packaging.start();
    auto controller = makeController();
    auto reports = controller->reportsController();
    const auto lost = PLNMakeError(kFLTURLErrorDomain, FLTURLErrorNetworkConnectionLost);
    for (unsigned i = 1; i < FLTReportsController::kMaxFailedUploads; ++i) {
        reports->reportUploadAtPath(*packaging.finalPath(), lost);
        ASSERT_TRUE(fs::exists(*packaging.finalPath())) << i;
    }
    reports->reportUploadAtPath(*packaging.finalPath(), lost);
    EXPECT_FALSE(fs::exists(*packaging.finalPath()));
    EXPECT_EQ(m_store.manager()->contentsOfDirectory(m_store.manager()->quarantinePath()).size(),
              1u);
    std::lock_guard lock(m_mutex);
    EXPECT_EQ(m_laterRetries.size(), FLTReportsController::kMaxFailedUploads - 1);
}

TEST_F(ReportsUpload, AnUrgentReportIsSentBeforeTheCallReturns)
{
    startServer([](int, httplib::Response &response) { accept(response); });
    const fs::path folder = m_store.addReport(m_store.manager()->activePath(), "urgent",
                                              {{"signal.fltrecord", "{}\n"}});
    auto controller = makeController();
    EXPECT_TRUE(controller->reportsController()->prepareAndSubmitReport(
        FLTInternalReport::reportWithPath(folder.string()), true, true));
    EXPECT_EQ(m_uploads, 1);
    EXPECT_TRUE(storeIsEmpty());
    controller.reset();
}

TEST_F(ReportsUpload, ASentCrashIsToldToHearthWithItsTimeInHearthMode)
{
    startServer([](int, httplib::Response &response) { accept(response); });
    const std::uint64_t mode = Plinth::sharedSDK().installationMode();
    auto hearth = std::make_shared<qnt::test::TLYFakeHearthAnalytics>();
    TLYHearthAnalytics::registerLibrary(hearth);
    Plinth::sharedSDK().setInstallationMode(2);
    const qnt::test::ScopeExit restore([mode] {
        Plinth::sharedSDK().setInstallationMode(mode);
        TLYHearthAnalytics::registerLibrary(nullptr);
    });
    struct Case {
        const char *file;
        std::string content;
        std::optional<std::int64_t> milliseconds;
    };
    // Without a crash time the launch's start stands in for it; errors alone are no crash.
    for (const Case &c : {Case{"signal.fltrecord",
                               "{\"signal\":{\"number\":11,\"time\":1767225700}}\n", 1767225700000},
                          Case{"signal.fltrecord", "{}\n", 1767225600000},
                          Case{"errors_a.fltrecord", "{\"error\":{}}\n", std::nullopt}}) {
        SCOPED_TRACE(c.file + (" " + c.content));
        const std::size_t before = hearth->calls().size();
        const fs::path folder =
            m_store.addReport(m_store.manager()->activePath(), "hearth", {{c.file, c.content}});
        auto controller = makeController();
        EXPECT_TRUE(controller->reportsController()->prepareAndSubmitReport(
            FLTInternalReport::reportWithPath(folder.string()), true, true));
        controller.reset();
        const auto calls = hearth->calls();
        ASSERT_EQ(calls.size(), before + (c.milliseconds ? 1 : 0));
        if (c.milliseconds) {
            EXPECT_EQ(
                calls.back().parameters.dump(),
                nlohmann::ordered_json({{"timestamp", *c.milliseconds}, {"_r", 1}, {"fatal", 1}})
                    .dump());
        }
    }
    EXPECT_EQ(m_uploads, 3);
}

TEST_F(ReportsUpload, WithSubmissionSwitchedOffPackagesWait)
{
    startServer([](int, httplib::Response &response) { accept(response); });
    const qnt::test::ScopedEnvironmentVariable off("FaultlineSubmitReports", "0");
    m_store.addReport(m_store.manager()->activePath(), "waiting", {{"signal.fltrecord", "{}\n"}});
    auto controller = makeController();
    ASSERT_TRUE(controller->startWithEarlierReports());
    ASSERT_TRUE(waitUntil([&] {
        return m_store.manager()->activePathContents().empty()
               && m_store.manager()->preparedPathContents().size() == 1;
    }));
    controller->operationQueue()->waitUntilAllOperationsAreFinished();
    controller.reset();
    EXPECT_EQ(m_uploads, 0);
}

} // namespace
