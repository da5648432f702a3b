#include "telemetry/core/PLNNetworkClient.h"

#include "NetTestServer.h"
#include "common/TestEnvironment.h"
#include "common/WaitUntil.h"
#include "telemetry/core/Plinth.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>

using namespace qnt::test;

namespace {

class PLNNetworkClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        certificates = makeTestCertificates(isolatedHome() + "/certs", "client");
        server = std::make_unique<NetTestServer>(certificates);
        server->on("GET", "/busy", [](const RecordedRequest &, httplib::Response &response) {
            response.status = 503;
            response.set_header("Retry-After", "3");
            response.set_content("{}", "application/json");
        });
        server->on("GET", "/down", [](const RecordedRequest &, httplib::Response &response) {
            response.status = 503;
        });
        server->on("GET", "/patient", [](const RecordedRequest &, httplib::Response &response) {
            response.status = 503;
            response.set_header("Retry-After", "30");
        });
        server->on("GET", "/away", [](const RecordedRequest &, httplib::Response &response) {
            response.status = 429;
            response.set_header("Retry-After", "86400");
        });
        server->on("GET", "/bad", [](const RecordedRequest &, httplib::Response &response) {
            response.status = 400;
            response.set_header("X-Request-Id", "req-42");
            response.set_content("{\"error\":1}", "application/json");
        });
        server->on("GET", "/slow", [this](const RecordedRequest &, httplib::Response &response) {
            waitUntil([this] { return release.load(); }, std::chrono::seconds(10));
            response.set_content("{}", "application/json");
        });
        server->on("GET", "/typed", [this](const RecordedRequest &, httplib::Response &response) {
            std::lock_guard lock(typeMutex);
            response.status = typedStatus;
            if (!contentType.empty())
                response.set_header("Content-Type", contentType);
            response.body = "{\"ok\":true}";
        });
        server->start();
        client = PLNNetworkClient::create(std::vector<PLNCertificate>{certificates.caDER});
        ASSERT_TRUE(client);
        client->setRandomSource([] { return 0.5; });
        // A scaled clock: record each wait and go on at once.
        client->setScheduler([this](double seconds, std::function<void()> work) {
            {
                std::lock_guard lock(delaysMutex);
                delays.push_back(seconds);
            }
            work();
        });
    }
    void TearDown() override
    {
        release = true;
        client.reset();
        server.reset();
    }

    FLTURLRequest jsonRequest(const std::string &path) const
    {
        FLTURLRequest request(server->baseURL() + path);
        request.setValue("application/json", "Accept");
        request.setValue("utf-8", "Accept-Charset");
        return request;
    }
    std::vector<double> recordedDelays()
    {
        std::lock_guard lock(delaysMutex);
        return delays;
    }

    TestCertificates certificates;
    std::unique_ptr<NetTestServer> server;
    std::shared_ptr<PLNNetworkClient> client;
    std::atomic<bool> release{false};
    std::mutex delaysMutex;
    std::vector<double> delays;
    std::mutex typeMutex;
    int typedStatus = 200;
    std::string contentType;
};

} // namespace

TEST_F(PLNNetworkClientTest, RetryAfterIsTheLeastWaitAndTheLimitEndsWithMinusSix)
{
    Outcome outcome;
    client->startDataTaskWithRequest(jsonRequest("/busy"), 1, outcome.block());
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    EXPECT_EQ(server->requestCount(), 2u);
    ASSERT_EQ(recordedDelays().size(), 1u);
    EXPECT_NEAR(recordedDelays()[0], 3.0, 1e-6);
    std::lock_guard lock(outcome.mutex);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain, kPLNNetworkErrorDomain);
    EXPECT_EQ(outcome.error->code, PLNNetworkErrorRetryLimitReached);
    EXPECT_EQ(PLNErrorInteger(*outcome.error, "retryLimit"), 1);
    EXPECT_EQ(PLNErrorString(*outcome.error, kFLTURLErrorFailingURLStringErrorKey),
              server->baseURL() + "/busy");
    EXPECT_FALSE(outcome.data);
    EXPECT_FALSE(outcome.response);
}

TEST_F(PLNNetworkClientTest, WithoutRetryAfterTheWaitsDouble)
{
    Outcome outcome;
    client->startDataTaskWithRequest(jsonRequest("/down"), 4, outcome.block());
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    EXPECT_EQ(server->requestCount(), 5u);
    EXPECT_EQ(recordedDelays(), (std::vector<double>{2, 2, 4, 8}));
    std::lock_guard lock(outcome.mutex);
    EXPECT_EQ(outcome.error->code, PLNNetworkErrorRetryLimitReached);
}

TEST_F(PLNNetworkClientTest, RetryAfterIsNeverRaisedToAPower)
{
    Outcome outcome;
    client->startDataTaskWithRequest(jsonRequest("/patient"), 6, outcome.block());
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    // max(30, 2, 2, 4, 8, 16, 32)
    EXPECT_EQ(recordedDelays(), (std::vector<double>{30, 30, 30, 30, 30, 32}));
}

TEST_F(PLNNetworkClientTest, AServerWaitBeyondOurOwnHourIsHonoured)
{
    Outcome outcome;
    client->startDataTaskWithRequest(jsonRequest("/away"), 2, outcome.block());
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    EXPECT_EQ(recordedDelays(), (std::vector<double>{86400, 86400}));
    std::lock_guard lock(outcome.mutex);
    EXPECT_EQ(outcome.error->code, PLNNetworkErrorRetryLimitReached);
}

TEST_F(PLNNetworkClientTest, ClientErrorIsNotRetried)
{
    Outcome outcome;
    client->startDataTaskWithRequest(jsonRequest("/bad"), outcome.block());
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    EXPECT_EQ(server->requestCount(), 1u);
    EXPECT_TRUE(recordedDelays().empty());
    std::lock_guard lock(outcome.mutex);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain, kPLNNetworkErrorDomain);
    EXPECT_EQ(outcome.error->code, PLNNetworkErrorClientError);
    EXPECT_EQ(PLNErrorInteger(*outcome.error, "type"), PLNClientResponseTypeClientError);
    EXPECT_EQ(PLNErrorInteger(*outcome.error, "status_code"), 400);
    EXPECT_EQ(PLNErrorString(*outcome.error, "request_id"), "req-42");
    EXPECT_EQ(PLNErrorString(*outcome.error, "content_type"), "application/json");
    EXPECT_EQ(outcome.data, "{\"error\":1}");
}

TEST_F(PLNNetworkClientTest, CancelledRequestIsFinalWithTheOriginalError)
{
    Outcome outcome;
    client->startDataTaskWithRequest(jsonRequest("/slow"), outcome.block());
    ASSERT_TRUE(waitUntil([&] { return server->requestCount() == 1; }));
    client->invalidateAndCancel();
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    EXPECT_TRUE(recordedDelays().empty());
    std::lock_guard lock(outcome.mutex);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain, kFLTURLErrorDomain);
    EXPECT_EQ(outcome.error->code, FLTURLErrorCancelled);
}

TEST_F(PLNNetworkClientTest, RequestAfterInvalidationFailsWithNoTask)
{
    client->invalidateAndCancel();
    Outcome outcome;
    client->startDataTaskWithRequest(jsonRequest("/typed"), outcome.block());
    ASSERT_EQ(outcome.calls.load(), 1);
    EXPECT_EQ(outcome.error->code, PLNNetworkErrorNoTask);
}

TEST_F(PLNNetworkClientTest, ServerOutsideThePinnedSetIsRefusedOnceWithTheTrustError)
{
    const TestCertificates rogue = makeTestCertificates(isolatedHome() + "/certs", "rogue");
    NetTestServer rogueServer(rogue);
    rogueServer.on("GET", "/typed", [](const RecordedRequest &, httplib::Response &response) {
        response.set_content("{}", "application/json");
    });
    rogueServer.start();
    Outcome outcome;
    FLTURLRequest request(rogueServer.baseURL() + "/typed");
    client->startDataTaskWithRequest(request, outcome.block());
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    EXPECT_EQ(rogueServer.requestCount(), 0u);
    EXPECT_TRUE(recordedDelays().empty());
    std::lock_guard lock(outcome.mutex);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->domain, kFLTURLErrorDomain);
    EXPECT_EQ(outcome.error->code, FLTURLErrorServerCertificateUntrusted);
}

TEST_F(PLNNetworkClientTest, DebugFlagDoesNotTurnPinningOff)
{
    const TestCertificates rogue = makeTestCertificates(isolatedHome() + "/certs", "rogue");
    NetTestServer rogueServer(rogue);
    rogueServer.on("GET", "/typed", [](const RecordedRequest &, httplib::Response &response) {
        response.set_content("{}", "application/json");
    });
    rogueServer.start();
    Plinth::sharedSDK().setDebug(true);
    Outcome outcome;
    client->startDataTaskWithRequest(FLTURLRequest(rogueServer.baseURL() + "/typed"),
                                     outcome.block());
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    Plinth::sharedSDK().setDebug(false);
    EXPECT_FALSE(Plinth::sharedSDK().debug());
    EXPECT_EQ(rogueServer.requestCount(), 0u);
    std::lock_guard lock(outcome.mutex);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, FLTURLErrorServerCertificateUntrusted);
}

TEST_F(PLNNetworkClientTest, EmptyPinnedSetTrustsNoServer)
{
    auto strict = PLNNetworkClient::create(std::vector<PLNCertificate>{});
    Outcome outcome;
    strict->startDataTaskWithRequest(jsonRequest("/typed"), outcome.block());
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    EXPECT_EQ(server->requestCount(), 0u);
    std::lock_guard lock(outcome.mutex);
    EXPECT_EQ(outcome.error->code, FLTURLErrorServerCertificateUntrusted);
}

struct ContentTypeCase {
    int status;
    const char *contentType;
    bool succeeds;
};

class PLNNetworkClientContentTypeTest : public PLNNetworkClientTest,
                                        public ::testing::WithParamInterface<ContentTypeCase>
{
};

TEST_P(PLNNetworkClientContentTypeTest, MediaTypeIsParsed)
{
    const ContentTypeCase &param = GetParam();
    {
        std::lock_guard lock(typeMutex);
        typedStatus = param.status;
        contentType = param.contentType;
    }
    Outcome outcome;
    client->startDataTaskWithRequest(jsonRequest("/typed"), outcome.block());
    ASSERT_TRUE(waitUntil([&] { return outcome.calls == 1; }));
    std::lock_guard lock(outcome.mutex);
    if (param.succeeds) {
        EXPECT_FALSE(outcome.error) << PLNErrorDescription(*outcome.error);
        EXPECT_EQ(outcome.data, "{\"ok\":true}");
        return;
    }
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code, PLNNetworkErrorInvalidResponse);
    EXPECT_EQ(PLNErrorInteger(*outcome.error, "type"), PLNClientResponseTypeInvalid);
    EXPECT_EQ(PLNErrorInteger(*outcome.error, "status_code"), param.status);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PLNNetworkClientContentTypeTest,
    ::testing::Values(ContentTypeCase{200, "application/json", true},
                      ContentTypeCase{200, "application/json; charset=UTF-8", true},
                      ContentTypeCase{200, "application/json;charset=utf-8", true},
                      ContentTypeCase{201, "Application/JSON ; charset=\"utf-8\"; v=2", true},
                      ContentTypeCase{200, "application/json; v=2", true},
                      ContentTypeCase{200, "application/json; charset=iso-8859-1", false},
                      ContentTypeCase{200, "text/html", false}, ContentTypeCase{200, "", false},
                      ContentTypeCase{203, "application/json", false}),
    [](const ::testing::TestParamInfo<ContentTypeCase> &info) {
        return "case" + std::to_string(info.index);
    });

TEST_F(PLNNetworkClientTest, DownloadGivesTheFileAndRetriesLikeData)
{
    contentType = "application/json";
    std::atomic<int> calls{0};
    std::string contents;
    std::optional<tel::TelemetryError> error;
    client->startDownloadTaskWithRequest(jsonRequest("/typed"), 1,
                                         [&](std::optional<std::string> file,
                                             std::optional<FLTHTTPURLResponse>,
                                             std::optional<tel::TelemetryError> e) {
                                             error = e;
                                             if (file) {
                                                 std::ifstream in(*file);
                                                 std::getline(in, contents);
                                             }
                                             ++calls;
                                         });
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    EXPECT_FALSE(error);
    EXPECT_EQ(contents, "{\"ok\":true}");

    calls = 0;
    client->startDownloadTaskWithRequest(jsonRequest("/busy"), 1,
                                         [&](std::optional<std::string> file,
                                             std::optional<FLTHTTPURLResponse>,
                                             std::optional<tel::TelemetryError> e) {
                                             EXPECT_FALSE(file);
                                             error = e;
                                             ++calls;
                                         });
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, PLNNetworkErrorRetryLimitReached);
}

TEST(PLNNetworkClientDelay, JitterStaysWithinTenPercent)
{
    auto client = PLNNetworkClient::create();
    client->setRandomSource([] { return 0.0; });
    EXPECT_NEAR(client->computeDelayForResponse(std::nullopt, 0), 2 * 0.9, 1e-6);
    client->setRandomSource([] { return 0.999999; });
    EXPECT_NEAR(client->computeDelayForResponse(std::nullopt, 3), 8 * 1.1, 1e-4);
    FLTHTTPURLResponse response;
    response.statusCode = 503;
    response.allHeaderFields = {{"Retry-After", "0"}};
    client->setRandomSource([] { return 0.5; });
    EXPECT_NEAR(client->computeDelayForResponse(response, 0), 2.0, 1e-6);
    EXPECT_NEAR(client->computeDelayForResponse(response, 1000), 3600.0, 1e-6);
    // A wait no server can mean is held to a day.
    response.allHeaderFields = {{"Retry-After", "1e400"}};
    EXPECT_NEAR(client->computeDelayForResponse(response, 1), 86400.0, 1e-6);
}

TEST(PLNNetworkClientDelay, JitterNeverTakesAWaitBelowRetryAfter)
{
    struct Case {
        const char *retryAfter;
        unsigned tries;
        double unit; // the random draw: 0 gives jitter 0.9, almost 1 gives 1.1
        double expected;
    };
    const Case cases[] = {
        {"30", 0, 0.0, 30.0},   {"30", 0, 0.999999, 30.0}, {"3", 1, 0.0, 3.0},
        {"3", 2, 0.0, 4 * 0.9}, {"5", 3, 0.0, 8 * 0.9},    {"7.5", 3, 0.0, 7.5},
        {"900", 8, 0.0, 900.0}, {"7200", 4, 0.0, 7200.0},  {"86400", 1, 0.5, 86400.0},
        {"1", 0, 0.0, 2 * 0.9}, {"-4", 1, 0.0, 2.0},
    };
    auto client = PLNNetworkClient::create();
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.retryAfter) + " after " + std::to_string(c.tries));
        FLTHTTPURLResponse response;
        response.statusCode = 503;
        response.allHeaderFields = {{"Retry-After", c.retryAfter}};
        client->setRandomSource([unit = c.unit] { return unit; });
        const double delay = client->computeDelayForResponse(response, c.tries);
        EXPECT_NEAR(delay, c.expected, 1e-4);
        EXPECT_GE(delay, PLNNetworkResponseHandler::retryValueForResponse(response));
    }
}
