#pragma once

#include "framework/archive/VRJsonWriter.h"

#include <QByteArray>

#include <vector>

// Writes compact JSON text as the values arrive, without building a tree. The text is byte
// for byte what QJsonDocument::toJson(QJsonDocument::Compact) makes of the same values: an
// object's fields come out in QJsonObject's key order (UTF-16 code units), whatever order
// they were written in, and numbers and strings are spelled the same way.
class VRJsonStreamWriter final : public VRJsonWriter
{
public:
    VRJsonStreamWriter() = default;

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
    void rawValue(const QByteArray &json);
    // Reserves room for the text to come.
    void reserve(qsizetype bytes) { m_out.reserve(bytes); }
    // The text so far; every container must be closed.
    QByteArray take();
    const QByteArray &text() const { return m_out; }

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

    QByteArray m_out;
    QByteArray m_keys;
    QByteArray m_scratch;
    std::vector<Frame> m_frames;
    std::vector<Field> m_fields;
    std::vector<size_t> m_order;
};
