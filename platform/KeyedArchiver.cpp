#include "platform/KeyedArchiver.h"

#include "platform/PropertyList.h"

#include <QVariantMap>

#include <cmath>

namespace {

const QString kClassKey = QStringLiteral("$class");
const QString kColourClass = QStringLiteral("NSColor");
const QString kFontClass = QStringLiteral("NSFont");

std::optional<QVariantMap> archiveOfClass(const QByteArray &data, const QString &className)
{
    const std::optional<QVariant> root = PropertyList::fromData(data);
    if (!root || root->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    QVariantMap map = root->toMap();
    if (map.value(kClassKey).toString() != className)
        return std::nullopt;
    return map;
}

std::optional<double> unitComponent(const QVariantMap &map, const QString &key)
{
    const QVariant value = map.value(key);
    if (value.typeId() != QMetaType::Double && value.typeId() != QMetaType::LongLong)
        return std::nullopt;
    const double component = value.toDouble();
    if (!std::isfinite(component) || component < 0.0 || component > 1.0)
        return std::nullopt;
    return component;
}

} // namespace

QByteArray KeyedArchiver::archivedDataWithColor(const QColor &colour)
{
    const QColor rgb = colour.toRgb();
    const QVariantMap map{{kClassKey, kColourClass},
                          {QStringLiteral("colorSpace"), QStringLiteral("calibratedRGB")},
                          {QStringLiteral("red"), rgb.redF()},
                          {QStringLiteral("green"), rgb.greenF()},
                          {QStringLiteral("blue"), rgb.blueF()},
                          {QStringLiteral("alpha"), rgb.alphaF()}};
    return PropertyList::toXml(map).value_or(QByteArray());
}

std::optional<QColor> KeyedArchiver::unarchiveColor(const QByteArray &data)
{
    const std::optional<QVariantMap> map = archiveOfClass(data, kColourClass);
    if (!map)
        return std::nullopt;
    const auto red = unitComponent(*map, QStringLiteral("red"));
    const auto green = unitComponent(*map, QStringLiteral("green"));
    const auto blue = unitComponent(*map, QStringLiteral("blue"));
    const auto alpha = unitComponent(*map, QStringLiteral("alpha"));
    if (!red || !green || !blue || !alpha)
        return std::nullopt;
    return QColor::fromRgbF(float(*red), float(*green), float(*blue), float(*alpha));
}

QByteArray KeyedArchiver::archivedDataWithFont(const QFont &font)
{
    const QVariantMap map{{kClassKey, kFontClass},
                          {QStringLiteral("family"), font.family()},
                          {QStringLiteral("pointSize"), font.pointSizeF()},
                          {QStringLiteral("weight"), qint64(font.weight())},
                          {QStringLiteral("italic"), font.italic()}};
    return PropertyList::toXml(map).value_or(QByteArray());
}

std::optional<QFont> KeyedArchiver::unarchiveFont(const QByteArray &data)
{
    const std::optional<QVariantMap> map = archiveOfClass(data, kFontClass);
    if (!map)
        return std::nullopt;
    const QString family = map->value(QStringLiteral("family")).toString();
    const double size = map->value(QStringLiteral("pointSize")).toDouble();
    const qint64 weight = map->value(QStringLiteral("weight")).toLongLong();
    if (family.isEmpty() || !std::isfinite(size) || size <= 0 || size > 10000 || weight < 1
        || weight > 1000)
        return std::nullopt;
    QFont font(family);
    font.setPointSizeF(size);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(map->value(QStringLiteral("italic")).toBool());
    return font;
}
