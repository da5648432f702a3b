#include "framework/view/QntContextTextEditorView.h"
#include "framework/model/QntElement.h"
#include "framework/base/SVGColourConverter.h"
#include "framework/view/VKInfoFloater.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRInspectorBase.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/archive/VRPasteboardInfo.h"
#include "framework/model/VRShapeFactory.h"
#include "framework/undo/VRUndoManager.h"
#include "framework/base/VRUniqueID.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QMimeData>
#include <QTextEdit>

TEST(SVGColourConverter, ReadsAndWritesHexColours)
{
    EXPECT_EQ(SVGColourConverter::colorWithHexRGB(QStringLiteral("#F0A")), QColor(255, 0, 170));
    EXPECT_EQ(SVGColourConverter::colorWithHexRGB(QStringLiteral("#102030")), QColor(16, 32, 48));
    EXPECT_EQ(SVGColourConverter::colorWithHexRGB(QStringLiteral("#10203040")),
              QColor(16, 32, 48, 64));
    for (const char *bad : {"", "#", "102030", "#12345", "#GG0000", "#1234567890"})
        EXPECT_FALSE(SVGColourConverter::colorWithHexRGB(QString::fromLatin1(bad)).isValid())
            << bad;
    EXPECT_EQ(SVGColourConverter::hexadecimalValueOfAnNSColor(QColor(171, 205, 239, 10)),
              QStringLiteral("#ABCDEF"));
    EXPECT_EQ(SVGColourConverter::contrastingColor(Qt::yellow), QColor(Qt::black));
    EXPECT_EQ(SVGColourConverter::contrastingColor(Qt::darkBlue), QColor(Qt::white));
}

TEST(FrameworkUtilities, KeysFloaterShapesAndPasteboardInfo)
{
    const QString key = VRUniqueID::uniqueKey();
    EXPECT_EQ(key.size(), 36);
    EXPECT_EQ(key, key.toUpper());
    EXPECT_NE(key, VRUniqueID::uniqueKey());

    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(VKInfoFloater::formatValue(0.256, QStringLiteral("0.0%")), QStringLiteral("25.6%"));
    EXPECT_EQ(VKInfoFloater::formatValue(3.14159, QStringLiteral("0.00")), QStringLiteral("3.14"));
    EXPECT_EQ(VKInfoFloater::formatValue(7.6, QStringLiteral("0")), QStringLiteral("8"));
    auto floater = VKInfoFloater::infoFloater();
    floater->setFormat(QStringLiteral("0.0"));
    floater->setDoubleValue(1.26);
    EXPECT_EQ(floater->text(), QStringLiteral("1.3"));

    EXPECT_EQ(VRShapeFactory::roundRectInRect(QRectF(0, 0, 10, 20), 50).boundingRect(),
              QRectF(0, 0, 10, 20));

    auto a = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
    auto b =
        VRDrawableShape::shapeWithRect(QRectF(20, 20, 10, 10), VRDrawableShape::unitOvalAtOrigin());
    QMimeData data;
    VRPasteboardInfo::pasteboardInfoForObjects({a, b}).writeToPasteboard(&data);
    auto info = VRPasteboardInfo::fromPasteboard(&data);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->count(), 2);
    EXPECT_EQ(info->classNames(), QStringList{QStringLiteral("VRDrawableShape")});
    EXPECT_EQ(info->bounds(), QRectF(0, 0, 30, 30));
    data.setData(kVRPasteboardInfoType, "{\"count\": -3}");
    EXPECT_FALSE(VRPasteboardInfo::fromPasteboard(&data).has_value());
}

TEST(ContextTextEditor, EditsGoToTheObjectAndUndoReloadsTheEditor)
{
    VRDrawing drawing;
    auto *layer = drawing.activeLayerOfClass<VRObjectDrawingLayer>();
    auto contour = VRDrawableShape::shapeWithRect(QRectF(0, 0, 80, 40));
    auto element = QntElement::createWithObjects({contour}, QStringLiteral("e"), QSizeF(80, 40));
    element->addTextShape();
    element->text()->setString(QStringLiteral("before"));
    layer->addObject(element);
    drawing.undoManager()->closeOpenGroups();

    QntContextTextEditorView view;
    element->startEditingInContextEditorWithView(&view);
    EXPECT_TRUE(element->isEditing());
    EXPECT_EQ(element->textEditor(), view.textEditingView());
    EXPECT_EQ(view.textEditingView()->toPlainText(), QStringLiteral("before"));
    view.textEditingView()->setPlainText(QStringLiteral("after"));
    EXPECT_EQ(element->textContent().toPlainText(), QStringLiteral("after"));
    drawing.undoManager()->closeOpenGroups();

    EXPECT_EQ(drawing.undoManager()->undoActionName(), QStringLiteral("Changing text attributes"));

    int updates = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        kQntUpdateTextEditorControlsNotification, element.get(),
        [&](const Notification &) { ++updates; });
    drawing.undoManager()->undo();
    EXPECT_EQ(element->textContent().toPlainText(), QStringLiteral("before"));
    EXPECT_EQ(view.textEditingView()->toPlainText(), QStringLiteral("before"));
    EXPECT_GE(updates, 1);
    element->endEditingInContextEditor(false);
    EXPECT_FALSE(element->isEditing());
}

namespace {
class RecordingInspector : public VRInspectorBase
{
public:
    RecordingInspector()
        : VRInspectorBase(QStringLiteral("Test"))
    {
    }
    QList<VRObjectList> shown;
    int documentChanges = 0;

protected:
    void documentDidChange(const Notification &) override { ++documentChanges; }
    void redisplayContentForSelection(const VRObjectList &selection) override
    {
        shown.append(selection);
    }
};
} // namespace

TEST(VRInspectorBase, FollowsTheMainDocumentAndItsSelectionOnly)
{
    VRDrawingDocument main;
    VRDrawingDocument other;
    RecordingInspector inspector;
    VRInspectorBase::setMainDocumentOverride(&main);
    inspector.mainDocumentMayHaveChanged();
    EXPECT_EQ(inspector.documentChanges, 1);
    EXPECT_EQ(inspector.currentDrawing(), main.drawing());
    auto *layer = main.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    auto shape = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
    auto element = QntElement::createWithObjects(
        {VRDrawableShape::shapeWithRect(QRectF(0, 0, 5, 5))}, QStringLiteral("e"), QSizeF(5, 5));
    layer->addObjectsFromArray({shape, element});
    inspector.shown.clear();
    layer->exchangeSelectionWithObjectsFromArray({shape, element});
    ASSERT_EQ(inspector.shown.size(), 1);
    EXPECT_EQ(inspector.shown.first().size(), 2);
    inspector.setObjectsClass(&QntElement::staticClass());
    EXPECT_EQ(inspector.selectedObjectForCurrentTarget(), VRObjectList({element}));
    EXPECT_TRUE(inspector.isMemberOfElements(*element));
    EXPECT_FALSE(inspector.isMemberOfElements(*shape));
    // Another drawing's selection is not delivered.
    auto *otherLayer = other.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    auto foreign = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
    otherLayer->addObject(foreign);
    inspector.shown.clear();
    otherLayer->exchangeSelectionWithObjectsFromArray({foreign});
    EXPECT_TRUE(inspector.shown.isEmpty());
    VRInspectorBase::setMainDocumentOverride(nullptr);
}
