#include "library/QntStencilImport.h"

#include "PaletteTestSupport.h"

#include "app/window/QntDocumentCommands.h"
#include "common/FolderSetAside.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/notations/QntImportFromGraffle.h"

#include <QApplication>
#include <QDir>
#include <QProgressDialog>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ImportFixture {
    ImportFixture()
        : importedAside(std::filesystem::path(
            QDir::cleanPath(QntNotation::rootNotationsFolderPath() + QStringLiteral("/Imported"))
                .toStdString()))
    {
        preparePaletteEnvironment();
    }

    // A stencil of sheets × shapes.
    QString stencil(const QString &name, int sheets, int shapes) const
    {
        QList<std::pair<QString, VRObjectList>> content;
        for (int s = 0; s < sheets; ++s) {
            VRObjectList objects;
            for (int i = 0; i < shapes; ++i)
                objects.push_back(
                    VRDrawableShape::shapeWithRect(QRectF(i % 40 * 30, i / 40 * 30, 24, 18)));
            content.push_back({QStringLiteral("Sheet %1").arg(s + 1), objects});
        }
        const QString path = files.filePath(name);
        EXPECT_TRUE(QntImportFromGraffle::writeStencil(path, content).ok());
        return path;
    }

    QStringList importedFiles() const
    {
        return QDir(QntNotation::rootNotationsFolderPath() + QStringLiteral("/Imported"))
            .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    qnt::test::FolderSetAside importedAside;
    QTemporaryDir files;
};

} // namespace

TEST(QntStencilImport, StoppingAtAnyStepLeavesNoDatabaseBehind)
{
    ImportFixture f;
    const QString path = f.stencil(QStringLiteral("Kit.gstencil"), 3, 50);
    for (int stopAt : {0, 10, 20, 40, 45, 50, 60, 99, 100}) {
        QList<int> seen;
        const QntStencilImport::Result result = QntStencilImport::run(path, [&](int percent) {
            seen.push_back(percent);
            return percent < stopAt;
        });
        EXPECT_EQ(result.outcome, QntStencilImport::Result::Outcome::Cancelled) << stopAt;
        EXPECT_TRUE(f.importedFiles().isEmpty()) << stopAt;
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << stopAt;
    }
    const QntStencilImport::Result done = QntStencilImport::run(path, [](int) { return true; });
    ASSERT_EQ(done.outcome, QntStencilImport::Result::Outcome::Imported)
        << done.error.toStdString();
    EXPECT_EQ(done.elements.size(), 150);
    EXPECT_EQ(f.importedFiles(), QStringList({QStringLiteral("Kit.db")}));
}

TEST(QntStencilImport, ALargeStencilReportsItsProgressAndLandsInTheDrawing)
{
    ImportFixture f;
    const QString path = f.stencil(QStringLiteral("Large Kit.plist"), 4, 600);
    VRDrawingDocument document;
    QntDocumentCommands commands(document);
    QList<int> progress;
    bool dialogShown = false;
    QObject::connect(&commands, &QntDocumentCommands::stencilImportStarted, [&] {
        QntStencilImport *import = commands.stencilImport();
        ASSERT_TRUE(import);
        QObject::connect(import, &QntStencilImport::progressed, [&, import](int percent) {
            progress.push_back(percent);
            dialogShown =
                dialogShown || (import->progressDialog() && import->progressDialog()->isVisible());
        });
    });
    ASSERT_TRUE(commands.performImportFilepath(path));
    EXPECT_EQ(commands.stencilImport(), nullptr);
    EXPECT_GE(progress.size(), 5);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_TRUE(dialogShown);
    ASSERT_EQ(document.drawing()->importedElementsKeys(), QStringList({"Large Kit"}));
    EXPECT_EQ(document.drawing()->importedElementsForKey(QStringLiteral("Large Kit")).size(), 2400);
    EXPECT_EQ(f.importedFiles(), QStringList({QStringLiteral("Large Kit.db")}));
}

TEST(QntStencilImport, CancellingTheImportLeavesNoGroupAndNoDatabase)
{
    ImportFixture f;
    const QString path = f.stencil(QStringLiteral("Kit.gstencil"), 2, 300);
    struct Case {
        const char *name;
        int cancelAt; // -1: as soon as it starts
    };
    for (const Case c :
         {Case{"at once", -1}, Case{"while converting", 10}, Case{"while writing", 55}}) {
        VRDrawingDocument document;
        QntDocumentCommands commands(document);
        QObject::connect(&commands, &QntDocumentCommands::stencilImportStarted, [&] {
            QntStencilImport *import = commands.stencilImport();
            if (c.cancelAt < 0) {
                import->cancel();
                return;
            }
            // Progress is told from the import's worker thread: the dialog is pressed on the
            // main thread, as a user would.
            QObject::connect(import, &QntStencilImport::progressed, import,
                             [&c, import](int percent) {
                                 if (percent >= c.cancelAt)
                                     import->progressDialog()->cancel();
                             });
        });
        const bool imported = commands.performImportFilepath(path);
        if (c.cancelAt < 0) {
            EXPECT_FALSE(imported);
        }
        // A cancel that comes after the file was put in place is too late: then the import is
        // whole; otherwise nothing is left.
        if (!imported) {
            EXPECT_TRUE(document.drawing()->importedElementsKeys().isEmpty()) << c.name;
            EXPECT_TRUE(f.importedFiles().isEmpty()) << c.name;
            EXPECT_EQ(commands.errorAlert(), nullptr) << c.name;
        } else {
            EXPECT_EQ(document.drawing()->importedElementsKeys().size(), 1) << c.name;
            EXPECT_EQ(f.importedFiles().size(), 1) << c.name;
            QFile::remove(QntNotation::rootNotationsFolderPath()
                          + QStringLiteral("/Imported/Kit.db"));
        }
    }
}
