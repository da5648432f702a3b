#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tel {

// SHA-1 and SHA-256 (FIPS 180-4) of a block of bytes, for identifiers and keys derived at every
// launch: small enough that no cryptography library needs to be mapped for them.
std::array<std::uint8_t, 20> sha1(const void *data, std::size_t length);
std::array<std::uint8_t, 32> sha256(const void *data, std::size_t length);

} // namespace tel
