#include "TLYUTF16.h"

namespace tly {

namespace {

// Decodes one code point at `i`, advancing it; invalid sequences give U+FFFD and one byte.
char32_t decode(std::string_view s, std::size_t &i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    int length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + static_cast<std::size_t>(length) > s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < length; ++k) {
        const unsigned char c = byte(i + static_cast<std::size_t>(k));
        if ((c & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += static_cast<std::size_t>(length);
    return cp;
}

void encode(char32_t cp, std::string &out)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::vector<char32_t> codePoints(std::string_view utf8)
{
    std::vector<char32_t> result;
    result.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();)
        result.push_back(decode(utf8, i));
    return result;
}

std::string utf8FromCodePoints(const std::vector<char32_t> &codePoints)
{
    std::string out;
    out.reserve(codePoints.size());
    for (const char32_t cp : codePoints)
        encode(cp, out);
    return out;
}

std::vector<std::uint16_t> utf16Units(std::string_view utf8)
{
    std::vector<std::uint16_t> units;
    units.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = decode(utf8, i);
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            units.push_back(static_cast<std::uint16_t>(0xD800 + (v >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + (v & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(cp));
        }
    }
    return units;
}

std::size_t utf16Length(std::string_view utf8)
{
    std::size_t length = 0;
    for (std::size_t i = 0; i < utf8.size();)
        length += decode(utf8, i) >= 0x10000 ? 2 : 1;
    return length;
}

std::string truncatedToUTF16Units(std::string_view utf8, std::size_t maxUnits)
{
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t next = i;
        const std::size_t width = decode(utf8, next) >= 0x10000 ? 2 : 1;
        if (units + width > maxUnits)
            break;
        units += width;
        i = next;
    }
    return std::string(utf8.substr(0, i));
}

} // namespace tly
