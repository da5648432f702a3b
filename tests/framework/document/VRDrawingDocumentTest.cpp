#include "framework/document/VRDrawingDocument.h"

#include "common/BoxElements.h"
#include "common/ScopeExit.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntImageShape.h"
#include "framework/archive/VRArchiver.h"
#include "framework/model/QntStickySpot.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/routing/VRAvoidRouter.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/base/VRConstants.h"
#include "platform/NotificationCenter.h"

#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <functional>

namespace {

QList<QPointF> pointsOf(const QPainterPath &path)
{
    QList<QPointF> points;
    for (int i = 0; i < path.elementCount(); ++i)
        points.append({path.elementAt(i).x, path.elementAt(i).y});
    return points;
}

} // namespace

// Pasting elements with the connector the router laid between them: the pasted connector holds
// the pasted elements and comes with the route it was copied with, moved with the paste; it is
// laid again once one of its elements moves.
TEST(VRDrawingDocument, APastedRoutedConnectorComesWithItsRouteMovedWithThePaste)
{
    const qnt::test::ScopeExit clearClipboard([] { QGuiApplication::clipboard()->clear(); });
    VRDrawingDocument document;
    VRObjectDrawingLayer &layer = *document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    VRAvoidRouter &router = *document.drawing()->avoidRouter();
    auto a = qnt::test::addBoxElement(layer, {50, 50, 80, 60});
    qnt::test::addBoxElement(layer, {250, 50, 80, 60});
    auto c = qnt::test::addBoxElement(layer, {450, 50, 80, 60});
    auto line = qnt::test::addAttachedConnector(layer, a, {130, 80}, c, {450, 80});
    line->makeRoutingColaOrthogonal();
    router.processPendingChanges();
    const QList<QPointF> laid = pointsOf(line->path());
    ASSERT_GE(laid.size(), 4); // round the box between

    layer.selectAll();
    document.copy();
    const qsizetype before = layer.objects().size();
    document.paste();
    router.processPendingChanges();
    ASSERT_EQ(layer.objects().size(), before * 2);
    std::shared_ptr<QntConnector> pasted;
    for (const VRObjectRef &o : layer.selection())
        if (o->isKindOf<QntConnector>())
            pasted = std::static_pointer_cast<QntConnector>(o);
    ASSERT_NE(pasted, nullptr);
    const std::shared_ptr<QntElement> from = pasted->startEndPoint()->targetElement();
    const std::shared_ptr<QntElement> to = pasted->endEndPoint()->targetElement();
    ASSERT_NE(from, nullptr);
    ASSERT_NE(to, nullptr);
    EXPECT_NE(from, a);
    EXPECT_TRUE(layer.isSelectedObject(*from));
    EXPECT_TRUE(layer.isSelectedObject(*to));
    const QPointF offset = from->location() - a->location();
    EXPECT_GT(offset.x(), 0);
    const QList<QPointF> route = pointsOf(pasted->path());
    ASSERT_EQ(route.size(), laid.size());
    for (qsizetype i = 0; i < route.size(); ++i) {
        EXPECT_NEAR(route.at(i).x(), laid.at(i).x() + offset.x(), 1e-6) << "point " << i;
        EXPECT_NEAR(route.at(i).y(), laid.at(i).y() + offset.y(), 1e-6) << "point " << i;
    }

    to->setLocation(to->location() + QPointF(0, 200));
    router.processPendingChanges();
    const QList<QPointF> again = pointsOf(pasted->path());
    ASSERT_GE(again.size(), 2);
    EXPECT_EQ(again.last(), pasted->endEndPoint()->location());
}

// Connectors from a spot inside an element leave it apart from each other, and a saved
// drawing opens with them as they were laid; pasted, they come with those routes.
TEST(VRDrawingDocument, ConnectorsFromASpotInsideAnElementLeaveApartAndOpenAsSaved)
{
    const qnt::test::ScopeExit clearClipboard([] { QGuiApplication::clipboard()->clear(); });
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("hub.quintora"));
    QList<QList<QPointF>> laid;
    {
        VRDrawingDocument document;
        VRObjectDrawingLayer &layer =
            *document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        const QRectF hubRect(50, 200, 120, 60);
        auto hub = qnt::test::addBoxElement(layer, hubRect);
        hub->setStickySpots({QPointF(0, 0)});
        for (const QRectF &r :
             {QRectF(350, 60, 100, 50), QRectF(450, 205, 100, 50), QRectF(350, 350, 100, 50)}) {
            auto target = qnt::test::addBoxElement(layer, r);
            target->setStickySpots({QPointF(0, 0)});
            auto line =
                qnt::test::addAttachedConnector(layer, hub, hubRect.center(), target, r.center());
            line->makeRoutingColaOrthogonal();
        }
        document.drawing()->avoidRouter()->processPendingChanges();
        for (const VRObjectRef &o : layer.objects())
            if (o->isKindOf<QntConnector>())
                laid.append(pointsOf(static_cast<QntConnector &>(*o).path()));
        ASSERT_EQ(laid.size(), 3);
        for (qsizetype k = 0; k < laid.size(); ++k) {
            ASSERT_GE(laid[k].size(), 2);
            EXPECT_TRUE(hubRect.contains(laid[k].first())) << k;
            for (qsizetype j = 0; j < k; ++j)
                EXPECT_NE(laid[k].first(), laid[j].first()) << k << " " << j;
        }
        ASSERT_TRUE(document.writeToFile(path).ok());

        layer.selectAll();
        document.copy();
        document.paste();
        document.drawing()->avoidRouter()->processPendingChanges();
        QList<QList<QPointF>> pasted;
        for (const VRObjectRef &o : layer.selection())
            if (o->isKindOf<QntConnector>())
                pasted.append(pointsOf(static_cast<QntConnector &>(*o).path()));
        ASSERT_EQ(pasted.size(), 3);
        const QPointF offset = pasted[0].first() - laid[0].first();
        EXPECT_GT(offset.x(), 0);
        for (qsizetype k = 0; k < pasted.size(); ++k) {
            ASSERT_EQ(pasted[k].size(), laid[k].size()) << k;
            for (qsizetype i = 0; i < pasted[k].size(); ++i)
                EXPECT_EQ(pasted[k][i], laid[k][i] + offset) << k << " point " << i;
        }
    }
    VRDrawingDocument reopened;
    ASSERT_TRUE(reopened.readFromFile(path).ok());
    reopened.drawing()->avoidRouter()->processPendingChanges();
    QList<QList<QPointF>> read;
    for (const VRObjectRef &o :
         reopened.drawing()->activeLayerOfClass<VRObjectDrawingLayer>()->objects())
        if (o->isKindOf<QntConnector>())
            read.append(pointsOf(static_cast<QntConnector &>(*o).path()));
    EXPECT_EQ(read, laid);
}

// Pasting again and again lands each paste a step further, and duplicating lands the copy a
// step away: neither goes beyond the coordinates a drawing holds.
TEST(VRDrawingDocument, PastesAndDuplicatesStopAtTheCoordinatesADrawingHolds)
{
    const qnt::test::ScopeExit clearClipboard([] { QGuiApplication::clipboard()->clear(); });
    VRDrawingDocument document;
    VRDrawing &drawing = *document.drawing();
    VRObjectDrawingLayer &layer = *drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    QStringList told;
    const NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kVRDrawingRefusedChangeNotification, &drawing, [&told](const Notification &n) {
            told.append(n.userInfo.value(QStringLiteral("message")).toString());
        });
    // The right edge 25 points short of the farthest coordinate: two pastes 10 and 20 points
    // further fit, the third does not.
    const double far = VRDrawing::kMaximumCoordinate;
    const VRObjectRef shape = VRDrawableShape::shapeWithRect({far - 125, 100, 100, 50});
    layer.addObject(shape);
    layer.exchangeSelectionWithObjectsFromArray({shape});
    document.copy();
    struct Step {
        const char *name;
        std::function<void()> act;
        bool refused;
    };
    const Step steps[] = {
        {"first paste", [&] { document.paste(); }, false},
        {"second paste", [&] { document.paste(); }, false},
        {"third paste", [&] { document.paste(); }, true},
        {"fourth paste", [&] { document.paste(); }, true},
        {"duplicating the last paste", [&] { document.duplicate(); }, true},
    };
    for (const Step &step : steps) {
        drawing.undoManager()->closeOpenGroups();
        drawing.undoManager()->removeAllActions();
        const VRObjectList objects = layer.objects();
        const VRObjectList selection = layer.selection();
        told.clear();
        step.act();
        drawing.undoManager()->closeOpenGroups();
        EXPECT_EQ(drawing.undoManager()->canUndo(), !step.refused) << step.name;
        if (step.refused) {
            EXPECT_EQ(layer.objects(), objects) << step.name;
            EXPECT_EQ(layer.selection(), selection) << step.name;
            EXPECT_EQ(told, QStringList{VRDrawing::objectsTooFarOutMessage()}) << step.name;
        } else {
            EXPECT_EQ(layer.objects().size(), objects.size() + 1) << step.name;
            EXPECT_TRUE(told.isEmpty()) << step.name;
        }
        EXPECT_TRUE(VRDrawing::holdsObjects(layer.objects())) << step.name;
    }
    // One step back from the edge a copy fits.
    layer.exchangeSelectionWithObjectsFromArray({shape});
    document.duplicate();
    EXPECT_EQ(layer.selection().size(), 1);
    EXPECT_NE(layer.selection().first(), shape);
}

// Refusals name the file they are about, so a user opening several at once knows which one.
TEST(VRDrawingDocument, AFileThatCannotBeReadIsNamedInTheMessage)
{
    QTemporaryDir dir;
    const auto make = [&](const QString &name, const QByteArray &contents) {
        QFile file(dir.path() + "/" + name);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return file.fileName();
    };
    const struct {
        QString name;
        QByteArray contents;
        QString reason;
    } cases[] = {
        {"Empty.quintora", "", "The file is empty."},
        {"Blank Lines.quintora", "\n\n  \n", "The file is empty."},
        {"Garbage.quintora", QByteArray(64, '\x9c'), "The file is damaged"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        VRDrawingDocument document;
        QString error;
        EXPECT_FALSE(document.readFromURL(make(c.name, c.contents), &error));
        EXPECT_TRUE(error.startsWith("The document “" + c.name + "” could not be opened. "))
            << error.toStdString();
        EXPECT_TRUE(error.contains(c.reason)) << error.toStdString();
    }
}

namespace {

quint32 crc32Of(const QByteArray &bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG whose header claims the size: its pixels are never decoded, so none are needed.
QByteArray pngHeaderOfSize(quint32 width, quint32 height)
{
    const auto chunk = [](const QByteArray &type, const QByteArray &data) {
        QByteArray out;
        const auto be = [&out](quint32 v) {
            for (int shift = 24; shift >= 0; shift -= 8)
                out.append(char((v >> shift) & 0xFF));
        };
        be(quint32(data.size()));
        out += type + data;
        be(crc32Of(type + data));
        return out;
    };
    QByteArray ihdr;
    for (const quint32 v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            ihdr.append(char((v >> shift) & 0xFF));
    ihdr += QByteArray("\x08\x06\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr)
           + chunk("IDAT", QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) + chunk("IEND", {});
}

} // namespace

// One picture too large to decode no longer refuses the whole document: it opens with a
// placeholder that names the picture, and saving writes the picture's data back as it was.
TEST(VRDrawingDocument, APictureTooLargeToShowOpensAsAPlaceholderAndIsSavedUnchanged)
{
    QTemporaryDir dir;
    QImage small(4, 4, QImage::Format_ARGB32);
    small.fill(Qt::red);
    QByteArray stored;
    {
        VRDrawingDocument maker;
        auto *layer = maker.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        ASSERT_NE(layer, nullptr);
        auto shape = QntImageShape::imageShapeWithImage(small);
        shape->setString("Harbour.png", "TITLE");
        layer->addObject(shape);
        stored = VRArchiver::documentData(*maker.drawing());
    }
    QJsonObject root = QJsonDocument::fromJson(stored).object();
    QJsonObject images = root.value("images").toObject();
    ASSERT_EQ(images.size(), 1);
    const QString oversized = QString::fromLatin1(pngHeaderOfSize(40000, 30000).toBase64());
    images[images.keys().first()] = oversized;
    root["images"] = images;
    const QString path = dir.path() + "/Harbour Plan.quintora";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(root).toJson());
    }

    VRDrawingDocument document;
    QString error;
    ASSERT_TRUE(document.readFromURL(path, &error)) << error.toStdString();
    document.setFilePath(path);
    EXPECT_EQ(document.withheldPictures(), QStringList{"“Harbour.png” (40000 × 30000 pixels)"});
    const QString notice = document.openingNotice();
    EXPECT_TRUE(notice.contains("“Harbour Plan.quintora” was opened")) << notice.toStdString();
    EXPECT_TRUE(notice.contains("“Harbour.png” (40000 × 30000 pixels) is too large to show"))
        << notice.toStdString();
    EXPECT_FALSE(notice.contains("layers")) << notice.toStdString();

    // The placeholder is drawn where the picture stands, and answers a click.
    auto *layer = document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    ASSERT_EQ(layer->objects().size(), 1);
    const VRObjectRef placeholder = layer->objects().first();
    EXPECT_TRUE(placeholder->hitTest(placeholder->bounds().center()));

    // Saved elsewhere, then read back: the picture's data is the file's, byte for byte.
    const QString copy = dir.path() + "/Copy.quintora";
    ASSERT_TRUE(document.writeToURL(copy, &error)) << error.toStdString();
    QFile saved(copy);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QJsonObject savedImages =
        QJsonDocument::fromJson(saved.readAll()).object().value("images").toObject();
    ASSERT_EQ(savedImages.size(), 1);
    EXPECT_EQ(savedImages.begin().value().toString(), oversized);
}
