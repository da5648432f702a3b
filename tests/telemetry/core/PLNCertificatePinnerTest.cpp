#include "telemetry/core/PLNCertificatePinner.h"

#include "NetTestServer.h"
#include "common/TestEnvironment.h"

#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <string>
#include <utility>
#include <vector>

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

TEST(PLNCertificatePinner, BuiltInSetIsExactlyTheEightPublicRootsInOrder)
{
    // SHA-256 of each root's DER and its length. Dates play no part: the set stays the same
    // whether a root has expired or not.
    const std::vector<std::pair<std::string, size_t>> expected = {
        {"687fa451382278fff0c8b11f8d43d576671c6eb2bceab413fb83d965d06d2ff2", 1082}, // AddTrust
        {"73c176434f1bc6d5adf45b0e76e727287c8de57616c1e6e6141a2b2cbc7d8e4c", 1173}, // Entrust
        {"7431e5f4c3c1ce4690774f0b61e05440883ba9a01ed00ba6abd7806ed3b118cf", 969},  // DigiCert EV
        {"9acfab7e43c8d880d06b262a94deeee4b4659989c3d0caf19baf6405e41ab7df", 1239}, // Class 3 G5
        {"cbb5af185e942a2402f9eacbc0ed5bb876eea3c1223623d00447e4f3ba554b65", 1054}, // Class 1 G3
        {"92a9d9833fe1944db366e8bfae7a95b6480c2d6c6c2a1be65d4236b608fca1bb", 1053}, // Class 2 G3
        {"eb04cf5eb1f39afa762f2bb120f296cba520c1b97db1589565b81cb9a17b7244", 1054}, // Class 3 G3
        {"e389360d0fdbaeb3d250584b4730314e222f39c156a020144e8d960561791506", 1054}, // Class 4 G3
    };
    std::vector<std::pair<std::string, size_t>> actual;
    for (const auto &der : PLNCertificatePinner::pinnedCertificates()) {
        unsigned char digest[SHA256_DIGEST_LENGTH];
        SHA256(der.data(), der.size(), digest);
        static const char digits[] = "0123456789abcdef";
        std::string hex;
        for (unsigned char byte : digest) {
            hex += digits[byte >> 4];
            hex += digits[byte & 15];
        }
        actual.emplace_back(hex, der.size());
    }
    EXPECT_EQ(actual, expected);
}
