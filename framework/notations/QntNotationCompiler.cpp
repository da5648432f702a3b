#include "framework/notations/QntNotationCompiler.h"

#include "framework/notations/FMDatabase.h"
#include "framework/notations/QntNotation.h"
#include "framework/notations/QntNotationElementBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUuid>

#include <cstdio>

QStringList QntNotationCompiler::sourceFiles(const QString &sourceFolder)
{
    QStringList files;
    const QDir dir(sourceFolder);
    for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

VRResult<QStringList> QntNotationCompiler::compileAll(const QString &sourceFolder,
                                                      const QString &outputFolder)
{
    auto fail = [](const QString &message) -> VRResult<QStringList> { return VRError{message}; };
    const QString library = sourceFolder + QStringLiteral("/lib");
    QList<QntNotationSource> sources;
    QHash<QString, QString> owners; // element id → notation file
    QHash<QString, QString> files;
    for (const QString &path : sourceFiles(sourceFolder)) {
        auto source = QntNotationSource::read(path, library);
        if (!source)
            return fail(source.errorMessage());
        if (files.contains(source->file))
            return fail(QStringLiteral("%1 and %2 both write %3")
                            .arg(files.value(source->file), path, source->file));
        files.insert(source->file, path);
        for (const auto &element : std::as_const(source->elements)) {
            // Tools are found by bare element id, so ids are unique across notations; only the
            // table and the decorator element are the same in every notation.
            if (element.id == QLatin1String("e100TABLE") || element.id == QLatin1String("e52"))
                continue;
            if (owners.contains(element.id))
                return fail(QStringLiteral("element id %1 is defined by %2 and %3")
                                .arg(element.id, owners.value(element.id), source->file));
            owners.insert(element.id, source->file);
        }
        sources.append(*source);
    }
    if (sources.isEmpty())
        return fail(QStringLiteral("no notation sources in %1").arg(sourceFolder));
    QStringList written;
    for (const QntNotationSource &source : std::as_const(sources)) {
        const QString target = outputFolder + QLatin1Char('/') + source.file;
        if (const VRResult<void> wrote = write(source, target); !wrote)
            return fail(wrote.errorMessage());
        written << target;
    }
    return written;
}

VRResult<void> QntNotationCompiler::write(const QntNotationSource &source,
                                          const QString &databasePath)
{
    auto fail = [&](const QString &message) -> VRResult<void> {
        return VRError{QStringLiteral("%1: %2").arg(source.sourcePath, message)};
    };
    if (!QDir().mkpath(QFileInfo(databasePath).absolutePath()))
        return fail(QStringLiteral("cannot create the folder of %1").arg(databasePath));
    const QString temporary = databasePath + QStringLiteral(".")
                              + QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".tmp");
    bool ok = true;
    QString error;
    {
        FMDatabase db(temporary);
        ok = db.openWithFlags(FMDatabase::OpenReadWrite | FMDatabase::OpenCreate);
        if (ok) {
            const VRResult<void> schema = QntNotation::createSchema(db);
            ok = schema.ok();
            error = schema.errorMessage();
        }
        ok = ok && db.beginTransaction();
        auto exec = [&](const QString &sql, const QVariantList &args) {
            if (ok && !db.executeUpdate(sql, args)) {
                ok = false;
                error = db.lastErrorMessage();
            }
        };
        QVariantMap params = source.stringParams;
        if (!params.contains(QStringLiteral("Editable")))
            params.insert(QStringLiteral("Editable"), QStringLiteral("NO"));
        for (auto it = params.cbegin(); it != params.cend(); ++it)
            exec(QStringLiteral("INSERT INTO StringParams (Key, Value) VALUES (?, ?)"),
                 {it.key(), it.value().toString()});

        int order = 1;
        for (const auto &scheme : source.schemes) {
            exec(QStringLiteral(
                     "INSERT INTO ColorSchemes (Id, Name, IconColor, IsDefault, OrderNumber) "
                     "VALUES (?, ?, ?, ?, ?)"),
                 {scheme.id, scheme.name, scheme.iconColour, scheme.isDefault ? 1 : 0, order++});
            const QList<std::pair<QString, const QList<QntNotationSource::ColourItem> *>> groups{
                {QStringLiteral("ColorSchemeItemsFill"), &scheme.fill},
                {QStringLiteral("ColorSchemeItemsStroke"), &scheme.stroke},
                {QStringLiteral("ColorSchemeItemsGradientStops"), &scheme.gradientStops},
                {QStringLiteral("ColorSchemeItemsText"), &scheme.text},
            };
            for (const auto &[table, items] : groups) {
                for (int i = 0; i < items->size(); ++i) {
                    const auto &item = items->at(i);
                    exec(QStringLiteral(
                             "INSERT INTO %1 (ColorSchemeId, ItemIndex, ItemId, Color, Alpha, "
                             "Comment, TableCellBackgroundColor, TableGridColor, IsDefault) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)")
                             .arg(table),
                         {scheme.id, i, i, item.colour, item.alpha, item.comment,
                          item.tableCell ? QStringLiteral("YES") : QStringLiteral("NO"),
                          item.tableGrid ? QStringLiteral("YES") : QStringLiteral("NO"),
                          item.isDefault ? QStringLiteral("YES") : QStringLiteral("NO")});
                }
            }
        }

        const qint64 defaultScheme = [&] {
            for (const auto &scheme : source.schemes) {
                if (scheme.isDefault)
                    return scheme.id;
            }
            return source.schemes.first().id;
        }();
        QHash<QString, int> orderInList;
        for (const auto &element : source.elements) {
            if (!ok)
                break;
            const VRResult<QByteArray> data = QntNotationElementBuilder::elementData(
                element, source, defaultScheme, databasePath);
            if (!data) {
                ok = false;
                error = QStringLiteral("element %1: %2").arg(element.id, data.errorMessage());
                break;
            }
            if (element.imported) {
                exec(QStringLiteral("INSERT INTO ImportedElements (ID, Data) VALUES (?, ?)"),
                     {element.id, *data});
            } else {
                exec(QStringLiteral(
                         "INSERT INTO Elements (ID, List, OrderNumber, Title, Tooltip, "
                         "Direction, ProportionalResize, Data) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                     {element.id, element.list, ++orderInList[element.list], element.title,
                      element.tooltip,
                      element.direction < 0 ? QVariant() : QVariant(element.direction),
                      element.proportional ? 1 : 0, *data});
            }
        }

        // The styled connector, drawn from the shaft style alone, is always the first type.
        bool hasStyled = false;
        for (const auto &connector : source.connectors)
            hasStyled = hasStyled || connector.id == QLatin1String("VRStyledConnector");
        if (!hasStyled)
            exec(QStringLiteral(
                     "INSERT INTO Connectors (ID, Kind, OrderNumber, Title, Thickness, IsDefault) "
                     "VALUES (?, 2, 0, ?, ?, 0)"),
                 {QStringLiteral("VRStyledConnector"), QStringLiteral("Styled Connector"), 1.5});
        order = 1;
        for (const auto &connector : source.connectors) {
            exec(QStringLiteral(
                     "INSERT INTO Connectors (ID, Kind, OrderNumber, Title, Thickness, IsDefault) "
                     "VALUES (?, ?, ?, ?, ?, ?)"),
                 {connector.id, connector.kind, order++, connector.title, connector.thickness,
                  connector.isDefault ? 1 : 0});
            int headOrder = 1;
            for (const auto &head : connector.arrowheads)
                exec(QStringLiteral(
                         "INSERT INTO Arrowheads (ConnectorID, ElementID, Present, Placement, "
                         "IsDefaultStart, IsDefaultEnd, LengthKind, OrderNumber) "
                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                     {connector.id, head.elementId, head.present ? 1 : 0, head.placement,
                      head.defaultStart ? 1 : 0, head.defaultEnd ? 1 : 0, head.lengthKind,
                      headOrder++});
        }
        for (auto it = source.paletteColours.cbegin(); it != source.paletteColours.cend(); ++it) {
            int position = 1;
            for (const QString &colour : it.value())
                exec(QStringLiteral(
                         "INSERT INTO PaletteColors (Kind, OrderNumber, Color) VALUES (?, ?, ?)"),
                     {it.key(), position++, colour});
        }
        if (ok && !source.iconElement.isEmpty()) {
            for (const auto &element : source.elements) {
                if (element.id != source.iconElement)
                    continue;
                const QByteArray icon = QntNotationElementBuilder::iconData(
                    element, source, defaultScheme, databasePath);
                if (!icon.isEmpty())
                    exec(QStringLiteral("INSERT INTO BlobParams (Key, Value) VALUES (?, ?)"),
                         {QStringLiteral("notationIcon"), icon});
            }
        }
        if (ok && !db.commit()) {
            ok = false;
            error = db.lastErrorMessage();
        }
        if (!ok && error.isEmpty())
            error = db.lastErrorMessage();
        if (!ok)
            db.rollback();
        db.close();
    }
    if (!ok) {
        QFile::remove(temporary);
        return fail(error);
    }
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(databasePath).constData())
        != 0) {
        QFile::remove(temporary);
        return fail(QStringLiteral("cannot write %1").arg(databasePath));
    }
    return {};
}
