#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tel {

// A property-list value: the typed tree that Info.plist-style configuration files and the
// client's own defaults store hold. Read and written as XML (or read from binary) property
// lists through libplist.
class PlistValue
{
public:
    using Array = std::vector<PlistValue>;
    using Dictionary = std::map<std::string, PlistValue>;
    using Data = std::vector<std::uint8_t>;
    // Seconds since 1970.
    struct Date {
        double secondsSince1970 = 0;
        bool operator==(const Date &) const = default;
    };
    enum class Type { Null, Boolean, Integer, Real, String, Data, Date, Array, Dictionary };

    PlistValue() = default;
    PlistValue(bool value)
        : m_value(value)
    {
    }
    PlistValue(int value)
        : m_value(std::int64_t(value))
    {
    }
    PlistValue(std::int64_t value)
        : m_value(value)
    {
    }
    PlistValue(double value)
        : m_value(value)
    {
    }
    PlistValue(const char *value)
        : m_value(std::string(value ? value : ""))
    {
    }
    PlistValue(std::string value)
        : m_value(std::move(value))
    {
    }
    PlistValue(Data value)
        : m_value(std::move(value))
    {
    }
    PlistValue(Date value)
        : m_value(value)
    {
    }
    PlistValue(Array value)
        : m_value(std::move(value))
    {
    }
    PlistValue(Dictionary value)
        : m_value(std::move(value))
    {
    }

    Type type() const { return static_cast<Type>(m_value.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isBoolean() const { return type() == Type::Boolean; }
    // A number: boolean, integer or real (as a number object of the platform would be).
    bool isNumber() const;
    bool isString() const { return type() == Type::String; }
    bool isData() const { return type() == Type::Data; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }

    // Boolean value of a number (non-zero) or of a string ("YES"/"true"/non-zero number text);
    // false for anything else.
    bool toBool() const;
    std::int64_t toInteger() const;
    double toReal() const;
    // The string, or empty when this is no string.
    std::string toString() const;
    // Text as a description would show it: strings as they are, numbers in decimal,
    // booleans as 1/0.
    std::string description() const;

    const std::string *string() const { return std::get_if<std::string>(&m_value); }
    const Data *data() const { return std::get_if<Data>(&m_value); }
    const Array *array() const { return std::get_if<Array>(&m_value); }
    Array *array() { return std::get_if<Array>(&m_value); }
    const Dictionary *dictionary() const { return std::get_if<Dictionary>(&m_value); }
    Dictionary *dictionary() { return std::get_if<Dictionary>(&m_value); }
    // Member of a dictionary, or null when this is no dictionary or has no such key.
    const PlistValue *find(const std::string &key) const;

    bool operator==(const PlistValue &other) const = default;

    // Parses XML or binary property-list bytes; nothing on malformed input and on a string or
    // key holding a NUL character.
    static std::optional<PlistValue> fromBytes(const std::string &bytes);
    static std::optional<PlistValue> readFile(const std::string &path);
    std::string toXml() const;
    // Writes the XML form to a temporary file beside `path`, flushes it and renames it over
    // `path`, so a reader sees the old file or the new one, never half of one.
    bool writeFileAtomically(const std::string &path) const;

private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, Data, Date, Array,
                 Dictionary>
        m_value;
};

} // namespace tel
