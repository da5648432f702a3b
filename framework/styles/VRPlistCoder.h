#pragma once

#include "framework/styles/VRKeyedCoder.h"

#include <QByteArray>
#include <QVariantMap>

#include <optional>

// The dictionary coder over a property-list dictionary: Booleans as "YES"/"NO", floats as
// reals, integers as integers, objects as themselves. Also converts such dictionaries to and
// from XML property-list data.
class VRPlistCoder : public VRKeyedCoder
{
public:
    VRPlistCoder() = default;
    explicit VRPlistCoder(const QVariantMap &dictionary)
        : m_dictionary(dictionary)
    {
    }

    QVariantMap dictionary() const { return m_dictionary; }

    void encodeBool(bool value, const QString &key) override;
    void encodeFloat(float value, const QString &key) override;
    void encodeInt(qint32 value, const QString &key) override;
    void encodeObject(const QVariant &value, const QString &key) override;

    bool decodeBoolForKey(const QString &key) const override;
    float decodeFloatForKey(const QString &key) const override;
    qint32 decodeIntForKey(const QString &key) const override;
    QVariant decodeObjectForKey(const QString &key) const override;

    // XML property list of a dictionary (strings, numbers, Booleans, data, lists, maps).
    static QByteArray xmlData(const QVariantMap &dictionary);
    // Reads XML or binary property-list data whose root is a dictionary; nullopt with the
    // reason in *error otherwise (also for data over 16 MiB or nested deeper than 32).
    static std::optional<QVariantMap> dictionaryFromData(const QByteArray &data,
                                                         QString *error = nullptr);

private:
    QVariantMap m_dictionary;
};
