#include "PaletteTestSupport.h"

#include "library/QntNotationSubGroupItem.h"
#include "library/QntShapePartsSubgroup.h"

#include "app/common/QntConstants.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/styles/VRStyle.h"
#include "framework/undo/VRUndoManager.h"
#include "platform/DocumentController.h"
#include "platform/NotificationCenter.h"

#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"

#include <QPainterPath>

#include <gtest/gtest.h>

TEST(QntShapePartsSubgroup, AStraightLinePartStillGetsAPicture)
{
    auto box = std::make_shared<VRDrawableShape>();
    box->setSize(QSizeF(100, 60));
    QPainterPath line;
    line.moveTo(0, 30);
    line.lineTo(100, 30);
    auto rule = std::make_shared<VRDrawablePath>(line);
    auto element =
        QntElement::createWithObjects({box, rule}, QStringLiteral("parts.test"), QSizeF(100, 60));
    ASSERT_TRUE(element);
    QntShapePartsSubgroup group(QStringLiteral("Parts"), element);
    ASSERT_EQ(group.children().size(), element->groupObjects().size());
    for (const auto &item : group.children()) {
        EXPECT_FALSE(item->image().isNull());
        EXPECT_TRUE(item->title().isEmpty());
        EXPECT_EQ(item->drawingTool(), nullptr);
        EXPECT_TRUE(item->tooltip().isEmpty());
        EXPECT_TRUE(item->representedObject());
    }
}

TEST(QntShapePartsSubgroup, ArrowPartsListLongStateThenShortState)
{
    preparePaletteEnvironment();
    const QntNotationRef notation =
        QntNotation::notationWithPath(notationFile(QStringLiteral("FlowChart/FlowChart.db")));
    ASSERT_TRUE(notation && notation->isValid());
    VRObjectRef arrow;
    for (const QntElementRecord &record :
         notation->arrowElementsList() + notation->shortArrowElementsList())
        if (record.prototype && record.prototype->isKindOf<QntElementArrow>()) {
            arrow = record.prototype;
            break;
        }
    ASSERT_TRUE(arrow) << "the notation has no element arrows";
    QntShapePartsSubgroup group(QStringLiteral("Parts"), arrow);
    EXPECT_FALSE(group.children().isEmpty());
    bool seenShort = false;
    for (const auto &item : group.children()) {
        if (item->tooltip() == QLatin1String("Part of the arrow in short state"))
            seenShort = true;
        else
            EXPECT_FALSE(seenShort) << "long-state parts come first";
        EXPECT_TRUE(item->tooltip() == QLatin1String("Part of the arrow in long state")
                    || item->tooltip() == QLatin1String("Part of the arrow in short state"));
    }
}

namespace {

// Pixels of the picture close to the colour.
int pixelsNear(const QImage &image, const QColor &colour)
{
    int count = 0;
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x) {
            const QColor c = pixels.pixelColor(x, y);
            if (c.alpha() > 200 && std::abs(c.red() - colour.red()) < 30
                && std::abs(c.green() - colour.green()) < 30
                && std::abs(c.blue() - colour.blue()) < 30)
                ++count;
        }
    return count;
}

// A grouped element of two boxes, selected alone in the current document's drawing.
struct SelectedGroupedElement {
    SelectedGroupedElement()
    {
        document = new VRDrawingDocument;
        DocumentController::sharedDocumentController().addDocument(document);
        auto left = VRDrawableShape::shapeWithRect(QRectF(0, 0, 60, 60));
        left->setStyle(VRStyle::styleWithFillColour(Qt::blue, Qt::black, 1));
        auto right = VRDrawableShape::shapeWithRect(QRectF(80, 0, 60, 60));
        right->setStyle(VRStyle::styleWithFillColour(Qt::blue, Qt::black, 1));
        element = QntElement::createWithObjects({left, right}, QStringLiteral("parts.restyle"),
                                                QSizeF(140, 60));
        VRDrawing *drawing = document->drawing();
        drawing->undoManager()->disableUndoRegistration();
        layer = drawing->activeLayerOfClass<VRObjectDrawingLayer>();
        layer->addObject(element);
        layer->exchangeSelectionWithObjectsFromArray({element});
    }
    ~SelectedGroupedElement()
    {
        DocumentController::sharedDocumentController().removeDocument(document);
        delete document;
    }
    VRDrawingDocument *document = nullptr;
    VRObjectDrawingLayer *layer = nullptr;
    std::shared_ptr<QntElement> element;
};

} // namespace

TEST(QntShapePartsSubgroup, ARestyledPartIsDrawnAgainAndItsViewIsTold)
{
    const SelectedGroupedElement scene;
    ASSERT_TRUE(scene.element);
    QntShapePartsSubgroup group(QStringLiteral("Parts"), scene.element);
    ASSERT_EQ(group.children().size(), 2);
    QList<QntNotationSubGroupItem *> told;
    group.setItemImageHandler([&](QntNotationSubGroupItem *item) { told.push_back(item); });
    const auto &first = group.children().at(0);
    const auto &second = group.children().at(1);
    ASSERT_GT(pixelsNear(first->image(), Qt::blue), 0);

    const VRObjectRef part = first->representedObject();
    part->setStyle(VRStyle::styleWithFillColour(Qt::red, Qt::black, 1));
    NotificationCenter::defaultCenter().post(kQntUpdateSubGroupItemNotification, part.get());

    ASSERT_EQ(told, QList<QntNotationSubGroupItem *>{first.get()});
    EXPECT_GT(pixelsNear(first->image(), Qt::red), 0);
    EXPECT_EQ(pixelsNear(first->image(), Qt::blue), 0);
    EXPECT_GT(pixelsNear(second->image(), Qt::blue), 0) << "the other part is not drawn again";
}

TEST(QntShapePartsSubgroup, RestylingLeavesPicturesAsTheyAreWhereNothingIsToBeDrawn)
{
    const SelectedGroupedElement scene;
    QntShapePartsSubgroup group(QStringLiteral("Parts"), scene.element);
    ASSERT_EQ(group.children().size(), 2);
    int told = 0;
    group.setItemImageHandler([&](QntNotationSubGroupItem *) { ++told; });
    const auto &first = group.children().at(0);
    const VRObjectRef part = first->representedObject();
    part->setStyle(VRStyle::styleWithFillColour(Qt::red, Qt::black, 1));
    const auto post = [](const VRDrawableObject *object) {
        NotificationCenter::defaultCenter().post(kQntUpdateSubGroupItemNotification, object);
    };

    post(scene.element.get()); // an object no item stands for
    EXPECT_EQ(told, 0);
    scene.layer->deselectAll(); // nothing selected to draw the part inside
    post(part.get());
    EXPECT_EQ(told, 0);
    EXPECT_EQ(pixelsNear(first->image(), Qt::red), 0);

    // An item of an ordinary group standing for the part is not a parts item.
    QntNotationSubgroup plain(QStringLiteral("Plain"));
    auto item = std::make_shared<QntNotationSubGroupItem>(&plain);
    item->setRepresentedObject(part);
    item->observeRepresentedObjectRestyling(true);
    const QImage before = item->image();
    scene.layer->exchangeSelectionWithObjectsFromArray({scene.element});
    post(part.get());
    EXPECT_EQ(item->image(), before);
    EXPECT_EQ(told, 1) << "only the parts item follows";

    // Items kept beyond their group follow nothing any more.
    int toldGone = 0;
    std::shared_ptr<QntNotationSubGroupItem> survivor;
    {
        QntShapePartsSubgroup gone(QStringLiteral("Parts"), scene.element);
        gone.setItemImageHandler([&](QntNotationSubGroupItem *) { ++toldGone; });
        survivor = gone.children().at(0);
    }
    const QImage survivorBefore = survivor->image();
    post(part.get());
    EXPECT_EQ(toldGone, 0);
    EXPECT_EQ(survivor->image(), survivorBefore);
    EXPECT_EQ(told, 2) << "the living group's item still follows";
}
