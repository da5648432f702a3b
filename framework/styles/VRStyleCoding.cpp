#include "framework/styles/VRStyleCoding.h"

#include "framework/styles/VRColorStop.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImageReader>
#include <QJsonArray>
#include <QRegularExpression>

#include <cmath>

namespace {
constexpr qsizetype kMaxImageBytes = 64 * 1024 * 1024;
constexpr int kMaxImageSide = 16384;
}

VRStyleCoding::VRStyleCoding(const QJsonObject *images, const QString &path)
    : m_images(images)
    , m_path(path)
{
}

QString VRStyleCoding::colourString(const QColor &colour)
{
    const QColor c = colour.isValid() ? colour.toRgb() : QColor(Qt::transparent);
    return QStringLiteral("#%1%2%3%4")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'))
        .arg(c.alpha(), 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<QColor> VRStyleCoding::parseColour(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^#([0-9A-Fa-f]{6}|[0-9A-Fa-f]{8})$"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    const uint v = text.mid(1).toUInt(nullptr, 16);
    if (text.size() == 7)
        return QColor((v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff);
    return QColor((v >> 24) & 0xff, (v >> 16) & 0xff, (v >> 8) & 0xff, v & 0xff);
}

QJsonValue VRStyleCoding::shadowJson(const std::optional<VRShadow> &shadow)
{
    if (!shadow)
        return QJsonValue::Null;
    return QJsonObject{{"colour", colourString(shadow->shadowColor())},
                       {"blur", shadow->shadowBlurRadius()},
                       {"distance", shadow->distance()},
                       {"angle", shadow->angleInDegrees()}};
}

QJsonValue VRStyleCoding::dashJson(const VRDashRef &dash)
{
    if (!dash)
        return QJsonValue::Null;
    QJsonArray pattern;
    for (double v : dash->dashPattern())
        pattern.append(v);
    return QJsonObject{
        {"pattern", pattern}, {"phase", dash->phase()}, {"scales", dash->scalesToLineWidth()}};
}

QJsonValue VRStyleCoding::gradientJson(const VRGradientRef &g)
{
    if (!g)
        return QJsonValue::Null;
    auto pair = [](const QPointF &p) { return QJsonArray{p.x(), p.y()}; };
    QJsonObject o;
    o["type"] = g->gradientType();
    o["blending"] = g->gradientBlending();
    o["interpolation"] = g->gradientInterpolation();
    o["angle"] = g->angleInDegrees();
    o["linear"] =
        g->hasLinearPoints()
            ? QJsonValue(QJsonArray{pair(g->linearStartingPoint()), pair(g->linearEndingPoint())})
            : QJsonValue(QJsonValue::Null);
    o["radial"] = QJsonObject{{"start", pair(g->radialStartingPoint())},
                              {"end", pair(g->radialEndingPoint())},
                              {"startRadius", g->radialStartingRadius()},
                              {"endRadius", g->radialEndingRadius()}};
    if (g->gradientType() == VRGradient::Elliptical) {
        const auto e = g->ellipticalGradientParams();
        o["elliptical"] = QJsonArray{e.scaleX, e.scaleY, e.offsetX, e.offsetY, e.angle};
    } else {
        o["elliptical"] = QJsonValue::Null;
    }
    QJsonArray stops;
    for (const auto &stop : g->colorStops())
        stops.append(QJsonArray{stop->position(), colourString(stop->color())});
    o["stops"] = stops;
    return o;
}

QJsonObject VRStyleCoding::fontJson(const QFont &font)
{
    return QJsonObject{{"family", font.family()},
                       {"size", font.pointSizeF() > 0 ? font.pointSizeF() : 12.0},
                       {"bold", font.bold()},
                       {"italic", font.italic()},
                       {"underline", font.underline()}};
}

QJsonValue VRStyleCoding::textAttributesJson(const QVariantMap &attributes)
{
    if (attributes.isEmpty())
        return QJsonValue::Null;
    QJsonObject o;
    if (attributes.contains(QStringLiteral("font")))
        o["font"] = fontJson(attributes.value(QStringLiteral("font")).value<QFont>());
    if (attributes.contains(QStringLiteral("colour")))
        o["colour"] = colourString(attributes.value(QStringLiteral("colour")).value<QColor>());
    if (attributes.contains(QStringLiteral("underline")))
        o["underline"] = attributes.value(QStringLiteral("underline")).toBool();
    return o;
}

QJsonValue VRStyleCoding::imageJson(const QImage &image, QJsonObject &images)
{
    if (image.isNull())
        return QJsonValue::Null;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const QString key =
        QString::fromLatin1(QCryptographicHash::hash(png, QCryptographicHash::Sha1).toHex());
    if (!images.contains(key))
        images.insert(key, QString::fromLatin1(png.toBase64()));
    return key;
}

QString VRStyleCoding::childPath(const QString &key) const
{
    if (key.startsWith(QLatin1Char('[')))
        return m_path + key;
    return m_path.isEmpty() ? key : m_path + QLatin1Char('.') + key;
}

VRStyleCoding VRStyleCoding::child(const QString &key) const
{
    VRStyleCoding c(m_images, childPath(key));
    c.m_decoded = m_decoded;
    c.m_depth = m_depth + 1;
    return c;
}

void VRStyleCoding::fail(const QString &key, const QString &what)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("%1: %2").arg(key.isEmpty() ? m_path : childPath(key), what);
}

double VRStyleCoding::number(const QJsonObject &o, const QString &key, double def, double min,
                             double max)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return def;
    const double d = v.toDouble(std::nan(""));
    if (!v.isDouble() || !std::isfinite(d) || d < min || d > max) {
        fail(key, QStringLiteral("expected a number from %1 to %2").arg(min).arg(max));
        return def;
    }
    return d;
}

int VRStyleCoding::integer(const QJsonObject &o, const QString &key, int def, int min, int max)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return def;
    const double d = v.toDouble(std::nan(""));
    if (!v.isDouble() || !std::isfinite(d) || d != std::floor(d) || d < min || d > max) {
        fail(key, QStringLiteral("expected a whole number from %1 to %2").arg(min).arg(max));
        return def;
    }
    return static_cast<int>(d);
}

int VRStyleCoding::choice(const QJsonObject &o, const QString &key, int def,
                          std::initializer_list<int> allowed)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return def;
    const double d = v.toDouble(std::nan(""));
    for (int a : allowed) {
        if (v.isDouble() && d == a)
            return a;
    }
    QStringList names;
    for (int a : allowed)
        names.append(QString::number(a));
    fail(key, QStringLiteral("expected one of %1").arg(names.join(QStringLiteral(", "))));
    return def;
}

bool VRStyleCoding::boolean(const QJsonObject &o, const QString &key, bool def)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return def;
    if (!v.isBool()) {
        fail(key, QStringLiteral("expected true or false"));
        return def;
    }
    return v.toBool();
}

QString VRStyleCoding::string(const QJsonObject &o, const QString &key, const QString &def,
                              int maxLength)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return def;
    if (!v.isString() || v.toString().size() > maxLength) {
        fail(key, QStringLiteral("expected a text of at most %1 characters").arg(maxLength));
        return def;
    }
    return v.toString();
}

QColor VRStyleCoding::colour(const QJsonObject &o, const QString &key, const QColor &def)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return def;
    const auto c = v.isString() ? parseColour(v.toString()) : std::nullopt;
    if (!c) {
        fail(key, QStringLiteral("expected a colour \"#RRGGBBAA\""));
        return def;
    }
    return *c;
}

QSizeF VRStyleCoding::size(const QJsonObject &o, const QString &key, const QSizeF &def, double min,
                           double max)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined())
        return def;
    const QJsonArray a = v.toArray();
    if (!v.isArray() || a.size() != 2 || !a[0].isDouble() || !a[1].isDouble()
        || !(a[0].toDouble() >= min && a[0].toDouble() <= max)
        || !(a[1].toDouble() >= min && a[1].toDouble() <= max)) {
        fail(key, QStringLiteral("expected two numbers from %1 to %2").arg(min).arg(max));
        return def;
    }
    return {a[0].toDouble(), a[1].toDouble()};
}

std::optional<VRShadow> VRStyleCoding::shadow(const QJsonObject &o, const QString &key)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return std::nullopt;
    if (!v.isObject()) {
        fail(key, QStringLiteral("expected a shadow record or null"));
        return std::nullopt;
    }
    VRStyleCoding c = child(key);
    const QJsonObject s = v.toObject();
    VRShadow shadow(c.colour(s, QStringLiteral("colour"), QColor(0, 0, 0, 85)),
                    c.number(s, QStringLiteral("blur"), 4.0, 0.0, 200.0),
                    c.number(s, QStringLiteral("distance"), 3.0, 0.0, 1000.0),
                    c.number(s, QStringLiteral("angle"), 45.0, -3600.0, 3600.0));
    setError(c.error());
    return shadow;
}

VRDashRef VRStyleCoding::dash(const QJsonObject &o, const QString &key)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return nullptr;
    if (!v.isObject()) {
        fail(key, QStringLiteral("expected a dash record or null"));
        return nullptr;
    }
    VRStyleCoding c = child(key);
    const QJsonObject d = v.toObject();
    const QJsonArray pattern = d.value(QStringLiteral("pattern")).toArray();
    if (!d.value(QStringLiteral("pattern")).isArray()
        || pattern.size() > VRStrokeDash::kMaximumCount) {
        c.fail(QStringLiteral("pattern"), QStringLiteral("expected a list of at most 8 lengths"));
        setError(c.error());
        return nullptr;
    }
    QList<double> values;
    for (const QJsonValue &p : pattern) {
        if (!p.isDouble() || !(p.toDouble() >= 0 && p.toDouble() <= 1.0e4)) {
            c.fail(QStringLiteral("pattern"), QStringLiteral("expected lengths from 0 to 10000"));
            break;
        }
        values.append(p.toDouble());
    }
    auto dash =
        VRStrokeDash::create(values, c.number(d, QStringLiteral("phase"), 0.0, -1.0e4, 1.0e4),
                             c.boolean(d, QStringLiteral("scales"), false));
    setError(c.error());
    if (!c.ok())
        return nullptr;
    // A registered pattern comes back as the shared registered object.
    for (const VRDashRef &registered : VRStrokeDash::registeredDashes()) {
        if (registered->isEqual(*dash))
            return registered;
    }
    return dash;
}

VRGradientRef VRStyleCoding::gradient(const QJsonObject &o, const QString &key)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return nullptr;
    if (!v.isObject()) {
        fail(key, QStringLiteral("expected a gradient record or null"));
        return nullptr;
    }
    VRStyleCoding c = child(key);
    const QJsonObject g = v.toObject();
    auto gradient = VRGradient::create();
    gradient->setGradientType(c.choice(g, QStringLiteral("type"), 0, {0, 1, 2, 4}));
    gradient->setGradientBlending(c.choice(g, QStringLiteral("blending"), 0, {0, 1}));
    gradient->setGradientInterpolation(
        c.choice(g, QStringLiteral("interpolation"), 0, {0, 1, 2, 3, 4}));
    gradient->setAngleInDegrees(c.number(g, QStringLiteral("angle"), 0.0, -3600.0, 3600.0));
    auto pointAt = [&](const QJsonValue &pv, const QString &name, QPointF *out) {
        const QJsonArray a = pv.toArray();
        if (!pv.isArray() || a.size() != 2 || !a[0].isDouble() || !a[1].isDouble()
            || !(std::abs(a[0].toDouble()) <= 100.0) || !(std::abs(a[1].toDouble()) <= 100.0)) {
            c.fail(name, QStringLiteral("expected two numbers from -100 to 100"));
            return false;
        }
        *out = QPointF(a[0].toDouble(), a[1].toDouble());
        return true;
    };
    const QJsonValue linear = g.value(QStringLiteral("linear"));
    if (!linear.isUndefined() && !linear.isNull()) {
        const QJsonArray a = linear.toArray();
        QPointF p0, p1;
        if (!linear.isArray() || a.size() != 2)
            c.fail(QStringLiteral("linear"), QStringLiteral("expected two points or null"));
        else if (pointAt(a[0], QStringLiteral("linear[0]"), &p0)
                 && pointAt(a[1], QStringLiteral("linear[1]"), &p1)) {
            gradient->setLinearStartingPoint(p0);
            gradient->setLinearEndingPoint(p1);
        }
    }
    const QJsonValue radialValue = g.value(QStringLiteral("radial"));
    if (radialValue.isObject()) {
        VRStyleCoding rc = c.child(QStringLiteral("radial"));
        const QJsonObject r = radialValue.toObject();
        QPointF p;
        if (r.contains(QStringLiteral("start"))
            && pointAt(r.value(QStringLiteral("start")), QStringLiteral("radial.start"), &p))
            gradient->setRadialStartingPoint(p);
        if (r.contains(QStringLiteral("end"))
            && pointAt(r.value(QStringLiteral("end")), QStringLiteral("radial.end"), &p))
            gradient->setRadialEndingPoint(p);
        gradient->setRadialStartingRadius(
            rc.number(r, QStringLiteral("startRadius"), 0.0, 0.0, 100.0));
        gradient->setRadialEndingRadius(rc.number(r, QStringLiteral("endRadius"), 0.5, 0.0, 100.0));
        c.setError(rc.error());
    } else if (!radialValue.isUndefined() && !radialValue.isNull()) {
        c.fail(QStringLiteral("radial"), QStringLiteral("expected a radial record"));
    }
    const QJsonValue elliptical = g.value(QStringLiteral("elliptical"));
    if (!elliptical.isUndefined() && !elliptical.isNull()) {
        const QJsonArray a = elliptical.toArray();
        bool good = elliptical.isArray() && a.size() == 5;
        for (int i = 0; good && i < 5; ++i)
            good = a[i].isDouble() && std::abs(a[i].toDouble()) <= 3600.0;
        if (!good)
            c.fail(QStringLiteral("elliptical"), QStringLiteral("expected five numbers or null"));
        else
            gradient->setQntEllipticalGradientParams({a[0].toDouble(), a[1].toDouble(),
                                                      a[2].toDouble(), a[3].toDouble(),
                                                      a[4].toDouble()});
    }
    const QJsonValue stopsValue = g.value(QStringLiteral("stops"));
    const QJsonArray stops = stopsValue.toArray();
    if (!stopsValue.isArray() || stops.size() > 256) {
        c.fail(QStringLiteral("stops"),
               QStringLiteral("expected a list of at most 256 colour stops"));
    } else {
        QList<std::pair<double, QColor>> read;
        for (qsizetype i = 0; i < stops.size() && c.ok(); ++i) {
            const QJsonArray s = stops[i].toArray();
            const auto colour =
                s.size() == 2 && s[1].isString() ? parseColour(s[1].toString()) : std::nullopt;
            if (!stops[i].isArray() || s.size() != 2 || !s[0].isDouble()
                || !(s[0].toDouble() >= 0.0 && s[0].toDouble() <= 1.0) || !colour) {
                c.fail(QStringLiteral("stops[%1]").arg(i),
                       QStringLiteral("expected [position 0...1, \"#RRGGBBAA\"]"));
                break;
            }
            read.append({s[0].toDouble(), *colour});
        }
        gradient->setColorStops(read);
    }
    setError(c.error());
    return c.ok() ? gradient : nullptr;
}

QFont VRStyleCoding::font(const QJsonObject &o, const QString &key, const QFont &def)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return def;
    if (!v.isObject()) {
        fail(key, QStringLiteral("expected a font record"));
        return def;
    }
    VRStyleCoding c = child(key);
    const QJsonObject f = v.toObject();
    QFont font(def);
    const QString family = c.string(f, QStringLiteral("family"), def.family(), 256);
    if (!family.isEmpty())
        font.setFamily(family);
    font.setPointSizeF(c.number(f, QStringLiteral("size"),
                                def.pointSizeF() > 0 ? def.pointSizeF() : 12.0, 0.5, 4000.0));
    font.setBold(c.boolean(f, QStringLiteral("bold"), def.bold()));
    font.setItalic(c.boolean(f, QStringLiteral("italic"), def.italic()));
    font.setUnderline(c.boolean(f, QStringLiteral("underline"), def.underline()));
    setError(c.error());
    return font;
}

QVariantMap VRStyleCoding::textAttributes(const QJsonObject &o, const QString &key)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return {};
    if (!v.isObject()) {
        fail(key, QStringLiteral("expected a text attributes record or null"));
        return {};
    }
    VRStyleCoding c = child(key);
    const QJsonObject t = v.toObject();
    QVariantMap attributes;
    if (t.contains(QStringLiteral("font")))
        attributes.insert(QStringLiteral("font"), c.font(t, QStringLiteral("font"), QFont()));
    if (t.contains(QStringLiteral("colour")))
        attributes.insert(QStringLiteral("colour"),
                          c.colour(t, QStringLiteral("colour"), Qt::black));
    if (t.contains(QStringLiteral("underline")))
        attributes.insert(QStringLiteral("underline"),
                          c.boolean(t, QStringLiteral("underline"), false));
    setError(c.error());
    return attributes;
}

QImage VRStyleCoding::image(const QJsonObject &o, const QString &key)
{
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return {};
    const QString name = v.toString();
    if (!v.isString() || !m_images || !m_images->value(name).isString()) {
        fail(key, QStringLiteral("expected the key of an image in the file's image table"));
        return {};
    }
    if (const auto it = m_decoded->images.constFind(name); it != m_decoded->images.constEnd())
        return it.value();
    const QByteArray data = QByteArray::fromBase64(m_images->value(name).toString().toLatin1());
    QString why;
    const QImage image = decodeImage(data, *m_decoded, &why);
    if (image.isNull()) {
        fail(key, QStringLiteral("the image \"%1\" %2").arg(name, why));
        return {};
    }
    m_decoded->images.insert(name, image);
    return image;
}

QImage VRStyleCoding::decodeImage(const QByteArray &png, DecodedImages &decoded, QString *error,
                                  QSize *tooLarge)
{
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "PNG");
    // The header's size is checked before any pixel is decoded.
    const QSize size = reader.size();
    QImage image;
    const bool oversized =
        size.isValid()
        && (png.size() > kMaxImageBytes || size.width() > kMaxImageSide
            || size.height() > kMaxImageSide
            || qint64(size.width()) * size.height() > kMaxDecodedPixels - decoded.pixels);
    if (oversized && tooLarge)
        *tooLarge = size;
    if (png.size() > kMaxImageBytes || !size.isValid() || size.width() > kMaxImageSide
        || size.height() > kMaxImageSide) {
        *error =
            QStringLiteral("is not a readable PNG of at most %1 pixels a side").arg(kMaxImageSide);
        return {};
    }
    if (qint64(size.width()) * size.height() > kMaxDecodedPixels - decoded.pixels) {
        *error = picturesTooLargeMessage();
        return {};
    }
    if (!reader.read(&image)) {
        *error =
            QStringLiteral("is not a readable PNG of at most %1 pixels a side").arg(kMaxImageSide);
        return {};
    }
    decoded.pixels += qint64(image.width()) * image.height();
    return image;
}

QString VRStyleCoding::picturesTooLargeMessage()
{
    return QStringLiteral("makes the pictures of this file too large: together they would hold "
                          "more than %1 million pixels, the most one file may decode")
        .arg(kMaxDecodedPixels / 1000000);
}

size_t VRStyleCoding::valuesHash(const QJsonValue &value, size_t seed)
{
    switch (value.type()) {
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        seed = qHashMulti(seed, 1, array.size());
        for (qsizetype i = 0; i < array.size(); ++i)
            seed = valuesHash(array.at(i), seed);
        return seed;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        seed = qHashMulti(seed, 2, object.size());
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            // Plain members are hashed where they are: a copy of a string counts a reference on
            // the object's data.
            const QJsonValueConstRef member = *it;
            seed = member.isString() ? qHash(member.toString(), seed)
                                     : valuesHash(QJsonValue(member), seed);
        }
        return seed;
    }
    case QJsonValue::String: return qHash(value.toString(), seed);
    // Numbers that compare equal hash alike (0 and -0 too).
    case QJsonValue::Double: {
        const double number = value.toDouble();
        return qHash(number == 0 ? 0.0 : number, seed);
    }
    case QJsonValue::Bool: return qHashMulti(seed, 3, value.toBool());
    case QJsonValue::Null:
    case QJsonValue::Undefined: break;
    }
    return qHashMulti(seed, 4, int(value.type()));
}
