#include "app/launch/QntStartUpController.h"

#include "app/launch/QntDocumentController.h"
#include "app/launch/QntWindowAnimation.h"
#include "common/ScopeExit.h"
#include "framework/notations/QntNotation.h"
#include "platform/Document.h"
#include "platform/DocumentController.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QTest>
#include <QTreeWidget>
#include <QWidget>

#include <gtest/gtest.h>

TEST(QntStartUpController, ListsTheInstalledNotationsWithMiscChosenFirst)
{
    ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
    QntStartUpController controller;
    controller.populateControls();
    auto *groups = controller.window()->findChild<QTreeWidget *>("notationsGroups");
    auto *items = controller.window()->findChild<QListWidget *>("notationsItems");
    ASSERT_TRUE(groups && items);
    ASSERT_GT(groups->topLevelItemCount(), 1);
    ASSERT_EQ(groups->selectedItems().size(), 1);
    EXPECT_EQ(groups->selectedItems().first()->text(0), "Misc");
    EXPECT_GT(items->count(), 0);
    EXPECT_EQ(controller.notationsItems().size(), items->count());
    for (const auto &notation : controller.notationsItems())
        EXPECT_TRUE(QFileInfo(notation->absolutePath()).isFile())
            << notation->absolutePath().toStdString();
    EXPECT_TRUE(controller.window()->isVisible());
    controller.cancelAction();
    EXPECT_FALSE(controller.window()->isVisible());
}

TEST(QntStartUpController, RecentMenuListsRecentDocumentsAfterItsTitle)
{
    DocumentController &documents = DocumentController::sharedDocumentController();
    documents.clearRecentDocuments();
    documents.noteNewRecentDocumentURL("/tmp/one.quintora");
    documents.noteNewRecentDocumentURL("/tmp/two.quintora");
    QntStartUpController controller;
    controller.populateRecentMenu();
    auto *recent = controller.window()->findChild<QComboBox *>("openRecent");
    ASSERT_NE(recent, nullptr);
    ASSERT_EQ(recent->count(), 3);
    EXPECT_EQ(recent->itemText(0), "Open Recent");
    EXPECT_EQ(recent->itemText(1), "two.quintora");
    EXPECT_EQ(recent->itemText(2), "one.quintora");
    documents.clearRecentDocuments();
}

// A window growing out of the start-up window puts it away, unless it was asked for again
// meanwhile (File ▸ New right after choosing a notation): then it stays, however late the
// growing ends.
TEST(QntStartUpController, AskedForAgainWhileAWindowGrowsOutOfItItStays)
{
    ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
    const qnt::test::ScopeExit restore([] { QntWindowAnimation::setTimeScale(1.0); });
    QntWindowAnimation::setTimeScale(0.0); // the growing ends at once
    for (const bool askedAgain : {false, true}) {
        SCOPED_TRACE(askedAgain ? "asked for again" : "left alone");
        QntStartUpController controller;
        controller.populateControls();
        Document document;
        QWidget grown;
        grown.resize(300, 200);
        document.addWindow(&grown);
        grown.show();
        controller.startNewDocumentWindowAnimation(&document);
        if (askedAgain)
            controller.populateControls();
        QTest::qWait(700); // past the start-up window's fade-out
        EXPECT_EQ(controller.window()->isVisible(), askedAgain);
        controller.window()->hide();
    }
}
