#include "framework/notations/QntNotationSource.h"

#include "framework/notations/QntSvgPathData.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <cmath>

namespace {

class Reader
{
public:
    QString error;

    std::optional<QJsonObject> load(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("%1: %2").arg(path, file.errorString());
            return std::nullopt;
        }
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
        if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
            error = QStringLiteral("%1: not a JSON object (%2 at %3)")
                        .arg(path, parseError.errorString())
                        .arg(parseError.offset);
            return std::nullopt;
        }
        return doc.object();
    }

    bool fail(const QString &where, const QString &why)
    {
        if (error.isEmpty())
            error = QStringLiteral("%1: %2").arg(where, why);
        return false;
    }
};

QString substitute(QString text, const QString &prefix)
{
    return text.replace(QStringLiteral("{P}"), prefix);
}

bool validPartId(const QString &id)
{
    return id == QLatin1String("contour") || id == QLatin1String("text")
           || id.startsWith(QLatin1String("decor")) || id.startsWith(QLatin1String("p"));
}

std::optional<QRectF> boxOf(const QJsonValue &value, const QRectF &fallback)
{
    if (value.isUndefined())
        return fallback;
    const QJsonArray a = value.toArray();
    if (a.size() == 2 && a[0].toDouble() > 0 && a[1].toDouble() > 0)
        return QRectF(0, 0, a[0].toDouble(), a[1].toDouble());
    if (a.size() == 4 && a[2].toDouble() > 0 && a[3].toDouble() > 0)
        return QRectF(a[0].toDouble(), a[1].toDouble(), a[2].toDouble(), a[3].toDouble());
    return std::nullopt;
}

std::optional<int> indexOf(const QJsonValue &value, int fallback)
{
    if (value.isUndefined())
        return fallback;
    if (value.isNull())
        return -1;
    if (!value.isDouble() || value.toDouble() < 0
        || value.toDouble() != std::floor(value.toDouble()))
        return std::nullopt;
    return value.toInt();
}

bool readParts(Reader &r, const QString &where, const QJsonArray &array, const QRectF &box,
               QList<QntNotationSource::Part> &parts)
{
    for (int i = 0; i < array.size(); ++i) {
        const QString at = QStringLiteral("%1.parts[%2]").arg(where).arg(i);
        const QJsonObject o = array.at(i).toObject();
        QntNotationSource::Part part;
        part.id = o.value(QStringLiteral("id")).toString();
        if (!validPartId(part.id) || part.id == QLatin1String("text"))
            return r.fail(
                at, QStringLiteral("part id “%1” must be contour, decor… or p…").arg(part.id));
        const auto path = QntSvgPathData::parse(o.value(QStringLiteral("d")).toString());
        if (!path)
            return r.fail(at, path.errorMessage());
        part.path = *path;
        part.box = box;
        part.closed = !o.value(QStringLiteral("line")).toBool(false);
        const auto fill = indexOf(o.value(QStringLiteral("fill")), part.closed ? 0 : -1);
        const auto stroke = indexOf(o.value(QStringLiteral("stroke")), 0);
        if (!fill || !stroke)
            return r.fail(at, QStringLiteral("fill and stroke are scheme indices or null"));
        part.fill = *fill;
        part.stroke = *stroke;
        for (const QJsonValue &g : o.value(QStringLiteral("gradient")).toArray())
            part.gradient.append(g.toInt());
        part.strokeWidth = o.value(QStringLiteral("width")).toDouble(1.5);
        if (!(part.strokeWidth >= 0 && part.strokeWidth < 100))
            return r.fail(at, QStringLiteral("stroke width out of range"));
        for (const QJsonValue &d : o.value(QStringLiteral("dash")).toArray())
            part.dash.append(d.toDouble());
        parts.append(part);
    }
    return true;
}

} // namespace

VRResult<QntNotationSource> QntNotationSource::read(const QString &path,
                                                    const QString &libraryFolder)
{
    Reader r;
    auto finish = [&]() -> VRResult<QntNotationSource> { return VRError{r.error}; };
    const auto root = r.load(path);
    const auto shapesFile = r.load(libraryFolder + QStringLiteral("/shapes.json"));
    const auto schemesFile = r.load(libraryFolder + QStringLiteral("/schemes.json"));
    const auto commonFile = r.load(libraryFolder + QStringLiteral("/common.json"));
    if (!root || !shapesFile || !schemesFile || !commonFile)
        return finish();
    const QJsonObject shapes = shapesFile->value(QStringLiteral("shapes")).toObject();

    QntNotationSource source;
    source.sourcePath = path;
    source.file = root->value(QStringLiteral("file")).toString();
    source.name = root->value(QStringLiteral("name")).toString();
    const QString prefix = root->value(QStringLiteral("prefix")).toString();
    if (source.file.isEmpty() || source.file.contains(QLatin1String(".."))
        || !source.file.endsWith(QLatin1String(".db")) || source.name.isEmpty()
        || prefix.isEmpty()) {
        r.fail(path, QStringLiteral("needs \"file\" (…/Name.db), \"name\" and \"prefix\""));
        return finish();
    }
    source.stringParams = root->value(QStringLiteral("params")).toObject().toVariantMap();
    source.stringParams.insert(QStringLiteral("NotationName"), source.name);
    source.iconElement = substitute(root->value(QStringLiteral("icon")).toString(), prefix);

    // Colour schemes: named sets from the library, in the notation's order.
    const QJsonObject schemeSets = schemesFile->value(QStringLiteral("schemes")).toObject();
    const QJsonObject comments = schemesFile->value(QStringLiteral("comments")).toObject();
    QSet<int> tableCells, tableGrids;
    for (const QJsonValue &v : schemesFile->value(QStringLiteral("tableCell")).toArray())
        tableCells.insert(v.toInt());
    for (const QJsonValue &v : schemesFile->value(QStringLiteral("tableGrid")).toArray())
        tableGrids.insert(v.toInt());
    const QString defaultScheme = root->value(QStringLiteral("defaultScheme")).toString();
    qint64 nextId = 1;
    for (const QJsonValue &nameValue : root->value(QStringLiteral("schemes")).toArray()) {
        const QString schemeName = nameValue.toString();
        const QJsonObject set = schemeSets.value(schemeName).toObject();
        if (set.isEmpty()) {
            r.fail(path, QStringLiteral("unknown colour scheme “%1”").arg(schemeName));
            return finish();
        }
        Scheme scheme;
        scheme.id = nextId++;
        scheme.name = schemeName;
        scheme.iconColour = set.value(QStringLiteral("icon")).toString();
        scheme.isDefault = schemeName == defaultScheme;
        auto items = [&](const char *key, QList<ColourItem> &out) {
            const QJsonArray colours = set.value(QLatin1String(key)).toArray();
            const QJsonArray notes = comments.value(QLatin1String(key)).toArray();
            for (int i = 0; i < colours.size(); ++i) {
                ColourItem item;
                const QString text = colours.at(i).toString();
                // "#RRGGBB" or "#RRGGBB@0.8" for a colour with its opacity.
                item.colour = text.section(QLatin1Char('@'), 0, 0).toUpper();
                item.alpha = text.contains(QLatin1Char('@'))
                                 ? text.section(QLatin1Char('@'), 1).toDouble()
                                 : 1.0;
                item.comment = notes.at(i).toString();
                if (QLatin1String(key) == QLatin1String("fill"))
                    item.tableCell = tableCells.contains(i);
                if (QLatin1String(key) == QLatin1String("stroke"))
                    item.tableGrid = tableGrids.contains(i);
                if (QLatin1String(key) == QLatin1String("text"))
                    item.isDefault = i == 0;
                out.append(item);
            }
        };
        items("fill", scheme.fill);
        items("stroke", scheme.stroke);
        items("gradient", scheme.gradientStops);
        items("text", scheme.text);
        source.schemes.append(scheme);
    }
    if (source.schemes.isEmpty()) {
        r.fail(path, QStringLiteral("a notation needs at least one colour scheme"));
        return finish();
    }
    if (std::none_of(source.schemes.cbegin(), source.schemes.cend(),
                     [](const Scheme &s) { return s.isDefault; }))
        source.schemes.first().isDefault = true;

    // Elements: the notation's own, then the common ones every notation has.
    QJsonArray elements = root->value(QStringLiteral("elements")).toArray();
    QJsonArray connectors = root->value(QStringLiteral("connectors")).toArray();
    QJsonObject palette = commonFile->value(QStringLiteral("palette")).toObject();
    if (root->value(QStringLiteral("common")).toBool(true)) {
        for (const QJsonValue &v : commonFile->value(QStringLiteral("elements")).toArray())
            elements.append(v);
        for (const QJsonValue &v : commonFile->value(QStringLiteral("connectors")).toArray())
            connectors.append(v);
    }
    const QJsonObject ownPalette = root->value(QStringLiteral("palette")).toObject();
    for (auto it = ownPalette.begin(); it != ownPalette.end(); ++it)
        palette.insert(it.key(), it.value());
    for (auto it = palette.begin(); it != palette.end(); ++it) {
        QStringList colours;
        for (const QJsonValue &c : it.value().toArray())
            colours << c.toString().toUpper();
        source.paletteColours.insert(it.key(), colours);
    }
    const bool importedLibrary = root->value(QStringLiteral("importedElements")).toBool(false);

    QSet<QString> ids;
    const int fillCount = int(source.schemes.first().fill.size());
    const int strokeCount = int(source.schemes.first().stroke.size());
    const int gradientCount = int(source.schemes.first().gradientStops.size());
    const int textCount = int(source.schemes.first().text.size());
    QHash<QString, int> orderInList;
    for (int i = 0; i < elements.size(); ++i) {
        const QJsonObject o = elements.at(i).toObject();
        const QString where = QStringLiteral("%1: elements[%2]").arg(path).arg(i);
        Element e;
        e.id = substitute(o.value(QStringLiteral("id")).toString(), prefix);
        e.list = o.value(QStringLiteral("list")).toString(QStringLiteral("Shapes"));
        e.title = o.value(QStringLiteral("title")).toString();
        e.tooltip = o.value(QStringLiteral("tooltip")).toString(e.title);
        e.className = o.value(QStringLiteral("class"))
                          .toString(e.list == QLatin1String("Text") ? QStringLiteral("QntText")
                                                                    : QStringLiteral("QntElement"));
        e.kind = o.value(QStringLiteral("kind")).toString();
        e.direction = o.value(QStringLiteral("direction")).toInt(-1);
        e.proportional = o.value(QStringLiteral("proportional")).toBool(false);
        e.imported = importedLibrary && e.list != QLatin1String("Arrowheads")
                     && e.list != QLatin1String("ConnectorBodies")
                     && e.id != QLatin1String("e100TABLE") && e.id != QLatin1String("e52");
        if (e.id.isEmpty() || ids.contains(e.id)) {
            r.fail(where, QStringLiteral("missing or repeated element id “%1”").arg(e.id));
            return finish();
        }
        ids.insert(e.id);
        QJsonObject shape;
        if (o.contains(QStringLiteral("shape"))) {
            shape = shapes.value(o.value(QStringLiteral("shape")).toString()).toObject();
            if (shape.isEmpty()) {
                r.fail(where, QStringLiteral("unknown shape “%1”")
                                  .arg(o.value(QStringLiteral("shape")).toString()));
                return finish();
            }
        }
        const auto box =
            boxOf(o.contains(QStringLiteral("box")) ? o.value(QStringLiteral("box"))
                                                    : shape.value(QStringLiteral("box")),
                  QRectF(0, 0, 100, 100));
        if (!box) {
            r.fail(where, QStringLiteral("box must be [w, h] or [x, y, w, h]"));
            return finish();
        }
        e.box = *box;
        const QJsonArray size = o.value(QStringLiteral("size")).toArray();
        e.size = size.size() == 2 ? QSizeF(size[0].toDouble(), size[1].toDouble()) : e.box.size();
        // Icons carry their label in a band below the picture, where it never hides the drawing.
        const bool labelBelow =
            o.value(QStringLiteral("label")).toString() == QLatin1String("below");
        if (labelBelow) {
            const double band = 22.0 * e.box.height() / e.size.height();
            e.box.setHeight(e.box.height() + band);
            e.size.setHeight(e.size.height() + 22.0);
        }
        if (!(e.size.width() > 0 && e.size.height() > 0 && e.size.width() < 5000
              && e.size.height() < 5000)) {
            r.fail(where, QStringLiteral("size out of range"));
            return finish();
        }
        if (!readParts(r, where, shape.value(QStringLiteral("parts")).toArray(), e.box, e.parts)
            || !readParts(r, where, o.value(QStringLiteral("parts")).toArray(), e.box, e.parts))
            return finish();
        // Recolouring the contour is the common variation between notations.
        for (Part &part : e.parts) {
            if (part.id != QLatin1String("contour"))
                continue;
            if (o.contains(QStringLiteral("fill")))
                part.fill = indexOf(o.value(QStringLiteral("fill")), part.fill).value_or(part.fill);
            if (o.contains(QStringLiteral("stroke")))
                part.stroke =
                    indexOf(o.value(QStringLiteral("stroke")), part.stroke).value_or(part.stroke);
            if (o.contains(QStringLiteral("gradient"))) {
                part.gradient.clear();
                for (const QJsonValue &g : o.value(QStringLiteral("gradient")).toArray())
                    part.gradient.append(g.toInt());
            }
            if (o.contains(QStringLiteral("width")))
                part.strokeWidth = o.value(QStringLiteral("width")).toDouble(part.strokeWidth);
        }
        for (const Part &part : std::as_const(e.parts)) {
            if (part.fill >= fillCount || part.stroke >= strokeCount
                || std::any_of(part.gradient.cbegin(), part.gradient.cend(),
                               [&](int g) { return g < 0 || g >= gradientCount; })) {
                r.fail(
                    where,
                    QStringLiteral("part “%1” uses a colour the schemes do not have").arg(part.id));
                return finish();
            }
        }
        QJsonValue textValue = o.contains(QStringLiteral("text"))
                                   ? o.value(QStringLiteral("text"))
                                   : shape.value(QStringLiteral("text"));
        if (labelBelow && !textValue.isString() && !textValue.isObject())
            textValue = QJsonObject{{QStringLiteral("string"), QString()},
                                    {QStringLiteral("size"), 11},
                                    {QStringLiteral("valign"), 2}};
        if (textValue.isString() || textValue.isObject()) {
            Text text;
            const QJsonObject t = textValue.toObject();
            text.string = textValue.isString() ? textValue.toString()
                                               : t.value(QStringLiteral("string")).toString();
            text.colour = t.value(QStringLiteral("colour")).toInt(0);
            text.fontSize = t.value(QStringLiteral("size")).toDouble(12.0);
            text.bold = t.value(QStringLiteral("bold")).toBool(false);
            text.italic = t.value(QStringLiteral("italic")).toBool(false);
            text.alignment = t.value(QStringLiteral("align")).toInt(2);
            text.verticalAlignment = std::clamp(t.value(QStringLiteral("valign")).toInt(1), 0, 2);
            if (const auto frame = boxOf(t.value(QStringLiteral("frame")), QRectF()); frame)
                text.frame = *frame;
            if (text.colour < 0 || text.colour >= textCount) {
                r.fail(where, QStringLiteral("text colour index out of range"));
                return finish();
            }
            e.text = text;
        }
        for (const QJsonValue &spot : o.value(QStringLiteral("spots")).toArray()) {
            const QJsonArray xy = spot.toArray();
            const QPointF p(xy.at(0).toDouble(), xy.at(1).toDouble());
            if (std::fabs(p.x()) > 0.5 || std::fabs(p.y()) > 0.5) {
                r.fail(where, QStringLiteral("sticky spots are unit coordinates (-0.5 … 0.5)"));
                return finish();
            }
            e.stickySpots.append(p);
        }
        e.extra = o.value(QStringLiteral("extra")).toObject().toVariantMap();
        if (e.parts.isEmpty() && e.className != QLatin1String("QntText")
            && e.className != QLatin1String("QntElementTable")) {
            r.fail(where, QStringLiteral("an element needs at least one part"));
            return finish();
        }
        source.elements.append(e);
        orderInList[e.list]++;
    }
    for (const char *required : {"e100TABLE", "e52"}) {
        if (!ids.contains(QLatin1String(required))) {
            r.fail(path, QStringLiteral("every notation defines the element %1")
                             .arg(QLatin1String(required)));
            return finish();
        }
    }

    QSet<QString> connectorIds;
    for (int i = 0; i < connectors.size(); ++i) {
        const QJsonObject o = connectors.at(i).toObject();
        const QString where = QStringLiteral("%1: connectors[%2]").arg(path).arg(i);
        Connector c;
        c.id = substitute(o.value(QStringLiteral("id")).toString(), prefix);
        c.kind = o.value(QStringLiteral("kind")).toInt(2);
        c.title = o.value(QStringLiteral("title")).toString();
        c.thickness = o.value(QStringLiteral("thickness")).toDouble(1.5);
        c.isDefault = o.value(QStringLiteral("default")).toBool(false);
        if (c.id.isEmpty() || connectorIds.contains(c.id) || (c.kind != 1 && c.kind != 2)
            || (c.kind == 1 && !c.id.endsWith(QLatin1String("Thick")))) {
            r.fail(where,
                   QStringLiteral("connector id missing or repeated, or kind 1 without “Thick”"));
            return finish();
        }
        connectorIds.insert(c.id);
        for (const QJsonValue &a : o.value(QStringLiteral("arrowheads")).toArray()) {
            const QJsonObject ao = a.toObject();
            Arrowhead head;
            head.elementId = substitute(ao.value(QStringLiteral("id")).toString(), prefix);
            head.present = ao.value(QStringLiteral("present")).toBool(true);
            head.placement = ao.value(QStringLiteral("placement")).toString(QStringLiteral("Both"));
            head.defaultStart = ao.value(QStringLiteral("defaultStart")).toBool(false);
            head.defaultEnd = ao.value(QStringLiteral("defaultEnd")).toBool(false);
            head.lengthKind = ao.value(QStringLiteral("lengthKind")).toInt(1);
            if (!ids.contains(head.elementId)) {
                r.fail(where,
                       QStringLiteral("arrowhead “%1” is not an element").arg(head.elementId));
                return finish();
            }
            c.arrowheads.append(head);
        }
        source.connectors.append(c);
    }
    if (!source.iconElement.isEmpty() && !ids.contains(source.iconElement)) {
        r.fail(path, QStringLiteral("icon element “%1” is not defined").arg(source.iconElement));
        return finish();
    }
    return source;
}
