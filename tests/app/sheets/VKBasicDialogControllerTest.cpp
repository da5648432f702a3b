#include "app/sheets/VKBasicDialogController.h"

#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

TEST(VKBasicDialogController, ModalRunAnswersOneForOKAndZeroForCancel)
{
    VKBasicDialogController dialog;
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.okButton()->click(); });
    EXPECT_EQ(dialog.runModal(), 1);
    EXPECT_FALSE(dialog.isVisible());
    QTimer::singleShot(0, &dialog, [&dialog] { dialog.cancelButton()->click(); });
    EXPECT_EQ(dialog.runModal(), 0);
}

TEST(VKBasicDialogController, SheetHandsTheCodeAndItselfToTheDelegate)
{
    QWidget parent;
    VKBasicDialogController dialog;
    QList<std::pair<int, VKBasicDialogController *>> ends;
    dialog.runAsSheetInParentWindow(&parent, [&ends](int code, VKBasicDialogController *d) {
        ends.append({code, d});
    });
    EXPECT_TRUE(dialog.isRunningAsSheet());
    dialog.ok();
    dialog.runAsSheetInParentWindow(&parent, [&ends](int code, VKBasicDialogController *d) {
        ends.append({code, d});
    });
    dialog.cancel();
    ASSERT_EQ(ends.size(), 2);
    EXPECT_EQ(ends[0].first, 1);
    EXPECT_EQ(ends[1].first, 0);
    EXPECT_EQ(ends[0].second, &dialog);
    dialog.setParent(nullptr);
}
