#include "framework/styles/VRPlistCoder.h"

#include "platform/PropertyList.h"

#include <QDateTime>
#include <QVariantList>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr qsizetype kMaxPlistBytes = 16 * 1024 * 1024;
constexpr int kMaxPlistDepth = 32;

// Coded values never hold dates, so a date reads as absent; a value the property-list reader
// could not name (a keyed-archive reference) makes the whole list unreadable.
VRResult<QVariant> codedValue(const QVariant &value, int depth)
{
    if (depth > kMaxPlistDepth)
        return VRError{QStringLiteral("the property list is nested too deeply")};
    switch (value.typeId()) {
    case QMetaType::QDateTime: return QVariant();
    case QMetaType::QVariantList: {
        QVariantList list;
        const QVariantList items = value.toList();
        for (const QVariant &item : items) {
            auto coded = codedValue(item, depth + 1);
            if (!coded)
                return coded;
            list.append(*coded);
        }
        return QVariant(list);
    }
    case QMetaType::QVariantMap: {
        QVariantMap map;
        const QVariantMap items = value.toMap();
        for (auto it = items.cbegin(); it != items.cend(); ++it) {
            auto coded = codedValue(it.value(), depth + 1);
            if (!coded)
                return coded;
            map.insert(it.key(), *coded);
        }
        return QVariant(map);
    }
    default:
        if (!value.isValid())
            return VRError{
                QStringLiteral("the property list holds a value of an unsupported kind")};
        return value;
    }
}

// Deepest nesting of <dict> and <array> elements, counted over the raw text.
int xmlNestingDepth(const QByteArray &data)
{
    int depth = 0;
    int deepest = 0;
    const char *p = data.constData();
    const char *end = p + data.size();
    for (; p < end; ++p) {
        if (*p != '<')
            continue;
        const qsizetype left = end - p;
        auto startsWith = [&](const char *tag, qsizetype n) {
            return left >= n && std::memcmp(p, tag, static_cast<size_t>(n)) == 0;
        };
        if (startsWith("<dict>", 6) || startsWith("<array>", 7))
            deepest = std::max(deepest, ++depth);
        else if (startsWith("</dict>", 7) || startsWith("</array>", 8))
            --depth;
    }
    return deepest;
}

} // namespace

void VRPlistCoder::encodeBool(bool value, const QString &key)
{
    m_dictionary.insert(key, value ? QStringLiteral("YES") : QStringLiteral("NO"));
}

void VRPlistCoder::encodeFloat(float value, const QString &key)
{
    m_dictionary.insert(key, static_cast<double>(value));
}

void VRPlistCoder::encodeInt(qint32 value, const QString &key)
{
    m_dictionary.insert(key, static_cast<qint64>(value));
}

void VRPlistCoder::encodeObject(const QVariant &value, const QString &key)
{
    if (value.isValid())
        m_dictionary.insert(key, value);
}

bool VRPlistCoder::decodeBoolForKey(const QString &key) const
{
    const QVariant value = m_dictionary.value(key);
    if (value.typeId() != QMetaType::QString)
        return false;
    const QString s = value.toString();
    return s == QLatin1String("YES") || s == QLatin1String("yes");
}

float VRPlistCoder::decodeFloatForKey(const QString &key) const
{
    const QVariant value = m_dictionary.value(key);
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return 0.0f;
    if (std::abs(d) > std::numeric_limits<float>::max())
        return d > 0 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max();
    return static_cast<float>(d);
}

qint32 VRPlistCoder::decodeIntForKey(const QString &key) const
{
    const QVariant value = m_dictionary.value(key);
    bool ok = false;
    const qint64 i = value.toLongLong(&ok);
    return ok ? static_cast<qint32>(i) : 0;
}

QVariant VRPlistCoder::decodeObjectForKey(const QString &key) const
{
    return m_dictionary.value(key);
}

VRResult<QByteArray> VRPlistCoder::xmlData(const QVariantMap &dictionary)
{
    QString reason;
    const std::optional<QByteArray> xml = PropertyList::toXml(QVariant(dictionary), &reason);
    if (!xml)
        return VRError{
            QStringLiteral("The dictionary cannot be written as a property list: %1.").arg(reason)};
    return *xml;
}

VRResult<QVariantMap> VRPlistCoder::dictionaryFromData(const QByteArray &data)
{
    if (data.isEmpty())
        return VRError{QStringLiteral("The file is empty.")};
    if (data.size() > kMaxPlistBytes)
        return VRError{QStringLiteral("The file is too large to be a property list.")};
    // Only XML property lists are read; their nesting is measured before the parser sees them.
    if (!data.trimmed().startsWith("<?xml") && !data.trimmed().startsWith("<plist"))
        return VRError{QStringLiteral("The file is not an XML property list.")};
    if (xmlNestingDepth(data) > kMaxPlistDepth)
        return VRError{QStringLiteral("The property list is nested too deeply.")};
    const std::optional<QVariant> root = PropertyList::fromXml(data);
    if (!root)
        return VRError{QStringLiteral("The file is not a readable property list.")};
    if (root->typeId() != QMetaType::QVariantMap)
        return VRError{QStringLiteral("The property list does not hold a dictionary.")};
    const VRResult<QVariant> coded = codedValue(*root, 0);
    if (!coded)
        return VRError{
            QStringLiteral("The property list cannot be read: %1.").arg(coded.errorMessage())};
    return coded->toMap();
}
