#include "PaletteTestSupport.h"

#include "app/TestDocumentController.h"
#include "common/GoldenPicture.h"

#include "library/QntNotationSubgroup.h"
#include "library/QntOutlineView.h"

#include "app/window/DIDizeZoziDocument.h"
#include "app/launch/QntDocumentController.h"
#include "app/launch/QntStartUpController.h"
#include "platform/Document.h"
#include "common/SharedStateKeepers.h"

#include <QApplication>
#include <QMainWindow>
#include <QScrollArea>
#include <QtWidgets/qtestsupport_widgets.h>

#include <gtest/gtest.h>

namespace {

// Closes what the test opened, however it ends.
struct DocumentsClosedAtTheEnd {
    ~DocumentsClosedAtTheEnd()
    {
        QntDocumentController &controller = testDocumentController();
        for (Document *document : controller.documents()) {
            controller.removeDocument(document);
            delete document;
        }
    }
};

} // namespace

// The document window's library area holds the palette of the drawing's notation.
TEST(DocumentWindowPalette, NewFlowChartDocumentShowsItsPaletteBesideTheDrawing)
{
    preparePaletteEnvironment();
    const qnt::test::UserDefaultsKeeper defaults;
    const DocumentsClosedAtTheEnd closing;
    QntDocumentController &controller = testDocumentController();
    controller.newDocument();
    QntStartUpController *startUp = QntDocumentController::startUpController();
    ASSERT_NE(startUp, nullptr);
    ASSERT_TRUE(startUp->selectGroupNamed("FlowChart"));
    startUp->outlineViewAction();
    ASSERT_TRUE(startUp->selectNotationNamed("Flow Chart"));
    startUp->okAction();
    ASSERT_EQ(controller.documents().size(), 1);
    auto *document = qobject_cast<DIDizeZoziDocument *>(controller.documents().last());
    ASSERT_NE(document, nullptr);
    QntNotationPalette *palette = document->notationPalette();
    ASSERT_NE(palette, nullptr);
    auto *area = qobject_cast<QScrollArea *>(document->libraryView());
    ASSERT_NE(area, nullptr);
    EXPECT_EQ(area->widget(), palette);
    const QStringList titles = palette->shownGroupTitles();
    EXPECT_TRUE(titles.contains(QStringLiteral("Flow Chart")));
    EXPECT_TRUE(titles.contains(QStringLiteral("Shapes")));
    EXPECT_TRUE(titles.contains(QStringLiteral("Custom")));
    EXPECT_FALSE(titles.contains(QStringLiteral("Office")));
    for (const auto &group : palette->notationSubgroups())
        EXPECT_TRUE(palette->isGroupExpanded(group.get())) << group->title().toStdString();

    document->window()->resize(1200, 800);
    document->window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(document->window()));
    QApplication::processEvents();
    const QImage shot = document->window()->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    shot.save(QDir(qnt::test::picturesFolder(QStringLiteral("library")))
                  .filePath(QStringLiteral("document-window-palette.png")));
    document->window()->close();
}
