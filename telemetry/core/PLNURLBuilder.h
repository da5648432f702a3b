#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>

// Builds request URLs by plain appending: no separators are added between components.
class PLNURLBuilder
{
public:
    static PLNURLBuilder URLWithBase(const std::string &base) { return PLNURLBuilder(base); }
    explicit PLNURLBuilder(std::string base)
        : m_URLString(std::move(base))
    {
    }

    void appendComponent(const std::string &component) { m_URLString += component; }
    void escapeAndAppendComponent(const std::string &component)
    {
        m_URLString += escapeString(component);
    }
    // Percent-escapes, as UTF-8, every byte that may not stand in a URL; reserved characters
    // such as "/", "?", "&" and "=" are kept.
    static std::string escapeString(const std::string &text);

    // "?" before the first parameter, "&" before later ones; the value escaped. A missing
    // value appends nothing.
    void appendValue(const std::optional<std::string> &value, const std::string &queryParam);
    void appendValue(const char *value, const std::string &queryParam)
    {
        appendValue(value ? std::optional<std::string>(value) : std::nullopt, queryParam);
    }
    template <typename Number, typename = std::enable_if_t<std::is_arithmetic_v<Number>>>
    void appendValue(Number value, const std::string &queryParam)
    {
        appendValue(std::optional<std::string>(std::to_string(value)), queryParam);
    }

    const std::string &URLString() const { return m_URLString; }
    std::uint64_t queryParams() const { return m_queryParams; }
    std::string URL() const { return m_URLString; }

private:
    std::string m_URLString;
    std::uint64_t m_queryParams = 0;
};
