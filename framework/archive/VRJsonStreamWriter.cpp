#include "framework/archive/VRJsonStreamWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Beyond this, doubles holding whole numbers are no longer stored as integers by QJsonValue.
constexpr double kExactIntegerLimit = 9007199254740992.0; // 2^53

// QJsonDocument's own spelling of one value (numbers it alone decides how to write).
QByteArray qtSpelling(const QJsonValue &v)
{
    const QByteArray text = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2);
}

const char kHex[] = "0123456789abcdef";

char *appendUnicodeEscape(char *p, char16_t c)
{
    *p++ = '\\';
    *p++ = 'u';
    *p++ = kHex[(c >> 12) & 0xF];
    *p++ = kHex[(c >> 8) & 0xF];
    *p++ = kHex[(c >> 4) & 0xF];
    *p++ = kHex[c & 0xF];
    return p;
}

// Writes one character below 0x80 as it appears inside a JSON string.
char *appendAsciiCharacter(char *p, char16_t c)
{
    if (c >= 0x20 && c != '"' && c != '\\') {
        *p++ = char(c);
        return p;
    }
    char escape = 0;
    switch (c) {
    case '"': escape = '"'; break;
    case '\\': escape = '\\'; break;
    case '\b': escape = 'b'; break;
    case '\f': escape = 'f'; break;
    case '\n': escape = 'n'; break;
    case '\r': escape = 'r'; break;
    case '\t': escape = 't'; break;
    default: return appendUnicodeEscape(p, c);
    }
    *p++ = '\\';
    *p++ = escape;
    return p;
}

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c < 0xDC00;
}

bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c < 0xE000;
}

} // namespace

namespace {

// Spells a number into `buffer` as QJsonDocument does; 0 when only QJsonDocument can decide.
qsizetype spellNumber(char (&buffer)[48], double v)
{
    if (!std::isfinite(v)) {
        std::memcpy(buffer, "null", 4);
        return 4;
    }
    const double magnitude = std::abs(v);
    if (magnitude < kExactIntegerLimit && v == std::floor(v)) {
        // -0.0 is written as 0, too
        return std::to_chars(buffer, buffer + sizeof buffer, qint64(v)).ptr - buffer;
    }
    // Fractions from 0.01 up are shortest in plain notation, and QJsonDocument writes them so;
    // smaller or larger numbers may be shorter with an exponent, which only it decides.
    if (magnitude >= 0.01 && magnitude < kExactIntegerLimit) {
        const auto result =
            std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
        if (result.ec == std::errc())
            return result.ptr - buffer;
    }
    return 0;
}

// Writes a string as JSON at p, which has room for 6 bytes per code unit and two quotes.
char *spellString(char *p, QStringView s)
{
    *p++ = '"';
    const char16_t *text = s.utf16();
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            p = appendAsciiCharacter(p, c);
        } else if (c < 0x800) {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        } else if (isHighSurrogate(c) && i + 1 < n && isLowSurrogate(text[i + 1])) {
            const char32_t u = 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
            *p++ = char(0xF0 | (u >> 18));
            *p++ = char(0x80 | ((u >> 12) & 0x3F));
            *p++ = char(0x80 | ((u >> 6) & 0x3F));
            *p++ = char(0x80 | (u & 0x3F));
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            p = appendUnicodeEscape(p, c); // a lone half of a pair
        } else {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
    }
    *p++ = '"';
    return p;
}

char *spellLatin1String(char *p, QLatin1String s)
{
    *p++ = '"';
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            p = appendAsciiCharacter(p, c);
        } else {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        }
    }
    *p++ = '"';
    return p;
}

} // namespace

void VRJsonStreamWriter::appendNumber(QByteArray &out, double v)
{
    char buffer[48];
    if (const qsizetype n = spellNumber(buffer, v))
        out.append(buffer, n);
    else
        out.append(qtSpelling(QJsonValue(v)));
}

void VRJsonStreamWriter::appendString(QByteArray &out, QStringView s)
{
    const qsizetype start = out.size();
    // The longest spelling of one UTF-16 code unit is an escape of six bytes.
    out.resize(start + 6 * s.size() + 2);
    const char *end = spellString(out.data() + start, s);
    out.resize(end - out.constData());
}

void VRJsonStreamWriter::grow(qsizetype n)
{
    // Doubling keeps the copies of a growing text to about its own size in all.
    const qsizetype wanted = std::max<qsizetype>({m_size + n, 2 * m_capacity, 4096});
    m_out.resize(wanted); // keeps the text; the new bytes are room
    m_data = m_out.data();
    m_capacity = m_out.size();
}

void VRJsonStreamWriter::reserve(qsizetype bytes)
{
    if (bytes <= m_capacity)
        return;
    m_out.resize(bytes); // keeps the text; the new bytes are room
    m_data = m_out.data();
    m_capacity = m_out.size();
}

VRJsonStreamWriter::VRJsonStreamWriter(VRJsonStreamWriter &&other) noexcept
{
    *this = std::move(other);
}

VRJsonStreamWriter &VRJsonStreamWriter::operator=(VRJsonStreamWriter &&other) noexcept
{
    if (this == &other)
        return *this;
    // The text's bytes stay where they are: only the array holding them changes hands.
    m_out = std::exchange(other.m_out, QByteArray());
    m_data = std::exchange(other.m_data, nullptr);
    m_size = std::exchange(other.m_size, 0);
    m_capacity = std::exchange(other.m_capacity, 0);
    m_markNext = std::exchange(other.m_markNext, false);
    m_markIndex = std::exchange(other.m_markIndex, 0);
    m_markValue = std::exchange(other.m_markValue, 0);
    m_keys = std::exchange(other.m_keys, QByteArray());
    m_scratch = std::exchange(other.m_scratch, QByteArray());
    m_frames = std::exchange(other.m_frames, {});
    m_fields = std::exchange(other.m_fields, {});
    m_order = std::exchange(other.m_order, {});
    return *this;
}

void VRJsonStreamWriter::clear()
{
    m_size = 0;
    m_markNext = false;
    m_keys.resize(0); // keeps its room, unlike clear()
    m_frames.clear();
    m_fields.clear();
    m_order.clear();
}

void VRJsonStreamWriter::putNumber(double v)
{
    char buffer[48];
    if (const qsizetype n = spellNumber(buffer, v)) {
        put(buffer, n);
        return;
    }
    const QByteArray text = qtSpelling(QJsonValue(v));
    put(text.constData(), text.size());
}

void VRJsonStreamWriter::putMarker(quint32 index)
{
    char *p = room(kMarkerSize);
    p[0] = kMarker;
    std::memcpy(p + 1, &index, sizeof index);
    m_size += kMarkerSize;
}

void VRJsonStreamWriter::marker(quint32 index)
{
    beforeValue();
    putMarker(index);
}

void VRJsonStreamWriter::markNextInteger(quint32 index, qint64 value)
{
    m_markNext = true;
    m_markIndex = index;
    m_markValue = value;
}

void VRJsonStreamWriter::beforeValue()
{
    if (m_frames.empty())
        return;
    Frame &frame = m_frames.back();
    if (frame.object)
        return; // the key came first
    if (!frame.empty)
        put(',');
    frame.empty = false;
}

void VRJsonStreamWriter::closeLastField()
{
    m_fields.back().end = m_size;
}

void VRJsonStreamWriter::addKey(const char *bytes, qsizetype length, bool ascii)
{
    Q_ASSERT(!m_frames.empty() && m_frames.back().object);
    Frame &frame = m_frames.back();
    if (!frame.empty) {
        closeLastField();
        put(',');
    }
    frame.empty = false;
    Field field;
    field.keyStart = m_keys.size();
    field.keyLength = length;
    field.begin = m_size;
    field.ascii = ascii;
    if (ascii) {
        for (qsizetype k = 0; k < 8; ++k)
            field.prefix =
                (field.prefix << 8) | (k < length ? static_cast<unsigned char>(bytes[k]) : 0u);
    }
    m_keys.append(bytes, length);
    if (m_fields.size() > frame.firstField && compareKeys(m_fields.back(), field) >= 0)
        frame.reorder = true;
    m_fields.push_back(field);
}

void VRJsonStreamWriter::key(QLatin1String key)
{
    bool plain = true; // printable ASCII that needs no escape
    for (const char c : key) {
        const auto u = static_cast<unsigned char>(c);
        plain = plain && u >= 0x20 && u < 0x80 && c != '"' && c != '\\';
    }
    if (!plain) {
        this->key(QString(key));
        return;
    }
    addKey(key.data(), key.size(), true);
    char *p = room(key.size() + 3);
    *p++ = '"';
    std::memcpy(p, key.data(), size_t(key.size()));
    p += key.size();
    *p++ = '"';
    *p++ = ':';
    m_size = p - m_data;
}

void VRJsonStreamWriter::key(const QString &key)
{
    bool ascii = true;
    for (const QChar c : key)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        const QByteArray latin1 = key.toLatin1();
        addKey(latin1.constData(), latin1.size(), true);
    } else {
        // Keys beyond ASCII are kept as UTF-16 code units, the order QJsonObject sorts by.
        addKey(reinterpret_cast<const char *>(key.utf16()), key.size() * 2, false);
    }
    char *p = room(6 * key.size() + 2);
    m_size = spellString(p, key) - m_data;
    put(':');
}

int VRJsonStreamWriter::compareKeys(const Field &a, const Field &b) const
{
    const char *keys = m_keys.constData();
    if (a.ascii && b.ascii) {
        // Zero padding keeps the order of the prefixes that of the keys; equal ones need a look
        // at the rest.
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix ? -1 : 1;
        const int c = std::memcmp(keys + a.keyStart, keys + b.keyStart,
                                  size_t(std::min(a.keyLength, b.keyLength)));
        if (c != 0)
            return c;
        return a.keyLength < b.keyLength ? -1 : (a.keyLength > b.keyLength ? 1 : 0);
    }
    auto units = [keys](const Field &f) {
        if (f.ascii)
            return QString::fromLatin1(keys + f.keyStart, f.keyLength);
        return QString(reinterpret_cast<const QChar *>(keys + f.keyStart), f.keyLength / 2);
    };
    const QString ka = units(a), kb = units(b);
    const auto *pa = reinterpret_cast<const char16_t *>(ka.utf16());
    const auto *pb = reinterpret_cast<const char16_t *>(kb.utf16());
    const qsizetype n = std::min(ka.size(), kb.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (pa[i] != pb[i])
            return pa[i] < pb[i] ? -1 : 1;
    }
    return ka.size() < kb.size() ? -1 : (ka.size() > kb.size() ? 1 : 0);
}

void VRJsonStreamWriter::value(bool v)
{
    beforeValue();
    if (v)
        put("true", 4);
    else
        put("false", 5);
}

void VRJsonStreamWriter::value(qint64 v)
{
    beforeValue();
    if (m_markNext && v == m_markValue) {
        m_markNext = false;
        putMarker(m_markIndex);
        return;
    }
    char *p = room(24);
    m_size = std::to_chars(p, p + 24, v).ptr - m_data;
}

void VRJsonStreamWriter::value(double v)
{
    beforeValue();
    putNumber(v);
}

void VRJsonStreamWriter::value(const QString &v)
{
    beforeValue();
    char *p = room(6 * v.size() + 2);
    m_size = spellString(p, v) - m_data;
}

void VRJsonStreamWriter::value(QLatin1String v)
{
    beforeValue();
    char *p = room(6 * v.size() + 2);
    m_size = spellLatin1String(p, v) - m_data;
}

void VRJsonStreamWriter::null()
{
    beforeValue();
    put("null", 4);
}

void VRJsonStreamWriter::value(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: null(); return;
    case QJsonValue::Bool: value(v.toBool()); return;
    case QJsonValue::Double:
        if (std::abs(v.toDouble()) < kExactIntegerLimit) {
            value(v.toDouble());
        } else {
            beforeValue();
            const QByteArray text = qtSpelling(v);
            put(text.constData(), text.size());
        }
        return;
    case QJsonValue::String: value(v.toString()); return;
    case QJsonValue::Array: {
        beginArray();
        const QJsonArray array = v.toArray();
        for (const QJsonValue &item : array)
            value(item);
        end();
        return;
    }
    case QJsonValue::Object: {
        beginObject();
        const QJsonObject object = v.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            key(it.key());
            value(it.value());
        }
        end();
        return;
    }
    }
}

void VRJsonStreamWriter::rawValue(QByteArrayView json)
{
    beforeValue();
    put(json.data(), json.size());
}

void VRJsonStreamWriter::beginObject()
{
    beforeValue();
    put('{');
    Frame frame;
    frame.object = true;
    frame.contentStart = m_size;
    frame.firstField = m_fields.size();
    m_frames.push_back(frame);
}

void VRJsonStreamWriter::beginArray()
{
    beforeValue();
    put('[');
    Frame frame;
    frame.contentStart = m_size;
    m_frames.push_back(frame);
}

void VRJsonStreamWriter::end()
{
    Q_ASSERT(!m_frames.empty());
    const Frame frame = m_frames.back();
    m_frames.pop_back();
    if (!frame.object) {
        put(']');
        return;
    }
    if (m_fields.size() > frame.firstField) {
        closeLastField();
        if (frame.reorder)
            reorderFields(frame);
        m_keys.truncate(m_fields[frame.firstField].keyStart);
        m_fields.resize(frame.firstField);
    }
    put('}');
}

void VRJsonStreamWriter::remove(QLatin1String key)
{
    Q_ASSERT(!m_frames.empty() && m_frames.back().object);
    Frame &frame = m_frames.back();
    for (size_t i = frame.firstField; i < m_fields.size(); ++i) {
        Field &field = m_fields[i];
        if (field.ascii && field.keyLength == key.size()
            && std::memcmp(m_keys.constData() + field.keyStart, key.data(), size_t(key.size()))
                   == 0) {
            field.dropped = true;
            frame.reorder = true;
        }
    }
}

void VRJsonStreamWriter::reorderFields(const Frame &frame)
{
    m_order.clear();
    for (size_t i = frame.firstField; i < m_fields.size(); ++i)
        m_order.push_back(i);
    // Stable: of equal keys, the order of writing is kept.
    std::sort(m_order.begin(), m_order.end(), [this](size_t a, size_t b) {
        const int c = compareKeys(m_fields[a], m_fields[b]);
        return c != 0 ? c < 0 : a < b;
    });
    m_scratch.resize(0); // keeps its room, unlike clear()
    bool first = true;
    for (size_t k = 0; k < m_order.size(); ++k) {
        const Field &field = m_fields[m_order[k]];
        // Of one key written several times the last write counts; a removal drops it.
        if (k + 1 < m_order.size() && compareKeys(field, m_fields[m_order[k + 1]]) == 0)
            continue;
        if (field.dropped)
            continue;
        if (!first)
            m_scratch.append(',');
        first = false;
        m_scratch.append(m_data + field.begin, field.end - field.begin);
    }
    // The sorted fields are never longer than the written ones.
    std::memcpy(m_data + frame.contentStart, m_scratch.constData(), size_t(m_scratch.size()));
    m_size = frame.contentStart + m_scratch.size();
}

QByteArray VRJsonStreamWriter::take()
{
    Q_ASSERT(m_frames.empty());
    m_out.resize(m_size); // keeps the room it has
    QByteArray text = std::move(m_out);
    m_out = QByteArray();
    m_data = nullptr;
    m_size = m_capacity = 0;
    return text;
}
