#include "framework/ModelFixtures.h"
#include "common/FileSizeLimit.h"
#include "common/BoxElements.h"
#include "common/GoldenPicture.h"

#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementTable.h"
#include "framework/archive/VRArchiveParser.h"
#include "framework/archive/VRArchiver.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRImageShape.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRTextShape.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QTemporaryDir>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qnt::test;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

} // namespace

TEST(NativeFormat, WriteReadWriteIsStable)
{
    auto drawing = drawingWithEveryKind();
    const QByteArray first = VRArchiver::documentData(*drawing);
    auto read = VRArchiver::drawingFromData(first);
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    const QByteArray second = VRArchiver::documentData(*read.value());
    EXPECT_EQ(QJsonDocument::fromJson(first), QJsonDocument::fromJson(second));
}

TEST(NativeFormat, SavedTextIsWhatQJsonDocumentWritesForTheSameTree)
{
    // Files are written as the objects are visited; the text is byte for byte the compact
    // text of its own tree, so older readers and stored files see the same documents.
    auto drawing = drawingWithEveryKind();
    const QByteArray document = VRArchiver::documentData(*drawing);
    EXPECT_EQ(QJsonDocument::fromJson(document).toJson(QJsonDocument::Compact), document);
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    const QByteArray objects = VRArchiver::objectsData(layer->objects());
    EXPECT_EQ(QJsonDocument::fromJson(objects).toJson(QJsonDocument::Compact), objects);
    auto read = VRArchiver::objectsFromData(objects);
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    EXPECT_EQ(read.value().size(), layer->objects().size());
    EXPECT_EQ(QJsonDocument::fromJson(VRArchiver::objectsData(read.value())),
              QJsonDocument::fromJson(objects));
}

TEST(NativeFormat, ReloadedDrawingRendersTheSame)
{
    auto drawing = drawingWithEveryKind();
    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*drawing));
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    const QImage before = renderDrawing(*drawing);
    const QImage after = renderDrawing(*read.value());
    const int limit = before.width() * before.height() / 200; // 0.5 %
    EXPECT_LE(differingPixels(before, after), limit);
    // The picture is not blank: text, images, tables and connectors draw.
    QImage blank(before.size(), before.format());
    blank.fill(Qt::transparent);
    EXPECT_GT(differingPixels(before, blank), 1000);
}

TEST(NativeFormat, ReloadKeepsModelState)
{
    auto drawing = drawingWithEveryKind();
    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*drawing));
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    VRDrawing &d = *read.value();
    EXPECT_EQ(d.countOfLayers(), drawing->countOfLayers());
    EXPECT_EQ(d.indexOfActiveLayer(), drawing->indexOfActiveLayer());
    auto *layer = d.activeLayerOfClass<VRObjectDrawingLayer>();
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->countOfSelection(), 2);
    const auto rect = layer->objects().first();
    EXPECT_EQ(rect->intValueForKey(QStringLiteral("int")), 42);
    EXPECT_DOUBLE_EQ(rect->floatValueForKey(QStringLiteral("real")), 2.5);
    EXPECT_EQ(rect->metadataObjectForKey(QStringLiteral("colour")).value<QColor>(),
              QColor(1, 2, 3, 4));
    EXPECT_EQ(rect->metadataObjectForKey(QStringLiteral("data")).toByteArray(),
              QByteArray("\x01\x02", 2));
    EXPECT_TRUE(rect->metadataObjectForKey(QStringLiteral("map"))
                    .toMap()
                    .contains(QStringLiteral("$dollar")));
    const QVariantList list = rect->metadataObjectForKey(QStringLiteral("list")).toList();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list.at(2).metaType(), QMetaType::fromType<VRNull>());
    // Connectors keep their attachment to elements.
    std::shared_ptr<QntConnector> connector;
    for (const auto &o : layer->objects()) {
        if (o->isMemberOf<QntConnector>())
            connector = std::static_pointer_cast<QntConnector>(o);
    }
    ASSERT_TRUE(connector);
    ASSERT_NE(connector->startEndPoint()->targetStickySpot(), nullptr);
    EXPECT_TRUE(connector->startEndPoint()->targetStickySpot()->owner()->isKindOf<QntElement>());
    EXPECT_EQ(connector->routing(), 1);
    EXPECT_EQ(connector->skinOptions().value(QStringLiteral("startArrowheadId")).metaType(),
              QMetaType::fromType<VRNull>());
    EXPECT_EQ(d.mermaidSourceText(), QStringLiteral("graph TD; A-->B"));
    ASSERT_NE(d.hiddenGroupTags(), nullptr);
    EXPECT_EQ(*d.hiddenGroupTags(), QSet<int>({5, 7}));
    EXPECT_EQ(d.importedElementsForKey(QStringLiteral("Imported")).size(), 1);
}

TEST(NativeFormat, PasteboardAndCopiesUseTheSameRecords)
{
    auto drawing = drawingWithEveryKind();
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    const QByteArray data = VRArchiver::objectsData(layer->objects());
    auto objects = VRArchiver::objectsFromData(data);
    ASSERT_TRUE(objects.ok()) << objects.errorMessage().toStdString();
    ASSERT_EQ(objects.value().size(), layer->objects().size());
    for (int i = 0; i < objects.value().size(); ++i)
        EXPECT_EQ(objects.value().at(i)->className(), layer->objects().at(i)->className());
    QMimeData mime;
    mime.setData(kVRDrawableObjectPasteboardType, data);
    EXPECT_EQ(VRDrawableObject::nativeObjectsFromPasteboard(&mime).size(), layer->objects().size());
    mime.setData(kVRDrawableObjectPasteboardType, data.left(data.size() / 2));
    EXPECT_TRUE(VRDrawableObject::nativeObjectsFromPasteboard(&mime).isEmpty());
    // An independent copy round-trips through single-object data.
    auto copy = VRArchiver::objectFromData(VRArchiver::objectData(layer->objects().at(6)));
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->isMemberOf<QntElement>());
    EXPECT_EQ(copy->textContent().toPlainText(), QStringLiteral("Element one"));
}

// A connector copied without one or both of the shapes it joins comes back from the
// pasteboard with those ends free where they were; the shapes copied with it keep it attached.
TEST(NativeFormat, AConnectorCopiedWithoutItsShapesPastesWithThoseEndsFree)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    ASSERT_NE(layer, nullptr);
    auto a = qnt::test::addBoxElement(*layer, QRectF(0, 0, 60, 40), QStringLiteral("a"));
    auto b = qnt::test::addBoxElement(*layer, QRectF(200, 0, 60, 40), QStringLiteral("b"));
    auto connector =
        qnt::test::addAttachedConnector(*layer, a, QPointF(60, 20), b, QPointF(200, 20));
    const QPointF start = connector->startEndPoint()->location();
    const QPointF end = connector->endEndPoint()->location();
    const struct {
        const char *name;
        VRObjectList copied;
        bool startAttached;
        bool endAttached;
    } cases[] = {
        {"the connector alone", {connector}, false, false},
        {"with its start's shape", {a, connector}, true, false},
        {"with its end's shape", {connector, b}, false, true},
        {"with both shapes", {a, connector, b}, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QMimeData mime;
        mime.setData(kVRDrawableObjectPasteboardType, VRArchiver::objectsData(c.copied));
        const VRObjectList pasted = VRDrawableObject::nativeObjectsFromPasteboard(&mime);
        ASSERT_EQ(pasted.size(), c.copied.size());
        const auto it = std::find_if(pasted.begin(), pasted.end(), [](const VRObjectRef &o) {
            return o->isKindOf<QntConnector>();
        });
        ASSERT_NE(it, pasted.end());
        const auto &copy = static_cast<const QntConnector &>(**it);
        EXPECT_EQ(copy.startEndPoint()->targetElement() != nullptr, c.startAttached);
        EXPECT_EQ(copy.endEndPoint()->targetElement() != nullptr, c.endAttached);
        EXPECT_EQ(copy.startEndPoint()->location(), start);
        EXPECT_EQ(copy.endEndPoint()->location(), end);
    }
}

// Shapes dropped twice from the same pasteboard data carry two style objects with one key;
// after one is restyled, a saved drawing keeps both looks.
TEST(NativeFormat, TwoStylesWithOneKeyKeepTheirOwnLooks)
{
    auto drawing = std::make_unique<VRDrawing>();
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    ASSERT_NE(layer, nullptr);
    auto shape = VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 30));
    shape->setStyle(VRStyle::styleWithFillColour(Qt::blue, Qt::black, 1));
    const QByteArray data = VRArchiver::objectData(shape);
    const VRObjectRef first = VRArchiver::objectFromData(data);
    const VRObjectRef second = VRArchiver::objectFromData(data);
    ASSERT_TRUE(first && second);
    ASSERT_NE(first->style(), second->style());
    ASSERT_EQ(first->style()->uniqueKey(), second->style()->uniqueKey());
    second->style()->setFillColour(Qt::red);
    layer->addObjectsFromArray({first, second});

    auto read = VRArchiver::drawingFromData(VRArchiver::documentData(*drawing));
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    const VRObjectList objects =
        read.value()->activeLayerOfClass<VRObjectDrawingLayer>()->objects();
    ASSERT_EQ(objects.size(), 2);
    EXPECT_EQ(objects.at(0)->style()->fillColour(), QColor(Qt::blue));
    EXPECT_EQ(objects.at(1)->style()->fillColour(), QColor(Qt::red));

    // A file that names one style for both (as files written before did) gives each object its
    // own copy: restyling one leaves the other alone.
    QByteArray shared = VRArchiver::documentData(*read.value());
    shared.replace(objects.at(1)->style()->uniqueKey().toUtf8(),
                   objects.at(0)->style()->uniqueKey().toUtf8());
    auto reread = VRArchiver::drawingFromData(shared);
    ASSERT_TRUE(reread.ok()) << reread.errorMessage().toStdString();
    const VRObjectList again =
        reread.value()->activeLayerOfClass<VRObjectDrawingLayer>()->objects();
    ASSERT_EQ(again.size(), 2);
    ASSERT_NE(again.at(0)->style(), again.at(1)->style());
    again.at(1)->style()->setFillColour(Qt::green);
    EXPECT_NE(again.at(0)->style()->fillColour(), QColor(Qt::green));
}

TEST(NativeFormat, EqualFontsAndSmallDictionariesAreReadIntoOneCopyEachObjectCanChange)
{
    auto made = std::make_unique<VRDrawing>();
    auto *layer = made->activeLayerOfClass<VRObjectDrawingLayer>();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(13);
    font.setBold(true);
    for (int i = 0; i < 3; ++i) {
        auto text = std::make_shared<VRTextShape>();
        text->setLocation(QPointF(i * 60 + 25, 20));
        text->setSize(QSizeF(50, 40));
        text->setString(QStringLiteral("Text %1").arg(i));
        text->setFont(font);
        text->setMetadataObject(QStringLiteral("contour"), QStringLiteral("ID"));
        layer->addObject(text);
    }
    const QByteArray saved = VRArchiver::documentData(*made);
    auto read = VRArchiver::drawingFromData(saved);
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    const VRObjectList objects =
        read.value()->activeLayerOfClass<VRObjectDrawingLayer>()->objects();
    ASSERT_EQ(objects.size(), 3);
    const auto text = [&](int i) { return std::static_pointer_cast<VRTextShape>(objects.at(i)); };
    EXPECT_TRUE(text(0)->font().isCopyOf(text(2)->font()));
    EXPECT_EQ(text(2)->font(), font);
    EXPECT_TRUE(objects.at(0)->userInfo().isSharedWith(objects.at(2)->userInfo()));
    EXPECT_EQ(VRArchiver::documentData(*read.value()), saved);

    // Each object still changes alone.
    text(1)->setFontSize(20);
    objects.at(1)->setMetadataObject(QStringLiteral("other"), QStringLiteral("ID"));
    EXPECT_EQ(text(0)->font(), font);
    EXPECT_EQ(text(2)->font(), font);
    EXPECT_DOUBLE_EQ(text(1)->fontSize(), 20);
    EXPECT_EQ(objects.at(0)->ID(), QStringLiteral("contour"));
    EXPECT_EQ(objects.at(2)->ID(), QStringLiteral("contour"));
    EXPECT_EQ(objects.at(1)->ID(), QStringLiteral("other"));
}

struct HostileCase {
    const char *name;
    std::function<QByteArray(const QByteArray &good)> make;
    const char *expectedText;
};

class NativeFormatHostile : public ::testing::TestWithParam<HostileCase>
{
};

QByteArray editJson(const QByteArray &good, const std::function<void(QJsonObject &)> &edit)
{
    QJsonObject root = QJsonDocument::fromJson(good).object();
    edit(root);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}

QJsonObject firstObject(QJsonObject &root, QJsonObject *drawing, QJsonArray *layers,
                        QJsonObject *layer, QJsonArray *objects)
{
    *drawing = root.value(QStringLiteral("drawing")).toObject();
    *layers = drawing->value(QStringLiteral("layers")).toArray();
    *layer = layers->at(1).toObject();
    *objects = layer->value(QStringLiteral("objects")).toArray();
    return objects->at(0).toObject();
}

void putFirstObject(QJsonObject &root, QJsonObject drawing, QJsonArray layers, QJsonObject layer,
                    QJsonArray objects, const QJsonObject &object)
{
    objects[0] = object;
    layer[QStringLiteral("objects")] = objects;
    layers[1] = layer;
    drawing[QStringLiteral("layers")] = layers;
    root[QStringLiteral("drawing")] = drawing;
}

std::function<QByteArray(const QByteArray &)>
editFirstObject(std::function<void(QJsonObject &)> edit)
{
    return [edit](const QByteArray &good) {
        return editJson(good, [edit](QJsonObject &root) {
            QJsonObject drawing, layer;
            QJsonArray layers, objects;
            QJsonObject object = firstObject(root, &drawing, &layers, &layer, &objects);
            edit(object);
            putFirstObject(root, drawing, layers, layer, objects, object);
        });
    };
}

namespace {
// A drawing with every kind of object and, on the shapes' layer, count small filled squares in
// rows of columns.
std::unique_ptr<VRDrawing> drawingWithEveryKindAndShapes(int count, int columns)
{
    auto drawing = drawingWithEveryKind();
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    drawing->undoManager()->disableUndoRegistration();
    VRObjectList shapes;
    for (int i = 0; i < count; ++i) {
        auto shape =
            VRDrawableShape::shapeWithRect(QRectF(i % columns * 20, i / columns * 20, 15, 15));
        shape->setStyle(
            VRStyle::styleWithFillColour(QColor::fromHsv(i % 360, 90, 240), Qt::black, 1.0));
        shapes.append(shape);
    }
    layer->addObjectsFromArray(shapes);
    drawing->undoManager()->enableUndoRegistration();
    return drawing;
}
} // namespace

TEST(NativeFormat, LargeDocumentsReadInPartsAsTheyReadWhole)
{
    // Large enough to be parsed in parts on worker threads.
    auto drawing = drawingWithEveryKindAndShapes(700, 40);
    const QByteArray data = VRArchiver::documentData(*drawing);
    ASSERT_GT(data.size(), 256 * 1024);

    auto read = VRArchiver::drawingFromData(data);
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(VRArchiver::documentData(*read.value())),
              QJsonDocument::fromJson(data));
    EXPECT_EQ(read.value()->activeLayerOfClass<VRObjectDrawingLayer>()->countOfSelection(), 2);

    // Damage far into the records reads as it does from the whole text.
    const QByteArray unknownClass = editJson(data, [](QJsonObject &root) {
        QJsonObject drawingRecord = root.value(QStringLiteral("drawing")).toObject();
        QJsonArray layers = drawingRecord.value(QStringLiteral("layers")).toArray();
        QJsonObject layerRecord = layers.at(2).toObject(); // the layer holding the shapes
        QJsonArray objects = layerRecord.value(QStringLiteral("objects")).toArray();
        QJsonObject late = objects.at(600).toObject();
        late.insert(QStringLiteral("class"), QStringLiteral("NoSuchClass"));
        objects.replace(600, late);
        layerRecord.insert(QStringLiteral("objects"), objects);
        layers.replace(2, layerRecord);
        drawingRecord.insert(QStringLiteral("layers"), layers);
        root.insert(QStringLiteral("drawing"), drawingRecord);
    });
    auto refused = VRArchiver::drawingFromData(unknownClass);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.errorMessage(),
              QStringLiteral("drawing.layers[2].objects[600].class: unknown object class "
                             "\"NoSuchClass\""));
    QByteArray broken = data;
    const qsizetype late = broken.lastIndexOf("\"class\"");
    broken.remove(late - 1, 1); // the brace that opens a record
    auto damaged = VRArchiver::drawingFromData(broken);
    ASSERT_FALSE(damaged.ok());
    EXPECT_EQ(damaged.errorMessage(),
              VRArchiver::parse(broken, QStringLiteral("quintora.drawing")).errorMessage());
    EXPECT_TRUE(damaged.errorMessage().startsWith(QStringLiteral("The file is damaged")));
}

TEST(NativeFormat, ObjectsFindTheirStylesInAnyOrderOfTheTable)
{
    auto drawing = std::make_unique<VRDrawing>();
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    const QList<QColor> colours{Qt::red, Qt::green, Qt::blue, Qt::yellow};
    for (int i = 0; i < colours.size(); ++i) {
        auto shape = VRDrawableShape::shapeWithRect(QRectF(i * 50, 0, 40, 30));
        shape->setStyle(VRStyle::styleWithFillColour(colours.at(i), Qt::black, 1));
        layer->addObject(shape);
    }
    const QByteArray data = VRArchiver::documentData(*drawing);
    // The table as written, turned round, and with the second and third swapped.
    for (const QList<int> &order : {QList<int>{0, 1, 2, 3}, {3, 2, 1, 0}, {0, 2, 1, 3}}) {
        SCOPED_TRACE(::testing::PrintToString(order));
        const QByteArray reordered = editJson(data, [&](QJsonObject &root) {
            const QJsonArray styles = root.value(QStringLiteral("styles")).toArray();
            QJsonArray table;
            for (const int i : order)
                table.append(styles.at(i));
            root.insert(QStringLiteral("styles"), table);
        });
        auto read = VRArchiver::drawingFromData(reordered);
        ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
        const VRObjectList objects =
            read.value()->activeLayerOfClass<VRObjectDrawingLayer>()->objects();
        ASSERT_EQ(objects.size(), colours.size());
        for (int i = 0; i < colours.size(); ++i)
            EXPECT_EQ(objects.at(i)->style()->fillColour(), colours.at(i)) << i;
    }
}

TEST(NativeFormat, StylesOfALargeDocumentShareTheirRenderersAsInASmallOne)
{
    // Large enough to be parsed in parts; shapes i and i + 360 have styles alike.
    const QByteArray data = VRArchiver::documentData(*drawingWithEveryKindAndShapes(700, 40));
    const auto stylesOfShapes = [](const VRDrawing &drawing) {
        QList<VRStyleRef> styles;
        for (const VRObjectRef &o : drawing.activeLayerOfClass<VRObjectDrawingLayer>()->objects()) {
            if (o->isKindOf<VRDrawableShape>() && o->size() == QSizeF(15, 15))
                styles.append(o->style());
        }
        return styles;
    };
    auto read = VRArchiver::drawingFromData(data);
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    const QList<VRStyleRef> styles = stylesOfShapes(*read.value());
    ASSERT_EQ(styles.size(), 700);
    for (const int i : {0, 1, 339}) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(styles.at(i)->sharesRenderers());
        EXPECT_EQ(styles.at(i)->members().constFirst(), styles.at(i + 360)->members().constFirst());
        EXPECT_NE(styles.at(i)->members().constFirst(), styles.at(i + 1)->members().constFirst());
        EXPECT_NE(styles.at(i)->uniqueKey(), styles.at(i + 360)->uniqueKey());
    }

    // A record giving its renderers twice reads as the whole text does, although the first
    // list is written as another style's.
    const QString colour = VRStyleCoding::colourString(QColor::fromHsv(0, 90, 240));
    const QByteArray fill = "\"colour\":\"" + colour.toLatin1() + "\"";
    const qsizetype first = data.indexOf(fill, data.indexOf("\"styles\""));
    const qsizetype second = data.indexOf(fill, first + 1);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    const qsizetype end = data.indexOf("\"textAttributes\":null", second);
    ASSERT_GT(end, 0);
    const QByteArray blue = R"("renderers":[{"class":"VRFill","colour":"#0000FFFF"}])";
    for (const QByteArray &key :
         {QByteArray(R"("renderers")"), QByteArray(R"("render\u0065rs")")}) {
        SCOPED_TRACE(key.toStdString());
        QByteArray twice = data;
        twice.insert(end + qsizetype(strlen("\"textAttributes\":null")),
                     "," + QByteArray(blue).replace(R"("renderers")", key));
        auto reread = VRArchiver::drawingFromData(twice);
        ASSERT_TRUE(reread.ok()) << reread.errorMessage().toStdString();
        const VRStyleRef style = stylesOfShapes(*reread.value()).at(360);
        // The style as its record reads on its own.
        QJsonObject record;
        for (const QJsonValue &r : QJsonDocument::fromJson(twice)["styles"].toArray()) {
            if (r["key"] == style->uniqueKey())
                record = r.toObject();
        }
        auto alone = VRStyle::fromJson(record, {});
        ASSERT_TRUE(alone.ok()) << alone.errorMessage().toStdString();
        EXPECT_TRUE(style->isEqual(*alone.value()));
        EXPECT_EQ(style->fillColour(), alone.value()->fillColour());
    }
}

TEST(NativeFormat, ReadingTellsItsProgressAndStopsWhenCancelled)
{
    // Read whole, and in parts on worker threads.
    for (const int shapes : {100, 700}) {
        SCOPED_TRACE(shapes);
        const QByteArray data =
            VRArchiver::documentData(*drawingWithEveryKindAndShapes(shapes, 40));
        std::vector<double> told;
        auto read = VRArchiver::drawingFromData(data, [&](double f) {
            told.push_back(f);
            return true;
        });
        ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
        ASSERT_GE(told.size(), size_t(2));
        EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
        EXPECT_GE(told.front(), 0.0);
        EXPECT_GT(told.back(), 0.8);
        EXPECT_LE(told.back(), 1.0);

        // Cancelled at the first word: nothing more is read or asked, and no damage is told.
        for (const size_t cancelAt : {size_t(0), told.size() - 1}) {
            size_t asked = 0;
            auto cancelled =
                VRArchiver::drawingFromData(data, [&](double) { return asked++ < cancelAt; });
            ASSERT_FALSE(cancelled.ok());
            EXPECT_EQ(cancelled.errorMessage(), VRArchiver::cancelledMessage());
            EXPECT_EQ(asked, cancelAt + 1);
        }
    }
}

TEST(NativeFormat, LargeFilesOpenAsTheirTextReads)
{
    // Large enough to be read into pages of its own rather than the heap.
    auto drawing = drawingWithEveryKindAndShapes(3600, 50);
    const QByteArray data = VRArchiver::documentData(*drawing);
    ASSERT_GT(data.size(), 2 * 1024 * 1024);

    struct Case {
        const char *name;
        QByteArray text;
    };
    const Case cases[] = {
        {"intact", data},
        {"cut short", data.left(data.size() - 4096)},
        {"one record's brace gone",
         QByteArray(data).remove(data.indexOf("\"class\"", 1500000) - 1, 1)},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.quintora"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeAll(path, c.text);
        const auto fromText = VRArchiver::drawingFromData(c.text);
        VRDrawingDocument document;
        const auto opened = document.readFromFile(path);
        ASSERT_EQ(opened.ok(), fromText.ok()) << opened.errorMessage().toStdString();
        if (!opened.ok()) {
            EXPECT_EQ(opened.errorMessage(), fromText.errorMessage());
            continue;
        }
        // Nothing lost: saved again, the file is what it was, byte for byte.
        ASSERT_TRUE(document.writeToFile(path).ok());
        EXPECT_EQ(readAll(path), c.text);
    }
}

TEST(NativeFormat, TheTextOfALargeDocumentIsGivenBackAsItIsRead)
{
    // Large enough for a stretch of text to be given back before the last records are read.
    auto drawing = drawingWithEveryKindAndShapes(14000, 100);
    const QByteArray data = VRArchiver::documentData(*drawing);
    ASSERT_GT(data.size(), 2 * VRArchiveParser::kReleaseEvery);
    // Stretches given back are scribbled over: nothing may read them again.
    const auto readScribbling = [](const QByteArray &original, qsizetype *givenBack,
                                   bool *readAgain) {
        QByteArray text = original;
        char *raw = text.data();
        return VRArchiver::drawingFromData(
            text, {},
            [raw, givenBack](qsizetype begin, qsizetype end) {
                std::fill(raw + begin, raw + end, '#');
                *givenBack += end - begin;
                return end;
            },
            readAgain);
    };
    qsizetype givenBack = 0;
    bool readAgain = true;
    auto read = readScribbling(data, &givenBack, &readAgain);
    ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
    EXPECT_FALSE(readAgain);
    EXPECT_GE(givenBack, VRArchiveParser::kReleaseEvery);
    EXPECT_EQ(VRArchiver::documentData(*read.value()), data);

    // Damage found after text was given back asks for the text again; the file opens with the
    // message a reading of the whole text gives.
    // (A colon gone in the last shape's record, read after the styles: the brackets still pair.)
    QByteArray damaged = data;
    const qsizetype late = damaged.lastIndexOf("\"class\":\"VRDrawableShape\"");
    ASSERT_GT(late, 0);
    damaged[late + 7] = ' ';
    givenBack = 0;
    auto refused = readScribbling(damaged, &givenBack, &readAgain);
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(readAgain);
    EXPECT_GT(givenBack, 0);
    const auto whole = VRArchiver::drawingFromData(damaged);
    ASSERT_FALSE(whole.ok());
    EXPECT_TRUE(whole.errorMessage().startsWith(QStringLiteral("The file is damaged")));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("damaged.quintora"));
    writeAll(path, damaged);
    VRDrawingDocument document;
    const auto opened = document.readFromFile(path);
    ASSERT_FALSE(opened.ok());
    EXPECT_EQ(opened.errorMessage(), whole.errorMessage());
}

TEST_P(NativeFormatHostile, RefusedWithAClearErrorAndTheFileUntouched)
{
    QTemporaryDir dir;
    auto drawing = drawingWithEveryKind();
    const QByteArray good = VRArchiver::documentData(*drawing);
    const QByteArray bad = GetParam().make(good);
    const QString path = dir.filePath(QStringLiteral("hostile.quintora"));
    writeAll(path, bad);

    VRDrawingDocument document;
    VRDrawing *before = document.drawing();
    const auto result = document.readFromFile(path);
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.errorMessage().contains(QString::fromUtf8(GetParam().expectedText)))
        << result.errorMessage().toStdString();
    EXPECT_EQ(document.drawing(), before); // the document keeps its drawing
    EXPECT_EQ(readAll(path), bad);         // nothing written
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NativeFormatHostile,
    ::testing::Values(
        HostileCase{"Truncated", [](const QByteArray &g) { return g.left(g.size() / 3); },
                    "damaged"},
        HostileCase{"Empty", [](const QByteArray &) { return QByteArray(); }, "empty"},
        HostileCase{"Garbage",
                    [](const QByteArray &) { return QByteArray("\x89PNG\r\n\x1a\n garbage", 17); },
                    "damaged"},
        HostileCase{
            "NotOurs",
            [](const QByteArray &) { return QByteArray("{\"format\":\"other\",\"version\":1}"); },
            "not a Quintora drawing"},
        HostileCase{"NewerVersion",
                    [](const QByteArray &g) {
                        return editJson(g,
                                        [](QJsonObject &r) { r[QStringLiteral("version")] = 2; });
                    },
                    "newer version of Quintora"},
        HostileCase{"UnknownClass", editFirstObject([](QJsonObject &o) {
                        o[QStringLiteral("class")] = QStringLiteral("QProcess");
                    }),
                    "drawing.layers[1].objects[0].class: unknown object class \"QProcess\""},
        HostileCase{"LayerClassAsObject", editFirstObject([](QJsonObject &o) {
                        o[QStringLiteral("class")] = QStringLiteral("VRGridLayer");
                    }),
                    "unknown object class"},
        HostileCase{"HugeNumber", editFirstObject([](QJsonObject &o) {
                        o[QStringLiteral("size")] = QJsonArray{1e300, 5};
                    }),
                    "drawing.layers[1].objects[0].size: expected two non-negative numbers"},
        // Written by a build that let objects and pages go beyond the coordinates a drawing
        // holds.
        HostileCase{"PlaceBeyondTheDrawing", editFirstObject([](QJsonObject &o) {
                        o[QStringLiteral("location")] = QJsonArray{1e7 + 1, 5};
                    }),
                    "drawing.layers[1].objects[0].location: expected two numbers within the "
                    "drawing range"},
        HostileCase{"SizeBeyondTheDrawing", editFirstObject([](QJsonObject &o) {
                        o[QStringLiteral("size")] = QJsonArray{5, 2e7};
                    }),
                    "drawing.layers[1].objects[0].size: expected two non-negative numbers"},
        HostileCase{"PageBeyondTheDrawing",
                    [](const QByteArray &g) {
                        return editJson(g, [](QJsonObject &r) {
                            QJsonObject d = r[QStringLiteral("drawing")].toObject();
                            d[QStringLiteral("size")] = QJsonArray{2e7, 500};
                            r[QStringLiteral("drawing")] = d;
                        });
                    },
                    "drawing.size"},
        HostileCase{"NegativeSize", editFirstObject([](QJsonObject &o) {
                        o[QStringLiteral("size")] = QJsonArray{-4, 5};
                    }),
                    "drawing.layers[1].objects[0].size"},
        HostileCase{"WrongType", editFirstObject([](QJsonObject &o) {
                        o[QStringLiteral("locked")] = QStringLiteral("yes");
                    }),
                    "locked: expected true or false"},
        HostileCase{"UnknownStyle", editFirstObject([](QJsonObject &o) {
                        o[QStringLiteral("style")] = QStringLiteral("NO-SUCH-KEY");
                    }),
                    "unknown style"},
        HostileCase{"BadPath", editFirstObject([](QJsonObject &o) {
                        o[QStringLiteral("unitPath")] = QStringLiteral("M 0 0 Q 1");
                    }),
                    "unitPath"},
        HostileCase{"DeepNesting",
                    [](const QByteArray &g) {
                        QByteArray nested = QByteArray(100000, '[') + QByteArray(100000, ']');
                        QByteArray out = g;
                        out.insert(out.size() - 1, ",\"x\":" + nested);
                        return out;
                    },
                    "nested too deeply"},
        HostileCase{"DeepMetadata", editFirstObject([](QJsonObject &o) {
                        QJsonValue v = 1;
                        for (int i = 0; i < 70; ++i)
                            v = QJsonObject{{QStringLiteral("k"), v}};
                        o[QStringLiteral("metadata")] = v;
                    }),
                    "nested too deeply"},
        HostileCase{"DanglingConnectorEnd",
                    [](const QByteArray &g) {
                        QByteArray out = g;
                        const int at = out.indexOf("\"element\":");
                        const int end = out.indexOf(',', at);
                        out.replace(at, end - at, "\"element\":999999");
                        return out;
                    },
                    "names no element"},
        HostileCase{"SelectionOutsideLayer",
                    [](const QByteArray &g) {
                        return editJson(g, [](QJsonObject &r) {
                            QJsonObject d = r[QStringLiteral("drawing")].toObject();
                            QJsonArray layers = d[QStringLiteral("layers")].toArray();
                            QJsonObject l = layers[1].toObject();
                            l[QStringLiteral("selection")] = QJsonArray{123456};
                            layers[1] = l;
                            d[QStringLiteral("layers")] = layers;
                            r[QStringLiteral("drawing")] = d;
                        });
                    },
                    "selection"}),
    [](const ::testing::TestParamInfo<HostileCase> &info) { return std::string(info.param.name); });

TEST(NativeFormat, SavingIsAtomicAndAFailedSaveKeepsThePreviousFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("doc.quintora"));
    VRDrawingDocument small;
    ASSERT_TRUE(small.writeToFile(path).ok());
    const QByteArray previous = readAll(path);
    ASSERT_FALSE(previous.isEmpty());

    VRDrawingDocument big;
    big.setDrawing(drawingWithEveryKind());
    // Writes past this size fail as on a full disk.
    VRResult<void> result;
    {
        qnt::test::FileSizeLimit limit(previous.size() + 100);
        ASSERT_TRUE(limit.isSet());
        result = big.writeToFile(path);
    }
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(
        result.errorMessage().contains(QStringLiteral("could not be written: File too large")))
        << result.errorMessage().toStdString();
    EXPECT_EQ(readAll(path), previous);
    const QStringList leftovers = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(leftovers, QStringList{QStringLiteral("doc.quintora")});

    // A folder that does not exist gives an error, not a crash.
    EXPECT_FALSE(big.writeToFile(dir.filePath(QStringLiteral("missing/doc.quintora"))).ok());
}

// A drawing of `count` distinct 8000 × 4000 pictures: one bit a pixel, so small in memory and in
// the file, yet 32 million pixels each.
std::unique_ptr<VRDrawing> drawingWithLargePictures(int count)
{
    auto drawing = std::make_unique<VRDrawing>();
    drawing->undoManager()->disableUndoRegistration();
    auto *layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
    for (int i = 0; i < count; ++i) {
        QImage picture(8000, 4000, QImage::Format_Mono);
        picture.fill(0);
        picture.setPixel(i, 0, 1);
        layer->addObject(std::make_shared<VRImageShape>(picture));
    }
    return drawing;
}

// The pictures of one document share one budget of decoded pixels (128 Mi): four such pictures
// fit; the fifth is not decoded, and stands in the drawing as a placeholder that keeps its data.
TEST(NativeFormat, PicturesPastTheDocumentBudgetAreNotDecoded)
{
    const auto four =
        VRArchiver::drawingFromData(VRArchiver::documentData(*drawingWithLargePictures(4)));
    EXPECT_TRUE(four.ok()) << four.errorMessage().toStdString();
    const QByteArray data = VRArchiver::documentData(*drawingWithLargePictures(5));
    EXPECT_LT(data.size(), 5 * 1024 * 1024);
    const auto five = VRArchiver::drawingFromData(data);
    ASSERT_TRUE(five.ok()) << five.errorMessage().toStdString();
    const auto *layer = five.value()->activeLayerOfClass<VRObjectDrawingLayer>();
    ASSERT_EQ(layer->objects().size(), 5);
    int decoded = 0, withheld = 0;
    for (const VRObjectRef &object : layer->objects()) {
        const auto &shape = static_cast<const VRImageShape &>(*object);
        decoded += shape.image().isNull() ? 0 : 1;
        withheld += shape.withheldPicture().isEmpty() ? 0 : 1;
    }
    EXPECT_EQ(decoded, 4);
    EXPECT_EQ(withheld, 1);
    // Written again, the file holds the same five pictures.
    EXPECT_EQ(QJsonDocument::fromJson(VRArchiver::documentData(*five.value()))
                  .object()
                  .value("images")
                  .toObject(),
              QJsonDocument::fromJson(data).object().value("images").toObject());
}

// On a full disk (a 16 KiB file system mounted in a child's own mount namespace) the save says
// so and the previous file stays.
TEST(NativeFormat, SaveToAFullDiskSaysTheDiskIsFull)
{
    QTemporaryDir dir;
    const QString mountPoint = dir.filePath(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    const QString path = mountPoint + QStringLiteral("/doc.quintora");
    VRDrawingDocument big;
    big.setDrawing(drawingWithEveryKind());
    ASSERT_GT(VRArchiver::documentData(*big.drawing()).size(), 16 * 1024);
    VRDrawingDocument small;
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto answer = [&](const QByteArray &text) {
            [[maybe_unused]] const auto n = ::write(pipeFds[1], text.constData(), text.size());
            ::_exit(0);
        };
        const QByteArray target = QFile::encodeName(mountPoint);
        if (::unshare(CLONE_NEWNS) != 0
            || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("tmpfs", target.constData(), "tmpfs", 0, "size=16k") != 0)
            answer("skip");
        if (!small.writeToFile(path).ok())
            answer("the small document could not be written");
        const QByteArray previous = readAll(path);
        const auto result = big.writeToFile(path);
        if (result.ok())
            answer("the save succeeded");
        if (readAll(path) != previous)
            answer("the previous file changed");
        if (QDir(mountPoint).entryList(QDir::Files | QDir::Hidden)
            != QStringList{QStringLiteral("doc.quintora")})
            answer("a temporary file was left behind");
        answer(result.errorMessage().toUtf8());
    }
    ::close(pipeFds[1]);
    QByteArray message;
    char buffer[512];
    ssize_t n = 0;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        message.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (message == "skip")
        GTEST_SKIP() << "this machine does not let the test mount a small file system";
    EXPECT_TRUE(message.contains("could not be written: No space left on device"))
        << message.toStdString();
}

TEST(NativeFormat, DocumentOpenMarksCleanAndEditsMakeItEdited)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("doc.quintora"));
    VRDrawingDocument writer;
    writer.setDrawing(drawingWithEveryKind());
    ASSERT_TRUE(writer.writeToFile(path).ok());
    VRDrawingDocument document;
    ASSERT_TRUE(document.readFromFile(path).ok());
    EXPECT_FALSE(document.isDocumentEdited());
    auto *layer = document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    layer->objects().first()->moveBy(QPointF(5, 5));
    document.undoManager()->closeOpenGroups();
    EXPECT_TRUE(document.isDocumentEdited());
    document.undoManager()->undo();
    EXPECT_FALSE(document.isDocumentEdited());
}
