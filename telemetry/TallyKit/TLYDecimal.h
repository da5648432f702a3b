#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// An exact decimal number: sign, decimal digits and a power of ten, or not-a-number. Prices
// travel as decimals so that 9.99 becomes exactly 9990000 micro-units. The largest value is
// the one of the platform's decimal numbers, (2^128 - 1) x 10^127. Immutable value type.
class TLYDecimal
{
public:
    // Zero.
    TLYDecimal() = default;
    explicit TLYDecimal(std::int64_t value);
    // Parses "[-+]digits[.digits][e[-+]digits]" or "NaN"; nothing for anything else.
    static std::optional<TLYDecimal> fromString(std::string_view text);
    static TLYDecimal notANumber();
    static TLYDecimal maximumDecimalNumber();

    bool isNotANumber() const { return m_notANumber; }
    bool isNegative() const { return m_negative; }
    // The value times 10^power (exact).
    TLYDecimal multipliedByPowerOf10(int power) const;
    // -1, 0 or 1; not-a-number compares below every number.
    int compare(const TLYDecimal &other) const;
    bool operator==(const TLYDecimal &other) const { return compare(other) == 0; }

    double doubleValue() const;
    // The plain decimal text ("9990000", "-0.5", "NaN").
    std::string stringValue() const;
    // A JSON number: an integer when the value is whole and fits 64 bits, else a double.
    // Not-a-number gives null.
    nlohmann::ordered_json jsonValue() const;

private:
    void normalise();

    bool m_notANumber = false;
    bool m_negative = false;
    std::string m_digits = "0"; // no leading zeros, no trailing zeros unless the value is 0
    int m_exponent = 0;
};
