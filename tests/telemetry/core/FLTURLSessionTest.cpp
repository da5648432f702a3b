#include "telemetry/core/FLTURLSession.h"

#include "NetTestServer.h"
#include "common/FileSizeLimit.h"
#include "common/TestEnvironment.h"
#include "common/WaitUntil.h"
#include "telemetry/core/PLNCertificatePinner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

using namespace qnt::test;

namespace {

class PinnedDelegate : public FLTURLSessionDelegate
{
public:
    explicit PinnedDelegate(PLNCertificate anchor)
        : m_pinner({std::move(anchor)})
    {
    }
    FLTURLSessionAuthChallengeDisposition
    URLSessionDidReceiveChallenge(FLTURLSession *,
                                  FLTURLAuthenticationChallenge &challenge) override
    {
        ++challenges;
        return m_pinner.handleChallenge(challenge)
                   ? FLTURLSessionAuthChallengeDisposition::UseCredential
                   : FLTURLSessionAuthChallengeDisposition::CancelAuthenticationChallenge;
    }
    void URLSessionDidReceiveData(FLTURLSession *, FLTURLSessionTask *,
                                  const std::string &data) override
    {
        std::lock_guard lock(mutex);
        received += data;
    }
    void URLSessionDidCompleteWithError(FLTURLSession *, FLTURLSessionTask *,
                                        const std::optional<tel::TelemetryError> &) override
    {
        ++completions;
    }

    std::atomic<int> challenges{0};
    std::atomic<int> completions{0};
    std::mutex mutex;
    std::string received;

private:
    PLNCertificatePinner m_pinner;
};

class FLTURLSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        certificates = makeTestCertificates(isolatedHome() + "/certs", "session");
        server = std::make_unique<NetTestServer>(certificates);
        server->on("GET", "/hello", [](const RecordedRequest &, httplib::Response &response) {
            response.set_header("X-Request-Id", "r-1");
            response.set_content("hello world", "text/plain");
        });
        server->on("GET", "/slow", [this](const RecordedRequest &, httplib::Response &response) {
            waitUntil([this] { return release.load(); }, std::chrono::seconds(10));
            response.set_content("late", "text/plain");
        });
        server->on(
            "POST", "/upload", [](const RecordedRequest &request, httplib::Response &response) {
                response.set_content("got " + std::to_string(request.body.size()), "text/plain");
            });
        server->start();
        delegate = std::make_shared<PinnedDelegate>(certificates.caDER);
    }
    void TearDown() override
    {
        release = true;
        server.reset();
    }

    TestCertificates certificates;
    std::unique_ptr<NetTestServer> server;
    std::shared_ptr<PinnedDelegate> delegate;
    std::atomic<bool> release{false};
};

} // namespace

TEST_F(FLTURLSessionTest, DataTaskCompletesWithBodyResponseAndMergedHeaders)
{
    auto configuration = FLTURLSessionConfiguration::defaultSessionConfiguration();
    configuration.setHTTPAdditionalHeaders({{"X-Extra", "from-configuration"}});
    auto session = FLTURLSession::sessionWithConfiguration(configuration, delegate);
    ASSERT_TRUE(session);

    FLTURLRequest request(server->baseURL() + "/hello");
    request.setValue("from-request", "X-Extra");
    Outcome outcome;
    auto task = session->dataTaskWithRequest(request, outcome.block());
    ASSERT_TRUE(task);
    EXPECT_FALSE(task->invokesDelegate());
    EXPECT_EQ(task->originalRequest().valueForHTTPHeaderField("x-extra"),
              "from-request,from-configuration");
    task->resume();
    task->resume();
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));

    std::lock_guard lock(outcome.mutex);
    EXPECT_FALSE(outcome.error) << PLNErrorDescription(*outcome.error);
    EXPECT_EQ(outcome.data, "hello world");
    ASSERT_TRUE(outcome.response);
    EXPECT_EQ(outcome.response->statusCode, 200);
    EXPECT_EQ(outcome.response->valueForHTTPHeaderField("x-request-id"), "r-1");
    EXPECT_EQ(server->requestCount(), 1u);
    EXPECT_EQ(server->requests()[0].header("X-Extra"), "from-request,from-configuration");
    EXPECT_GE(delegate->challenges.load(), 1);
    // A task with a block tells the delegate nothing of its data or its end.
    EXPECT_EQ(delegate->completions.load(), 0);
    EXPECT_TRUE(delegate->received.empty());
}

TEST_F(FLTURLSessionTest, TaskWithoutBlockReportsToTheDelegate)
{
    auto session = FLTURLSession::sessionWithConfiguration(
        FLTURLSessionConfiguration::defaultSessionConfiguration(), delegate);
    auto task = session->dataTaskWithRequest(FLTURLRequest(server->baseURL() + "/hello"));
    EXPECT_TRUE(task->invokesDelegate());
    task->resume();
    ASSERT_TRUE(waitUntil([&] { return delegate->completions == 1; }));
    std::lock_guard lock(delegate->mutex);
    EXPECT_EQ(delegate->received, "hello world");
}

TEST_F(FLTURLSessionTest, DownloadFileExistsOnlyWhileTheBlockRuns)
{
    auto session = FLTURLSession::sessionWithConfiguration(
        FLTURLSessionConfiguration::defaultSessionConfiguration(), delegate);
    std::atomic<int> calls{0};
    std::string location;
    std::string contents;
    auto task = session->downloadTaskWithRequest(FLTURLRequest(server->baseURL() + "/hello"),
                                                 [&](std::optional<std::string> file,
                                                     std::optional<FLTHTTPURLResponse>,
                                                     std::optional<tel::TelemetryError> error) {
                                                     EXPECT_FALSE(error);
                                                     location = file.value_or("");
                                                     std::ifstream in(location);
                                                     std::getline(in, contents);
                                                     ++calls;
                                                 });
    ASSERT_TRUE(task);
    // Until the body is complete the file has no name, so a process ending mid-transfer leaves
    // nothing behind.
    EXPECT_FALSE(std::filesystem::exists(task->targetURL()));
    task->resume();
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    EXPECT_EQ(contents, "hello world");
    EXPECT_FALSE(location.empty());
    EXPECT_TRUE(waitUntil([&] { return !std::filesystem::exists(location); }));
}

TEST_F(FLTURLSessionTest, DownloadThatCannotBeWrittenFailsWithItsOwnError)
{
    struct Finished : PinnedDelegate {
        using PinnedDelegate::PinnedDelegate;
        void URLSessionDidFinishDownloadingToURL(FLTURLSession *, FLTURLSessionTask *,
                                                 const std::string &) override
        {
            ++finished;
        }
        std::atomic<int> finished{0};
    };
    auto finishing = std::make_shared<Finished>(certificates.caDER);
    auto session = FLTURLSession::sessionWithConfiguration(
        FLTURLSessionConfiguration::defaultSessionConfiguration(), finishing);
    auto task = session->downloadTaskWithRequest(FLTURLRequest(server->baseURL() + "/hello"));
    ASSERT_TRUE(task);
    {
        // While the download runs, every file of this process may hold 4 bytes: the body does
        // not fit.
        FileSizeLimit limit(4);
        ASSERT_TRUE(limit.isSet());
        task->resume();
        ASSERT_TRUE(waitUntil([&] { return finishing->completions == 1; }));
    }
    ASSERT_TRUE(task->error());
    EXPECT_EQ(task->error()->domain, "FLTURLSessionDownloadTaskError");
    EXPECT_EQ(task->error()->code, -1);
    EXPECT_TRUE(task->error()->userInfo.empty());
    EXPECT_EQ(finishing->finished.load(), 0);
    EXPECT_FALSE(std::filesystem::exists(task->targetURL()));
}

TEST_F(FLTURLSessionTest, UploadStreamsTheFile)
{
    const std::string file = isolatedHome() + "/upload.bin";
    std::ofstream(file, std::ios::binary) << std::string(100000, 'x');
    auto session = FLTURLSession::sessionWithConfiguration(
        FLTURLSessionConfiguration::defaultSessionConfiguration(), delegate);
    FLTURLRequest request(server->baseURL() + "/upload");
    request.HTTPMethod = "POST";
    request.setValue("application/octet-stream", "Content-Type");
    Outcome outcome;
    session->uploadTaskWithRequest(request, file, outcome.block())->resume();
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    std::lock_guard lock(outcome.mutex);
    EXPECT_EQ(outcome.data, "got 100000");
}

TEST_F(FLTURLSessionTest, CancelCompletesOnceWithCancelledAndLeavesTheTaskSet)
{
    auto session = FLTURLSession::sessionWithConfiguration(
        FLTURLSessionConfiguration::defaultSessionConfiguration(), delegate);
    Outcome outcome;
    auto task =
        session->dataTaskWithRequest(FLTURLRequest(server->baseURL() + "/slow"), outcome.block());
    task->resume();
    ASSERT_TRUE(waitUntil([&] { return server->requestCount() == 1; }));

    std::atomic<size_t> live{99};
    session->getTasksWithCompletionHandler([&](auto data, auto upload, auto download) {
        live = data.size() + upload.size() + download.size();
    });
    ASSERT_TRUE(waitUntil([&] { return live != 99; }));
    EXPECT_EQ(live.load(), 1u);

    task->cancel();
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    {
        std::lock_guard lock(outcome.mutex);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->domain, kFLTURLErrorDomain);
        EXPECT_EQ(outcome.error->code, FLTURLErrorCancelled);
    }
    task->cancel();
    live = 99;
    session->getTasksWithCompletionHandler([&](auto data, auto upload, auto download) {
        live = data.size() + upload.size() + download.size();
    });
    ASSERT_TRUE(waitUntil([&] { return live != 99; }));
    EXPECT_EQ(live.load(), 0u);
    EXPECT_EQ(outcome.calls.load(), 1);
}

TEST_F(FLTURLSessionTest, InvalidatedSessionMakesNoTasks)
{
    auto session = FLTURLSession::sessionWithConfiguration(
        FLTURLSessionConfiguration::defaultSessionConfiguration(), delegate);
    session->invalidateAndCancel();
    EXPECT_EQ(session->delegate(), nullptr);
    EXPECT_EQ(session->dataTaskWithRequest(FLTURLRequest(server->baseURL() + "/hello")), nullptr);
}

TEST_F(FLTURLSessionTest, SessionWithoutDelegatePinsToTheClientCertificates)
{
    // The built-in set does not hold the test authority: refused before any request.
    {
        auto session = FLTURLSession::sessionWithConfiguration(
            FLTURLSessionConfiguration::defaultSessionConfiguration());
        Outcome outcome;
        session->dataTaskWithRequest(FLTURLRequest(server->baseURL() + "/hello"), outcome.block())
            ->resume();
        ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
        std::lock_guard lock(outcome.mutex);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->code, FLTURLErrorServerCertificateUntrusted);
        EXPECT_EQ(server->requestCount(), 0u);
    }
    const ScopedPinnedCertificates pinned({certificates.caDER});
    auto session = FLTURLSession::sessionWithConfiguration(
        FLTURLSessionConfiguration::defaultSessionConfiguration());
    Outcome outcome;
    session->dataTaskWithRequest(FLTURLRequest(server->baseURL() + "/hello"), outcome.block())
        ->resume();
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    std::lock_guard lock(outcome.mutex);
    EXPECT_FALSE(outcome.error);
    EXPECT_EQ(outcome.data, "hello world");
}

TEST_F(FLTURLSessionTest, SystemAuthoritiesOnlyWhenTheDelegateChoosesThem)
{
    struct SystemTrust : FLTURLSessionDelegate {
        FLTURLSessionAuthChallengeDisposition
        URLSessionDidReceiveChallenge(FLTURLSession *, FLTURLAuthenticationChallenge &) override
        {
            return FLTURLSessionAuthChallengeDisposition::TrustSystemAuthorities;
        }
    };
    // The test authority is none of the system's, so the server is refused.
    auto session = FLTURLSession::sessionWithConfiguration(
        FLTURLSessionConfiguration::defaultSessionConfiguration(), std::make_shared<SystemTrust>());
    Outcome outcome;
    session->dataTaskWithRequest(FLTURLRequest(server->baseURL() + "/hello"), outcome.block())
        ->resume();
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    std::lock_guard lock(outcome.mutex);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, FLTURLErrorServerCertificateUntrusted);
}

TEST(FLTURLSessionFactory, NoBackgroundSessionsAndNoSessionWithoutConfiguration)
{
    EXPECT_FALSE(FLTURLSession::NSURLSessionShouldBeUsed());
    EXPECT_FALSE(FLTURLSessionConfiguration::backgroundSessionConfigurationWithIdentifier("x"));
    EXPECT_EQ(FLTURLSession::sessionWithConfiguration(std::nullopt), nullptr);
    auto configuration = FLTURLSessionConfiguration::defaultSessionConfiguration();
    configuration.setHTTPAdditionalHeaders({{"A", "1"}});
    configuration.setTimeoutIntervalForRequest(5);
    configuration.setSessionSendsLaunchEvents(true);
    const auto copy = configuration.copy();
    EXPECT_EQ(copy.HTTPAdditionalHeaders().size(), 1u);
    EXPECT_EQ(copy.timeoutIntervalForRequest(), 60.0);
    EXPECT_FALSE(configuration.sessionSendsLaunchEvents());
}
