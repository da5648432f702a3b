#include "app/common/QntApplicationStyle.h"

#include <QImage>
#include <QPixmap>
#include <QStyleFactory>

#include <gtest/gtest.h>

#include <memory>

// The standard icons the application's style reads itself look as Fusion's own, at every size
// Fusion has them, and are read once.
TEST(QntApplicationStyle, StandardIconsLookAsFusionsOwn)
{
    if (!QIcon::themeName().isEmpty())
        GTEST_SKIP() << "a desktop icon theme gives these icons";
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create("fusion"));
    ASSERT_NE(fusion, nullptr);
    QntApplicationStyle style("fusion");
    // The last is left to Fusion.
    for (const QStyle::StandardPixmap kind :
         {QStyle::SP_DirIcon, QStyle::SP_FileDialogDetailedView, QStyle::SP_FileDialogListView,
          QStyle::SP_BrowserReload, QStyle::SP_ToolBarHorizontalExtensionButton,
          QStyle::SP_ToolBarVerticalExtensionButton, QStyle::SP_TrashIcon}) {
        const QIcon expected = fusion->standardIcon(kind);
        const QIcon icon = style.standardIcon(kind);
        ASSERT_FALSE(icon.isNull()) << kind;
        EXPECT_EQ(icon.availableSizes(), expected.availableSizes()) << kind;
        for (const QIcon::State state : {QIcon::Off, QIcon::On}) {
            for (const QSize &size : expected.availableSizes(QIcon::Normal, state))
                EXPECT_EQ(icon.pixmap(size, QIcon::Normal, state).toImage(),
                          expected.pixmap(size, QIcon::Normal, state).toImage())
                    << kind << " " << size.width() << " " << state;
        }
        if (kind != QStyle::SP_TrashIcon)
            EXPECT_EQ(style.standardIcon(kind).cacheKey(), icon.cacheKey()) << kind;
    }
}
