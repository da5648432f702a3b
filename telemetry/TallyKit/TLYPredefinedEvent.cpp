#include "TLYPredefinedEvent.h"

TLYPredefinedEvent::TLYPredefinedEvent(std::string predefinedEventName,
                                       const nlohmann::ordered_json &customAttributes)
    : m_predefinedEventName(std::move(predefinedEventName))
    , m_customAttributes(customAttributes)
{
}

nlohmann::ordered_json TLYPredefinedEvent::dictionaryRepresentation() const
{
    return {{TLYEventIdKey, identifier()},
            {"predefined_type", m_predefinedEventName},
            {TLYCustomAttributesKey, m_customAttributes.dictionaryRepresentation()},
            {"predefined_attributes", m_predefinedAttributes.dictionaryRepresentation()}};
}

std::string TLYPredefinedEvent::description() const
{
    return "<TLYPredefinedEvent: " + m_predefinedEventName + "\n"
           + m_predefinedAttributes.description() + "\n" + m_customAttributes.description() + ">";
}

void TLYPredefinedEvent::add(const TLYText &value, const std::string &key)
{
    if (value)
        m_predefinedAttributes.addAttribute(*value, key);
}

void TLYPredefinedEvent::add(const TLYValue &value, const std::string &key)
{
    m_predefinedAttributes.addAttribute(value, key);
}

using Pointer = TLYPredefinedEvent::Pointer;
using Attributes = TLYPredefinedEvent::Attributes;

Pointer TLYPredefinedEvent::signUpEventWithMethod(TLYText method, std::optional<bool> success,
                                                  const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("sign_up", customAttributes);
    event->add(method, "method");
    event->m_predefinedAttributes.addBooleanAttribute(success, "success");
    return event;
}

Pointer TLYPredefinedEvent::loginEventWithMethod(TLYText method, std::optional<bool> success,
                                                 const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("login", customAttributes);
    event->add(method, "method");
    event->m_predefinedAttributes.addBooleanAttribute(success, "success");
    return event;
}

Pointer TLYPredefinedEvent::shareEventWithMethod(TLYText method, TLYText contentName,
                                                 TLYText contentType, TLYText contentId,
                                                 const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("share", customAttributes);
    event->add(method, "method");
    event->add(contentName, "content_name");
    event->add(contentType, "content_type");
    event->add(contentId, "content_id");
    return event;
}

Pointer TLYPredefinedEvent::inviteEventWithMethod(TLYText method,
                                                  const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("invite", customAttributes);
    event->add(method, "method");
    return event;
}

Pointer TLYPredefinedEvent::purchaseEventWithPrice(std::optional<TLYDecimal> price,
                                                   TLYText currency, std::optional<bool> success,
                                                   TLYText itemName, TLYText itemType,
                                                   TLYText itemId,
                                                   const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("purchase", customAttributes);
    event->m_predefinedAttributes.addPriceAttribute(price, "item_price");
    event->add(currency, "currency");
    event->m_predefinedAttributes.addBooleanAttribute(success, "success");
    event->add(itemName, "item_name");
    event->add(itemType, "item_type");
    event->add(itemId, "item_id");
    return event;
}

Pointer TLYPredefinedEvent::levelStartEventWithLevelName(TLYText levelName,
                                                         const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("level_start", customAttributes);
    event->add(levelName, "level_name");
    return event;
}

Pointer TLYPredefinedEvent::levelEndEventWithLevelName(TLYText levelName, const TLYValue &score,
                                                       std::optional<bool> success,
                                                       const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("level_end", customAttributes);
    event->add(levelName, "level_name");
    event->add(score, "score");
    event->m_predefinedAttributes.addBooleanAttribute(success, "success");
    return event;
}

Pointer TLYPredefinedEvent::addToCartEventWithPrice(std::optional<TLYDecimal> price,
                                                    TLYText currency, TLYText itemName,
                                                    TLYText itemType, TLYText itemId,
                                                    const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("add_to_cart", customAttributes);
    event->m_predefinedAttributes.addPriceAttribute(price, "item_price");
    event->add(currency, "currency");
    event->add(itemName, "item_name");
    event->add(itemType, "item_type");
    event->add(itemId, "item_id");
    return event;
}

Pointer TLYPredefinedEvent::startCheckoutEventWithPrice(std::optional<TLYDecimal> price,
                                                        TLYText currency, const TLYValue &itemCount,
                                                        const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("start_checkout", customAttributes);
    event->m_predefinedAttributes.addPriceAttribute(price, "total_price");
    event->add(currency, "currency");
    event->add(itemCount, "item_count");
    return event;
}

Pointer TLYPredefinedEvent::ratingEventWithRating(const TLYValue &rating, TLYText contentName,
                                                  TLYText contentType, TLYText contentId,
                                                  const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("rating", customAttributes);
    event->add(rating, "rating");
    event->add(contentName, "content_name");
    event->add(contentType, "content_type");
    event->add(contentId, "content_id");
    return event;
}

Pointer TLYPredefinedEvent::contentViewEventWithName(TLYText contentName, TLYText contentType,
                                                     TLYText contentId,
                                                     const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("content_view", customAttributes);
    event->add(contentName, "content_name");
    event->add(contentType, "content_type");
    event->add(contentId, "content_id");
    return event;
}

Pointer TLYPredefinedEvent::searchEventWithQuery(TLYText query, const Attributes &customAttributes)
{
    auto event = std::make_shared<TLYPredefinedEvent>("search", customAttributes);
    event->add(query, "query");
    return event;
}
