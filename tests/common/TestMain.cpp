#include "common/ProcessStateCheck.h"
#include "common/TestEnvironment.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    qnt::test::isolateUserFolders();
    testing::UnitTest::GetInstance()->listeners().Append(new qnt::test::ProcessStateCheck);
    return RUN_ALL_TESTS();
}
