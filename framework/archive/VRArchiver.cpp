#include "framework/archive/VRArchiver.h"

#include "framework/archive/VRArchiveParser.h"
#include "framework/archive/VRArchiveReader.h"
#include "framework/archive/VRArchiveWriter.h"
#include "framework/archive/VRJsonStreamWriter.h"
#include "framework/model/QntConnector.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRGuideLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/undo/VRUndoManager.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

const QString kDrawingFormat = QStringLiteral("quintora.drawing");
const QString kObjectsFormat = QStringLiteral("quintora.objects");

// The deepest bracket nesting of JSON text, strings skipped; stops early past the limit.
int nestingDepth(const QByteArray &data, int limit)
{
    int depth = 0, deepest = 0;
    bool inString = false, escaped = false;
    for (const char c : data) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit)
                return deepest;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

// How many records reading the document takes: its styles and the objects of its layers.
qsizetype recordCount(const QJsonObject &root, VRArchiveParser *parts)
{
    const QJsonArray layers =
        root.value(QLatin1String("drawing")).toObject().value(QLatin1String("layers")).toArray();
    if (parts) {
        qsizetype count = parts->styles() ? parts->styles()->size() : 0;
        for (qsizetype i = 0; i < layers.size(); ++i) {
            if (VRRecordSource *objects = parts->objectsOfLayer(i))
                count += objects->size();
        }
        return count;
    }
    qsizetype count = root.value(QLatin1String("styles")).toArray().size();
    for (const QJsonValue &layer : layers)
        count += layer.toObject().value(QLatin1String("objects")).toArray().size();
    return count;
}

void writeLayer(VRJsonStreamWriter &r, const VRLayer &layer, VRArchiveWriter &writer)
{
    r.beginObject();
    r.insert("class", layer.className());
    r.insert("name", layer.name());
    r.insert("visible", layer.isVisible());
    r.insert("locked", layer.isLocked());
    r.insert("print", layer.shouldDrawToPrinter());
    if (layer.isKindOf<VRObjectOwnerLayer>()) {
        const auto &owner = static_cast<const VRObjectOwnerLayer &>(layer);
        r.key(QLatin1String("objects"));
        writer.writeObjectsInParts(r, owner.objects());
    }
    if (layer.isKindOf<VRObjectDrawingLayer>()) {
        const auto &drawingLayer = static_cast<const VRObjectDrawingLayer &>(layer);
        const QColor c = drawingLayer.selectionColour();
        if (c.isValid())
            r.insert("selectionColour", VRArchiveWriter::colour(c));
        else
            r.insert("selectionColour", nullptr);
        r.key(QLatin1String("layoutParams"));
        VRArchiveWriter::writeMap(r, drawingLayer.layoutParams(), &writer);
        r.beginArray("selection");
        for (const auto &o : drawingLayer.selection())
            r.value(writer.uidOf(o.get()));
        r.end();
    }
    r.end();
}

// `objects` holds the layer's object records when they were parsed apart from its record.
VRLayerRef readLayer(const QJsonValue &value, VRArchiveReader &reader, const QString &path,
                     VRRecordSource *objects)
{
    if (!value.isObject()) {
        reader.fail(path, VRArchiveReader::typeError("a layer record"));
        return nullptr;
    }
    const QJsonObject r = value.toObject();
    QString className;
    if (!reader.readString(r, QStringLiteral("class"), path, className, true))
        return nullptr;
    const VRClassInfo *info = VRClassInfo::byName(className);
    if (!info || !info->create || !info->isSubclassOf(VRLayer::staticClass())) {
        reader.fail(path + QStringLiteral(".class"),
                    QStringLiteral("unknown layer class \"%1\"").arg(className.left(80)));
        return nullptr;
    }
    auto layer = std::static_pointer_cast<VRLayer>(info->create());
    QString name = layer->name();
    bool visible = true, locked = false, print = layer->shouldDrawToPrinter();
    if (!reader.readString(r, QStringLiteral("name"), path, name)
        || !reader.readBool(r, QStringLiteral("visible"), path, visible)
        || !reader.readBool(r, QStringLiteral("locked"), path, locked)
        || !reader.readBool(r, QStringLiteral("print"), path, print))
        return nullptr;
    layer->setName(name);
    layer->setVisible(visible);
    layer->setLocked(locked);
    layer->setShouldDrawToPrinter(print);
    if (layer->isKindOf<VRObjectOwnerLayer>()) {
        auto &owner = static_cast<VRObjectOwnerLayer &>(*layer);
        const QString objectsPath = path + QStringLiteral(".objects");
        const VRObjectList read =
            objects ? reader.readObjects(*objects, objectsPath)
                    : reader.readObjects(r.value(QStringLiteral("objects")), objectsPath);
        if (reader.failed())
            return nullptr;
        owner.addObjectsFromArray(read);
    }
    if (layer->isKindOf<VRObjectDrawingLayer>()) {
        auto drawingLayer = std::static_pointer_cast<VRObjectDrawingLayer>(layer);
        QColor colour;
        QVariantMap params;
        QJsonArray selection;
        if (!reader.readColour(r, QStringLiteral("selectionColour"), path, colour, false, true)
            || !reader.readMap(r, QStringLiteral("layoutParams"), path, params)
            || !reader.readArray(r, QStringLiteral("selection"), path, selection))
            return nullptr;
        drawingLayer->setSelectionColour(colour);
        drawingLayer->setLayoutParams(params);
        std::weak_ptr<VRObjectDrawingLayer> weak = drawingLayer;
        const QString selectionPath = path + QStringLiteral(".selection");
        reader.defer([weak, selection, selectionPath](VRArchiveReader &rd) {
            auto l = weak.lock();
            if (!l)
                return true;
            VRObjectList selected;
            for (const QJsonValue &v : selection) {
                const VRObjectRef o =
                    v.isDouble() ? rd.objectForUid(qint64(v.toDouble())) : nullptr;
                if (!o || o->container() != l.get())
                    return rd.fail(
                        selectionPath,
                        QStringLiteral("selection names an object that is not in the layer"));
                selected.append(o);
            }
            l->exchangeSelectionWithObjectsFromArray(selected);
            return true;
        });
    }
    return layer;
}

void updateStyles(const VRObjectList &objects)
{
    for (const auto &o : objects)
        o->updateStyle();
}

} // namespace

VRResult<QJsonObject> VRArchiver::parse(const QByteArray &data, const QString &expectedFormat)
{
    if (data.size() > kMaximumFileSize)
        return VRError{QStringLiteral("The file is too large to be a Quintora drawing.")};
    if (data.trimmed().isEmpty())
        return VRError{QStringLiteral("The file is empty.")};
    if (nestingDepth(data, kMaximumNesting) > kMaximumNesting)
        return VRError{QStringLiteral("The file is nested too deeply to be a Quintora drawing.")};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        return VRError{
            QStringLiteral("The file is damaged or not a Quintora drawing (%1 at byte %2).")
                .arg(error.errorString())
                .arg(error.offset)};
    if (!document.isObject())
        return VRError{QStringLiteral("The file is not a Quintora drawing.")};
    return checkRoot(document.object(), expectedFormat);
}

VRResult<QJsonObject> VRArchiver::checkRoot(const QJsonObject &root, const QString &expectedFormat)
{
    if (root.value(QStringLiteral("format")).toString() != expectedFormat)
        return VRError{QStringLiteral("The file is not a Quintora drawing.")};
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (!version.isDouble() || version.toDouble() != std::floor(version.toDouble())
        || version.toDouble() < 1)
        return VRError{QStringLiteral("version: expected a positive integer")};
    if (version.toDouble() > kFormatVersion)
        return VRError{QStringLiteral("This drawing was made by a newer version of Quintora.")};
    return root;
}

QByteArray VRArchiver::documentData(const VRDrawing &drawing)
{
    VRJsonStreamWriter out;
    writeDocument(out, drawing);
    return out.take();
}

void VRArchiver::writeDocument(const VRDrawing &drawing,
                               const std::function<void(QByteArrayView text)> &sink)
{
    // The text goes into memory kept from the last save, and back for the next.
    VRJsonStreamWriter out = VRArchiveWriter::borrowText(kMaximumFileSize);
    try {
        writeDocument(out, drawing);
        sink(out.text());
    } catch (...) {
        VRArchiveWriter::giveBackText(std::move(out));
        throw;
    }
    VRArchiveWriter::giveBackText(std::move(out));
}

void VRArchiver::writeDocument(VRJsonStreamWriter &out, const VRDrawing &drawing)
{
    VRArchiveWriter writer;
    auto &mutableDrawing = const_cast<VRDrawing &>(drawing);
    // Objects and styles are numbered in the order files always had: imported elements, the
    // sequence dictionaries and the metadata before the layers. Those are written first, apart,
    // so the drawing's fields can then go out in key order and its record (the whole document,
    // nearly) never needs sorting.
    VRJsonStreamWriter imported, sequence, sequenceStyles, metadata;
    imported.beginObject();
    for (const QString &key : drawing.importedElementsKeys()) {
        imported.key(key);
        writer.writeObjects(imported, drawing.importedElementsForKey(key));
    }
    imported.end();
    VRArchiveWriter::writeMap(sequence, drawing.sequenceDic(), &writer);
    VRArchiveWriter::writeMap(sequenceStyles, mutableDrawing.sequenceStyleDic(), &writer);
    VRArchiveWriter::writeMap(metadata, drawing.metadata(), &writer);

    out.beginObject();
    out.beginObject("drawing");
    out.insert("activeLayer", drawing.indexOfActiveLayer());
    if (const VRGridLayer *grid = drawing.gridLayer()) {
        out.beginObject("grid");
        out.insert("unitDistance", grid->unitDistance());
        out.insert("span", grid->span());
        out.insert("divisions", grid->divisions());
        out.insert("majors", grid->majors());
        out.insert("rulerSteps", grid->rulerSteps());
        out.insert("colour", VRArchiveWriter::colour(grid->spanColour()));
        out.insert("visible", grid->isVisible());
        out.insert("print", grid->shouldDrawToPrinter());
        out.end();
    }
    if (QSet<int> *tags = mutableDrawing.hiddenGroupTags()) {
        QList<int> sorted(tags->cbegin(), tags->cend());
        std::sort(sorted.begin(), sorted.end());
        out.beginArray("hiddenGroupTags");
        for (int t : sorted)
            out.value(t);
        out.end();
    } else {
        out.insert("hiddenGroupTags", nullptr);
    }
    out.key(QLatin1String("importedElements"));
    out.rawValue(imported.text());
    out.beginArray("layers");
    for (int i = 0; i < drawing.countOfLayers(); ++i)
        writeLayer(out, *drawing.objectInLayersAtIndex(i), writer);
    out.end();
    out.insert("margins", {drawing.leftMargin(), drawing.topMargin(), drawing.rightMargin(),
                           drawing.bottomMargin()});
    if (drawing.mermaidSourceText().isNull())
        out.insert("mermaidSourceText", nullptr);
    else
        out.insert("mermaidSourceText", drawing.mermaidSourceText());
    out.key(QLatin1String("metadata"));
    out.rawValue(metadata.text());
    if (drawing.currentNotationPath().isEmpty()) {
        out.insert("notation", nullptr);
    } else {
        out.beginObject("notation");
        out.insert("path", drawing.currentNotationPath());
        out.insert("name", drawing.currentNotationName());
        out.end();
    }
    out.insert("pageBreaks", drawing.pageBreaksVisible());
    out.insert("pagination", drawing.paginationMode());
    out.insert("paper", VRArchiveWriter::colour(drawing.paperColour()));
    out.beginObject("router");
    out.insert("disabled", drawing.avoidRouterIsDisabled());
    out.insert("shapeBufferDistance", drawing.shapeBufferDistance());
    out.insert("segmentPenalty", drawing.segmentPenalty());
    out.insert("nudge", drawing.nudgeOrthogonalSegments());
    out.insert("nudgeChanged", drawing.wasChangedFromDefaultNudgeOrthogonalSegments());
    out.end();
    out.key(QLatin1String("sequenceDic"));
    out.rawValue(sequence.text());
    out.key(QLatin1String("sequenceStyleDic"));
    out.rawValue(sequenceStyles.text());
    const QSizeF size = drawing.drawingSize();
    out.insert("size", {size.width(), size.height()});
    out.insert("snapToGrid", drawing.snapsToGrid());
    out.beginObject("units");
    out.insert("name", drawing.drawingUnits());
    out.insert("factor", drawing.unitToPointsConversionFactor());
    out.end();
    out.end();

    out.insert("format", kDrawingFormat);
    out.insert("generator", QStringLiteral("Quintora ") + QCoreApplication::applicationVersion());
    out.key(QLatin1String("images"));
    out.value(QJsonValue(writer.imagesTable()));
    // The style table is complete only now: the text gets room for it at once, rather than
    // doubling its room and copying what it holds.
    const QByteArrayView styles = writer.finishStylesText();
    out.reserve(out.size() + styles.size() + 64);
    out.key(QLatin1String("styles"));
    out.rawValue(styles);
    out.insert("version", kFormatVersion);
    out.end();
}

QString VRArchiver::cancelledMessage()
{
    return QStringLiteral("The reading was cancelled.");
}

VRResult<std::unique_ptr<VRDrawing>> VRArchiver::drawingFromData(const QByteArray &data,
                                                                 const Progress &progress,
                                                                 const Release &release,
                                                                 bool *readAgain)
{
    if (readAgain)
        *readAgain = false;
    // Once cancelled, nothing more is read (the whole text is not parsed again either).
    bool cancelled = false;
    Progress watched;
    if (progress) {
        watched = [&](double fraction) {
            cancelled = cancelled || !progress(fraction);
            return !cancelled;
        };
    }
    // Large documents are parsed in parts on worker threads while the records are read. When
    // the parts do not make up the document (or anything fails), the whole text is parsed and
    // read as one, so damaged files get the same message either way.
    if (data.size() >= kPartsThreshold && data.size() <= kMaximumFileSize) {
        VRArchiveParser parts;
        // Text is given back only where a whole reading can be had again.
        if (parts.start(data, kMaximumNesting, readAgain ? release : Release())
            && parts.rootParsed()) {
            auto root = checkRoot(parts.root(), kDrawingFormat);
            if (root.ok()) {
                auto drawing = readDrawing(root.value(), &parts, watched);
                if (drawing.ok() && !parts.broken())
                    return drawing;
            }
        }
        if (parts.releasedText() && !cancelled) {
            *readAgain = true;
            return VRError{QStringLiteral("The file must be read again.")};
        }
    }
    if (cancelled)
        return VRError{cancelledMessage()};
    auto parsed = parse(data, kDrawingFormat);
    if (!parsed.ok())
        return VRError{parsed.errorMessage()};
    auto drawing = readDrawing(parsed.value(), nullptr, watched);
    if (cancelled)
        return VRError{cancelledMessage()};
    return drawing;
}

VRResult<std::unique_ptr<VRDrawing>>
VRArchiver::readDrawing(const QJsonObject &root, VRArchiveParser *parts, const Progress &progress)
{
    VRArchiveReader reader;
    // Reading the records is most of the work; routing the connectors afterwards the rest.
    constexpr double kRecordsShare = 0.9;
    if (progress) {
        const double total = std::max<double>(1, recordCount(root, parts));
        reader.setProgress([&progress, total](qsizetype read) {
            return progress(std::min(1.0, double(read) / total) * kRecordsShare);
        });
    }
    if (!root.value(QStringLiteral("images")).isUndefined()
        && !root.value(QStringLiteral("images")).isObject())
        return VRError{QStringLiteral("images: expected a dictionary")};
    reader.setImages(root.value(QStringLiteral("images")).toObject());
    VRRecordSource *styles = parts ? parts->styles() : nullptr;
    if (!(styles
              ? reader.readStyles(*styles, QStringLiteral("styles"))
              : reader.readStyles(root.value(QStringLiteral("styles")), QStringLiteral("styles"))))
        return VRError{reader.errorMessage()};
    if (!root.value(QStringLiteral("drawing")).isObject())
        return VRError{QStringLiteral("drawing: expected a drawing record")};
    const QJsonObject d = root.value(QStringLiteral("drawing")).toObject();
    const QString p = QStringLiteral("drawing");

    auto drawing = std::make_unique<VRDrawing>();
    VRUndoManager *um = drawing->undoManager();
    um->disableUndoRegistration();
    auto failure = [&]() -> VRResult<std::unique_ptr<VRDrawing>> {
        um->enableUndoRegistration();
        return VRError{reader.cancelled() ? cancelledMessage() : reader.errorMessage()};
    };

    QSizeF size = drawing->drawingSize();
    if (!reader.readSize(d, QStringLiteral("size"), p, size, true))
        return failure();
    drawing->setDrawingSize(size);
    QJsonArray margins;
    if (!reader.readArray(d, QStringLiteral("margins"), p, margins))
        return failure();
    if (!margins.isEmpty()) {
        double m[4];
        for (int i = 0; i < 4; ++i) {
            const QJsonValue v = margins.at(i);
            if (margins.size() != 4 || !v.isDouble() || !std::isfinite(v.toDouble())
                || v.toDouble() < 0 || v.toDouble() > VRArchiveReader::kMaximumCoordinate) {
                reader.fail(p + QStringLiteral(".margins"),
                            VRArchiveReader::typeError("four non-negative numbers"));
                return failure();
            }
            m[i] = v.toDouble();
        }
        drawing->setMarginsLeft(m[0], m[1], m[2], m[3]);
    }
    QJsonObject units;
    if (!reader.readObjectRecord(d, QStringLiteral("units"), p, units))
        return failure();
    if (!units.isEmpty()) {
        QString name;
        double factor = 0;
        if (!reader.readString(units, QStringLiteral("name"), p + QStringLiteral(".units"), name,
                               true)
            || !reader.readNumber(units, QStringLiteral("factor"), p + QStringLiteral(".units"),
                                  factor, true, 1e-9, 1e9))
            return failure();
        if (!drawing->setDrawingUnits(name, factor)) {
            reader.fail(p + QStringLiteral(".units"), QStringLiteral("invalid units"));
            return failure();
        }
    }
    QColor paper = drawing->paperColour();
    int pagination = 0;
    bool pageBreaks = false, snap = drawing->snapsToGrid();
    if (!reader.readColour(d, QStringLiteral("paper"), p, paper)
        || !reader.readInt(d, QStringLiteral("pagination"), p, pagination, false, 0, 1)
        || !reader.readBool(d, QStringLiteral("pageBreaks"), p, pageBreaks)
        || !reader.readBool(d, QStringLiteral("snapToGrid"), p, snap))
        return failure();
    drawing->setPaperColour(paper);
    drawing->setPaginationMode(pagination);
    drawing->setPageBreaksVisible(pageBreaks);
    drawing->setSnapsToGrid(snap);

    // Layers (the grid's settings are applied to the grid layer read here).
    QJsonArray layerRecords;
    if (!reader.readArray(d, QStringLiteral("layers"), p, layerRecords, true))
        return failure();
    if (layerRecords.size() > 10000) {
        reader.fail(p + QStringLiteral(".layers"), QStringLiteral("too many layers"));
        return failure();
    }
    QList<VRLayerRef> layers;
    for (int i = 0; i < layerRecords.size(); ++i) {
        auto layer = readLayer(layerRecords.at(i), reader, p + QStringLiteral(".layers[%1]").arg(i),
                               parts ? parts->objectsOfLayer(i) : nullptr);
        if (!layer)
            return failure();
        layers.append(layer);
    }
    int active = -1;
    if (!reader.readInt(d, QStringLiteral("activeLayer"), p, active, false, -1,
                        int(layers.size()) - 1))
        return failure();
    drawing->setLayers(layers, active);
    QJsonObject grid;
    if (!reader.readObjectRecord(d, QStringLiteral("grid"), p, grid))
        return failure();
    if (!grid.isEmpty()) {
        const QString gp = p + QStringLiteral(".grid");
        VRGridLayer *g = drawing->gridLayer();
        double unit = g->unitDistance(), span = g->span();
        int divisions = g->divisions(), majors = g->majors(), steps = g->rulerSteps();
        QColor colour = g->spanColour();
        bool visible = g->isVisible(), print = g->shouldDrawToPrinter();
        if (!reader.readNumber(grid, QStringLiteral("unitDistance"), gp, unit, false, 1e-6, 1e7)
            || !reader.readNumber(grid, QStringLiteral("span"), gp, span, false, 1e-6, 1e7)
            || !reader.readInt(grid, QStringLiteral("divisions"), gp, divisions, false, 1, 1000)
            || !reader.readInt(grid, QStringLiteral("majors"), gp, majors, false, 1, 1000)
            || !reader.readInt(grid, QStringLiteral("rulerSteps"), gp, steps, false, 1, 1000)
            || !reader.readColour(grid, QStringLiteral("colour"), gp, colour)
            || !reader.readBool(grid, QStringLiteral("visible"), gp, visible)
            || !reader.readBool(grid, QStringLiteral("print"), gp, print))
            return failure();
        if (!g->setDistanceForUnitSpan(unit, drawing->drawingUnits(), span, divisions, majors,
                                       steps)) {
            reader.fail(gp, QStringLiteral("invalid grid spacing"));
            return failure();
        }
        g->setGridThemeColour(colour);
        g->setVisible(visible);
        g->setShouldDrawToPrinter(print);
    }

    const QJsonValue notation = d.value(QStringLiteral("notation"));
    if (notation.isObject()) {
        QString path, name;
        if (!reader.readString(notation.toObject(), QStringLiteral("path"),
                               p + QStringLiteral(".notation"), path, true)
            || !reader.readString(notation.toObject(), QStringLiteral("name"),
                                  p + QStringLiteral(".notation"), name))
            return failure();
        drawing->setCurrentNotationPath(path, name);
    } else if (!notation.isUndefined() && !notation.isNull()) {
        reader.fail(p + QStringLiteral(".notation"),
                    VRArchiveReader::typeError("a notation record or null"));
        return failure();
    }
    QJsonObject router;
    if (!reader.readObjectRecord(d, QStringLiteral("router"), p, router))
        return failure();
    {
        const QString rp = p + QStringLiteral(".router");
        bool disabled = false, nudge = true, nudgeChanged = false;
        double buffer = 0, penalty = 0;
        if (!reader.readBool(router, QStringLiteral("disabled"), rp, disabled)
            || !reader.readNumber(router, QStringLiteral("shapeBufferDistance"), rp, buffer, false,
                                  0, 1e6)
            || !reader.readNumber(router, QStringLiteral("segmentPenalty"), rp, penalty, false, 0,
                                  1e9)
            || !reader.readBool(router, QStringLiteral("nudge"), rp, nudge)
            || !reader.readBool(router, QStringLiteral("nudgeChanged"), rp, nudgeChanged))
            return failure();
        drawing->setAvoidRouterIsDisabled(disabled);
        drawing->setShapeBufferDistance(buffer);
        drawing->setSegmentPenalty(penalty);
        drawing->setNudgeOrthogonalSegments(nudge);
        drawing->setWasChangedFromDefaultNudgeOrthogonalSegments(nudgeChanged);
    }
    const QJsonValue tags = d.value(QStringLiteral("hiddenGroupTags"));
    if (tags.isArray()) {
        QSet<int> set;
        for (const QJsonValue &t : tags.toArray()) {
            if (!t.isDouble() || t.toDouble() != std::floor(t.toDouble())
                || std::abs(t.toDouble()) > 1e9) {
                reader.fail(p + QStringLiteral(".hiddenGroupTags"),
                            VRArchiveReader::typeError("integers"));
                return failure();
            }
            set.insert(int(t.toDouble()));
        }
        drawing->setHiddenGroupTags(set);
    } else if (!tags.isUndefined() && !tags.isNull()) {
        reader.fail(p + QStringLiteral(".hiddenGroupTags"),
                    VRArchiveReader::typeError("an array or null"));
        return failure();
    }
    QJsonObject imported;
    if (!reader.readObjectRecord(d, QStringLiteral("importedElements"), p, imported))
        return failure();
    for (auto it = imported.constBegin(); it != imported.constEnd(); ++it) {
        const VRObjectList elements =
            reader.readObjects(it.value(), p + QStringLiteral(".importedElements.") + it.key());
        if (reader.failed())
            return failure();
        drawing->setImportedElements(elements, it.key());
    }
    QVariantMap sequenceDic, sequenceStyleDic, metadata;
    QString mermaid;
    if (!reader.readMap(d, QStringLiteral("sequenceDic"), p, sequenceDic)
        || !reader.readMap(d, QStringLiteral("sequenceStyleDic"), p, sequenceStyleDic)
        || !reader.readMap(d, QStringLiteral("metadata"), p, metadata)
        || !reader.readString(d, QStringLiteral("mermaidSourceText"), p, mermaid, false, true))
        return failure();
    drawing->setSequenceDic(sequenceDic);
    drawing->sequenceStyleDic() = sequenceStyleDic;
    drawing->metadata() = metadata;
    drawing->setMermaidSourceText(mermaid);

    if (!reader.resolveReferences())
        return failure();
    for (int i = 0; i < drawing->countOfLayers(); ++i) {
        if (auto *owner = dynamic_cast<VRObjectOwnerLayer *>(drawing->objectInLayersAtIndex(i)))
            updateStyles(owner->objects());
    }
    // The router met the connectors before their ends were attached: it learns the ends now.
    for (int i = 0; i < drawing->countOfLayers(); ++i) {
        auto *owner = dynamic_cast<VRObjectOwnerLayer *>(drawing->objectInLayersAtIndex(i));
        if (!owner)
            continue;
        const VRObjectList &objects = owner->objects();
        for (qsizetype k = 0; k < objects.size(); ++k) {
            const VRObjectRef &o = objects.at(k);
            if (progress && k % VRArchiveReader::kProgressEvery == 0
                && !progress(kRecordsShare
                             + (1 - kRecordsShare) * (i + double(k) / double(objects.size()))
                                   / drawing->countOfLayers())) {
                um->enableUndoRegistration();
                return VRError{cancelledMessage()};
            }
            if (!o->isKindOf<QntConnector>())
                continue;
            auto &connector = static_cast<QntConnector &>(*o);
            if (connector.routing() == 3 || connector.routing() == 4)
                drawing->avoidRouter()->routeConnector(connector);
        }
    }
    um->enableUndoRegistration();
    um->removeAllActions();
    um->markClean();
    return VRResult<std::unique_ptr<VRDrawing>>(std::move(drawing));
}

QByteArray VRArchiver::objectsData(const VRObjectList &objects)
{
    VRArchiveWriter writer;
    VRJsonStreamWriter records;
    writer.writeObjectsInParts(records, objects);
    VRJsonStreamWriter out;
    out.beginObject();
    out.insert("format", kObjectsFormat);
    out.key(QLatin1String("images"));
    out.value(QJsonValue(writer.imagesTable()));
    out.key(QLatin1String("objects"));
    out.rawValue(records.take());
    out.key(QLatin1String("styles"));
    out.rawValue(writer.takeStylesText());
    out.insert("version", kFormatVersion);
    out.end();
    return out.take();
}

VRResult<VRObjectList> VRArchiver::objectsFromData(const QByteArray &data)
{
    auto parsed = parse(data, kObjectsFormat);
    if (!parsed.ok())
        return VRError{parsed.errorMessage()};
    const QJsonObject &root = parsed.value();
    VRArchiveReader reader;
    reader.setFreesEndsOfMissingElements(true);
    reader.setImages(root.value(QStringLiteral("images")).toObject());
    if (!reader.readStyles(root.value(QStringLiteral("styles")), QStringLiteral("styles")))
        return VRError{reader.errorMessage()};
    const VRObjectList objects =
        reader.readObjects(root.value(QStringLiteral("objects")), QStringLiteral("objects"));
    if (reader.failed() || !reader.resolveReferences())
        return VRError{reader.errorMessage()};
    updateStyles(objects);
    return objects;
}

VRObjectRef VRArchiver::objectFromData(const QByteArray &data)
{
    auto objects = objectsFromData(data);
    return objects.ok() && objects.value().size() == 1 ? objects.value().first() : nullptr;
}
