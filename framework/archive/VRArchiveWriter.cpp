#include "framework/archive/VRArchiveWriter.h"

#include "framework/archive/VRJsonWriter.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/styles/VRStyle.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDateTime>
#include <QRectF>
#include <QUuid>

VRArchiveWriter::VRArchiveWriter()
{
    m_styles.beginArray();
}

void VRArchiveWriter::writeObject(VRJsonWriter &out, const VRDrawableObject &object)
{
    out.beginObject();
    object.writeRecord(out, *this);
    out.end();
}

void VRArchiveWriter::writeObjects(VRJsonWriter &out, const VRObjectList &objects)
{
    out.beginArray();
    for (const auto &o : objects) {
        if (o)
            writeObject(out, *o);
    }
    out.end();
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

void VRArchiveWriter::writeStyleReference(VRJsonWriter &out, const VRStyleRef &style)
{
    if (!style) {
        out.null();
        return;
    }
    if (const auto written = m_keyOfStyle.constFind(style.get()); written != m_keyOfStyle.cend()) {
        out.value(written.value());
        return;
    }
    QString key = style->uniqueKey();
    if (key.isEmpty()) {
        out.null();
        return;
    }
    Q_ASSERT(!m_stylesTaken);
    if (m_styleKeys.contains(key)) {
        QJsonObject record = style->toJson(m_images);
        key = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        record.insert(QStringLiteral("key"), key);
        m_styles.value(QJsonValue(record));
    } else {
        style->writeRecord(m_styles, m_images);
    }
    m_styleKeys.insert(key, true);
    m_keyOfStyle.insert(style.get(), key);
    out.value(key);
}

QByteArray VRArchiveWriter::takeStylesText()
{
    Q_ASSERT(!m_stylesTaken);
    m_stylesTaken = true;
    m_styles.end();
    return m_styles.take();
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
    static const char hex[] = "0123456789ABCDEF";
    const int channels[4] = {rgb.red(), rgb.green(), rgb.blue(), rgb.alpha()};
    QString text(9, QLatin1Char('#'));
    QChar *p = text.data() + 1;
    for (const int channel : channels) {
        *p++ = QLatin1Char(hex[(channel >> 4) & 0xF]);
        *p++ = QLatin1Char(hex[channel & 0xF]);
    }
    return text;
}

void VRArchiveWriter::writeFont(VRJsonWriter &out, const QFont &f)
{
    out.beginObject();
    out.insert("bold", f.bold());
    out.insert("family", f.family());
    out.insert("italic", f.italic());
    out.insert("size", f.pointSizeF() > 0 ? f.pointSizeF() : double(f.pixelSize()));
    out.insert("underline", f.underline());
    out.end();
}

static void writeTagged(VRJsonWriter &out, const char *tag)
{
    out.beginObject();
    out.insert("$t", QLatin1String(tag));
    out.key(QLatin1String("v"));
}

void VRArchiveWriter::writeValue(VRJsonWriter &out, const QVariant &v, VRArchiveWriter *writer)
{
    if (!v.isValid() || v.isNull()) {
        out.null();
        return;
    }
    const QMetaType type = v.metaType();
    if (type == QMetaType::fromType<VRNull>()) {
        out.null();
        return;
    }
    switch (type.id()) {
    case QMetaType::Bool: out.value(v.toBool()); return;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::Short: out.value(v.toLongLong()); return;
    case QMetaType::Double:
    case QMetaType::Float: out.value(v.toDouble()); return;
    case QMetaType::QString: out.value(v.toString()); return;
    case QMetaType::QByteArray:
        writeTagged(out, "data");
        out.value(QString::fromLatin1(v.toByteArray().toBase64()));
        out.end();
        return;
    case QMetaType::QDateTime:
        writeTagged(out, "date");
        out.value(v.toDateTime().toString(Qt::ISODateWithMs));
        out.end();
        return;
    case QMetaType::QColor:
        writeTagged(out, "colour");
        out.value(colour(v.value<QColor>()));
        out.end();
        return;
    case QMetaType::QSizeF:
    case QMetaType::QSize: {
        const QSizeF s = v.toSizeF();
        writeTagged(out, "size");
        out.numbers({s.width(), s.height()});
        out.end();
        return;
    }
    case QMetaType::QPointF:
    case QMetaType::QPoint: {
        const QPointF p = v.toPointF();
        writeTagged(out, "point");
        out.numbers({p.x(), p.y()});
        out.end();
        return;
    }
    case QMetaType::QRectF:
    case QMetaType::QRect: {
        const QRectF r = v.toRectF();
        writeTagged(out, "rect");
        out.numbers({r.x(), r.y(), r.width(), r.height()});
        out.end();
        return;
    }
    case QMetaType::QVariantMap: writeMap(out, v.toMap(), writer); return;
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        out.beginArray();
        const QVariantList items = v.toList();
        for (const QVariant &item : items)
            writeValue(out, item, writer);
        out.end();
        return;
    }
    default: break;
    }
    if (type == QMetaType::fromType<VRStyleRef>()) {
        if (!writer) {
            out.null();
            return;
        }
        writeTagged(out, "style");
        writer->writeStyleReference(out, v.value<VRStyleRef>());
        out.end();
        return;
    }
    if (type == QMetaType::fromType<VRObjectRef>()) {
        const VRObjectRef object = v.value<VRObjectRef>();
        if (!writer || !object) {
            out.null();
            return;
        }
        writeTagged(out, "object");
        writer->writeObject(out, *object);
        out.end();
        return;
    }
    // Anything else has no stored form.
    out.null();
}

void VRArchiveWriter::writeMap(VRJsonWriter &out, const QVariantMap &m, VRArchiveWriter *writer)
{
    out.beginObject();
    for (auto it = m.constBegin(); it != m.constEnd(); ++it) {
        if (it.key().startsWith(QLatin1Char('$')))
            out.key(QLatin1Char('$') + it.key());
        else
            out.key(it.key());
        writeValue(out, it.value(), writer);
    }
    out.end();
}
