#include "telemetry/platform/Digest.h"

#include <cstring>

namespace tel {

namespace {

std::uint32_t rotateLeft(std::uint32_t value, int bits)
{
    return (value << bits) | (value >> (32 - bits));
}

std::uint32_t rotateRight(std::uint32_t value, int bits)
{
    return (value >> bits) | (value << (32 - bits));
}

std::uint32_t bigEndianWord(const std::uint8_t *bytes)
{
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16)
           | (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]);
}

// Feeds the message, padded with 0x80, zeros and its length in bits, block by block to the
// compression function of the two digests (they pad alike).
template <typename Compress>
void forEachBlock(const void *data, std::size_t length, Compress compress)
{
    const auto *bytes = static_cast<const std::uint8_t *>(data);
    std::size_t offset = 0;
    for (; length - offset >= 64; offset += 64)
        compress(bytes + offset);
    std::uint8_t tail[128] = {};
    const std::size_t rest = length - offset;
    if (rest)
        std::memcpy(tail, bytes + offset, rest);
    tail[rest] = 0x80;
    const std::size_t tailLength = rest < 56 ? 64 : 128;
    const std::uint64_t bits = std::uint64_t(length) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailLength - 1 - i] = std::uint8_t(bits >> (8 * i));
    compress(tail);
    if (tailLength == 128)
        compress(tail + 64);
}

template <std::size_t N>
std::array<std::uint8_t, N * 4> bigEndianBytes(const std::uint32_t (&state)[N])
{
    std::array<std::uint8_t, N * 4> digest{};
    for (std::size_t i = 0; i < N; ++i) {
        digest[4 * i] = std::uint8_t(state[i] >> 24);
        digest[4 * i + 1] = std::uint8_t(state[i] >> 16);
        digest[4 * i + 2] = std::uint8_t(state[i] >> 8);
        digest[4 * i + 3] = std::uint8_t(state[i]);
    }
    return digest;
}

} // namespace

std::array<std::uint8_t, 20> sha1(const void *data, std::size_t length)
{
    std::uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    forEachBlock(data, length, [&h](const std::uint8_t *block) {
        std::uint32_t w[80];
        for (int t = 0; t < 16; ++t)
            w[t] = bigEndianWord(block + 4 * t);
        for (int t = 16; t < 80; ++t)
            w[t] = rotateLeft(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int t = 0; t < 80; ++t) {
            std::uint32_t f = 0;
            std::uint32_t k = 0;
            if (t < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999;
            } else if (t < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1;
            } else if (t < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6;
            }
            const std::uint32_t next = rotateLeft(a, 5) + f + e + k + w[t];
            e = d;
            d = c;
            c = rotateLeft(b, 30);
            b = a;
            a = next;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    });
    return bigEndianBytes(h);
}

std::array<std::uint8_t, 32> sha256(const void *data, std::size_t length)
{
    static constexpr std::uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
        0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
        0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
        0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
        0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
        0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
        0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
        0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
        0xc67178f2};
    std::uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    forEachBlock(data, length, [&h](const std::uint8_t *block) {
        std::uint32_t w[64];
        for (int t = 0; t < 16; ++t)
            w[t] = bigEndianWord(block + 4 * t);
        for (int t = 16; t < 64; ++t) {
            const std::uint32_t s0 =
                rotateRight(w[t - 15], 7) ^ rotateRight(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const std::uint32_t s1 =
                rotateRight(w[t - 2], 17) ^ rotateRight(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6],
                      hh = h[7];
        for (int t = 0; t < 64; ++t) {
            const std::uint32_t s1 = rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25);
            const std::uint32_t choice = (e & f) ^ (~e & g);
            const std::uint32_t first = hh + s1 + choice + k[t] + w[t];
            const std::uint32_t s0 = rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22);
            const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
            const std::uint32_t second = s0 + majority;
            hh = g;
            g = f;
            f = e;
            e = d + first;
            d = c;
            c = b;
            b = a;
            a = first + second;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
        h[5] += f;
        h[6] += g;
        h[7] += hh;
    });
    return bigEndianBytes(h);
}

} // namespace tel
