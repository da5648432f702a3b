// QntNotation: colour schemes, their items and the palette colours, read and written.
#include "framework/notations/QntNotation.h"

#include "framework/notations/FMDatabase.h"
#include "platform/AtomicFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QXmlStreamWriter>

#include <algorithm>

namespace {

const QString kFill = QStringLiteral("ColorSchemeItemsFill");
const QString kStroke = QStringLiteral("ColorSchemeItemsStroke");
const QString kGradientStops = QStringLiteral("ColorSchemeItemsGradientStops");
const QString kText = QStringLiteral("ColorSchemeItemsText");

QString hexOf(const QColor &colour)
{
    return colour.isValid() ? colour.name(QColor::HexRgb).toUpper() : QStringLiteral("#");
}

// "#RGB", "#RRGGBB", "#RRGGBBAA"; "#" and anything else give an invalid colour.
QColor colourFromHex(const QString &text)
{
    const QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('#')))
        return {};
    if (t.size() == 9) {
        bool ok = false;
        const uint value = t.mid(1).toUInt(&ok, 16);
        if (!ok)
            return {};
        return QColor((value >> 24) & 0xff, (value >> 16) & 0xff, (value >> 8) & 0xff,
                      value & 0xff);
    }
    if (t.size() != 4 && t.size() != 7)
        return {};
    QColor colour = QColor::fromString(t);
    return colour.isValid() ? colour : QColor();
}

QString typeTableName(const QString &colorType)
{
    if (colorType.startsWith(QLatin1String("ColorSchemeItems")))
        return colorType;
    return QStringLiteral("ColorSchemeItems") + colorType;
}

bool isItemTable(const QString &table)
{
    return QntNotation::colorSchemeItemTables().contains(table);
}

// The group names the user copy of the schemes uses, per item table.
QString groupNameForTable(const QString &table)
{
    return table.mid(QStringLiteral("ColorSchemeItems").size());
}

// Whether the scheme has the colour among the items of the table whose flag column says "YES".
// Table and column are our own fixed names, never text from data.
bool hasFlaggedColour(FMDatabase *db, const QString &table, const QString &flag, const QString &hex,
                      qint64 schemeId)
{
    if (!db)
        return false;
    auto rs = db->executeQuery(QStringLiteral("SELECT 1 FROM %1 WHERE ColorSchemeId = ? AND "
                                              "upper(Color) = upper(?) AND %2 = 'YES'")
                                   .arg(table, flag),
                               {schemeId, hex});
    return rs && rs->next();
}

// Every item of one scheme in an item table, in index order: index, colour, alpha, comment and
// the three flags.
std::optional<FMResultSet> itemRows(FMDatabase &db, const QString &table, qint64 schemeId)
{
    return db.executeQuery(
        QStringLiteral("SELECT ItemIndex, Color, Alpha, Comment, TableCellBackgroundColor, "
                       "TableGridColor, IsDefault FROM %1 WHERE ColorSchemeId = ? "
                       "ORDER BY ItemIndex")
            .arg(table),
        {schemeId});
}

VRError sqlError(const FMDatabase &db)
{
    return VRError{db.lastErrorMessage()};
}

QString yesNo(const QVariant &value)
{
    if (value.metaType().id() == QMetaType::QString) {
        const QString s = value.toString().trimmed().toUpper();
        return (s == QLatin1String("YES") || s == QLatin1String("1") || s == QLatin1String("TRUE"))
                   ? QStringLiteral("YES")
                   : QStringLiteral("NO");
    }
    return value.toBool() ? QStringLiteral("YES") : QStringLiteral("NO");
}

} // namespace

const QStringList &QntNotation::colorSchemeItemTables()
{
    static const QStringList tables{kFill, kStroke, kGradientStops, kText};
    return tables;
}

// ---------------------------------------------------------------- colour schemes: readers

QList<QntColorSchemeData> QntNotation::colorSchemesList() const
{
    QList<QntColorSchemeData> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT Id, Name, IconColor FROM ColorSchemes ORDER BY OrderNumber, Id"));
    while (rs && rs->next())
        result.append({rs->intForColumnIndex(0), rs->stringForColumnIndex(1),
                       colourFromHex(rs->stringForColumnIndex(2))});
    return result;
}

qint64 QntNotation::defaultColorSchemeId() const
{
    FMDatabase *db = reader();
    if (!db)
        return 0;
    auto rs = db->executeQuery(QStringLiteral(
        "SELECT Id FROM ColorSchemes ORDER BY IsDefault DESC, OrderNumber, Id LIMIT 1"));
    return rs && rs->next() ? rs->intForColumnIndex(0) : 0;
}

QList<QntColorSchemeItemRecord> QntNotation::colorSchemesItems(const QString &tableName,
                                                               qint64 schemeId) const
{
    QList<QntColorSchemeItemRecord> result;
    FMDatabase *db = reader();
    if (!db || !isItemTable(tableName))
        return result;
    // The table name is one of four fixed names checked above, never text from data.
    auto rs =
        db->executeQuery(QStringLiteral("SELECT ItemIndex, ColorSchemeId, Color, Comment FROM %1 "
                                        "WHERE ColorSchemeId = ? ORDER BY ItemIndex")
                             .arg(tableName),
                         {schemeId});
    while (rs && rs->next())
        result.append({rs->intForColumnIndex(0), rs->intForColumnIndex(1),
                       colourFromHex(rs->stringForColumnIndex(2)), rs->stringForColumnIndex(3)});
    return result;
}

QList<QntColorSchemeItemRecord> QntNotation::colorSchemesItemsFill(qint64 schemeId) const
{
    return colorSchemesItems(kFill, schemeId);
}

QList<QntColorSchemeItemRecord> QntNotation::colorSchemesItemsStroke(qint64 schemeId) const
{
    return colorSchemesItems(kStroke, schemeId);
}

QList<QntColorSchemeItemRecord> QntNotation::colorSchemesItemsGradientStops(qint64 schemeId) const
{
    return colorSchemesItems(kGradientStops, schemeId);
}

QList<QntColorSchemeItemRecord> QntNotation::colorSchemesItemsText(qint64 schemeId) const
{
    return colorSchemesItems(kText, schemeId);
}

QColor QntNotation::colorSchemeItemColour(qint64 schemeId, const QString &itemsType, int index,
                                          double *alpha) const
{
    const QString table = typeTableName(itemsType);
    FMDatabase *db = reader();
    if (!db || !isItemTable(table))
        return {};
    auto rs = db->executeQuery(
        QStringLiteral("SELECT Color, Alpha FROM %1 WHERE ColorSchemeId = ? AND ItemIndex = ?")
            .arg(table),
        {schemeId, index});
    if (!rs || !rs->next())
        return {};
    QColor colour = colourFromHex(rs->stringForColumnIndex(0));
    const double a = std::clamp(rs->doubleForColumnIndex(1), 0.0, 1.0);
    if (alpha)
        *alpha = a;
    if (colour.isValid())
        colour.setAlphaF(float(a));
    return colour;
}

QVariantList QntNotation::colorSchemesDic() const
{
    QVariantList schemes;
    FMDatabase *db = reader();
    if (!db)
        return schemes;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT Id, Name, IconColor, IsDefault, OrderNumber FROM ColorSchemes "
                       "ORDER BY OrderNumber, Id"));
    while (rs && rs->next()) {
        schemes.append(QVariantMap{
            {QStringLiteral("Id"), rs->intForColumnIndex(0)},
            {QStringLiteral("Name"), rs->stringForColumnIndex(1)},
            {QStringLiteral("IconColor"), rs->stringForColumnIndex(2)},
            {QStringLiteral("Default"), rs->intForColumnIndex(3) != 0},
            {QStringLiteral("OrderNumber"), rs->intForColumnIndex(4)},
        });
    }
    return schemes;
}

QVariantMap QntNotation::colorSchemes() const
{
    QVariantList schemes;
    FMDatabase *db = reader();
    for (const QVariant &value : colorSchemesDic()) {
        QVariantMap scheme = value.toMap();
        scheme.remove(QStringLiteral("OrderNumber"));
        const qint64 id = scheme.value(QStringLiteral("Id")).toLongLong();
        QVariantList groups;
        for (const QString &table : colorSchemeItemTables()) {
            QVariantList colours;
            auto rs = itemRows(*db, table, id);
            while (rs && rs->next()) {
                const QString hex = rs->stringForColumnIndex(1);
                colours.append(QVariantMap{
                    {QStringLiteral("Id"), rs->intForColumnIndex(0)},
                    {QStringLiteral("HexColorValue"), hex},
                    {QStringLiteral("Name"), hex},
                    {QStringLiteral("AlphaValue"), rs->doubleForColumnIndex(2)},
                    {QStringLiteral("Comment"), rs->stringForColumnIndex(3)},
                    {QStringLiteral("TableCellBackgroundColor"), rs->stringForColumnIndex(4)},
                    {QStringLiteral("TableGridColor"), rs->stringForColumnIndex(5)},
                    {QStringLiteral("Default"),
                     rs->stringForColumnIndex(6) == QLatin1String("YES")},
                });
            }
            groups.append(QVariantMap{{QStringLiteral("Name"), groupNameForTable(table)},
                                      {QStringLiteral("Children"), colours}});
        }
        scheme.insert(QStringLiteral("Children"), groups);
        schemes.append(scheme);
    }
    return QVariantMap{{QStringLiteral("Children"), schemes}};
}

void QntNotation::populateCache(QVariantMap &cache, const QString &colorType) const
{
    const QString table = typeTableName(colorType);
    FMDatabase *db = reader();
    if (!db || !isItemTable(table))
        return;
    const QString name = notationName();
    auto rs =
        db->executeQuery(QStringLiteral("SELECT ColorSchemeId, ItemIndex, Color, Alpha FROM %1 "
                                        "ORDER BY ColorSchemeId, ItemIndex")
                             .arg(table));
    while (rs && rs->next()) {
        QColor colour = colourFromHex(rs->stringForColumnIndex(2));
        if (!colour.isValid())
            colour = QColor(Qt::white);
        colour.setAlphaF(float(std::clamp(rs->doubleForColumnIndex(3), 0.0, 1.0)));
        cache.insert(QStringLiteral("%1.%2.%3.%4")
                         .arg(name)
                         .arg(rs->intForColumnIndex(0))
                         .arg(table)
                         .arg(rs->intForColumnIndex(1)),
                     colour);
    }
}

bool QntNotation::isFillTableCellBackgroundColor(const QString &hex, qint64 schemeId) const
{
    return hasFlaggedColour(reader(), kFill, QStringLiteral("TableCellBackgroundColor"), hex,
                            schemeId);
}

bool QntNotation::isStrokeTableGridColor(const QString &hex, qint64 schemeId) const
{
    return hasFlaggedColour(reader(), kStroke, QStringLiteral("TableGridColor"), hex, schemeId);
}

QColor QntNotation::defaultColorText(qint64 schemeId) const
{
    FMDatabase *db = reader();
    if (!db)
        return {};
    auto rs = db->executeQuery(
        QStringLiteral("SELECT Color FROM ColorSchemeItemsText WHERE ColorSchemeId = ? "
                       "ORDER BY (IsDefault = 'YES') DESC, ItemIndex LIMIT 1"),
        {schemeId});
    if (rs && rs->next())
        return colourFromHex(rs->stringForColumnIndex(0));
    return QColor(Qt::black);
}

QColor QntNotation::iconColor(qint64 schemeId) const
{
    FMDatabase *db = reader();
    if (!db)
        return {};
    auto rs = db->executeQuery(QStringLiteral("SELECT IconColor FROM ColorSchemes WHERE Id = ?"),
                               {schemeId});
    return rs && rs->next() ? colourFromHex(rs->stringForColumnIndex(0)) : QColor();
}

QList<QColor> QntNotation::colorSchemesTextColors(qint64 schemeId) const
{
    QList<QColor> result;
    for (const QntColorSchemeItemRecord &item : colorSchemesItemsText(schemeId)) {
        if (item.colour.isValid())
            result.append(item.colour);
    }
    return result;
}

QList<QColor> QntNotation::paletteColors(const QString &kind) const
{
    QList<QColor> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT Color FROM PaletteColors WHERE Kind = ? ORDER BY OrderNumber"),
        {kind});
    while (rs && rs->next()) {
        const QColor colour = colourFromHex(rs->stringForColumnIndex(0));
        if (colour.isValid())
            result.append(colour);
    }
    return result;
}

QList<QColor> QntNotation::colorSchemesColors() const
{
    QList<QColor> result = paletteColors(QStringLiteral("text"));
    if (!result.isEmpty())
        return result;
    QSet<QRgb> seen;
    for (const QntColorSchemeData &scheme : colorSchemesList()) {
        for (const QColor &colour : colorSchemesTextColors(scheme.schemeId)) {
            if (!seen.contains(colour.rgb())) {
                seen.insert(colour.rgb());
                result.append(colour);
            }
        }
    }
    return result;
}

QList<QColor> QntNotation::tableGridColors() const
{
    return paletteColors(QStringLiteral("tableGrid"));
}

QList<QColor> QntNotation::tableColors() const
{
    return paletteColors(QStringLiteral("table"));
}

QList<QColor> QntNotation::connectorColors() const
{
    return paletteColors(QStringLiteral("connector"));
}

// ---------------------------------------------------------------- colour schemes: writers

VRResult<void> QntNotation::updateColorSchemesItemsTable(const QVariantMap &params)
{
    const QString table = params.value(QStringLiteral("tableName")).toString();
    if (!isItemTable(table))
        return VRError{QStringLiteral("Unknown colour table “%1”.").arg(table)};
    bool ok = false;
    const qint64 schemeId = params.value(QStringLiteral("colorSchemeId")).toLongLong(&ok);
    if (!ok)
        return VRError{QStringLiteral("No colour scheme was given.")};
    // Either the item's index, or (the item editor) the colour it has now.
    QString where = QStringLiteral("ColorSchemeId = ?");
    QVariantList whereArgs{schemeId};
    if (params.contains(QStringLiteral("index"))) {
        const qint64 index = params.value(QStringLiteral("index")).toLongLong(&ok);
        if (!ok)
            return VRError{QStringLiteral("The colour index is not a number.")};
        where += QStringLiteral(" AND ItemIndex = ?");
        whereArgs << index;
    } else if (params.contains(QStringLiteral("Color"))) {
        where +=
            QStringLiteral(" AND ItemIndex = (SELECT ItemIndex FROM %1 WHERE ColorSchemeId = ? "
                           "AND upper(Color) = upper(?) ORDER BY ItemIndex LIMIT 1)")
                .arg(table);
        whereArgs << schemeId << params.value(QStringLiteral("Color")).toString();
    } else {
        return VRError{QStringLiteral("No colour item was given.")};
    }

    QStringList sets;
    QVariantList setArgs;
    if (params.contains(QStringLiteral("paramColor"))) {
        const QString hex = params.value(QStringLiteral("paramColor")).toString().trimmed();
        if (hex != QLatin1String("#") && !colourFromHex(hex).isValid())
            return VRError{QStringLiteral("“%1” is not a colour.").arg(hex)};
        sets << QStringLiteral("Color = ?");
        setArgs << (hex == QLatin1String("#") ? hex : hexOf(colourFromHex(hex)));
    }
    if (params.contains(QStringLiteral("paramAlpha"))) {
        sets << QStringLiteral("Alpha = ?");
        setArgs << std::clamp(params.value(QStringLiteral("paramAlpha")).toDouble(), 0.0, 1.0);
    }
    if (params.contains(QStringLiteral("paramComment"))) {
        sets << QStringLiteral("Comment = ?");
        setArgs << params.value(QStringLiteral("paramComment")).toString();
    }
    if (params.contains(QStringLiteral("paramTableCellBackgroundColor"))) {
        sets << QStringLiteral("TableCellBackgroundColor = ?");
        setArgs << yesNo(params.value(QStringLiteral("paramTableCellBackgroundColor")));
    }
    if (params.contains(QStringLiteral("paramTableGridColor"))) {
        sets << QStringLiteral("TableGridColor = ?");
        setArgs << yesNo(params.value(QStringLiteral("paramTableGridColor")));
    }
    const bool setsDefault = params.contains(QStringLiteral("paramDefault"));
    const QString defaultValue = yesNo(params.value(QStringLiteral("paramDefault")));
    if (setsDefault) {
        sets << QStringLiteral("IsDefault = ?");
        setArgs << defaultValue;
    }
    if (sets.isEmpty())
        return VRError{QStringLiteral("Nothing to change.")};
    return write([&](FMDatabase &db) -> VRResult<void> {
        // One default text colour per scheme.
        if (setsDefault && defaultValue == QLatin1String("YES")
            && !db.executeUpdate(QStringLiteral("UPDATE %1 SET IsDefault = 'NO' WHERE "
                                                "ColorSchemeId = ?")
                                     .arg(table),
                                 {schemeId}))
            return sqlError(db);
        if (!db.executeUpdate(QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                                  .arg(table, sets.join(QStringLiteral(", ")), where),
                              setArgs + whereArgs))
            return sqlError(db);
        if (db.changes() == 0)
            return VRError{QStringLiteral("No such colour.")};
        return {};
    });
}

VRResult<void> QntNotation::updateColorSchemesTable(const QVariantMap &params)
{
    bool ok = false;
    const qint64 schemeId = params.value(QStringLiteral("colorSchemeId")).toLongLong(&ok);
    if (!ok)
        return VRError{QStringLiteral("No colour scheme was given.")};
    QStringList sets;
    QVariantList args;
    if (params.contains(QStringLiteral("paramName"))) {
        const QString name = params.value(QStringLiteral("paramName")).toString().trimmed();
        if (name.isEmpty())
            return VRError{QStringLiteral("A colour scheme needs a name.")};
        sets << QStringLiteral("Name = ?");
        args << name;
    }
    if (params.contains(QStringLiteral("paramIconColor"))) {
        const QColor colour =
            colourFromHex(params.value(QStringLiteral("paramIconColor")).toString());
        if (!colour.isValid())
            return VRError{QStringLiteral("The icon colour is not a colour.")};
        sets << QStringLiteral("IconColor = ?");
        args << hexOf(colour);
    }
    if (params.contains(QStringLiteral("paramDefault"))) {
        sets << QStringLiteral("IsDefault = ?");
        args << (yesNo(params.value(QStringLiteral("paramDefault"))) == QLatin1String("YES") ? 1
                                                                                             : 0);
    }
    if (sets.isEmpty())
        return VRError{QStringLiteral("Nothing to change.")};
    return write([&](FMDatabase &db) -> VRResult<void> {
        if (!db.executeUpdate(QStringLiteral("UPDATE ColorSchemes SET %1 WHERE Id = ?")
                                  .arg(sets.join(QStringLiteral(", "))),
                              args + QVariantList{schemeId}))
            return sqlError(db);
        if (db.changes() == 0)
            return VRError{QStringLiteral("No such colour scheme.")};
        return {};
    });
}

VRResult<qint64> QntNotation::duplicateColorScheme(qint64 schemeId)
{
    qint64 newId = 0;
    const VRResult<void> written = write([&](FMDatabase &db) -> VRResult<void> {
        auto rs = db.executeQuery(
            QStringLiteral("SELECT Name, IconColor FROM ColorSchemes WHERE Id = ?"), {schemeId});
        if (!rs)
            return sqlError(db);
        if (!rs->next())
            return VRError{QStringLiteral("No such colour scheme.")};
        const QString name = rs->stringForColumnIndex(0);
        const QString icon = rs->stringForColumnIndex(1);
        rs->close();
        auto max =
            db.executeQuery(QStringLiteral("SELECT coalesce(max(Id), 0) + 1, "
                                           "coalesce(max(OrderNumber), 0) + 1 FROM ColorSchemes"));
        if (!max || !max->next())
            return sqlError(db);
        newId = max->intForColumnIndex(0);
        const qint64 order = max->intForColumnIndex(1);
        max->close();
        if (!db.executeUpdate(QStringLiteral("INSERT INTO ColorSchemes (Id, Name, IconColor, "
                                             "IsDefault, OrderNumber) VALUES (?, ?, ?, 0, ?)"),
                              {newId, name + QStringLiteral(" Copy"), icon, order}))
            return sqlError(db);
        for (const QString &table : colorSchemeItemTables()) {
            if (!db.executeUpdate(
                    QStringLiteral(
                        "INSERT INTO %1 (ColorSchemeId, ItemIndex, ItemId, Color, Alpha, "
                        "Comment, TableCellBackgroundColor, TableGridColor, IsDefault) "
                        "SELECT ?, ItemIndex, ItemId, Color, Alpha, Comment, "
                        "TableCellBackgroundColor, TableGridColor, IsDefault FROM %1 "
                        "WHERE ColorSchemeId = ?")
                        .arg(table),
                    {newId, schemeId}))
                return sqlError(db);
        }
        return {};
    });
    if (!written)
        return VRError{written.errorMessage()};
    return newId;
}

VRResult<void> QntNotation::removeColorScheme(qint64 schemeId)
{
    return write([&](FMDatabase &db) -> VRResult<void> {
        auto count = db.executeQuery(QStringLiteral("SELECT count(*) FROM ColorSchemes"));
        if (!count || !count->next())
            return sqlError(db);
        // Elements always need a scheme to take their colours from.
        if (count->intForColumnIndex(0) <= 1)
            return VRError{QStringLiteral("The last colour scheme cannot be removed.")};
        count->close();
        if (!db.executeUpdate(QStringLiteral("DELETE FROM ColorSchemes WHERE Id = ?"), {schemeId}))
            return sqlError(db);
        if (db.changes() == 0)
            return VRError{QStringLiteral("No such colour scheme.")};
        for (const QString &table : colorSchemeItemTables()) {
            if (!db.executeUpdate(
                    QStringLiteral("DELETE FROM %1 WHERE ColorSchemeId = ?").arg(table),
                    {schemeId}))
                return sqlError(db);
        }
        return {};
    });
}

VRResult<void> QntNotation::addColorSchemesItems(const QList<qint64> &schemeIds,
                                                 const QString &tableName)
{
    if (!isItemTable(tableName))
        return VRError{QStringLiteral("Unknown colour table “%1”.").arg(tableName)};
    if (schemeIds.isEmpty())
        return VRError{QStringLiteral("No colour scheme was given.")};
    return write([&](FMDatabase &db) -> VRResult<void> {
        // One index for the new row of every scheme keeps the schemes' items in step.
        auto max = db.executeQuery(
            QStringLiteral("SELECT coalesce(max(ItemIndex), -1) + 1 FROM %1").arg(tableName));
        if (!max || !max->next())
            return sqlError(db);
        const qint64 index = max->intForColumnIndex(0);
        max->close();
        for (const qint64 schemeId : schemeIds) {
            if (!db.executeUpdate(
                    QStringLiteral("INSERT INTO %1 (ColorSchemeId, ItemIndex, ItemId, "
                                   "Color, Alpha, Comment) VALUES (?, ?, ?, ?, 1, ?)")
                        .arg(tableName),
                    {schemeId, index, index, QStringLiteral("#FFFFFF"), QString()}))
                return sqlError(db);
        }
        return {};
    });
}

VRResult<void> QntNotation::removeColorSchemesItems(const QString &tableName, qint64 colorSchemeId,
                                                    const QString &colorValue)
{
    if (!isItemTable(tableName))
        return VRError{QStringLiteral("Unknown colour table “%1”.").arg(tableName)};
    return write([&](FMDatabase &db) -> VRResult<void> {
        if (!db.executeUpdate(
                QStringLiteral("DELETE FROM %1 WHERE ColorSchemeId = ? AND ItemIndex = (SELECT "
                               "ItemIndex FROM %1 WHERE ColorSchemeId = ? AND upper(Color) = "
                               "upper(?) ORDER BY ItemIndex LIMIT 1)")
                    .arg(tableName),
                {colorSchemeId, colorSchemeId, colorValue}))
            return sqlError(db);
        if (db.changes() == 0)
            return VRError{QStringLiteral("No such colour.")};
        return {};
    });
}

VRResult<void> QntNotation::updateColorSchemesOrderNumber(const QVariantList &schemes)
{
    return write([&](FMDatabase &db) -> VRResult<void> {
        int order = 1;
        for (const QVariant &value : schemes) {
            const QVariantMap scheme = value.toMap();
            bool ok = false;
            const qint64 id = (scheme.contains(QStringLiteral("Id"))
                                   ? scheme.value(QStringLiteral("Id"))
                                   : scheme.value(QStringLiteral("colorSchemeId")))
                                  .toLongLong(&ok);
            if (!ok)
                continue;
            if (!db.executeUpdate(
                    QStringLiteral("UPDATE ColorSchemes SET OrderNumber = ? WHERE Id = ?"),
                    {order++, id}))
                return sqlError(db);
        }
        return {};
    });
}

VRResult<void> QntNotation::exportColorSchemes(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return VRError{
            QStringLiteral("The colour schemes cannot be exported: %1").arg(file.errorString())};
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("colorSchemes"));
    xml.writeAttribute(QStringLiteral("notation"), notationName());
    FMDatabase *db = reader();
    for (const QVariant &value : colorSchemesDic()) {
        const QVariantMap scheme = value.toMap();
        const qint64 id = scheme.value(QStringLiteral("Id")).toLongLong();
        xml.writeStartElement(QStringLiteral("scheme"));
        xml.writeAttribute(QStringLiteral("id"), QString::number(id));
        xml.writeAttribute(QStringLiteral("name"), scheme.value(QStringLiteral("Name")).toString());
        xml.writeAttribute(QStringLiteral("iconColor"),
                           scheme.value(QStringLiteral("IconColor")).toString());
        xml.writeAttribute(QStringLiteral("default"),
                           scheme.value(QStringLiteral("Default")).toBool() ? QStringLiteral("YES")
                                                                            : QStringLiteral("NO"));
        xml.writeAttribute(QStringLiteral("order"),
                           scheme.value(QStringLiteral("OrderNumber")).toString());
        for (const QString &table : colorSchemeItemTables()) {
            xml.writeStartElement(QStringLiteral("items"));
            xml.writeAttribute(QStringLiteral("type"), groupNameForTable(table));
            auto rs = itemRows(*db, table, id);
            while (rs && rs->next()) {
                xml.writeEmptyElement(QStringLiteral("item"));
                xml.writeAttribute(QStringLiteral("index"), rs->stringForColumnIndex(0));
                xml.writeAttribute(QStringLiteral("color"), rs->stringForColumnIndex(1));
                xml.writeAttribute(QStringLiteral("alpha"),
                                   QString::number(rs->doubleForColumnIndex(2)));
                xml.writeAttribute(QStringLiteral("comment"), rs->stringForColumnIndex(3));
                xml.writeAttribute(QStringLiteral("tableCell"), rs->stringForColumnIndex(4));
                xml.writeAttribute(QStringLiteral("tableGrid"), rs->stringForColumnIndex(5));
                xml.writeAttribute(QStringLiteral("default"), rs->stringForColumnIndex(6));
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit())
        return VRError{
            QStringLiteral("The colour schemes cannot be exported: %1").arg(file.errorString())};
    AtomicFile::syncFolder(QFileInfo(path).absolutePath());
    return {};
}
