#include "app/launch/QntStartUpController.h"

#include "app/launch/QntDocumentController.h"
#include "app/launch/QntWindowAnimation.h"
#include "common/ScopeExit.h"
#include "common/WaitUntil.h"
#include "framework/notations/QntNotation.h"
#include "platform/Document.h"
#include "platform/DocumentController.h"
#include "common/SharedStateKeepers.h"

#include <QBackingStore>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QListWidget>
#include <QScreen>
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
    const qnt::test::UserDefaultsKeeper defaults;
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

// Put away, the start-up window gives back the picture it was drawn into; shown again, it is
// drawn whole, as it looked before.
TEST(QntStartUpController, PutAwayItGivesBackItsPictureAndIsDrawnWholeWhenShownAgain)
{
    ASSERT_TRUE(QntNotation::copyNotationsFromBundleToAppSupportFolder().ok());
    QntStartUpController controller;
    controller.populateControls();
    QWidget *window = controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const auto drawn = [window] {
        QBackingStore *store = window->backingStore();
        return store && store->size() == window->size();
    };
    ASSERT_TRUE(qnt::test::waitUntil(drawn));
    QTest::qWait(50);
    const auto picture = [window] {
        return window->screen()
            ->grabWindow(window->winId())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    };
    const QImage before = picture();
    ASSERT_FALSE(before.isNull());

    window->hide();
    ASSERT_TRUE(qnt::test::waitUntil([window] {
        QBackingStore *store = window->backingStore();
        return store && store->size().width() * store->size().height() <= 1;
    }));

    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    ASSERT_TRUE(qnt::test::waitUntil(drawn));
    QTest::qWait(50);
    const QImage after = picture();
    ASSERT_EQ(after.size(), before.size());
    qsizetype differing = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x)
            differing += after.pixel(x, y) != before.pixel(x, y);
    // A blinking caret may differ; the rest is drawn as before.
    EXPECT_LT(differing, after.width() * after.height() / 200);
    window->hide();
}
