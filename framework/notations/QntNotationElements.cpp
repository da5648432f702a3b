// QntNotation: element lists, element prototypes, imported elements and object records.
#include "framework/notations/QntNotation.h"

#include "framework/notations/FMDatabase.h"
#include "framework/notations/QntNotationArchive.h"

#include <QHash>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcNotation)

namespace {

// Directions 0 up, 1 down and 4 up-down are vertical; 2, 3 and 5 horizontal.
bool isVerticalDirection(int direction)
{
    return direction == 0 || direction == 1 || direction == 4;
}

} // namespace

// ---------------------------------------------------------------- elements

QList<QntElementRecord> QntNotation::readElements(const QString &sql,
                                                  const QVariantList &args) const
{
    QList<QntElementRecord> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    auto rs = db->executeQuery(sql, args);
    if (!rs) {
        qCWarning(lcNotation) << "cannot read the elements of" << m_path << db->lastErrorMessage();
        return result;
    }
    while (rs->next()) {
        QntElementRecord record;
        record.elementId = rs->stringForColumn(QStringLiteral("ID"));
        record.list = rs->stringForColumn(QStringLiteral("List"));
        record.title = rs->stringForColumn(QStringLiteral("Title"));
        record.tooltip = rs->stringForColumn(QStringLiteral("Tooltip"));
        record.direction = rs->columnIsNull(QStringLiteral("Direction"))
                               ? -1
                               : int(rs->intForColumn(QStringLiteral("Direction")));
        record.prototype =
            QntNotationArchive::decodeElement(rs->dataForColumn(QStringLiteral("Data")), m_path);
        if (!record.prototype) {
            qCWarning(lcNotation) << "skipping an unreadable element" << record.elementId << "of"
                                  << m_path;
            continue;
        }
        QntNotationArchive::completeRecord(record);
        result.append(record);
    }
    return result;
}

QList<QntElementRecord> QntNotation::elementsList(const QString &listName) const
{
    return readElements(QStringLiteral("SELECT ID, List, Title, Tooltip, Direction, Data FROM "
                                       "Elements WHERE List = ? ORDER BY OrderNumber, ID"),
                        {listName});
}

QList<QntElementRecord> QntNotation::shapeElementsList() const
{
    return elementsList(QStringLiteral("Shapes"));
}

QList<QntElementRecord> QntNotation::textElementsList() const
{
    return elementsList(QStringLiteral("Text"));
}

QList<QntElementRecord> QntNotation::flowChartElementsList() const
{
    return elementsList(QStringLiteral("FlowChart"));
}

QList<QntElementRecord> QntNotation::separatorElementsList() const
{
    return elementsList(QStringLiteral("Separators"));
}

QList<QntElementRecord> QntNotation::shortArrowElementsList() const
{
    return elementsList(QStringLiteral("ShortArrows"));
}

QList<QntElementRecord> QntNotation::arrowElementsList() const
{
    return elementsList(QStringLiteral("Arrows"));
}

QList<QntElementRecord> QntNotation::arrowsForDirection(const QString &list, bool vertical,
                                                        int direction) const
{
    QList<QntElementRecord> same;
    QList<QntElementRecord> others;
    for (const QntElementRecord &record : elementsList(list)) {
        if (record.direction < 0 || isVerticalDirection(record.direction) != vertical)
            continue;
        (record.direction == direction ? same : others).append(record);
    }
    return same + others;
}

QList<QntElementRecord> QntNotation::shortVerticalArrowElementsListForDirection(int direction) const
{
    return arrowsForDirection(QStringLiteral("ShortArrows"), true, direction);
}

QList<QntElementRecord>
QntNotation::shortHorizontalArrowElementsListForDirection(int direction) const
{
    return arrowsForDirection(QStringLiteral("ShortArrows"), false, direction);
}

QList<QntElementRecord> QntNotation::verticalArrowElementsListForDirection(int direction) const
{
    return arrowsForDirection(QStringLiteral("Arrows"), true, direction);
}

QList<QntElementRecord> QntNotation::horizontalArrowElementsListForDirection(int direction) const
{
    return arrowsForDirection(QStringLiteral("Arrows"), false, direction);
}

QList<QntElementRecord> QntNotation::importedElementsList() const
{
    QList<QntElementRecord> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    auto rs =
        db->executeQuery(QStringLiteral("SELECT _ID, ID, Data FROM ImportedElements ORDER BY _ID"));
    if (!rs) {
        qCWarning(lcNotation) << "cannot read the imported elements of" << m_path
                              << db->lastErrorMessage();
        return result;
    }
    while (rs->next()) {
        QntElementRecord record;
        record.elementId = rs->stringForColumnIndex(1);
        record.list = QStringLiteral("Imported");
        record.prototype = QntNotationArchive::decodeElement(rs->dataForColumnIndex(2), m_path);
        if (!record.prototype) {
            qCWarning(lcNotation) << "skipping an unreadable imported element" << record.elementId
                                  << "of" << m_path;
            continue;
        }
        QntNotationArchive::completeRecord(record);
        result.append(record);
    }
    return result;
}

QList<QntElementRecord> QntNotation::importedElementsListWithSheet(QWidget *sheet,
                                                                   QWidget *parentWindow,
                                                                   QObject *delegate) const
{
    // Reading is quick enough to run in place; the sheet is the caller's to show and hide.
    Q_UNUSED(sheet)
    Q_UNUSED(parentWindow)
    Q_UNUSED(delegate)
    return importedElementsList();
}

QList<QntElementRecord> QntNotation::allElementsAsPrototypesList() const
{
    return readElements(QStringLiteral("SELECT ID, List, Title, Tooltip, Direction, Data FROM "
                                       "Elements ORDER BY List, OrderNumber, ID"),
                        {})
           + importedElementsList();
}

QByteArray QntNotation::elementDataForId(const QString &elementId) const
{
    FMDatabase *db = reader();
    if (!db)
        return {};
    if (auto rs =
            db->executeQuery(QStringLiteral("SELECT Data FROM Elements WHERE ID = ?"), {elementId});
        rs && rs->next())
        return rs->dataForColumnIndex(0);
    if (auto rs = db->executeQuery(
            QStringLiteral("SELECT Data FROM ImportedElements WHERE ID = ? ORDER BY _ID LIMIT 1"),
            {elementId});
        rs && rs->next())
        return rs->dataForColumnIndex(0);
    return {};
}

VRObjectRef QntNotation::prototypeForElementId(const QString &elementId) const
{
    const QByteArray data = elementDataForId(elementId);
    if (data.isEmpty())
        return {};
    return QntNotationArchive::decodeElement(data, m_path);
}

bool QntNotation::existElementWithId(const QString &elementId) const
{
    return !elementDataForId(elementId).isEmpty();
}

VRResult<void> QntNotation::removeImportedElement(const VRObjectRef &prototype)
{
    const QString id = QntNotationArchive::elementId(prototype);
    if (id.isEmpty())
        return VRError{QStringLiteral("The element has no id.")};
    return write([&](FMDatabase &db) -> VRResult<void> {
        if (!db.executeUpdate(QStringLiteral("DELETE FROM ImportedElements WHERE ID = ?"), {id}))
            return VRError{db.lastErrorMessage()};
        if (db.changes() == 0)
            return VRError{QStringLiteral("No imported element has the id “%1”.").arg(id)};
        return {};
    });
}

VRResult<void> QntNotation::updateImportedElement(const VRObjectRef &prototype)
{
    const QString id = QntNotationArchive::elementId(prototype);
    if (id.isEmpty())
        return VRError{QStringLiteral("The element has no id.")};
    const QByteArray data = QntNotationArchive::encodeElement(prototype);
    if (data.isEmpty())
        return VRError{QStringLiteral("The element “%1” cannot be encoded.").arg(id)};
    return write([&](FMDatabase &db) -> VRResult<void> {
        if (!db.executeUpdate(QStringLiteral("UPDATE ImportedElements SET Data = ? WHERE ID = ?"),
                              {data, id}))
            return VRError{db.lastErrorMessage()};
        if (db.changes() == 0)
            return VRError{QStringLiteral("No imported element has the id “%1”.").arg(id)};
        return {};
    });
}

VRResult<void> QntNotation::reorderImportedElements(const QStringList &ids)
{
    return write([&](FMDatabase &db) -> VRResult<void> {
        auto rows =
            db.executeQuery(QStringLiteral("SELECT ID, Data FROM ImportedElements ORDER BY _ID"));
        if (!rows)
            return VRError{db.lastErrorMessage()};
        QList<std::pair<QVariant, QByteArray>> named;
        QList<std::pair<QVariant, QByteArray>> others;
        QHash<QString, qsizetype> rank;
        for (qsizetype i = 0; i < ids.size(); ++i)
            rank.insert(ids.at(i), i);
        QList<std::pair<qsizetype, std::pair<QVariant, QByteArray>>> ranked;
        while (rows->next()) {
            const QVariant id =
                rows->columnIndexIsNull(0) ? QVariant() : QVariant(rows->stringForColumnIndex(0));
            auto row = std::make_pair(id, rows->dataForColumnIndex(1));
            if (const auto it = rank.constFind(id.toString()); id.isValid() && it != rank.cend())
                ranked.push_back({it.value(), row});
            else
                others.push_back(row);
        }
        if (rows->hadError())
            return VRError{rows->lastErrorMessage()};
        rows->close();
        std::stable_sort(ranked.begin(), ranked.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        for (const auto &entry : std::as_const(ranked))
            named.push_back(entry.second);
        if (!db.executeUpdate(QStringLiteral("DELETE FROM ImportedElements")))
            return VRError{db.lastErrorMessage()};
        for (const auto &row : named + others)
            if (!db.executeUpdate(
                    QStringLiteral("INSERT INTO ImportedElements (ID, Data) VALUES (?, ?)"),
                    {row.first, row.second}))
                return VRError{db.lastErrorMessage()};
        return {};
    });
}

bool QntNotation::proportionalReziseForElementId(const QString &elementId) const
{
    FMDatabase *db = reader();
    if (!db)
        return false;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT ProportionalResize FROM Elements WHERE ID = ?"), {elementId});
    return rs && rs->next() && rs->intForColumnIndex(0) != 0;
}

QByteArray QntNotation::vrObject(const VRObjectRef &object, const QString &asXMLDataForKey)
{
    return QntNotationArchive::encodeObjectForKey(object, asXMLDataForKey);
}

VRObjectRef QntNotation::vrObjectWithData(const QByteArray &data)
{
    return QntNotationArchive::decodeObjectForKey(data);
}
