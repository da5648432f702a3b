#include "telemetry/platform/Digest.h"
#include "telemetry/platform/SharedLibrary.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <cstdio>
#include <string>

namespace {

template <std::size_t N> std::string hex(const std::array<std::uint8_t, N> &digest)
{
    std::string text;
    char byte[3];
    for (std::uint8_t value : digest) {
        std::snprintf(byte, sizeof byte, "%02x", value);
        text += byte;
    }
    return text;
}

std::string openSSLHex(const EVP_MD *md, const std::string &data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest, &length, md, nullptr);
    std::string text;
    char byte[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", digest[i]);
        text += byte;
    }
    return text;
}

} // namespace

TEST(Digest, KnownVectors)
{
    struct Case {
        std::string data;
        const char *sha1;
        const char *sha256;
    };
    const Case cases[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
         "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(hex(tel::sha1(c.data.data(), c.data.size())), c.sha1) << c.data.size();
        EXPECT_EQ(hex(tel::sha256(c.data.data(), c.data.size())), c.sha256) << c.data.size();
    }
}

// Every length around the block and padding boundaries agrees with OpenSSL.
TEST(Digest, AgreesWithOpenSSLAtEveryLengthUpToThreeBlocks)
{
    std::string data;
    for (int length = 0; length <= 200; ++length) {
        EXPECT_EQ(hex(tel::sha1(data.data(), data.size())), openSSLHex(EVP_sha1(), data)) << length;
        EXPECT_EQ(hex(tel::sha256(data.data(), data.size())), openSSLHex(EVP_sha256(), data))
            << length;
        data.push_back(char(length * 37 + 11));
    }
}

TEST(SharedLibrary, AMissingLibraryOrSymbolSaysWhich)
{
    tel::SharedLibrary missing("libqnt-no-such-library.so.9");
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_NE(missing.error().find("libqnt-no-such-library.so.9"), std::string::npos);

    tel::SharedLibrary libc("libc.so.6");
    int (*abs)(int) = nullptr;
    libc.resolve(abs, "abs");
    ASSERT_TRUE(libc.isLoaded()) << libc.error();
    EXPECT_EQ(abs(-3), 3);
    void (*nothing)() = nullptr;
    libc.resolve(nothing, "qnt_no_such_function");
    EXPECT_FALSE(nothing);
    EXPECT_FALSE(libc.isLoaded());
    EXPECT_NE(libc.error().find("qnt_no_such_function"), std::string::npos);
}
