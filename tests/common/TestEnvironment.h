#pragma once

#include <string>

namespace qnt::test {

// Points HOME, the XDG folders and XDG_RUNTIME_DIR at a fresh folder of this process,
// so no test reads or writes the user's own data and parallel tests never meet.
// Returns that folder.
std::string isolateUserFolders();

// The folder made by isolateUserFolders().
const std::string &isolatedHome();

// Removes that folder again, unless QNT_KEEP_TEST_HOME is set (to look at what a test left).
// isolateUserFolders() arranges for this to run at exit.
void removeIsolatedFolders();

} // namespace qnt::test
