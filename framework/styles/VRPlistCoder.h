#pragma once

#include "framework/base/VRTypes.h"
#include "framework/styles/VRKeyedCoder.h"

#include <QByteArray>
#include <QVariantMap>

// The dictionary coder over a property-list dictionary: Booleans as "YES"/"NO", floats as
// reals, integers as integers, objects as themselves. Also converts such dictionaries to and
// from XML property-list data through the platform property-list reader and writer.
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

    // XML property list of a dictionary (strings, numbers, Booleans, data, lists, maps); fails
    // for a value no property list can hold.
    static VRResult<QByteArray> xmlData(const QVariantMap &dictionary);
    // Reads XML property-list data whose root is a dictionary; fails with the reason otherwise
    // (also for binary lists and for data over 16 MiB or nested deeper than 32).
    static VRResult<QVariantMap> dictionaryFromData(const QByteArray &data);

private:
    QVariantMap m_dictionary;
};
