#include "Faultline.h"

#include "telemetry/platform/ThreadStartHook.h"

namespace {

class FaultlineClass : public PLNKit
{
public:
    std::string className() const override { return "Faultline"; }
    std::string bundleIdentifier() const override { return Faultline::kBundleIdentifier; }
    std::string kitDisplayVersion() const override { return Faultline::kDisplayVersion; }
    std::optional<std::string> kitBuildVersion() const override { return Faultline::kBuildVersion; }
    bool respondsToInitializeIfNeeded() const override { return true; }
    void initializeIfNeeded() override { Faultline::sharedInstance().start(); }
};

// Registered when the kit is linked in, so that it can be found by name (the Hearth start
// looks for "Faultline" without being handed the class).
[[maybe_unused]] const bool g_registered = (Faultline::metaClass(), true);

} // namespace

const PLNKit &Faultline::metaClass()
{
    static const FaultlineClass *kit = [] {
        auto *k = new FaultlineClass;
        PLNKit::registerClass(k);
        return k;
    }();
    return *kit;
}

Faultline &Faultline::sharedInstance()
{
    static Faultline *shared = new Faultline;
    return *shared;
}

void Faultline::start()
{
    if (m_started.exchange(true))
        return;
    // The crash kit's launch sequence (report folders, crash context, handlers, earlier
    // reports, analytics start) runs from here.
}

void Faultline::prepareCurrentThread()
{
    // The same hook the library's own threads run: the crash handlers set it when they go in.
    tel::ThreadStartHook::prepareCurrentThread();
}
