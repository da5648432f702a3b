#pragma once

#include <string>

namespace qnt::test {

// The bytes as lower-case hexadecimal digits, two per byte.
std::string hexOf(const std::string &bytes);

} // namespace qnt::test
