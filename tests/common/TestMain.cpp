#include "common/TestEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    qnt::test::isolateUserFolders();
    return RUN_ALL_TESTS();
}
