#pragma once

#include "TLYAttributeDictionary.h"
#include "TLYEvent.h"

#include <optional>

// Optional text argument of the event factories (nothing = the attribute is left out).
using TLYText = std::optional<std::string>;
// A number or a text (score, item count, rating); null leaves the attribute out.
using TLYValue = nlohmann::ordered_json;

// One of the service's predefined events (sign-up, purchase, level end, ...), with its own
// attributes in a fixed order and the caller's custom attributes, both checked on creation.
class TLYPredefinedEvent : public TLYEvent
{
public:
    TLYPredefinedEvent(std::string predefinedEventName,
                       const nlohmann::ordered_json &customAttributes);

    std::string name() const override { return "predefined"; }
    const std::string &predefinedEventName() const { return m_predefinedEventName; }
    const TLYAttributeDictionary &predefinedAttributes() const { return m_predefinedAttributes; }
    const TLYAttributeDictionary &customAttributes() const { return m_customAttributes; }
    TLYAttributeDictionary &predefinedAttributes() { return m_predefinedAttributes; }
    nlohmann::ordered_json dictionaryRepresentation() const override;
    std::string description() const override;

    using Pointer = std::shared_ptr<TLYPredefinedEvent>;
    using Attributes = nlohmann::ordered_json;

    static Pointer signUpEventWithMethod(TLYText method, std::optional<bool> success,
                                         const Attributes &customAttributes);
    static Pointer loginEventWithMethod(TLYText method, std::optional<bool> success,
                                        const Attributes &customAttributes);
    static Pointer shareEventWithMethod(TLYText method, TLYText contentName, TLYText contentType,
                                        TLYText contentId, const Attributes &customAttributes);
    static Pointer inviteEventWithMethod(TLYText method, const Attributes &customAttributes);
    static Pointer purchaseEventWithPrice(std::optional<TLYDecimal> price, TLYText currency,
                                          std::optional<bool> success, TLYText itemName,
                                          TLYText itemType, TLYText itemId,
                                          const Attributes &customAttributes);
    static Pointer levelStartEventWithLevelName(TLYText levelName,
                                                const Attributes &customAttributes);
    static Pointer levelEndEventWithLevelName(TLYText levelName, const TLYValue &score,
                                              std::optional<bool> success,
                                              const Attributes &customAttributes);
    static Pointer addToCartEventWithPrice(std::optional<TLYDecimal> price, TLYText currency,
                                           TLYText itemName, TLYText itemType, TLYText itemId,
                                           const Attributes &customAttributes);
    static Pointer startCheckoutEventWithPrice(std::optional<TLYDecimal> price, TLYText currency,
                                               const TLYValue &itemCount,
                                               const Attributes &customAttributes);
    static Pointer ratingEventWithRating(const TLYValue &rating, TLYText contentName,
                                         TLYText contentType, TLYText contentId,
                                         const Attributes &customAttributes);
    static Pointer contentViewEventWithName(TLYText contentName, TLYText contentType,
                                            TLYText contentId, const Attributes &customAttributes);
    static Pointer searchEventWithQuery(TLYText query, const Attributes &customAttributes);

private:
    void add(const TLYText &value, const std::string &key);
    void add(const TLYValue &value, const std::string &key);

    std::string m_predefinedEventName;
    TLYAttributeDictionary m_predefinedAttributes;
    TLYAttributeDictionary m_customAttributes;
};
