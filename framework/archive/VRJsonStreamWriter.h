#pragma once

#include "framework/archive/VRJsonWriter.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstring>
#include <vector>

// Writes compact JSON text as the values arrive, without building a tree. The text is byte
// for byte what QJsonDocument::toJson(QJsonDocument::Compact) makes of the same values: an
// object's fields come out in QJsonObject's key order (UTF-16 code units), whatever order
// they were written in, and numbers and strings are spelled the same way.
class VRJsonStreamWriter final : public VRJsonWriter
{
public:
    VRJsonStreamWriter() = default;
    // Moving hands over the text and its room; the writer moved from is empty, without room.
    VRJsonStreamWriter(VRJsonStreamWriter &&other) noexcept;
    VRJsonStreamWriter &operator=(VRJsonStreamWriter &&other) noexcept;
    VRJsonStreamWriter(const VRJsonStreamWriter &) = delete;
    VRJsonStreamWriter &operator=(const VRJsonStreamWriter &) = delete;

    void key(QLatin1String key) override;
    void key(const QString &key) override;
    void value(bool v) override;
    void value(qint64 v) override;
    void value(double v) override;
    void value(const QString &v) override;
    void value(QLatin1String v) override;
    void value(const QJsonValue &v) override;
    void null() override;
    using VRJsonWriter::value;
    void beginObject() override;
    void beginArray() override;
    void end() override;
    void remove(QLatin1String key) override;
    using VRJsonWriter::beginArray;
    using VRJsonWriter::beginObject;

    // A value that is already compact JSON text, written as it is.
    void rawValue(QByteArrayView json);
    // Makes room for a text of `bytes` bytes in all, exactly (none when there is room).
    void reserve(qsizetype bytes);
    // Empties the writer for a new text, keeping the room it has, already in memory.
    void clear();
    // The bytes the text can reach before the writer needs more memory.
    qsizetype capacity() const { return m_capacity; }
    // The text so far; every container must be closed.
    QByteArray take();
    QByteArrayView text() const { return QByteArrayView(m_out.constData(), m_size); }
    qsizetype size() const { return m_size; }

    // Markers stand for values decided later, when texts written apart are joined: a marker is
    // a byte that JSON text never holds unescaped, followed by a number.
    static constexpr char kMarker = '\x01';
    static constexpr qsizetype kMarkerSize = 5;
    // A marker as the next value.
    void marker(quint32 index);
    // The next integer value equal to `value` is written as a marker instead.
    void markNextInteger(quint32 index, qint64 value);
    // Appends text holding markers as the next value; each marker is replaced by the text
    // `resolve` gives for it.
    template <typename Resolve> void rawValueResolvingMarkers(QByteArrayView text, Resolve resolve);

    // The spelling of one number or string, as QJsonDocument writes it.
    static void appendNumber(QByteArray &out, double v);
    static void appendString(QByteArray &out, QStringView s);

private:
    struct Frame {
        bool object = false;
        bool empty = true;
        bool reorder = false; // fields out of order, written twice or removed
        qsizetype contentStart = 0;
        size_t firstField = 0;
    };
    struct Field {
        qsizetype keyStart = 0; // the key's UTF-8 bytes in m_keys
        qsizetype keyLength = 0;
        qsizetype begin = 0; // "key":value in m_out, without the comma before it
        qsizetype end = -1;
        quint64 prefix = 0; // an ASCII key's first eight bytes, big-endian, zero-padded
        bool ascii = true;
        bool dropped = false;
    };

    void beforeValue();
    void addKey(const char *utf8, qsizetype length, bool ascii);
    void closeLastField();
    void reorderFields(const Frame &frame);
    int compareKeys(const Field &a, const Field &b) const;

    // Room for n more bytes at the end of the text.
    char *room(qsizetype n)
    {
        if (m_size + n > m_capacity)
            grow(n);
        return m_data + m_size;
    }
    void put(char c) { *room(1) = c, ++m_size; }
    void put(const char *bytes, qsizetype n)
    {
        std::memcpy(room(n), bytes, size_t(n));
        m_size += n;
    }
    void putNumber(double v);
    void grow(qsizetype n);
    void putMarker(quint32 index);

    // The text is m_out's first m_size bytes; the rest of m_out is room to write into.
    QByteArray m_out;
    char *m_data = nullptr;
    qsizetype m_size = 0;
    qsizetype m_capacity = 0;
    bool m_markNext = false;
    quint32 m_markIndex = 0;
    qint64 m_markValue = 0;
    QByteArray m_keys;
    QByteArray m_scratch;
    std::vector<Frame> m_frames;
    std::vector<Field> m_fields;
    std::vector<size_t> m_order;
};

template <typename Resolve>
void VRJsonStreamWriter::rawValueResolvingMarkers(QByteArrayView text, Resolve resolve)
{
    const char *p = text.data();
    const char *const end = p + text.size();
    beforeValue();
    while (p < end) {
        const char *marker = static_cast<const char *>(std::memchr(p, kMarker, size_t(end - p)));
        // Markers are whole in the texts this writer makes.
        if (marker && end - marker < kMarkerSize)
            marker = nullptr;
        const char *stop = marker ? marker : end;
        put(p, stop - p);
        if (!marker)
            break;
        quint32 index = 0;
        std::memcpy(&index, marker + 1, sizeof index);
        const QByteArrayView value = resolve(index);
        put(value.data(), value.size());
        p = marker + kMarkerSize;
    }
}
