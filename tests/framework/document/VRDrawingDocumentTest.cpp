#include "framework/document/VRDrawingDocument.h"

#include "common/BoxElements.h"
#include "common/ScopeExit.h"
#include "framework/model/QntConnector.h"
#include "framework/model/QntElement.h"
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
