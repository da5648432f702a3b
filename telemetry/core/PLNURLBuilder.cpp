#include "telemetry/core/PLNURLBuilder.h"

#include <cstring>

std::string PLNURLBuilder::escapeString(const std::string &text)
{
    static const char *const kKept = "-._~:/?#[]@!$&'()*+,;=";
    static const char *const kHex = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alphanumeric = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z')
                                  || (byte >= '0' && byte <= '9');
        if (alphanumeric || (byte != 0 && std::strchr(kKept, byte))) {
            result += c;
            continue;
        }
        result += '%';
        result += kHex[byte >> 4];
        result += kHex[byte & 15];
    }
    return result;
}

void PLNURLBuilder::appendValue(const std::optional<std::string> &value,
                                const std::string &queryParam)
{
    if (!value)
        return;
    m_URLString += m_queryParams == 0 ? "?" : "&";
    m_URLString += queryParam;
    m_URLString += "=";
    m_URLString += escapeString(*value);
    ++m_queryParams;
}
