#include "framework/ModelFixtures.h"

#include "framework/archive/VRArchiveWriter.h"
#include "framework/archive/VRArchiver.h"
#include "framework/archive/VRJsonStreamWriter.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>

#include <thread>

using namespace qnt::test;

namespace {

// A drawing far past the size written in parts: many copies of every kind of object, in an
// order where connectors come before the elements they join (their uids are given on first
// use), a sharable style used by objects far apart, and optionally two styles with one key.
std::unique_ptr<VRDrawing> largeDrawing(bool notation, bool twoStylesWithOneKey)
{
    auto drawing = std::make_unique<VRDrawing>();
    drawing->undoManager()->disableUndoRegistration();
    if (notation)
        drawing->setCurrentNotationPath(QStringLiteral("/nowhere/Flowchart.notation"),
                                        QStringLiteral("Flowchart"));
    VRObjectList objects;
    while (objects.size() < VRArchiveWriter::kPartsThreshold + 100) {
        auto source = drawingWithEveryKind();
        for (int i = 0; i < source->countOfLayers(); ++i) {
            auto *layer = dynamic_cast<VRObjectOwnerLayer *>(source->objectInLayersAtIndex(i));
            if (!layer)
                continue;
            const VRObjectList taken = layer->objects();
            layer->removeObjectsInArray(taken);
            objects.append(taken);
        }
    }
    std::reverse(objects.begin(), objects.end());
    auto shared = VRStyle::styleWithFillColour(Qt::cyan, Qt::black, 2.0);
    shared->setStyleSharable(true);
    objects.first()->setStyle(shared);
    objects.at(objects.size() / 2)->setStyle(shared);
    objects.last()->setStyle(shared);
    if (twoStylesWithOneKey) {
        auto shape = VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 30));
        shape->setStyle(VRStyle::styleWithFillColour(Qt::blue, Qt::black, 1));
        const QByteArray data = VRArchiver::objectData(shape);
        objects.insert(3, VRArchiver::objectFromData(data));
        objects.insert(objects.size() - 3, VRArchiver::objectFromData(data));
    }
    drawing->activeLayerOfClass<VRObjectDrawingLayer>()->addObjectsFromArray(objects);
    drawing->undoManager()->enableUndoRegistration();
    return drawing;
}

VRObjectList objectsOf(const VRDrawing &drawing)
{
    return drawing.activeLayerOfClass<VRObjectDrawingLayer>()->objects();
}

struct Written {
    QByteArray objects;
    QByteArray styles;
    QJsonObject images;
};

// The objects as one array, then the uid the next new object gets (so the numbering went on
// alike), the style table and the images.
Written write(const VRObjectList &objects, bool inParts)
{
    VRArchiveWriter writer;
    VRJsonStreamWriter out;
    out.beginArray();
    if (inParts)
        writer.writeObjectsInParts(out, objects);
    else
        writer.writeObjects(out, objects);
    auto stranger = VRDrawableShape::shapeWithRect(QRectF(0, 0, 1, 1));
    out.value(writer.uidOf(stranger.get()));
    out.end();
    return {out.take(), writer.takeStylesText(), writer.imagesTable()};
}

// Keys a writer made up for a second style under a taken key are new each time: they are
// replaced by their order of appearance.
QByteArray withMadeUpKeysNumbered(QByteArray text, const VRObjectList &objects,
                                  const QByteArray &styles)
{
    QSet<QString> known;
    for (const VRObjectRef &o : objects)
        if (o->style())
            known.insert(o->style()->uniqueKey());
    int n = 0;
    for (const QJsonValue &record : QJsonDocument::fromJson(styles).array()) {
        const QString key = record.toObject().value(QStringLiteral("key")).toString();
        if (!known.contains(key))
            text.replace(key.toUtf8(), QByteArray("made-up-") + QByteArray::number(++n));
    }
    return text;
}

} // namespace

TEST(ArchiveWriter, ObjectsWrittenInPartsAreTheTextWrittenInOne)
{
    const struct {
        const char *name;
        bool notation;
        bool twoStylesWithOneKey;
    } cases[] = {
        {"every kind, connectors first", false, false},
        {"connectors kept on the calling thread", true, false},
        {"two styles with one key", false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto drawing = largeDrawing(c.notation, c.twoStylesWithOneKey);
        const VRObjectList objects = objectsOf(*drawing);
        const Written whole = write(objects, false);
        const Written parts = write(objects, true);
        EXPECT_FALSE(whole.objects.contains(VRJsonStreamWriter::kMarker));
        EXPECT_EQ(withMadeUpKeysNumbered(parts.objects, objects, parts.styles),
                  withMadeUpKeysNumbered(whole.objects, objects, whole.styles));
        EXPECT_EQ(withMadeUpKeysNumbered(parts.styles, objects, parts.styles),
                  withMadeUpKeysNumbered(whole.styles, objects, whole.styles));
        EXPECT_EQ(parts.images, whole.images);
        EXPECT_FALSE(parts.images.isEmpty());
    }
}

TEST(ArchiveWriter, LargeDocumentsRoundTripUnchanged)
{
    for (const bool notation : {false, true}) {
        SCOPED_TRACE(notation ? "with a notation" : "without a notation");
        auto drawing = largeDrawing(notation, true);
        const QByteArray first = VRArchiver::documentData(*drawing);
        // The drawing's fields are written in key order: the text is what QJsonDocument
        // writes for its own parse.
        EXPECT_EQ(QJsonDocument::fromJson(first).toJson(QJsonDocument::Compact), first);
        auto read = VRArchiver::drawingFromData(first);
        ASSERT_TRUE(read.ok()) << read.errorMessage().toStdString();
        EXPECT_EQ(objectsOf(*read.value()).size(), objectsOf(*drawing).size());
        EXPECT_EQ(VRArchiver::documentData(*read.value()), first);
    }
}

TEST(ArchiveWriter, ASavedFileHoldsTheDocumentsTextWhateverWasSavedBefore)
{
    // Saves write into memory kept from the saves before: after a larger document, after a
    // smaller one and again after itself, a file holds exactly its document's text.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    VRDrawingDocument large, small;
    large.setDrawing(largeDrawing(false, false));
    small.setDrawing(drawingWithEveryKind());
    const QByteArray largeText = VRArchiver::documentData(*large.drawing());
    const QByteArray smallText = VRArchiver::documentData(*small.drawing());
    EXPECT_EQ(QJsonDocument::fromJson(largeText).toJson(QJsonDocument::Compact), largeText);
    EXPECT_EQ(QJsonDocument::fromJson(smallText).toJson(QJsonDocument::Compact), smallText);
    const auto saved = [&](const VRDrawingDocument &document, const char *name) {
        const QString path = dir.filePath(QLatin1String(name));
        EXPECT_TRUE(document.writeToFile(path).ok());
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(saved(large, "large.quintora"), largeText);
        EXPECT_EQ(saved(small, "small.quintora"), smallText);
        EXPECT_EQ(saved(small, "small.quintora"), smallText);
        EXPECT_EQ(saved(large, "large.quintora"), largeText);
    }
}

TEST(ArchiveWriter, DocumentsWrittenOnTwoThreadsAtOnceAreEachTheirOwnText)
{
    // The second of two writes at once finds the workers and the kept memory taken, and
    // writes on its own thread alone: each gets its document's text.
    auto first = largeDrawing(false, false);
    auto second = largeDrawing(false, false);
    const QByteArray firstText = VRArchiver::documentData(*first);
    const QByteArray secondText = VRArchiver::documentData(*second);
    ASSERT_NE(firstText, secondText);
    for (int round = 0; round < 3; ++round) {
        QByteArray other;
        std::thread writer([&] { other = VRArchiver::documentData(*second); });
        const QByteArray mine = VRArchiver::documentData(*first);
        writer.join();
        EXPECT_EQ(mine, firstText);
        EXPECT_EQ(other, secondText);
    }
}
