#include "TLYHearthAnalyticsBridge.h"

#include "TLYCustomEvent.h"
#include "TLYLogger.h"
#include "TLYPredefinedEvent.h"
#include "TLYUTF16.h"

#include <unicode/uchar.h>

#include <map>
#include <mutex>
#include <vector>

namespace {

constexpr const char *kOrigin = "fab";
constexpr const char *kPrefix = "plinth_";
constexpr std::size_t kMaximumNameLength = 40;

std::mutex &registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<TLYHearthAnalytics> &registeredLibrary()
{
    static std::shared_ptr<TLYHearthAnalytics> library;
    return library;
}

using KeyMapping = std::vector<std::pair<std::string, std::string>>;

const std::map<std::string, std::string> &eventNameMap()
{
    static const std::map<std::string, std::string> map = {
        {"content_view", "select_content"},
        {"share", "share"},
        {"sign_up", "sign_up"},
        {"login", "login"},
        {"search", "search"},
        {"purchase", "ecommerce_purchase"},
        {"add_to_cart", "add_to_cart"},
        {"start_checkout", "begin_checkout"},
        {"level_start", "level_start"},
        {"level_end", "level_end"},
        {"invite", "invite"},
        {"rating", "rate_content"},
    };
    return map;
}

const std::map<std::string, KeyMapping> &keyMappings()
{
    static const KeyMapping content = {
        {"content_type", "content_type"}, {"content_id", "item_id"}, {"content_name", "item_name"}};
    static const std::map<std::string, KeyMapping> map = [] {
        std::map<std::string, KeyMapping> m;
        m["select_content"] = content;
        KeyMapping share = content;
        share.emplace_back("method", "method");
        m["share"] = share;
        m["sign_up"] = {{"method", "method"}, {"success", "success"}};
        m["login"] = {{"method", "method"}, {"success", "success"}};
        m["search"] = {{"query", "search_term"}};
        m["ecommerce_purchase"] = {{"currency", "currency"}, {"item_price", "value"},
                                   {"success", "success"},   {"item_type", "item_category"},
                                   {"item_id", "item_id"},   {"item_name", "item_name"}};
        m["add_to_cart"] = {{"item_type", "item_category"},
                            {"item_id", "item_id"},
                            {"item_name", "item_name"},
                            {"item_price", "price"},
                            {"currency", "currency"}};
        m["begin_checkout"] = {
            {"currency", "currency"}, {"total_price", "value"}, {"item_count", "quantity"}};
        m["rate_content"] = {{"rating", "rating"},
                             {"content_type", "content_type"},
                             {"content_id", "item_id"},
                             {"content_name", "item_name"}};
        m["level_start"] = {{"level_name", "level_name"}};
        m["level_end"] = {{"level_name", "level_name"}, {"score", "score"}, {"success", "success"}};
        m["invite"] = {{"method", "method"}};
        return m;
    }();
    return map;
}

bool isAlnum(char32_t c)
{
    const auto cp = static_cast<UChar32>(c);
    return u_hasBinaryProperty(cp, UCHAR_ALPHABETIC) || u_charType(cp) == U_DECIMAL_DIGIT_NUMBER;
}

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string sanitizeWithFallback(const std::string &name, const char *fallback)
{
    if (name.empty())
        return std::string(kPrefix) + fallback;
    std::vector<char32_t> points = tly::codePoints(TLYHearthAnalyticsBridge::sanitizeKeyName(name));
    if (points.size() > kMaximumNameLength)
        points.resize(kMaximumNameLength);
    return tly::utf8FromCodePoints(points);
}

} // namespace

std::shared_ptr<TLYHearthAnalytics> TLYHearthAnalytics::registered()
{
    std::lock_guard lock(registryMutex());
    return registeredLibrary();
}

void TLYHearthAnalytics::registerLibrary(std::shared_ptr<TLYHearthAnalytics> library)
{
    std::lock_guard lock(registryMutex());
    registeredLibrary() = std::move(library);
}

TLYHearthAnalyticsBridge::TLYHearthAnalyticsBridge()
    : TLYHearthAnalyticsBridge(TLYHearthAnalytics::registered())
{
}

TLYHearthAnalyticsBridge::TLYHearthAnalyticsBridge(
    std::shared_ptr<TLYHearthAnalytics> hearthAnalytics)
    : m_hearthAnalytics(std::move(hearthAnalytics))
{
}

void TLYHearthAnalyticsBridge::logEvent(const TLYEvent &event) const
{
    if (!m_hearthAnalytics)
        return;
    if (const auto *custom = dynamic_cast<const TLYCustomEvent *>(&event))
        logCustomEvent(*custom);
    else if (const auto *predefined = dynamic_cast<const TLYPredefinedEvent *>(&event))
        logPredefinedEvent(*predefined);
}

void TLYHearthAnalyticsBridge::logCustomEvent(const TLYCustomEvent &event) const
{
    const std::string name = sanitizeEventName(event.customEventName());
    const nlohmann::ordered_json parameters =
        customParametersFromCustomAttributes(event.customAttributes());
    TLYLogger::sharedLogger().log("Logging custom event to Hearth. <" + name + "\n"
                                  + parameters.dump() + ">");
    m_hearthAnalytics->logInternalEventWithOrigin(kOrigin, name, parameters);
}

void TLYHearthAnalyticsBridge::logPredefinedEvent(const TLYPredefinedEvent &event) const
{
    const nlohmann::ordered_json &predefined =
        event.predefinedAttributes().dictionaryRepresentation();
    const std::string name =
        hearthEventNameForTallyEventName(event.predefinedEventName(), predefined);
    const nlohmann::ordered_json parameters = hearthEventParametersForPredefinedAttributes(
        predefined, event.customAttributes().dictionaryRepresentation(), name);
    TLYLogger::sharedLogger().log("Logging predefined event to Hearth. <" + name + "\n"
                                  + parameters.dump() + ">");
    m_hearthAnalytics->logInternalEventWithOrigin(kOrigin, name, parameters);
    if (name == "level_end")
        m_hearthAnalytics->logInternalEventWithOrigin(kOrigin, "post_score", parameters);
}

std::string
TLYHearthAnalyticsBridge::hearthEventNameForTallyEventName(const std::string &name,
                                                           const nlohmann::ordered_json &predefined)
{
    const auto it = eventNameMap().find(name);
    // An unknown predefined name is sent sanitised rather than as nothing.
    const std::string mapped = it == eventNameMap().end() ? sanitizeEventName(name) : it->second;
    return shouldUseFailedEventName(mapped, predefined) ? failedEventName(mapped) : mapped;
}

bool TLYHearthAnalyticsBridge::shouldUseFailedEventName(const std::string &hearthName,
                                                        const nlohmann::ordered_json &predefined)
{
    if (!isFailableEvent(hearthName) || !predefined.is_object())
        return false;
    const auto it = predefined.find("success");
    if (it == predefined.end())
        return false;
    if (it->is_string())
        return it->get<std::string>() == "false";
    if (it->is_boolean())
        return !it->get<bool>();
    if (it->is_number())
        return it->get<double>() == 0;
    return false;
}

std::string TLYHearthAnalyticsBridge::failedEventName(const std::string &hearthName)
{
    return "failed_" + hearthName;
}

bool TLYHearthAnalyticsBridge::isFailableEvent(const std::string &hearthName)
{
    return hearthName == "login" || hearthName == "ecommerce_purchase" || hearthName == "sign_up";
}

nlohmann::ordered_json TLYHearthAnalyticsBridge::predefinedParametersFromPredefinedAttributes(
    const nlohmann::ordered_json &predefined, const std::string &hearthName)
{
    nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
    const auto mapping = keyMappings().find(hearthName);
    if (mapping == keyMappings().end() || !predefined.is_object())
        return parameters;
    for (const auto &[tallyKey, hearthKey] : mapping->second) {
        const auto it = predefined.find(tallyKey);
        if (it == predefined.end())
            continue;
        if ((tallyKey == "item_price" || tallyKey == "total_price") && it->is_number())
            parameters[hearthKey] = it->get<double>() * 1e-6;
        else if (tallyKey == "success")
            parameters[hearthKey] = (it->is_string() && it->get<std::string>() == "true") ? 1 : 0;
        else
            parameters[hearthKey] = *it;
    }
    // Hearth's own rules for some events.
    if (hearthName == "add_to_cart") {
        parameters["quantity"] = 1;
        if (parameters.contains("price"))
            parameters["value"] = parameters["price"];
    }
    if (isFailableEvent(hearthName))
        parameters.erase("success");
    return parameters;
}

nlohmann::ordered_json
TLYHearthAnalyticsBridge::customParametersFromCustomAttributes(const nlohmann::ordered_json &custom)
{
    nlohmann::ordered_json parameters = nlohmann::ordered_json::object();
    if (!custom.is_object())
        return parameters;
    for (auto it = custom.begin(); it != custom.end(); ++it)
        parameters[sanitizeAttributeName(it.key())] = it.value();
    return parameters;
}

nlohmann::ordered_json TLYHearthAnalyticsBridge::combinedParametersFromPredefinedParameters(
    const nlohmann::ordered_json &predefined, const nlohmann::ordered_json &custom)
{
    nlohmann::ordered_json combined = predefined;
    for (auto it = custom.begin(); it != custom.end(); ++it)
        if (!combined.contains(it.key()))
            combined[it.key()] = it.value();
    return combined;
}

nlohmann::ordered_json TLYHearthAnalyticsBridge::hearthEventParametersForPredefinedAttributes(
    const nlohmann::ordered_json &predefined, const nlohmann::ordered_json &custom,
    const std::string &hearthName)
{
    return combinedParametersFromPredefinedParameters(
        predefinedParametersFromPredefinedAttributes(predefined, hearthName),
        customParametersFromCustomAttributes(custom));
}

const std::set<std::string> &TLYHearthAnalyticsBridge::hearthReservedKeys()
{
    static const std::set<std::string> keys = {
        "app_clear_data",
        "app_exception",
        "app_remove",
        "app_upgrade",
        "app_install",
        "app_update",
        "hearth_campaign",
        "error",
        "first_open",
        "first_visit",
        "in_app_purchase",
        "notification_dismiss",
        "notification_foreground",
        "notification_open",
        "notification_receive",
        "os_update",
        "session_start",
        "user_engagement",
        "ad_exposure",
        "adunit_exposure",
        "ad_query",
        "ad_activeview",
        "ad_impression",
        "ad_click",
        "screen_view",
        "hearth_extra_parameter",
    };
    return keys;
}

std::string TLYHearthAnalyticsBridge::sanitizeKeyName(const std::string &name)
{
    if (name.empty())
        return name;
    std::vector<char32_t> out;
    bool inRun = false;
    for (const char32_t c : tly::codePoints(name)) {
        if (isAlnum(c) || c == U'_') {
            out.push_back(c);
            inRun = false;
        } else if (!inRun) {
            out.push_back(U'_');
            inRun = true;
        }
    }
    std::string result = tly::utf8FromCodePoints(out);
    // Letters, but not the combining marks that need a base character before them.
    if (out.empty() || !u_isalpha(static_cast<UChar32>(out.front())))
        result = kPrefix + result;
    if (startsWith(result, "hearth_") || startsWith(result, "beacon_") || startsWith(result, "ga_"))
        result = kPrefix + result;
    if (hearthReservedKeys().count(result))
        result = kPrefix + result;
    return result;
}

std::string TLYHearthAnalyticsBridge::sanitizeEventName(const std::string &name)
{
    return sanitizeWithFallback(name, "unnamed_event");
}

std::string TLYHearthAnalyticsBridge::sanitizeAttributeName(const std::string &name)
{
    return sanitizeWithFallback(name, "unnamed_parameter");
}
