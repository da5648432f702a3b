#pragma once

#include <QString>
#include <QVariant>

// The dictionary coder an archived object writes itself through: exactly eight operations.
// Objects are plain values (strings, numbers, data, lists, maps); nested archived objects are
// maps carrying their class name under "isa".
class VRKeyedCoder
{
public:
    virtual ~VRKeyedCoder() = default;

    virtual void encodeBool(bool value, const QString &key) = 0;
    virtual void encodeFloat(float value, const QString &key) = 0;
    virtual void encodeInt(qint32 value, const QString &key) = 0;
    virtual void encodeObject(const QVariant &value, const QString &key) = 0;

    virtual bool decodeBoolForKey(const QString &key) const = 0;
    virtual float decodeFloatForKey(const QString &key) const = 0;
    virtual qint32 decodeIntForKey(const QString &key) const = 0;
    // Invalid when the key is absent.
    virtual QVariant decodeObjectForKey(const QString &key) const = 0;
};
