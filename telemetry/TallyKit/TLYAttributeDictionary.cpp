#include "TLYAttributeDictionary.h"

#include "TLYUTF16.h"
#include "telemetry/platform/SystemLog.h"

#include <cmath>

namespace {

std::string describe(const nlohmann::ordered_json &value)
{
    if (value.is_string())
        return value.get<std::string>();
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace

TLYAttributeDictionary::TLYAttributeDictionary(const nlohmann::ordered_json &dictionary)
{
    if (!dictionary.is_object())
        return;
    for (auto it = dictionary.begin(); it != dictionary.end(); ++it)
        addAttribute(it.value(), nlohmann::ordered_json(it.key()));
}

std::string TLYAttributeDictionary::truncatedString(const std::string &text)
{
    if (tly::utf16Length(text) <= kMaximumLength)
        return text;
    tel::SystemLog::log("[Tally] Maximum length for an Event attributes exceeded. Truncating to "
                        + std::to_string(kMaximumLength) + " characters.");
    return tly::truncatedToUTF16Units(text, kMaximumLength);
}

void TLYAttributeDictionary::addAttribute(const nlohmann::ordered_json &value,
                                          const nlohmann::ordered_json &key)
{
    if (value.is_null() || key.is_null())
        return;
    const std::string entry = describe(key) + ":" + describe(value);
    if (rawDictionary.size() >= kMaximumAttributeCount) {
        tel::SystemLog::log("[Tally] Maximum number of Event attributes exceeded. Ignoring entry "
                            + entry);
        return;
    }
    if (!key.is_string()) {
        tel::SystemLog::log("[Tally] Event attribute keys must be of type NSString. Ignoring entry "
                            + entry);
        return;
    }
    if (!value.is_string() && !value.is_number() && !value.is_boolean()) {
        tel::SystemLog::log("[Tally] Event attribute values must be of type NSString or "
                            "NSNumber. Ignoring entry "
                            + entry);
        return;
    }
    const std::string storedKey = truncatedString(key.get<std::string>());
    if (value.is_string()) {
        store(storedKey, truncatedString(value.get<std::string>()));
        return;
    }
    if (value.is_number_float() && std::isnan(value.get<double>())) {
        rawDictionary.erase(storedKey);
        return;
    }
    store(storedKey, value);
}

void TLYAttributeDictionary::addBooleanAttribute(std::optional<bool> flag, const std::string &key)
{
    if (!flag)
        return;
    addAttribute(*flag ? "true" : "false", key);
}

void TLYAttributeDictionary::addPriceAttribute(const std::optional<TLYDecimal> &price,
                                               const std::string &key)
{
    if (!price)
        return;
    static const TLYDecimal limit = TLYDecimal::maximumDecimalNumber().multipliedByPowerOf10(-6);
    if (!price->isNotANumber() && price->compare(limit) > 0) {
        tel::SystemLog::log("[Tally] Maximum value for a price attribute exceeded. Ignoring price "
                            "attribute with value: "
                            + price->stringValue());
        return;
    }
    const TLYDecimal micro = price->multipliedByPowerOf10(6);
    if (micro.isNotANumber()) {
        addAttribute(std::numeric_limits<double>::quiet_NaN(), key);
        return;
    }
    addAttribute(micro.jsonValue(), key);
}

void TLYAttributeDictionary::store(const std::string &key, nlohmann::ordered_json value)
{
    rawDictionary[key] = std::move(value);
}
