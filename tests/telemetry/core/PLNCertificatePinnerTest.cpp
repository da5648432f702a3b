#include "telemetry/core/PLNCertificatePinner.h"

#include "NetTestServer.h"
#include "common/TestEnvironment.h"

#include <gtest/gtest.h>

using namespace qnt::test;

TEST(PLNCertificatePinner, EvaluatesChainsAgainstThePinnedAnchorsOnly)
{
    const auto trusted = makeTestCertificates(isolatedHome() + "/certs", "trusted");
    const auto other = makeTestCertificates(isolatedHome() + "/certs", "other");
    const PLNCertificate leaf = certificateDER(trusted.certificateFile);

    PLNTrustResult result = PLNTrustResult::Proceed;
    EXPECT_EQ(PLNCertificatePinner({trusted.caDER}).evaluateTrust({leaf}, result), 0);
    EXPECT_EQ(result, PLNTrustResult::Unspecified);
    EXPECT_EQ(PLNCertificatePinner({other.caDER}).evaluateTrust({leaf}, result), 0);
    EXPECT_EQ(result, PLNTrustResult::FatalTrustFailure);
    EXPECT_EQ(PLNCertificatePinner({}).evaluateTrust({leaf}, result), 0);
    EXPECT_EQ(result, PLNTrustResult::Invalid);
    // The system's authorities play no part.
    EXPECT_EQ(PLNCertificatePinner(PLNCertificatePinner::pinnedCertificates())
                  .evaluateTrust({leaf}, result),
              0);
    EXPECT_EQ(result, PLNTrustResult::FatalTrustFailure);
}

TEST(PLNCertificatePinner, NoContextOrNoCertificatesCancelsTheChallenge)
{
    FLTURLAuthenticationChallenge challenge;
    EXPECT_FALSE(PLNCertificatePinner(PLNCertificatePinner::pinnedCertificates())
                     .handleChallenge(challenge));
}

TEST(PLNCertificatePinner, BuiltInSetParsesAndTestsCanReplaceIt)
{
    const auto builtIn = PLNCertificatePinner::pinnedCertificates();
    ASSERT_FALSE(builtIn.empty());
    for (const auto &der : builtIn)
        EXPECT_TRUE(PLNCertificatePinner::createCertificationWithData(der.data(), der.size()));
    const unsigned char junk[] = {0x30, 0x03, 0x01, 0x01, 0x00};
    EXPECT_FALSE(PLNCertificatePinner::createCertificationWithData(junk, sizeof junk));
    EXPECT_FALSE(PLNCertificatePinner::createCertificationWithData(nullptr, 0));

    PLNCertificatePinner::setPinnedCertificatesForTesting(std::vector<PLNCertificate>{{1, 2}});
    EXPECT_EQ(PLNCertificatePinner::pinnedCertificates().size(), 1u);
    PLNCertificatePinner::setPinnedCertificatesForTesting(std::nullopt);
    EXPECT_EQ(PLNCertificatePinner::pinnedCertificates(), builtIn);
}
