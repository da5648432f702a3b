#include "framework/archive/VRArchiveWriter.h"

#include "framework/model/VRDrawableObject.h"
#include "framework/styles/VRStyle.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QRectF>
#include <QUuid>

QJsonObject VRArchiveWriter::objectRecord(const VRDrawableObject &object)
{
    QJsonObject record;
    object.writeRecord(record, *this);
    return record;
}

QJsonArray VRArchiveWriter::objectRecords(const VRObjectList &objects)
{
    QJsonArray records;
    for (const auto &o : objects) {
        if (o)
            records.append(objectRecord(*o));
    }
    return records;
}

qint64 VRArchiveWriter::uidOf(const VRDrawableObject *object)
{
    auto it = m_uids.constFind(object);
    if (it != m_uids.constEnd())
        return it.value();
    const qint64 uid = m_nextUid++;
    m_uids.insert(object, uid);
    return uid;
}

QJsonValue VRArchiveWriter::styleReference(const VRStyleRef &style)
{
    if (!style)
        return QJsonValue::Null;
    if (const auto written = m_keyOfStyle.constFind(style.get()); written != m_keyOfStyle.cend())
        return written.value();
    QString key = style->uniqueKey();
    if (key.isEmpty())
        return QJsonValue::Null;
    QJsonObject record = style->toJson(m_images);
    if (m_styleKeys.contains(key)) {
        key = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        record.insert(QStringLiteral("key"), key);
    }
    m_styleKeys.insert(key, true);
    m_keyOfStyle.insert(style.get(), key);
    m_styles.append(record);
    return key;
}

QString VRArchiveWriter::imageReference(const QImage &image)
{
    if (image.isNull())
        return QString();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const QString sha =
        QString::fromLatin1(QCryptographicHash::hash(png, QCryptographicHash::Sha1).toHex());
    if (!m_images.contains(sha))
        m_images.insert(sha, QString::fromLatin1(png.toBase64()));
    return sha;
}

QString VRArchiveWriter::colour(const QColor &c)
{
    if (!c.isValid())
        return QString();
    const QColor rgb = c.toRgb();
    return QStringLiteral("#%1%2%3%4")
        .arg(rgb.red(), 2, 16, QLatin1Char('0'))
        .arg(rgb.green(), 2, 16, QLatin1Char('0'))
        .arg(rgb.blue(), 2, 16, QLatin1Char('0'))
        .arg(rgb.alpha(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

QJsonObject VRArchiveWriter::font(const QFont &f)
{
    return {{QStringLiteral("family"), f.family()},
            {QStringLiteral("size"), f.pointSizeF() > 0 ? f.pointSizeF() : double(f.pixelSize())},
            {QStringLiteral("bold"), f.bold()},
            {QStringLiteral("italic"), f.italic()},
            {QStringLiteral("underline"), f.underline()}};
}

static QJsonObject tagged(const char *tag, const QJsonValue &v)
{
    return {{QStringLiteral("$t"), QLatin1String(tag)}, {QStringLiteral("v"), v}};
}

QJsonValue VRArchiveWriter::value(const QVariant &v, VRArchiveWriter *writer)
{
    if (!v.isValid() || v.isNull())
        return QJsonValue::Null;
    const QMetaType type = v.metaType();
    if (type == QMetaType::fromType<VRNull>())
        return QJsonValue::Null;
    switch (type.id()) {
    case QMetaType::Bool: return v.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short: return v.toLongLong();
    case QMetaType::Double:
    case QMetaType::Float: return v.toDouble();
    case QMetaType::QString: return v.toString();
    case QMetaType::QByteArray:
        return tagged("data", QString::fromLatin1(v.toByteArray().toBase64()));
    case QMetaType::QDateTime: return tagged("date", v.toDateTime().toString(Qt::ISODateWithMs));
    case QMetaType::QColor: return tagged("colour", colour(v.value<QColor>()));
    case QMetaType::QSizeF:
    case QMetaType::QSize: return tagged("size", size(v.toSizeF()));
    case QMetaType::QPointF:
    case QMetaType::QPoint: return tagged("point", point(v.toPointF()));
    case QMetaType::QRectF:
    case QMetaType::QRect: return tagged("rect", rect(v.toRectF()));
    case QMetaType::QVariantMap: return map(v.toMap(), writer);
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QJsonArray array;
        for (const QVariant &item : v.toList())
            array.append(value(item, writer));
        return array;
    }
    default: break;
    }
    if (type == QMetaType::fromType<VRStyleRef>()) {
        if (!writer)
            return QJsonValue::Null;
        return tagged("style", writer->styleReference(v.value<VRStyleRef>()));
    }
    if (type == QMetaType::fromType<VRObjectRef>()) {
        const VRObjectRef object = v.value<VRObjectRef>();
        if (!writer || !object)
            return QJsonValue::Null;
        return tagged("object", writer->objectRecord(*object));
    }
    // Anything else has no stored form.
    return QJsonValue::Null;
}

QJsonObject VRArchiveWriter::map(const QVariantMap &m, VRArchiveWriter *writer)
{
    QJsonObject object;
    for (auto it = m.constBegin(); it != m.constEnd(); ++it) {
        const QString key =
            it.key().startsWith(QLatin1Char('$')) ? QLatin1Char('$') + it.key() : it.key();
        object.insert(key, value(it.value(), writer));
    }
    return object;
}
