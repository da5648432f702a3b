#include "app/window/QntDocumentCommands.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/document/VRDrawingDocument.h"
#include "framework/notations/QntImportFromGraffle.h"
#include "framework/notations/QntNotation.h"

#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(DocumentStencilImport, AllSheetsBecomeOneImportedNotation)
{
    ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Office Kit.gstencil"));
    const VRObjectList first{VRDrawableShape::shapeWithRect(QRectF(0, 0, 40, 20)),
                             VRDrawableShape::shapeWithRect(QRectF(50, 0, 40, 20))};
    const VRObjectList second{VRDrawableShape::shapeWithRect(QRectF(0, 0, 30, 30))};
    ASSERT_TRUE(QntImportFromGraffle::writeStencil(
                    path, {{QStringLiteral("One"), first}, {QStringLiteral("Two"), second}})
                    .ok());

    VRDrawingDocument document;
    QntDocumentCommands commands(document);
    QStringList imported;
    QObject::connect(&commands, &QntDocumentCommands::notationElementsImported,
                     [&imported](const QString &name) { imported << name; });
    ASSERT_TRUE(commands.performImportFilepath(path));
    ASSERT_EQ(imported.size(), 1);
    const QString name = imported.first();
    EXPECT_FALSE(name.isEmpty());
    EXPECT_EQ(document.drawing()->importedElementsForKey(name).size(), 3);
    EXPECT_TRUE(QFile::exists(QntNotation::rootNotationsFolderPath() + QStringLiteral("/Imported/")
                              + name + QStringLiteral(".db")));
    EXPECT_EQ(commands.errorAlert(), nullptr);
}

TEST(DocumentStencilImport, AFileThatIsNoStencilShowsTheFailureAndChangesNothing)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("broken.plist"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a stencil");
    file.close();

    VRDrawingDocument document;
    QntDocumentCommands commands(document);
    EXPECT_FALSE(commands.performImportFilepath(path));
    QMessageBox *alert = commands.errorAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->windowTitle(), QStringLiteral("Import failed"));
    EXPECT_TRUE(alert->text().startsWith(QStringLiteral("Could not import this file: ")));
    // What was wrong with this file, and which files can be imported.
    for (const char *part : {"broken.plist", "malformed", ".plist", ".gstencil", ".graffle"})
        EXPECT_TRUE(alert->informativeText().contains(QLatin1String(part))) << part;
    EXPECT_TRUE(document.drawing()->importedElementsKeys().isEmpty());
    alert->close();
}
