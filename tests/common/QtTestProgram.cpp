#include "common/QtTestProgram.h"

#include "common/ProcessStateCheck.h"
#include "common/SharedStateCheck.h"
#include "common/TestEnvironment.h"
#include "common/TestFonts.h"

#include <QApplication>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace qnt::test {

int runQtTestProgram(int argc, char **argv, const std::function<void()> &prepare)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing tests must not need a display or touch the user's folders.
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    isolateUserFolders();
    pinInstalledFonts();
    testing::UnitTest::GetInstance()->listeners().Append(new ProcessStateCheck);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int result = 0;
    {
        QApplication app(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Quintora"));
        QApplication::setApplicationName(QStringLiteral("Quintora"));
        // As in the application, closing the last window does not quit: a quit posted when a
        // test closes its last window would end the next test's modal loops at once.
        QApplication::setQuitOnLastWindowClosed(false);
        if (prepare)
            prepare();
        // After the program's set-up, which may register defaults and colour the panel as
        // launch does.
        testing::UnitTest::GetInstance()->listeners().Append(new SharedStateCheck);
        result = RUN_ALL_TESTS();
    }
    return result;
}

} // namespace qnt::test
