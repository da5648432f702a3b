#include "platform/ReadingProgress.h"

#include <QProgressDialog>
#include <QPushButton>

#include <gtest/gtest.h>

TEST(ReadingProgress, AQuickReadingShowsNothing)
{
    ReadingProgress progress(QStringLiteral("quick.quintora"));
    for (const double f : {0.0, 0.5, 1.0})
        EXPECT_TRUE(progress.update(f));
    EXPECT_EQ(progress.dialog(), nullptr);
}

TEST(ReadingProgress, ALongReadingShowsHowFarItIsAndStopsOnCancel)
{
    ReadingProgress progress(QStringLiteral("long.quintora"));
    progress.setShowAfter(0);
    EXPECT_TRUE(progress.update(0.25));
    QProgressDialog *dialog = progress.dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(dialog->labelText(), QStringLiteral("Opening “long.quintora”…"));
    EXPECT_EQ(dialog->value() * 4, dialog->maximum());
    auto *cancel = dialog->findChild<QPushButton *>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));

    cancel->click();
    EXPECT_FALSE(progress.update(0.5));
    EXPECT_TRUE(progress.wasCancelled());
    EXPECT_FALSE(progress.update(0.75)); // and stays so
}
