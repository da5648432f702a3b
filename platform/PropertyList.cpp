#include "platform/PropertyList.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>

namespace {

// Property-list dates count seconds from 2001-01-01 00:00:00 UTC.
constexpr qint64 kReferenceDateOffset = 978307200;

struct PlistDeleter {
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

constexpr quint64 kLargestSigned = quint64(std::numeric_limits<qint64>::max());

// libplist writes an integer above the signed 64-bit range as a negative number unless the node
// was read from unsigned text, so such a value is made from its decimal text.
plist_t newUnsigned(quint64 value)
{
    if (value <= kLargestSigned)
        return plist_new_uint(value);
    const QByteArray xml =
        "<plist version=\"1.0\"><integer>" + QByteArray::number(value) + "</integer></plist>";
    plist_t node = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &node);
    return node ? node : plist_new_uint(value);
}

// Whether an integer node whose top bit is set holds an unsigned value above the signed range
// rather than a negative one; libplist shows the difference only in the node's written form.
bool holdsLargeUnsigned(plist_t node)
{
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    if (!xml)
        return false;
    const QByteArray text = QByteArray::fromRawData(xml, qsizetype(length));
    const QByteArray tag = "<integer>";
    const qsizetype at = text.indexOf(tag);
    const bool unsignedText =
        at >= 0 && at + tag.size() < text.size() && text.at(at + tag.size()) != '-';
    plist_to_xml_free(xml);
    return unsignedText;
}

plist_t toNode(const QVariant &value, QString *error)
{
    switch (value.typeId()) {
    case QMetaType::Bool: return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short: return plist_new_uint(static_cast<uint64_t>(value.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong: return newUnsigned(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float: return plist_new_real(value.toDouble());
    case QMetaType::QString: {
        const QByteArray utf8 = value.toString().toUtf8();
        return plist_new_string(utf8.constData());
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return plist_new_data(bytes.constData(), uint64_t(bytes.size()));
    }
    case QMetaType::QDateTime: {
        const qint64 ms = value.toDateTime().toMSecsSinceEpoch() - kReferenceDateOffset * 1000;
        qint64 sec = ms / 1000;
        qint64 msRest = ms % 1000;
        if (msRest < 0) {
            msRest += 1000;
            sec -= 1;
        }
        return plist_new_date(int32_t(sec), int32_t(msRest * 1000));
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            plist_t child = toNode(it.value(), error);
            if (!child) {
                plist_free(dict);
                return nullptr;
            }
            plist_dict_set_item(dict, it.key().toUtf8().constData(), child);
        }
        return dict;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        const QVariantList list = value.toList();
        for (const QVariant &item : list) {
            plist_t child = toNode(item, error);
            if (!child) {
                plist_free(array);
                return nullptr;
            }
            plist_array_append_item(array, child);
        }
        return array;
    }
    default:
        if (error) {
            *error = QStringLiteral("a value of type %1 cannot be stored in a property list")
                         .arg(QString::fromLatin1(value.metaType().name() ? value.metaType().name()
                                                                          : "invalid"));
        }
        return nullptr;
    }
}

QVariant fromNode(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return QVariant(b != 0);
    }
    case PLIST_UINT: {
        uint64_t v = 0;
        plist_get_uint_val(node, &v);
        if (v > kLargestSigned && holdsLargeUnsigned(node))
            return QVariant(quint64(v));
        return QVariant(qint64(v));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return QVariant(d);
    }
    case PLIST_STRING: {
        // libplist's copying getter asserts that the text holds no NUL; the pointer form does not.
        uint64_t length = 0;
        const char *s = plist_get_string_ptr(node, &length);
        return QVariant(s ? QString::fromUtf8(s, qsizetype(length)) : QString());
    }
    case PLIST_KEY: {
        char *s = nullptr;
        plist_get_key_val(node, &s);
        QString text = QString::fromUtf8(s ? s : "");
        std::free(s);
        return QVariant(text);
    }
    case PLIST_DATA: {
        char *bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        QByteArray data(bytes ? bytes : "", qsizetype(length));
        std::free(bytes);
        return QVariant(data);
    }
    case PLIST_DATE: {
        int32_t sec = 0;
        int32_t usec = 0;
        plist_get_date_val(node, &sec, &usec);
        const qint64 ms = (qint64(sec) + kReferenceDateOffset) * 1000 + usec / 1000;
        return QVariant(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()));
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char *key = nullptr;
            plist_t child = nullptr;
            plist_dict_next_item(node, it, &key, &child);
            if (!child) {
                std::free(key);
                break;
            }
            map.insert(QString::fromUtf8(key ? key : ""), fromNode(child));
            std::free(key);
        }
        std::free(it);
        return map;
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t count = plist_array_get_size(node);
        list.reserve(count);
        for (uint32_t i = 0; i < count; ++i)
            list.append(fromNode(plist_array_get_item(node, i)));
        return list;
    }
    default: return {};
    }
}

// Deepest nesting of <dict> and <array> elements, counted over the raw text before the
// (recursive) parser and tree walk see it.
int nestingDepth(const QByteArray &data)
{
    int depth = 0;
    int deepest = 0;
    const char *p = data.constData();
    const char *end = p + data.size();
    for (; p < end; ++p) {
        if (*p != '<')
            continue;
        const QByteArrayView rest(p, end - p);
        if (rest.startsWith("<dict>") || rest.startsWith("<array>"))
            deepest = std::max(deepest, ++depth);
        else if (rest.startsWith("</dict>") || rest.startsWith("</array>"))
            --depth;
    }
    return deepest;
}

} // namespace

std::optional<QByteArray> PropertyList::toXml(const QVariant &value, QString *error)
{
    PlistPtr root(toNode(value, error));
    if (!root)
        return std::nullopt;
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(static_cast<plist_t>(root.get()), &xml, &length);
    if (!xml) {
        if (error)
            *error = QStringLiteral("the property list could not be written");
        return std::nullopt;
    }
    QByteArray bytes(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return bytes;
}

std::optional<QVariant> PropertyList::fromData(const QByteArray &data, QString *error)
{
    // Only the XML form is read: it is the only one written here, and libplist aborts the process
    // on a binary key or string that holds a NUL character.
    if (!data.contains("<plist")) {
        if (error)
            *error = QStringLiteral("the data is not an XML property list");
        return std::nullopt;
    }
    return fromXml(data, error);
}

std::optional<QVariant> PropertyList::fromXml(const QByteArray &data, QString *error)
{
    if (data.isEmpty() || data.size() > kMaximumBytes) {
        if (error)
            *error = QStringLiteral("the data is not a property list");
        return std::nullopt;
    }
    // A NUL byte is never part of a well-formed XML document.
    if (data.contains('\0')) {
        if (error)
            *error = QStringLiteral("the property list holds a NUL character");
        return std::nullopt;
    }
    if (nestingDepth(data) > kMaximumDepth) {
        if (error)
            *error = QStringLiteral("the property list is nested too deeply");
        return std::nullopt;
    }
    plist_t root = nullptr;
    plist_from_xml(data.constData(), uint32_t(data.size()), &root);
    if (!root) {
        if (error)
            *error = QStringLiteral("the property list is damaged");
        return std::nullopt;
    }
    PlistPtr owner(root);
    return fromNode(root);
}

bool PropertyList::isStorable(const QVariant &value)
{
    PlistPtr node(toNode(value, nullptr));
    return node != nullptr;
}
