#include "framework/base/VRUniqueID.h"

#include <gtest/gtest.h>

TEST(VRUniqueID, KeysAreUpperCaseUuidsThatNeverRepeat)
{
    const QString key = VRUniqueID::uniqueKey();
    EXPECT_EQ(key.size(), 36);
    EXPECT_EQ(key, key.toUpper());
    EXPECT_NE(key, VRUniqueID::uniqueKey());
}
