#include "TLYDecimal.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

TLYDecimal::TLYDecimal(std::int64_t value)
{
    m_negative = value < 0;
    const std::uint64_t magnitude =
        m_negative ? std::uint64_t(0) - static_cast<std::uint64_t>(value) : std::uint64_t(value);
    m_digits = std::to_string(magnitude);
    normalise();
}

std::optional<TLYDecimal> TLYDecimal::fromString(std::string_view text)
{
    if (text == "NaN")
        return notANumber();
    TLYDecimal result;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        result.m_negative = text[i++] == '-';
    std::string digits;
    int fraction = 0;
    bool sawDigit = false;
    bool sawPoint = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits += c;
            sawDigit = true;
            if (sawPoint)
                ++fraction;
        } else if (c == '.' && !sawPoint) {
            sawPoint = true;
        } else {
            break;
        }
    }
    if (!sawDigit)
        return std::nullopt;
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            negativeExponent = text[i++] == '-';
        if (i == text.size())
            return std::nullopt;
        for (; i < text.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(text[i])))
                return std::nullopt;
            exponent = std::min(exponent * 10 + (text[i] - '0'), 100000L);
        }
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != text.size())
        return std::nullopt;
    result.m_digits = digits;
    result.m_exponent = static_cast<int>(exponent) - fraction;
    result.normalise();
    return result;
}

TLYDecimal TLYDecimal::notANumber()
{
    TLYDecimal result;
    result.m_notANumber = true;
    return result;
}

TLYDecimal TLYDecimal::maximumDecimalNumber()
{
    TLYDecimal result;
    result.m_digits = "340282366920938463463374607431768211455";
    result.m_exponent = 127;
    return result;
}

void TLYDecimal::normalise()
{
    const std::size_t first = m_digits.find_first_not_of('0');
    if (first == std::string::npos) {
        m_digits.assign(1, '0');
        m_exponent = 0;
        m_negative = false;
        return;
    }
    m_digits.erase(0, first);
    while (m_digits.size() > 1 && m_digits.back() == '0') {
        m_digits.pop_back();
        ++m_exponent;
    }
}

TLYDecimal TLYDecimal::multipliedByPowerOf10(int power) const
{
    TLYDecimal result = *this;
    if (!m_notANumber && m_digits != "0")
        result.m_exponent += power;
    return result;
}

int TLYDecimal::compare(const TLYDecimal &other) const
{
    if (m_notANumber || other.m_notANumber)
        return m_notANumber == other.m_notANumber ? 0 : (m_notANumber ? -1 : 1);
    const bool zero = m_digits == "0";
    const bool otherZero = other.m_digits == "0";
    if (zero && otherZero)
        return 0;
    const int sign = zero ? 0 : (m_negative ? -1 : 1);
    const int otherSign = otherZero ? 0 : (other.m_negative ? -1 : 1);
    if (sign != otherSign)
        return sign < otherSign ? -1 : 1;
    // Same sign, both non-zero: compare magnitudes.
    const long magnitude = static_cast<long>(m_digits.size()) + m_exponent;
    const long otherMagnitude = static_cast<long>(other.m_digits.size()) + other.m_exponent;
    int result = 0;
    if (magnitude != otherMagnitude) {
        result = magnitude < otherMagnitude ? -1 : 1;
    } else {
        const std::size_t length = std::max(m_digits.size(), other.m_digits.size());
        std::string a = m_digits, b = other.m_digits;
        a.resize(length, '0');
        b.resize(length, '0');
        result = a < b ? -1 : (a > b ? 1 : 0);
    }
    return sign < 0 ? -result : result;
}

double TLYDecimal::doubleValue() const
{
    if (m_notANumber)
        return std::numeric_limits<double>::quiet_NaN();
    const std::string text = (m_negative ? "-" : "") + m_digits + "e" + std::to_string(m_exponent);
    return std::strtod(text.c_str(), nullptr);
}

std::string TLYDecimal::stringValue() const
{
    if (m_notANumber)
        return "NaN";
    std::string text;
    if (m_exponent >= 0) {
        text = m_digits == "0" ? m_digits : m_digits + std::string(m_exponent, '0');
    } else {
        const std::size_t fraction = static_cast<std::size_t>(-m_exponent);
        std::string digits = m_digits;
        if (digits.size() <= fraction)
            digits.insert(0, fraction - digits.size() + 1, '0');
        text = digits.substr(0, digits.size() - fraction) + "."
               + digits.substr(digits.size() - fraction);
    }
    return (m_negative ? "-" : "") + text;
}

nlohmann::ordered_json TLYDecimal::jsonValue() const
{
    if (m_notANumber)
        return nullptr;
    if (m_exponent >= 0 && m_digits.size() + static_cast<std::size_t>(m_exponent) <= 18) {
        const std::int64_t magnitude = std::stoll(m_digits + std::string(m_exponent, '0'));
        return m_negative ? -magnitude : magnitude;
    }
    return doubleValue();
}
