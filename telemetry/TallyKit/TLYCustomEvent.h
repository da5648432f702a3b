#pragma once

#include "TLYAttributeDictionary.h"
#include "TLYEvent.h"

// An event the application names itself, with its attributes exactly as given; the limits of
// TLYAttributeDictionary are applied each time the event is serialised.
class TLYCustomEvent : public TLYEvent
{
public:
    TLYCustomEvent(std::string customEventName, nlohmann::ordered_json customAttributes);

    std::string name() const override { return "custom"; }
    const std::string &customEventName() const { return m_customEventName; }
    // The caller's attributes, unchecked.
    const nlohmann::ordered_json &customAttributes() const { return m_customAttributes; }
    // A new checked dictionary on every call.
    TLYAttributeDictionary attributesDictionary() const;
    nlohmann::ordered_json dictionaryRepresentation() const override;
    std::string description() const override;

private:
    std::string m_customEventName;
    nlohmann::ordered_json m_customAttributes;
};
