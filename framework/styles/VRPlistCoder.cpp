#include "framework/styles/VRPlistCoder.h"

#include <plist/plist.h>

#include <QVariantList>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr qsizetype kMaxPlistBytes = 16 * 1024 * 1024;
constexpr int kMaxPlistDepth = 32;

plist_t toPlist(const QVariant &value, int depth)
{
    if (depth > kMaxPlistDepth)
        return nullptr;
    switch (value.typeId()) {
    case QMetaType::Bool: return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short: return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float: return plist_new_real(value.toDouble());
    case QMetaType::QString: {
        const QByteArray utf8 = value.toString().toUtf8();
        return plist_new_string(utf8.constData());
    }
    case QMetaType::QByteArray: {
        const QByteArray data = value.toByteArray();
        return plist_new_data(data.constData(), static_cast<uint64_t>(data.size()));
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        for (const QVariant &item : value.toList()) {
            if (plist_t node = toPlist(item, depth + 1))
                plist_array_append_item(array, node);
        }
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (plist_t node = toPlist(it.value(), depth + 1))
                plist_dict_set_item(dict, it.key().toUtf8().constData(), node);
        }
        return dict;
    }
    default: return nullptr; // nothing is stored for values a property list cannot hold
    }
}

bool fromPlist(plist_t node, int depth, QVariant *out, QString *error)
{
    if (depth > kMaxPlistDepth) {
        *error = QStringLiteral("the property list is nested too deeply");
        return false;
    }
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        *out = b != 0;
        return true;
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        *out = static_cast<qint64>(u);
        return true;
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        *out = d;
        return true;
    }
    case PLIST_STRING: {
        char *s = nullptr;
        plist_get_string_val(node, &s);
        *out = QString::fromUtf8(s ? s : "");
        free(s);
        return true;
    }
    case PLIST_DATA: {
        char *d = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &d, &length);
        *out = QByteArray(d ? d : "", static_cast<qsizetype>(d ? length : 0));
        free(d);
        return true;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t count = plist_array_get_size(node);
        for (uint32_t i = 0; i < count; ++i) {
            QVariant item;
            if (!fromPlist(plist_array_get_item(node, i), depth + 1, &item, error))
                return false;
            list.append(item);
        }
        *out = list;
        return true;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!value) {
                free(key);
                break;
            }
            QVariant item;
            const QString name = QString::fromUtf8(key ? key : "");
            free(key);
            if (!fromPlist(value, depth + 1, &item, error)) {
                free(it);
                return false;
            }
            map.insert(name, item);
        }
        free(it);
        *out = map;
        return true;
    }
    case PLIST_DATE:
        *out = QVariant(); // no coded value uses dates; they read as absent
        return true;
    default:
        *error = QStringLiteral("the property list holds a value of an unsupported kind");
        return false;
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

QByteArray VRPlistCoder::xmlData(const QVariantMap &dictionary)
{
    plist_t root = toPlist(QVariant(dictionary), 0);
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    QByteArray data(xml ? xml : "", static_cast<qsizetype>(xml ? length : 0));
    plist_to_xml_free(xml);
    plist_free(root);
    return data;
}

std::optional<QVariantMap> VRPlistCoder::dictionaryFromData(const QByteArray &data, QString *error)
{
    QString reason;
    auto fail = [&](const QString &why) -> std::optional<QVariantMap> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (data.isEmpty())
        return fail(QStringLiteral("The file is empty."));
    if (data.size() > kMaxPlistBytes)
        return fail(QStringLiteral("The file is too large to be a property list."));
    // Only XML property lists are read; their nesting is measured before the parser sees them.
    if (!data.trimmed().startsWith("<?xml") && !data.trimmed().startsWith("<plist"))
        return fail(QStringLiteral("The file is not an XML property list."));
    if (xmlNestingDepth(data) > kMaxPlistDepth)
        return fail(QStringLiteral("The property list is nested too deeply."));
    plist_t root = nullptr;
    plist_from_xml(data.constData(), static_cast<uint32_t>(data.size()), &root);
    if (!root)
        return fail(QStringLiteral("The file is not a readable property list."));
    if (plist_get_node_type(root) != PLIST_DICT) {
        plist_free(root);
        return fail(QStringLiteral("The property list does not hold a dictionary."));
    }
    QVariant value;
    const bool ok = fromPlist(root, 0, &value, &reason);
    plist_free(root);
    if (!ok)
        return fail(QStringLiteral("The property list cannot be read: %1.").arg(reason));
    return value.toMap();
}
