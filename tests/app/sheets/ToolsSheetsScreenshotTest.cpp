#include "app/sheets/DrawingSizeController.h"
#include "app/window/QntDocumentCommands.h"
#include "app/undo/QntUndoInspector.h"
#include "app/panels/VKObjectInspector.h"
#include "app/panels/VKToolPalette.h"
#include "app/sheets/VKExportOptionsController.h"
#include "app/sheets/VKLinearDuplicateController.h"
#include "app/sheets/VKPolarDuplicateController.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/undo/VRUndoManager.h"
#include "common/GoldenPicture.h"

#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Pictures go to the test pictures, to look at them.
QString saveGrab(QWidget *widget, const QString &name)
{
    const QString folder = qnt::test::picturesFolder(QStringLiteral("sheets"));
    widget->adjustSize();
    const QString path = QDir(folder).filePath(name);
    widget->grab().save(path);
    return path;
}

void expectDrawn(const QString &path, int minimumWidth)
{
    const QImage image(path);
    ASSERT_FALSE(image.isNull()) << path.toStdString();
    EXPECT_GE(image.width(), minimumWidth);
    // Not one flat colour: the controls were drawn.
    const QRgb corner = image.pixel(0, 0);
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; y += 3)
        for (int x = 0; x < image.width() && !varied; x += 3)
            varied = image.pixel(x, y) != corner;
    EXPECT_TRUE(varied);
}

} // namespace

TEST(ToolsSheetsScreenshots, ExportDialogSheetsAndUndoInspector)
{
    VRDrawingDocument document;
    auto *layer = document.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
    VRUndoManager *undo = document.drawing()->undoManager();
    for (const QString &name :
         {QStringLiteral("Add Rectangle"), QStringLiteral("Move"), QStringLiteral("Add Oval")}) {
        undo->beginUndoGrouping();
        layer->addObject(VRDrawableShape::shapeWithRect(QRectF(10, 10, 50, 30)));
        undo->setActionName(name);
        undo->endUndoGrouping();
    }
    undo->undo();
    QntDocumentCommands commands(document);

    commands.exportAction();
    QFileDialog *panel = commands.exportController()->panel();
    panel->resize(760, 620);
    expectDrawn(saveGrab(panel, QStringLiteral("export-dialog.png")), 400);
    panel->hide();

    commands.openDrawingSizePanel();
    expectDrawn(
        saveGrab(commands.drawingSizeController(), QStringLiteral("drawing-size-sheet.png")), 300);
    commands.drawingSizeController()->cancelAction();

    commands.linearDuplicate();
    expectDrawn(
        saveGrab(commands.linearDuplicateController(), QStringLiteral("linear-duplication.png")),
        150);
    commands.linearDuplicateController()->cancelAction();
    commands.polarDuplicate();
    expectDrawn(
        saveGrab(commands.polarDuplicateController(), QStringLiteral("polar-duplication.png")),
        150);
    commands.polarDuplicateController()->cancelAction();

    VRInspectorBase::setMainDocumentOverride(&document);
    {
        QntUndoInspector inspector;
        QWidget *window = inspector.window();
        inspector.reloadData();
        window->show();
        expectDrawn(saveGrab(window, QStringLiteral("undo-inspector.png")), 300);
    }
    {
        layer->exchangeSelectionWithObjectsFromArray({layer->objects().first()});
        layer->objects().first()->setString(QStringLiteral("Berlin"), QStringLiteral("office"));
        VKObjectInspector inspector;
        QWidget *window = inspector.window();
        window->show();
        expectDrawn(saveGrab(window, QStringLiteral("object-inspector.png")), 200);
    }
    {
        VKToolPalette palette;
        QWidget *window = palette.window();
        window->show();
        expectDrawn(saveGrab(window, QStringLiteral("tool-palette.png")), 150);
    }
    VRInspectorBase::setMainDocumentOverride(nullptr);
}
