#include "telemetry/TallyKit/Tally.h"

#include "telemetry/TallyKit/TLYTallyController.h"
#include "telemetry/core/Plinth.h"

#include "TallyTestSupport.h"
#include "common/ChildProcess.h"
#include "common/TestEnvironment.h"
#include "common/WaitUntil.h"
#include "telemetry/core/NetTestServer.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

using namespace qnt::test;
using json = nlohmann::ordered_json;

// Puts the kit's controller back as it was.
class ScopedTallyController
{
public:
    explicit ScopedTallyController(std::shared_ptr<TLYTallyController> controller)
        : m_previous(Tally::sharedInstance().setTallyController(std::move(controller)))
    {
    }
    ~ScopedTallyController() { Tally::sharedInstance().setTallyController(m_previous); }

private:
    std::shared_ptr<TLYTallyController> m_previous;
};

std::vector<LogLine> recordedLines(const std::string &root)
{
    std::vector<LogLine> lines;
    for (const std::string &log :
         filesIn(TLYTallyController::eventDirectoryForRootDirectory(root), "log"))
        for (LogLine &line : parseLog(readFile(log)))
            lines.push_back(std::move(line));
    return lines;
}

TEST(TallyTest, ThePublicInterfaceRecordsEveryKindOfEvent)
{
    const std::string root = makeFolder("tally");
    TLYTallyController::Context context;
    context.metadataFields = testMetadataFields();
    context.firstInstall = false;
    context.settingsProvider = [] { return std::optional<nlohmann::json>(); };
    auto controller = TLYTallyController::create(std::nullopt, root, context);
    ScopedTallyController scoped(controller);

    const json custom = {{"source", "test"}};
    Tally::logSignUpWithMethod("mail", true, custom);
    Tally::logLoginWithMethod("mail", false);
    Tally::logShareWithMethod("link", "Chart", "diagram", "d1");
    Tally::logInviteWithMethod("mail");
    Tally::logPurchaseWithPrice(TLYDecimal::fromString("9.99"), "EUR", true, "Pack", "shapes",
                                "s1");
    Tally::logPurchaseWithPrice(std::nullopt, "EUR", true, "Free", "shapes", "s2");
    Tally::logLevelStart("one");
    Tally::logLevelEnd("one", 99, false);
    Tally::logAddToCartWithPrice(TLYDecimal::fromString("1.5"), "EUR", "Pen", "tool", "t1");
    Tally::logStartCheckoutWithPrice(TLYDecimal::fromString("3"), "EUR", "2");
    Tally::logRating(5, "Chart", "diagram", "d1");
    Tally::logContentViewWithName("Chart", "diagram", "d1");
    Tally::logSearchWithQuery("arrow");
    Tally::logCustomEventWithName("exported", {{"format", "svg"}});
    Tally::logPreviousSessionCrashedOnDate(std::nullopt); // nothing without a date
    Tally::waitUntilRecorded();

    std::map<std::string, json> predefined;
    std::vector<std::string> order;
    for (const LogLine &line : recordedLines(root)) {
        if (line.name != "predefined")
            continue;
        const std::string type = line.payload["predefined_type"];
        order.push_back(type);
        if (!predefined.count(type))
            predefined[type] = json::parse(line.payloadText);
    }
    EXPECT_EQ(order,
              (std::vector<std::string>{"sign_up", "login", "share", "invite", "purchase",
                                        "purchase", "level_start", "level_end", "add_to_cart",
                                        "start_checkout", "rating", "content_view", "search"}));
    EXPECT_EQ(predefined["sign_up"]["predefined_attributes"].dump(),
              R"({"method":"mail","success":"true"})");
    EXPECT_EQ(predefined["sign_up"]["custom_attributes"].dump(), R"({"source":"test"})");
    EXPECT_EQ(predefined["purchase"]["predefined_attributes"]["item_price"], 9990000);
    EXPECT_EQ(predefined["level_end"]["predefined_attributes"].dump(),
              R"({"level_name":"one","score":99,"success":"false"})");
    EXPECT_EQ(predefined["start_checkout"]["predefined_attributes"].dump(),
              R"({"total_price":3000000,"currency":"EUR","item_count":"2"})");
    const auto lines = recordedLines(root);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const LogLine &l) {
        return l.name == "custom" && l.payload["custom_type"] == "exported";
    }));
}

TEST(TallyTest, NothingIsRecordedInHearthModeOrBeforeTheStart)
{
    const std::string root = makeFolder("tally-hearth");
    TLYTallyController::Context context;
    context.metadataFields = testMetadataFields();
    context.firstInstall = false;
    context.settingsProvider = [] { return std::optional<nlohmann::json>(); };
    {
        ScopedTallyController none(nullptr);
        Tally::logCustomEventWithName("dropped");
        Tally::waitUntilRecorded();
    }
    auto controller = TLYTallyController::create(std::nullopt, root, context);
    ScopedTallyController scoped(controller);
    const std::uint64_t mode = Plinth::sharedSDK().installationMode();
    Plinth::sharedSDK().setInstallationMode(2);
    Tally::logCustomEventWithName("hearth");
    Plinth::sharedSDK().setInstallationMode(mode);
    Tally::waitUntilRecorded();
    for (const LogLine &line : recordedLines(root))
        EXPECT_NE(line.name, "custom");
}

TEST(TallyTest, EventsOfAKilledProcessAreSentOnceAtTheNextStart)
{
    const TestCertificates certificates = makeTestCertificates(isolatedHome() + "/certs", "kill");
    NetTestServer server(certificates);
    server.on("POST", "/spi/v2/events", [](const RecordedRequest &, httplib::Response &response) {
        response.set_content("{}", "application/json");
    });
    server.start();
    const std::string ca = isolatedHome() + "/certs/kill-ca.der";
    writeFile(ca, std::string(certificates.caDER.begin(), certificates.caDER.end()));
    const std::string helper = std::string(QNT_BIN_DIR) + "/tally_host_helper";
    const std::string root = makeFolder("killed");

    // Two launches killed after writing, then one that sends.
    for (int launch = 0; launch < 2; ++launch) {
        const ChildResult recorded = runChild({helper, "record", root, "8", "60"});
        EXPECT_EQ(recorded.output, "written\n");
        ASSERT_TRUE(recorded.signaled);
        EXPECT_EQ(recorded.signal, SIGKILL);
    }
    EXPECT_EQ(server.requestCount(), 0u);
    const ChildResult sent =
        runChild({helper, "upload", root, server.baseURL() + "/spi/v2/events", ca});
    ASSERT_TRUE(sent.exited);
    EXPECT_EQ(sent.exitCode, 0);

    std::map<std::pair<int, int>, int> seen;
    std::set<std::string> ids;
    std::size_t customs = 0;
    for (const RecordedRequest &request : server.requests()) {
        ASSERT_EQ(request.parts.size(), 1u);
        const auto text = gunzip(request.parts[0].content);
        ASSERT_TRUE(text);
        for (const LogLine &line : parseLog(*text)) {
            if (line.name != "custom")
                continue;
            ++customs;
            EXPECT_TRUE(ids.insert(line.payload["eventId"].get<std::string>()).second);
            ++seen[{line.payload["custom_attributes"]["thread"].get<int>(),
                    line.payload["custom_attributes"]["n"].get<int>()}];
        }
    }
    // Each launch's 480 events, every one exactly once.
    EXPECT_EQ(customs, 960u);
    EXPECT_EQ(seen.size(), 480u);
    for (const auto &[key, count] : seen)
        EXPECT_EQ(count, 2) << key.first << "/" << key.second;
}

} // namespace
