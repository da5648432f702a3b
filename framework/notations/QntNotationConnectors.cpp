// QntNotation: connector bodies and their arrowheads.
#include "framework/notations/QntNotation.h"

#include "framework/notations/FMDatabase.h"

// ---------------------------------------------------------------- connectors

QList<QntConnectorRecord> QntNotation::connectorsList(int kind) const
{
    QList<QntConnectorRecord> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    std::optional<FMResultSet> rs;
    if (kind == 0)
        rs = db->executeQuery(QStringLiteral(
            "SELECT ID, Title, Thickness FROM Connectors ORDER BY Kind DESC, OrderNumber, ID"));
    else
        rs = db->executeQuery(QStringLiteral("SELECT ID, Title, Thickness FROM Connectors WHERE "
                                             "Kind = ? ORDER BY OrderNumber, ID"),
                              {kind});
    while (rs && rs->next())
        result.append({rs->stringForColumnIndex(0), rs->stringForColumnIndex(1),
                       rs->doubleForColumnIndex(2)});
    return result;
}

QList<QntArrowheadRecord> QntNotation::arrowheadsList(const QString &connectorId) const
{
    QList<QntArrowheadRecord> result;
    FMDatabase *db = reader();
    if (!db)
        return result;
    auto rs =
        db->executeQuery(QStringLiteral("SELECT ElementID, Present, Placement FROM Arrowheads "
                                        "WHERE ConnectorID = ? ORDER BY OrderNumber, ElementID"),
                         {connectorId});
    while (rs && rs->next())
        result.append({rs->stringForColumnIndex(0), rs->intForColumnIndex(1) != 0,
                       rs->stringForColumnIndex(2)});
    return result;
}

QString QntNotation::defaultArrowIdAsStart(bool asStart, const QString &forConnectorWithId) const
{
    FMDatabase *db = reader();
    if (!db)
        return {};
    auto rs = db->executeQuery(
        asStart ? QStringLiteral("SELECT ElementID FROM Arrowheads WHERE ConnectorID = ? AND "
                                 "IsDefaultStart <> 0 ORDER BY OrderNumber LIMIT 1")
                : QStringLiteral("SELECT ElementID FROM Arrowheads WHERE ConnectorID = ? AND "
                                 "IsDefaultEnd <> 0 ORDER BY OrderNumber LIMIT 1"),
        {forConnectorWithId});
    return rs && rs->next() ? rs->stringForColumnIndex(0) : QString();
}

QString QntNotation::defaultConnectorId() const
{
    FMDatabase *db = reader();
    if (!db)
        return {};
    auto rs = db->executeQuery(QStringLiteral(
        "SELECT ID FROM Connectors WHERE Kind = 2 ORDER BY IsDefault DESC, OrderNumber LIMIT 1"));
    return rs && rs->next() ? rs->stringForColumnIndex(0) : QString();
}

int QntNotation::lengthKindForArrowId(const QString &arrowId) const
{
    FMDatabase *db = reader();
    if (!db)
        return 1;
    auto rs = db->executeQuery(
        QStringLiteral("SELECT LengthKind FROM Arrowheads WHERE ElementID = ? LIMIT 1"), {arrowId});
    return rs && rs->next() ? int(rs->intForColumnIndex(0)) : 1;
}

bool QntNotation::existConnectorWithId(const QString &connectorId) const
{
    FMDatabase *db = reader();
    if (!db)
        return false;
    auto rs =
        db->executeQuery(QStringLiteral("SELECT 1 FROM Connectors WHERE ID = ?"), {connectorId});
    return rs && rs->next();
}

double QntNotation::connectorThickness(const QString &connectorId) const
{
    FMDatabase *db = reader();
    if (!db)
        return 0.0;
    auto rs = db->executeQuery(QStringLiteral("SELECT Thickness FROM Connectors WHERE ID = ?"),
                               {connectorId});
    return rs && rs->next() ? rs->doubleForColumnIndex(0) : 0.0;
}
