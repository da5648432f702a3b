#pragma once

#include "framework/archive/VRJsonWriter.h"

#include <QJsonArray>
#include <QJsonObject>

#include <vector>

// Builds the written values as a QJsonObject tree: for records that are compared, copied or
// embedded in other JSON rather than written to a file.
class VRJsonTreeWriter final : public VRJsonWriter
{
public:
    VRJsonTreeWriter() = default;

    void key(QLatin1String key) override { m_key = QString(key); }
    void key(const QString &key) override { m_key = key; }
    void value(bool v) override { add(QJsonValue(v)); }
    void value(qint64 v) override { add(QJsonValue(v)); }
    void value(double v) override { add(QJsonValue(v)); }
    void value(const QString &v) override { add(QJsonValue(v)); }
    void value(QLatin1String v) override { add(QJsonValue(v)); }
    void value(const QJsonValue &v) override { add(v); }
    void null() override { add(QJsonValue(QJsonValue::Null)); }
    using VRJsonWriter::value;
    void beginObject() override;
    void beginArray() override;
    void end() override;
    void remove(QLatin1String key) override;
    using VRJsonWriter::beginArray;
    using VRJsonWriter::beginObject;

    // The outermost object once it is closed.
    QJsonObject takeObject() { return std::move(m_result); }

private:
    struct Frame {
        bool object = false;
        QString key; // under which the container goes into its parent
        QJsonObject fields;
        QJsonArray items;
    };

    void add(const QJsonValue &v);

    std::vector<Frame> m_frames;
    QString m_key;
    QJsonObject m_result;
};
