// The beta update check: inert without a token, and the request it would make with one.

#include "telemetry/crash/FLTBetaController.h"

#include "ReportStoreFixture.h"
#include "common/ScopedEnvironment.h"
#include "common/WaitUntil.h"
#include "telemetry/core/PLNSettingsOnboardingManager.h"
#include "telemetry/platform/NotificationBus.h"
#include "tests/telemetry/core/NetTestServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

namespace fs = std::filesystem;
using qnt::test::RecordedRequest;

namespace {

class BetaDelegate : public FLTBetaControllerDelegate
{
public:
    FLTSettings settingsForBetaController(FLTBetaController *) override
    {
        return FLTSettings(nlohmann::json::parse(R"({"beta":{"update_suspend_duration":7200}})"));
    }
    std::optional<std::string> APIKeyForBetaController(FLTBetaController *) override
    {
        return "beta-key";
    }
};

class BetaCheck : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder = qnt::test::makeTemporaryFolder("flt-beta");
        m_certificates = qnt::test::makeTestCertificates(m_folder.string(), "beta");
        m_pinned.emplace(std::vector<PLNCertificate>{m_certificates.caDER});
        m_server = std::make_unique<qnt::test::NetTestServer>(m_certificates);
        m_server->on("GET", "/spi/v2/platforms/mac/apps/.*/beta_update_check",
                     [](const RecordedRequest &, httplib::Response &response) {
                         response.status = 200;
                         response.set_content(
                             R"({"url":"https://example.invalid/build","version_string":"2.0"})",
                             "application/json");
                     });
        m_server->start();
        m_endpoint.emplace("FaultlineBetaEndpoint", m_server->baseURL());
    }
    void TearDown() override
    {
        m_server.reset();
        m_pinned.reset();
        fs::remove_all(m_folder);
    }

    qnt::test::TemporaryStore m_store; // the application's identity
    fs::path m_folder;
    qnt::test::TestCertificates m_certificates;
    std::optional<qnt::test::ScopedPinnedCertificates> m_pinned;
    std::unique_ptr<qnt::test::NetTestServer> m_server;
    std::optional<qnt::test::ScopedEnvironmentVariable> m_endpoint;
    std::shared_ptr<BetaDelegate> m_delegate = std::make_shared<BetaDelegate>();
};

TEST_F(BetaCheck, WithoutATokenNothingIsEverAsked)
{
    FLTBetaController controller(m_delegate);
    EXPECT_FALSE(controller.start());
    EXPECT_FALSE(controller.betaToken());
    EXPECT_FALSE(controller.updateRequest());
    tel::NotificationBus::defaultBus().post(PLNSettingsAvailableNotification);
    controller.checkForUpdate();
    EXPECT_EQ(m_server->requestCount(), 0u);
    // A store build is not a beta build.
    EXPECT_FALSE(FLTBetaController::isBetaSupported());
}

TEST_F(BetaCheck, WithATokenTheRequestCarriesIt)
{
    FLTBetaController controller(m_delegate, [] { return std::optional<std::string>("tok-1"); });
    ASSERT_TRUE(controller.start());
    const auto request = controller.updateRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->URL.rfind(m_server->baseURL()
                                     + "/spi/v2/platforms/mac/apps/org.quintora.store-test/"
                                       "beta_update_check?build_version=7&display_version=1.7",
                                 0),
              0u)
        << request->URL;
    EXPECT_EQ(request->valueForHTTPHeaderField("X-Faultline-Beta-Token"), "tok-1");
    EXPECT_EQ(request->valueForHTTPHeaderField("X-Faultline-API-Key"), "beta-key");
    EXPECT_EQ(request->valueForHTTPHeaderField("User-Agent"), "Faultline Mac SDK/3.9.3");
    EXPECT_EQ(request->timeoutInterval, 10);

    // The answer becomes the active update, and checks pause.
    controller.updateWithData(
        std::string(R"({"url":"https://example.invalid/b","version_string":"3"})"), std::nullopt);
    ASSERT_TRUE(controller.activeUpdate());
    EXPECT_EQ(controller.activeUpdate()->version, "3");
    EXPECT_FALSE(controller.shouldGetUpdates());
    controller.allowChecks();
    EXPECT_TRUE(controller.shouldGetUpdates());
    tel::TelemetryError error;
    EXPECT_FALSE(FLTBetaUpdate::betaUpdateWithDictionary(nlohmann::json::parse("{}"), &error));
    EXPECT_EQ(error.code, -1017);
}

} // namespace
