#pragma once

#include <functional>

namespace qnt::test {

// Runs the program's tests as every test program with a Qt application does: a private home,
// the process-state and shared-state checks after each test, an offscreen QApplication. prepare is
// the program's own explicit set-up; it runs once the application exists, before the first test.
// Returns the exit status.
int runQtTestProgram(int argc, char **argv, const std::function<void()> &prepare = {});

} // namespace qnt::test
