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
#include "common/ScopeExit.h"

#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The widget as drawn, also written to the test pictures to look at.
QImage grabbed(QWidget *widget, const QString &name)
{
    widget->adjustSize();
    const QImage image = widget->grab().toImage();
    image.save(QDir(qnt::test::picturesFolder(QStringLiteral("sheets"))).filePath(name + ".png"));
    return image;
}

void expectDrawn(const QImage &image, int minimumWidth)
{
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), minimumWidth);
    // Not one flat colour: the controls were drawn.
    const QRgb corner = image.pixel(0, 0);
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; y += 3)
        for (int x = 0; x < image.width() && !varied; x += 3)
            varied = image.pixel(x, y) != corner;
    EXPECT_TRUE(varied);
}

// Drawn, and as its golden picture in tests/data/sheets shows it.
void expectAsGolden(QWidget *widget, const QString &name, int minimumWidth)
{
    const QImage image = grabbed(widget, name);
    expectDrawn(image, minimumWidth);
    EXPECT_TRUE(qnt::test::matchesGolden(image, QStringLiteral("sheets/") + name));
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
    // The file dialog lists a folder whose contents vary: drawn, but not compared.
    expectDrawn(grabbed(panel, QStringLiteral("export-dialog")), 400);
    panel->hide();

    commands.openDrawingSizePanel();
    expectAsGolden(commands.drawingSizeController(), QStringLiteral("drawing-size-sheet"), 300);
    commands.drawingSizeController()->cancelAction();

    commands.linearDuplicate();
    expectAsGolden(commands.linearDuplicateController(), QStringLiteral("linear-duplication"), 150);
    commands.linearDuplicateController()->cancelAction();
    commands.polarDuplicate();
    expectAsGolden(commands.polarDuplicateController(), QStringLiteral("polar-duplication"), 150);
    commands.polarDuplicateController()->cancelAction();

    VRInspectorBase::setMainDocumentOverride(&document);
    const qnt::test::ScopeExit restore([] { VRInspectorBase::setMainDocumentOverride(nullptr); });
    {
        QntUndoInspector inspector;
        QWidget *window = inspector.window();
        inspector.reloadData();
        window->show();
        expectAsGolden(window, QStringLiteral("undo-inspector"), 300);
    }
    {
        layer->exchangeSelectionWithObjectsFromArray({layer->objects().first()});
        layer->objects().first()->setString(QStringLiteral("Berlin"), QStringLiteral("office"));
        VKObjectInspector inspector;
        QWidget *window = inspector.window();
        window->show();
        expectAsGolden(window, QStringLiteral("object-inspector"), 200);
    }
    {
        VKToolPalette palette;
        QWidget *window = palette.window();
        window->show();
        expectAsGolden(window, QStringLiteral("tool-palette"), 150);
    }
}
