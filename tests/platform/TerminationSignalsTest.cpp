#include "platform/TerminationSignals.h"

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

// A signal whose quit never gets to run (the GUI thread is busy and never reads it) still ends
// the process once the grace period is over, with the status a shell gives for that signal.
TEST(TerminationSignalsDeathTest, AProcessThatNeverGetsToQuitEndsAtTheDeadline)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TerminationSignals termination;
            if (!termination.install())
                ::_exit(1);
            ::raise(SIGHUP);
            // The event loop never runs: only the deadline can end this.
            for (int i = 0; i < 30; ++i)
                ::sleep(1);
            ::_exit(2);
        },
        testing::ExitedWithCode(128 + SIGHUP), "");
}
