#include "framework/archive/VRPasteboardInfo.h"

#include "framework/base/VRConstants.h"
#include "framework/model/VRDrawableShape.h"

#include <QMimeData>

#include <gtest/gtest.h>

TEST(VRPasteboardInfo, DescribesTheCopiedObjectsAndRefusesANegativeCount)
{
    auto a = VRDrawableShape::shapeWithRect(QRectF(0, 0, 10, 10));
    auto b =
        VRDrawableShape::shapeWithRect(QRectF(20, 20, 10, 10), VRDrawableShape::unitOvalAtOrigin());
    QMimeData data;
    VRPasteboardInfo::pasteboardInfoForObjects({a, b}).writeToPasteboard(&data);
    auto info = VRPasteboardInfo::fromPasteboard(&data);
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->count(), 2);
    EXPECT_EQ(info->classNames(), QStringList{QStringLiteral("VRDrawableShape")});
    EXPECT_EQ(info->bounds(), QRectF(0, 0, 30, 30));
    data.setData(kVRPasteboardInfoType, "{\"count\": -3}");
    EXPECT_FALSE(VRPasteboardInfo::fromPasteboard(&data).has_value());
}
