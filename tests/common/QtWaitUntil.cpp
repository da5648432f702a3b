#include "common/WaitUntil.h"

#include <QtCore/qtestsupport_core.h>

namespace qnt::test {

// The form for test programs with a Qt application: the work waited for mostly arrives
// through the event loop, which runs between the checks.
bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout)
{
    return QTest::qWaitFor(condition, int(timeout.count()));
}

} // namespace qnt::test
