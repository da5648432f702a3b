#include "TLYCustomEvent.h"

TLYCustomEvent::TLYCustomEvent(std::string customEventName, nlohmann::ordered_json customAttributes)
    : m_customEventName(std::move(customEventName))
    , m_customAttributes(std::move(customAttributes))
{
}

TLYAttributeDictionary TLYCustomEvent::attributesDictionary() const
{
    return TLYAttributeDictionary(m_customAttributes);
}

nlohmann::ordered_json TLYCustomEvent::dictionaryRepresentation() const
{
    return {{TLYEventIdKey, identifier()},
            {"custom_type", m_customEventName},
            {TLYCustomAttributesKey, attributesDictionary().dictionaryRepresentation()}};
}

std::string TLYCustomEvent::description() const
{
    return "<TLYCustomEvent: " + m_customEventName + "\n" + attributesDictionary().description()
           + ">";
}
