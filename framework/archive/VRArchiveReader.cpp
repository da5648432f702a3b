#include "framework/archive/VRArchiveReader.h"

#include "framework/archive/VRArchiveParser.h"
#include "framework/base/VRClassInfo.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRImageShape.h"
#include "framework/styles/VRStyle.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QScopeGuard>

#include <algorithm>
#include <charconv>
#include <cmath>

bool VRArchiveReader::fail(const QString &path, const QString &message)
{
    if (m_error.isEmpty())
        m_error = path + QStringLiteral(": ") + message;
    return false;
}

QString VRArchiveReader::typeError(const char *expected)
{
    return QStringLiteral("expected ") + QLatin1String(expected);
}

// "path[i]", built for every record read, so without QString::arg's pattern parsing.
static QString indexed(const QString &path, qsizetype i)
{
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, i);
    Q_UNUSED(error);
    QString text;
    text.reserve(path.size() + (end - digits) + 2);
    text += path;
    text += QLatin1Char('[');
    text += QLatin1StringView(digits, end - digits);
    text += QLatin1Char(']');
    return text;
}

// Makes room in `table` for the entries of a long list at once, so it grows in one step
// instead of by doubling as the list is read; what a file can make it reserve is bounded.
template <typename Table> static void reserveFor(Table &table, qsizetype entries)
{
    constexpr qsizetype kLongList = 256, kMostReserved = qsizetype(1) << 20;
    if (entries >= kLongList)
        table.reserve(table.size() + std::min(entries, kMostReserved));
}

namespace {

// A member of a record, read where it is. QJsonObject::value() copies a value out, counting a
// reference on the record's data for a string, an array or an object; the records of a large
// document were parsed on other threads, and each count takes that memory away from them.
class Field
{
public:
    Field(const QJsonObject &o, const QString &key)
        : m_it(o.constFind(key))
        , m_found(m_it != o.constEnd())
    {
    }
    QJsonValue::Type type() const { return m_found ? m_it->type() : QJsonValue::Undefined; }
    bool isUndefined() const { return !m_found; }
    bool isNull() const { return type() == QJsonValue::Null; }
    bool isBool() const { return type() == QJsonValue::Bool; }
    bool isDouble() const { return type() == QJsonValue::Double; }
    bool isString() const { return type() == QJsonValue::String; }
    bool isArray() const { return type() == QJsonValue::Array; }
    bool isObject() const { return type() == QJsonValue::Object; }
    bool toBool() const { return m_found && m_it->toBool(); }
    double toDouble() const { return m_found ? m_it->toDouble() : 0.0; }
    QString toString() const { return m_found ? m_it->toString() : QString(); }
    QJsonArray toArray() const { return m_found ? m_it->toArray() : QJsonArray(); }
    QJsonObject toObject() const { return m_found ? m_it->toObject() : QJsonObject(); }
    operator QJsonValue() const { return m_found ? QJsonValue(*m_it) : QJsonValue::Undefined; }

private:
    QJsonObject::const_iterator m_it;
    bool m_found;
};

} // namespace

static QString child(const QString &path, const QString &key)
{
    return path.isEmpty() ? key : path + QLatin1Char('.') + key;
}

bool VRArchiveReader::readStyles(const QJsonValue &styles, const QString &path)
{
    if (styles.isUndefined() || styles.isNull())
        return true;
    if (!styles.isArray())
        return fail(path, typeError("an array of styles"));
    VRArraySource array(styles.toArray());
    return readStyles(array, path);
}

bool VRArchiveReader::readStyles(VRRecordSource &styles, const QString &path)
{
    reserveFor(m_styles, styles.size());
    if (styles.size() >= 256)
        m_styleOrder.reserve(m_styleOrder.size()
                             + size_t(std::min<qsizetype>(styles.size(), 1 << 20)));
    for (qsizetype i = 0; i < styles.size(); ++i) {
        VRStyleRef style = styles.preparedStyle(i);
        if (!style) {
            const QJsonValue record = styles.at(i);
            if (!record.isObject())
                return fail(indexed(path, i), typeError("a style record"));
            auto read =
                VRStyle::fromJson(record.toObject(), m_images, QStringLiteral("style"), m_decoded);
            if (!read.ok())
                return fail(indexed(path, i), read.errorMessage());
            style = read.value();
        }
        const QString key = style->uniqueKey();
        if (key.isEmpty())
            return fail(indexed(path, i), QStringLiteral("the style has no key"));
        const auto known = m_styles.constFind(key);
        if (known != m_styles.constEnd())
            m_styleOrder[known.value()].first.clear();
        m_styles.insert(key, m_styleOrder.size());
        m_styleOrder.emplace_back(key, std::move(style));
        if (!countRecord(path))
            return false;
    }
    return true;
}

bool VRArchiveReader::countRecord(const QString &path)
{
    ++m_recordsRead;
    if (!m_progress || m_recordsRead % kProgressEvery != 0 || m_progress(m_recordsRead))
        return true;
    m_cancelled = true;
    return fail(path, QStringLiteral("the reading was cancelled"));
}

VRObjectRef VRArchiveReader::readObject(const QJsonValue &value, const QString &path)
{
    if (failed())
        return nullptr;
    if (!value.isObject()) {
        fail(path, typeError("an object record"));
        return nullptr;
    }
    const QJsonObject record = value.toObject();
    const QJsonValue classValue = record.value(QStringLiteral("class"));
    if (!classValue.isString()) {
        fail(child(path, QStringLiteral("class")), typeError("a class name"));
        return nullptr;
    }
    const VRClassInfo *info = VRClassInfo::byName(classValue.toString());
    if (!info || !info->create || !info->isSubclassOf(VRDrawableObject::staticClass())) {
        fail(child(path, QStringLiteral("class")),
             QStringLiteral("unknown object class \"%1\"").arg(classValue.toString().left(80)));
        return nullptr;
    }
    auto object = std::static_pointer_cast<VRDrawableObject>(info->create());
    qint64 uid = 0;
    if (!readInt64(record, QStringLiteral("uid"), path, uid))
        return nullptr;
    if (uid != 0) {
        // One look-up in the table for the uid: a new one gets its place at once.
        VRObjectRef &known = m_objects[uid];
        if (known) {
            fail(child(path, QStringLiteral("uid")), QStringLiteral("duplicate uid %1").arg(uid));
            return nullptr;
        }
        known = object;
    }
    if (!object->readRecord(record, *this, path))
        return nullptr;
    return object;
}

VRObjectList VRArchiveReader::readObjects(const QJsonValue &records, const QString &path)
{
    VRObjectList objects;
    if (records.isUndefined() || records.isNull())
        return objects;
    if (!records.isArray()) {
        fail(path, typeError("an array of objects"));
        return objects;
    }
    VRArraySource array(records.toArray());
    return readObjects(array, path);
}

VRObjectList VRArchiveReader::readObjects(VRRecordSource &records, const QString &path)
{
    VRObjectList objects;
    objects.reserve(records.size());
    // Most records carry a uid.
    reserveFor(m_objects, records.size());
    ++m_listDepth;
    const auto leave = qScopeGuard([this] { --m_listDepth; });
    for (qsizetype i = 0; i < records.size(); ++i) {
        auto object = readObject(records.at(i), indexed(path, i));
        if (!object)
            return {};
        objects.append(object);
        if (m_listDepth == 1 && !countRecord(path))
            return {};
    }
    return objects;
}

bool VRArchiveReader::resolveReferences()
{
    for (int i = 0; i < m_fixUps.size() && !failed(); ++i) {
        if (!m_fixUps[i](*this))
            return fail(QStringLiteral("references"), QStringLiteral("unresolved reference"));
    }
    m_fixUps.clear();
    return !failed();
}

bool VRArchiveReader::readNumber(const QJsonObject &o, const QString &key, const QString &path,
                                 double &out, bool required, double min, double max)
{
    const Field v(o, key);
    if (v.isUndefined())
        return required ? fail(child(path, key), QStringLiteral("missing")) : true;
    if (!v.isDouble() || !std::isfinite(v.toDouble()))
        return fail(child(path, key), typeError("a finite number"));
    const double d = v.toDouble();
    if (d < min || d > max)
        return fail(child(path, key), QStringLiteral("number out of range"));
    out = d;
    return true;
}

bool VRArchiveReader::readInt(const QJsonObject &o, const QString &key, const QString &path,
                              int &out, bool required, int min, int max)
{
    double d = out;
    if (!readNumber(o, key, path, d, required, min, max))
        return false;
    if (d != std::floor(d))
        return fail(child(path, key), typeError("an integer"));
    out = int(d);
    return true;
}

bool VRArchiveReader::readInt64(const QJsonObject &o, const QString &key, const QString &path,
                                qint64 &out, bool required)
{
    double d = double(out);
    if (!readNumber(o, key, path, d, required, -9007199254740992.0, 9007199254740992.0))
        return false;
    if (d != std::floor(d))
        return fail(child(path, key), typeError("an integer"));
    out = qint64(d);
    return true;
}

bool VRArchiveReader::readBool(const QJsonObject &o, const QString &key, const QString &path,
                               bool &out, bool required)
{
    const Field v(o, key);
    if (v.isUndefined())
        return required ? fail(child(path, key), QStringLiteral("missing")) : true;
    if (!v.isBool())
        return fail(child(path, key), typeError("true or false"));
    out = v.toBool();
    return true;
}

bool VRArchiveReader::readString(const QJsonObject &o, const QString &key, const QString &path,
                                 QString &out, bool required, bool nullable)
{
    const Field v(o, key);
    if (v.isUndefined())
        return required ? fail(child(path, key), QStringLiteral("missing")) : true;
    if (nullable && v.isNull()) {
        out = QString();
        return true;
    }
    if (!v.isString())
        return fail(child(path, key), typeError("a string"));
    out = v.toString();
    return true;
}

static bool twoNumbers(const QJsonArray &array, double &a, double &b, double limit);

static bool twoNumbers(const QJsonValue &v, double &a, double &b, double limit)
{
    return v.isArray() && twoNumbers(v.toArray(), a, b, limit);
}

static bool twoNumbers(const Field &v, double &a, double &b, double limit)
{
    return v.isArray() && twoNumbers(v.toArray(), a, b, limit);
}

static bool twoNumbers(const QJsonArray &array, double &a, double &b, double limit)
{
    if (array.size() != 2)
        return false;
    const QJsonValue first = array.at(0), second = array.at(1);
    if (!first.isDouble() || !second.isDouble())
        return false;
    a = first.toDouble();
    b = second.toDouble();
    return std::isfinite(a) && std::isfinite(b) && std::abs(a) <= limit && std::abs(b) <= limit;
}

bool VRArchiveReader::pointFromValue(const QJsonValue &v, QPointF &out)
{
    double x, y;
    if (!twoNumbers(v, x, y, kMaximumCoordinate))
        return false;
    out = QPointF(x, y);
    return true;
}

bool VRArchiveReader::readPoint(const QJsonObject &o, const QString &key, const QString &path,
                                QPointF &out, bool required)
{
    const Field v(o, key);
    if (v.isUndefined())
        return required ? fail(child(path, key), QStringLiteral("missing")) : true;
    double x, y;
    if (!twoNumbers(v, x, y, kMaximumCoordinate))
        return fail(child(path, key), typeError("two numbers within the drawing range"));
    out = QPointF(x, y);
    return true;
}

bool VRArchiveReader::readSize(const QJsonObject &o, const QString &key, const QString &path,
                               QSizeF &out, bool required, bool allowNegative)
{
    const Field v(o, key);
    if (v.isUndefined())
        return required ? fail(child(path, key), QStringLiteral("missing")) : true;
    double w, h;
    if (!twoNumbers(v, w, h, kMaximumCoordinate) || (!allowNegative && (w < 0 || h < 0)))
        return fail(child(path, key), allowNegative ? typeError("two numbers")
                                                    : typeError("two non-negative numbers"));
    out = QSizeF(w, h);
    return true;
}

QColor VRArchiveReader::colourFromString(const QString &text)
{
    if (!text.startsWith(QLatin1Char('#')) || (text.size() != 7 && text.size() != 9))
        return {};
    bool ok = false;
    const uint value = text.mid(1).toUInt(&ok, 16);
    if (!ok)
        return {};
    if (text.size() == 7)
        return QColor((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    return QColor((value >> 24) & 0xFF, (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

bool VRArchiveReader::readColour(const QJsonObject &o, const QString &key, const QString &path,
                                 QColor &out, bool required, bool nullable)
{
    const Field v(o, key);
    if (v.isUndefined())
        return required ? fail(child(path, key), QStringLiteral("missing")) : true;
    if (nullable && v.isNull()) {
        out = QColor();
        return true;
    }
    const QColor c = v.isString() ? colourFromString(v.toString()) : QColor();
    if (!c.isValid())
        return fail(child(path, key), typeError("a colour \"#RRGGBBAA\""));
    out = c;
    return true;
}

bool VRArchiveReader::readPath(const QJsonObject &o, const QString &key, const QString &path,
                               QPainterPath &out, bool required)
{
    const Field v(o, key);
    if (v.isUndefined())
        return required ? fail(child(path, key), QStringLiteral("missing")) : true;
    if (!v.isString())
        return fail(child(path, key), typeError("path data"));
    auto parsed = VRPath::fromSvgData(v.toString());
    if (!parsed)
        return fail(child(path, key),
                    typeError("path data (M, L, C, Z with coordinates in range)"));
    out = *parsed;
    return true;
}

bool VRArchiveReader::readFont(const QJsonObject &o, const QString &key, const QString &path,
                               QFont &out)
{
    const Field v(o, key);
    if (v.isUndefined())
        return true;
    if (!v.isObject())
        return fail(child(path, key), typeError("a font record"));
    const QJsonObject f = v.toObject();
    const QString fp = child(path, key);
    QString family = out.family();
    double size = out.pointSizeF() > 0 ? out.pointSizeF() : 12.0;
    bool bold = out.bold(), italic = out.italic(), underline = out.underline();
    if (!readString(f, QStringLiteral("family"), fp, family)
        || !readNumber(f, QStringLiteral("size"), fp, size, false, 0.5, 5000)
        || !readBool(f, QStringLiteral("bold"), fp, bold)
        || !readBool(f, QStringLiteral("italic"), fp, italic)
        || !readBool(f, QStringLiteral("underline"), fp, underline))
        return false;
    // Texts of one file mostly share a few fonts: equal fonts share one copy.
    const FontKey fontKey{family, size, bold, italic, underline};
    const auto known = m_fonts.constFind(fontKey);
    if (known != m_fonts.constEnd()) {
        out = known.value();
        return true;
    }
    QFont font(family);
    font.setPointSizeF(size);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    m_fonts.insert(fontKey, font);
    out = font;
    return true;
}

bool VRArchiveReader::readStyle(const QJsonObject &o, const QString &key, const QString &path,
                                VRStyleRef &out)
{
    const Field v(o, key);
    if (v.isUndefined() || v.isNull()) {
        out = nullptr;
        return true;
    }
    if (!v.isString())
        return fail(child(path, key), typeError("a style key"));
    const QString name = v.toString();
    if (!name.isEmpty() && m_nextStyle < m_styleOrder.size()
        && m_styleOrder[m_nextStyle].first == name) {
        out = m_styleOrder[m_nextStyle++].second;
        return true;
    }
    auto it = m_styles.constFind(name);
    if (it == m_styles.constEnd())
        return fail(child(path, key), QStringLiteral("unknown style \"%1\"").arg(name.left(80)));
    out = m_styleOrder[it.value()].second;
    m_nextStyle = it.value() + 1;
    return true;
}

bool VRArchiveReader::readImage(const QJsonObject &o, const QString &key, const QString &path,
                                QImage &out, VRWithheldPicture *withheld)
{
    const Field v(o, key);
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isString())
        return fail(child(path, key), typeError("an image reference"));
    const QString sha = v.toString();
    auto cached = m_decoded->images.constFind(sha);
    if (cached != m_decoded->images.constEnd()) {
        out = cached.value();
        return true;
    }
    const QJsonValue data = m_images.value(sha);
    if (!data.isString())
        return fail(child(path, key), QStringLiteral("unknown image \"%1\"").arg(sha.left(80)));
    const QByteArray png = QByteArray::fromBase64(data.toString().toLatin1());
    QString why;
    QSize tooLarge;
    const QImage image = VRStyleCoding::decodeImage(png, *m_decoded, &why, &tooLarge);
    if (image.isNull() && withheld && !tooLarge.isEmpty()) {
        *withheld = VRWithheldPicture{sha, data.toString(), tooLarge};
        return true;
    }
    if (image.isNull())
        return fail(child(path, key), QStringLiteral("the image %1").arg(why));
    m_decoded->images.insert(sha, image);
    out = image;
    return true;
}

bool VRArchiveReader::readObjectRecord(const QJsonObject &o, const QString &key,
                                       const QString &path, QJsonObject &out, bool required)
{
    const Field v(o, key);
    if (v.isUndefined())
        return required ? fail(child(path, key), QStringLiteral("missing")) : true;
    if (!v.isObject())
        return fail(child(path, key), typeError("an object"));
    out = v.toObject();
    return true;
}

bool VRArchiveReader::readArray(const QJsonObject &o, const QString &key, const QString &path,
                                QJsonArray &out, bool required)
{
    const Field v(o, key);
    if (v.isUndefined())
        return required ? fail(child(path, key), QStringLiteral("missing")) : true;
    if (!v.isArray())
        return fail(child(path, key), typeError("an array"));
    out = v.toArray();
    return true;
}

bool VRArchiveReader::readMap(const QJsonObject &o, const QString &key, const QString &path,
                              QVariantMap &out)
{
    const Field v(o, key);
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isObject())
        return fail(child(path, key), typeError("a dictionary"));
    // Many objects carry the same small dictionary of plain values (an "ID" of their part,
    // say): equal ones share one copy. Tagged values are left out, since reading them makes
    // objects and looks up styles.
    const QJsonObject record = v.toObject();
    if (record.isEmpty()) {
        out = QVariantMap();
        return true;
    }
    const bool shareable =
        record.size() <= kMaximumSharedMapSize
        && std::all_of(record.constBegin(), record.constEnd(), [](const QJsonValueConstRef &item) {
               return !item.isObject() && !item.isArray();
           });
    if (shareable) {
        const auto known = m_maps.constFind({record});
        if (known != m_maps.constEnd()) {
            out = known.value();
            return true;
        }
    }
    QVariant value;
    if (!readValue(v, child(path, key), value))
        return false;
    out = value.toMap();
    if (shareable)
        m_maps.insert({record}, out);
    return true;
}

bool VRArchiveReader::readValue(const QJsonValue &v, const QString &path, QVariant &out, int depth)
{
    if (depth > kMaximumValueDepth)
        return fail(path, QStringLiteral("nested too deeply"));
    switch (v.type()) {
    case QJsonValue::Null: out = QVariant::fromValue(VRNull{}); return true;
    case QJsonValue::Bool: out = v.toBool(); return true;
    case QJsonValue::Double: {
        const double d = v.toDouble();
        if (!std::isfinite(d))
            return fail(path, typeError("a finite number"));
        if (d == std::floor(d) && std::abs(d) <= 9007199254740992.0)
            out = QVariant::fromValue(qint64(d));
        else
            out = d;
        return true;
    }
    case QJsonValue::String: out = v.toString(); return true;
    case QJsonValue::Array: {
        QVariantList list;
        const QJsonArray array = v.toArray();
        for (int i = 0; i < array.size(); ++i) {
            QVariant item;
            if (!readValue(array.at(i), indexed(path, i), item, depth + 1))
                return false;
            list.append(item);
        }
        out = list;
        return true;
    }
    case QJsonValue::Object: {
        const QJsonObject o = v.toObject();
        if (o.contains(QStringLiteral("$t"))) {
            const QString tag = o.value(QStringLiteral("$t")).toString();
            const QJsonValue tv = o.value(QStringLiteral("v"));
            if (tag == QLatin1String("colour")) {
                const QColor c = colourFromString(tv.toString());
                if (!c.isValid())
                    return fail(path, typeError("a colour"));
                out = c;
                return true;
            }
            double a, b;
            if (tag == QLatin1String("size") || tag == QLatin1String("point")) {
                if (!twoNumbers(tv, a, b, kMaximumCoordinate))
                    return fail(path, typeError("two numbers"));
                out =
                    tag == QLatin1String("size") ? QVariant(QSizeF(a, b)) : QVariant(QPointF(a, b));
                return true;
            }
            if (tag == QLatin1String("rect")) {
                const QJsonArray r = tv.toArray();
                if (r.size() != 4
                    || !twoNumbers(QJsonArray{r.at(0), r.at(1)}, a, b, kMaximumCoordinate))
                    return fail(path, typeError("four numbers"));
                double w, h;
                if (!twoNumbers(QJsonArray{r.at(2), r.at(3)}, w, h, kMaximumCoordinate))
                    return fail(path, typeError("four numbers"));
                out = QRectF(a, b, w, h);
                return true;
            }
            if (tag == QLatin1String("data")) {
                if (!tv.isString())
                    return fail(path, typeError("base64 data"));
                out = QByteArray::fromBase64(tv.toString().toLatin1());
                return true;
            }
            if (tag == QLatin1String("date")) {
                const QDateTime date = QDateTime::fromString(tv.toString(), Qt::ISODateWithMs);
                if (!date.isValid())
                    return fail(path, typeError("an ISO date"));
                out = date;
                return true;
            }
            if (tag == QLatin1String("style")) {
                VRStyleRef style;
                if (!readStyle(QJsonObject{{QStringLiteral("v"), tv}}, QStringLiteral("v"), path,
                               style))
                    return false;
                out = QVariant::fromValue(style);
                return true;
            }
            if (tag == QLatin1String("object")) {
                auto object = readObject(tv, path + QStringLiteral(".v"));
                if (!object)
                    return false;
                out = QVariant::fromValue(object);
                return true;
            }
            return fail(path, QStringLiteral("unknown value tag \"%1\"").arg(tag.left(40)));
        }
        QVariantMap map;
        for (auto it = o.constBegin(); it != o.constEnd(); ++it) {
            QVariant item;
            if (!readValue(it.value(), child(path, it.key()), item, depth + 1))
                return false;
            const QString key =
                it.key().startsWith(QLatin1String("$$")) ? it.key().mid(1) : it.key();
            map.insert(key, item);
        }
        out = map;
        return true;
    }
    case QJsonValue::Undefined: break;
    }
    return fail(path, typeError("a value"));
}
