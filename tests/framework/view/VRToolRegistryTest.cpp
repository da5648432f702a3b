#include "framework/view/QntStyleCopyingTool.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRPanTool.h"
#include "framework/view/VRPathEditTool.h"
#include "framework/view/VRSelectAndEditTool.h"
#include "framework/view/VRToolRegistry.h"
#include "framework/view/VRZoomTool.h"
#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"
#include "platform/NotificationCenter.h"

#include <QDir>

#include <gtest/gtest.h>

TEST(ToolRegistry, EveryStandardToolNameIsRegisteredWithItsClass)
{
    struct Row {
        QString name;
        const VRClassInfo &cls;
    };
    const QList<Row> rows{
        {QStringLiteral("Select"), VRSelectAndEditTool::staticClass()},
        {QStringLiteral("Text Editor"), VRSelectAndEditTool::staticClass()},
        {QStringLiteral("Replace Element"), VRSelectAndEditTool::staticClass()},
        {QStringLiteral("Contour Style"), VRSelectAndEditTool::staticClass()},
        {QStringLiteral("Zoom"), VRZoomTool::staticClass()},
        {QStringLiteral("Zoom Out"), VRZoomTool::staticClass()},
        {QStringLiteral("Pan"), VRPanTool::staticClass()},
        {QStringLiteral("Style Copy Tool"), QntStyleCopyingTool::staticClass()},
        {QStringLiteral("Insert Path Point"), VRPathEditTool::staticClass()},
        {QStringLiteral("Delete Path Point"), VRPathEditTool::staticClass()},
        {QStringLiteral("Rectangle"), VRObjectCreationTool::staticClass()},
        {QStringLiteral("Oval"), VRObjectCreationTool::staticClass()},
        {QStringLiteral("Round Rectangle"), VRObjectCreationTool::staticClass()},
        {QStringLiteral("Round End Rectangle"), VRObjectCreationTool::staticClass()},
        {QStringLiteral("Polygon"), VRObjectCreationTool::staticClass()},
        {QStringLiteral("Line"), VRObjectCreationTool::staticClass()},
        {QStringLiteral("Freehand"), VRObjectCreationTool::staticClass()},
        {QStringLiteral("Path"), VRObjectCreationTool::staticClass()},
        {QStringLiteral("Text"), VRObjectCreationTool::staticClass()},
    };
    for (const Row &row : rows) {
        VRDrawingTool *tool = VRDrawingTool::drawingToolWithName(row.name);
        ASSERT_NE(tool, nullptr) << row.name.toStdString();
        EXPECT_TRUE(tool->isMemberOfClass(row.cls)) << row.name.toStdString();
        EXPECT_TRUE(tool->isKindOf<VRDrawingTool>());
    }
    EXPECT_EQ(kVRStandardZoomToolName, QStringLiteral("Zoom"));
    EXPECT_FALSE(static_cast<VRZoomTool *>(VRDrawingTool::drawingToolWithName("Zoom"))->zoomsOut());
    EXPECT_TRUE(
        static_cast<VRZoomTool *>(VRDrawingTool::drawingToolWithName("Zoom Out"))->zoomsOut());
    EXPECT_EQ(VRDrawingTool::drawingToolWithName("Zoom")->registeredName(), QStringLiteral("Zoom"));
    EXPECT_EQ(VRDrawingTool::drawingToolWithName("No Such Tool"), nullptr);
    const QStringList names = VRDrawingTool::toolNames();
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

TEST(ToolRegistry, RegisteringReplacesAndNotifies)
{
    QString posted;
    const void *object = nullptr;
    NotificationToken token = NotificationCenter::defaultCenter().addObserver(
        kVRDrawingToolWasRegisteredNotification, nullptr, [&](const Notification &n) {
            posted = n.userInfo.value("name").toString();
            object = n.object;
        });
    auto prototype = VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 20));
    auto first = std::make_shared<VRObjectCreationTool>(prototype);
    auto second = std::make_shared<VRObjectCreationTool>(prototype);
    VRDrawingTool::registerDrawingTool(first, "Test Shape Tool");
    EXPECT_EQ(posted, QStringLiteral("Test Shape Tool"));
    EXPECT_EQ(object, first.get());
    VRDrawingTool::registerDrawingTool(second, "Test Shape Tool");
    EXPECT_EQ(VRDrawingTool::drawingToolWithName("Test Shape Tool"), second.get());
    EXPECT_EQ(first->registeredName(), QString());
    EXPECT_EQ(second->registeredName(), QStringLiteral("Test Shape Tool"));
    EXPECT_TRUE(prototype->isPrototype());
}

TEST(ToolRegistry, PrototypeGroupsRegisterToolsByElementId)
{
    VRToolRegistry &registry = VRToolRegistry::sharedToolRegistry();
    auto a = VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 20));
    a->setID("eTestA");
    auto b = VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 20));
    b->setID("eTestB");
    auto anonymous = VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 20));
    registry.setPrototypesForGroup("Office", {a, b, anonymous});
    EXPECT_EQ(registry.officePrototypesObjects().size(), 3);
    auto *tool = dynamic_cast<VRObjectCreationTool *>(registry.drawingToolWithName("eTestA"));
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(tool->prototype(), a);
    registry.removeGroup("Office");
    EXPECT_EQ(registry.drawingToolWithName("eTestA"), nullptr);
    EXPECT_EQ(registry.drawingToolWithName("eTestB"), nullptr);
    EXPECT_TRUE(registry.officePrototypesObjects().isEmpty());
}

TEST(ToolRegistry, KeyCodesMapToQtKeys)
{
    struct Row {
        int code;
        int key;
    };
    for (const Row &row :
         {Row{8, Qt::Key_C}, Row{17, Qt::Key_T}, Row{35, Qt::Key_P}, Row{1, Qt::Key_S},
          Row{6, Qt::Key_Z}, Row{7, Qt::Key_X}, Row{18, Qt::Key_1}, Row{999, 0}})
        EXPECT_EQ(VRDrawingTool::qtKeyForKeyCode(row.code), row.key) << row.code;
}

TEST(ToolRegistry, ImportedElementsOfANotationGetToolsUntilRemoved)
{
    const QString path = QDir::temp().filePath("registry-test-notation.db");
    QntNotation notation(path);
    auto prototype = VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 20));
    QntElementRecord record;
    record.elementId = "eImported1";
    record.title = "Imported";
    record.prototype = prototype;
    VRToolRegistry::registerImportedToolsForNotation(notation, {record});
    VRToolRegistry &registry = VRToolRegistry::sharedToolRegistry();
    ASSERT_NE(registry.drawingToolWithName("eImported1"), nullptr);
    ASSERT_EQ(registry.importedElementsForNotation(notation).size(), 1);
    EXPECT_EQ(registry.importedElementsForNotation(notation).first().elementId, "eImported1");
    VRToolRegistry::removeNotationFromRegistered(notation);
    EXPECT_EQ(registry.drawingToolWithName("eImported1"), nullptr);
    EXPECT_TRUE(registry.importedElementsForNotation(notation).isEmpty());
}
