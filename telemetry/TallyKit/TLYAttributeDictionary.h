#pragma once

#include "TLYDecimal.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

// Attributes of one usage event, checked and normalised as they are added: at most 21 entries,
// string keys and string values cut to 100 UTF-16 units, number values kept (a not-a-number
// value removes its key), booleans as "true"/"false", prices in micro-units. Rejected entries
// are dropped one by one with a line in the system log. Not thread-safe (built by one thread).
class TLYAttributeDictionary
{
public:
    static constexpr std::size_t kMaximumAttributeCount = 21;
    static constexpr std::size_t kMaximumLength = 100;

    TLYAttributeDictionary() = default;
    // Adds every entry of the object in its order; anything but an object adds nothing.
    explicit TLYAttributeDictionary(const nlohmann::ordered_json &dictionary);

    // A null value or key is ignored; the key must be a string and the value a string or a
    // number (booleans count as numbers).
    void addAttribute(const nlohmann::ordered_json &value, const nlohmann::ordered_json &key);
    void addBooleanAttribute(std::optional<bool> flag, const std::string &key);
    void addPriceAttribute(const std::optional<TLYDecimal> &price, const std::string &key);

    // The stored entries (the live dictionary, not a copy).
    const nlohmann::ordered_json &dictionaryRepresentation() const { return rawDictionary; }
    std::string description() const { return rawDictionary.dump(); }

    // Keys and string values as stored: longer text is cut to its first 100 UTF-16 units (never
    // inside a surrogate pair), with a line in the system log.
    static std::string truncatedString(const std::string &text);

private:
    void store(const std::string &key, nlohmann::ordered_json value);

    nlohmann::ordered_json rawDictionary = nlohmann::ordered_json::object();
};
