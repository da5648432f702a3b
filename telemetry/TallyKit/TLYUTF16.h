#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// UTF-16 views of UTF-8 text: the analytics limits count characters the way the service does,
// in UTF-16 code units. A byte that is not valid UTF-8 counts as one unit (U+FFFD).
// Pure functions; thread-safe.
namespace tly {

// The text's code points; invalid bytes give U+FFFD each.
std::vector<char32_t> codePoints(std::string_view utf8);
std::string utf8FromCodePoints(const std::vector<char32_t> &codePoints);
std::vector<std::uint16_t> utf16Units(std::string_view utf8);
std::size_t utf16Length(std::string_view utf8);
// The longest prefix of at most `maxUnits` UTF-16 units that ends on a code-point boundary, so a
// surrogate pair is never split.
std::string truncatedToUTF16Units(std::string_view utf8, std::size_t maxUnits);

} // namespace tly
