// A host program of the telemetry client: starts Plinth twice the way the application does and
// prints what happened, one fact per line, for the tests to check.
//   plinth_host_helper <bundle folder> [twice|threads|hearth|busy]
// busy keeps the library's shared queue working until the process exits, and exits with 3 if
// any of that work runs once static objects are being destroyed.

#include "telemetry/core/Plinth.h"
#include "telemetry/crash/Faultline.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/DispatchQueue.h"
#include "telemetry/platform/ExitGate.h"
#include "telemetry/platform/NotificationBus.h"
#include "telemetry/platform/SystemLog.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::mutex g_outputMutex;

void print(const std::string &line)
{
    std::lock_guard lock(g_outputMutex);
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class RecordingKit : public PLNKit
{
public:
    explicit RecordingKit(std::string name)
        : m_name(std::move(name))
    {
    }
    std::string className() const override { return m_name; }
    std::string bundleIdentifier() const override { return "test." + m_name; }
    std::string kitDisplayVersion() const override { return "1.0"; }
    bool respondsToInitializeIfNeeded() const override { return true; }
    void initializeIfNeeded() override { print("init " + m_name); }

private:
    std::string m_name;
};

std::atomic<bool> g_exitStarted{false};

// A static object of the host, destroyed as the process exits. Unless the gate was closed, it
// waits there for the library's next unit of work, which then ends the process.
struct ExitWitness {
    ~ExitWitness()
    {
        g_exitStarted = true;
        while (!tel::ExitGate::isClosed())
            std::this_thread::yield();
    }
};

// One unit of work that queues the next.
void busyWork()
{
    if (g_exitStarted) {
        static const char message[] = "work ran during exit\n";
        (void)!write(STDOUT_FILENO, message, sizeof message - 1);
        _exit(3);
    }
    tel::DispatchQueue::global().async(busyWork);
}

int finish(int status)
{
    // As the application does: the library's threads stop before the process exits.
    tel::ExitGate::close(2.0);
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    if (argc > 2 && std::string(argv[2]) == "busy") {
        static ExitWitness witness;
        for (int i = 0; i < 4; ++i)
            tel::DispatchQueue::global().async(busyWork);
        print("busy");
        return finish(0);
    }
    tel::SystemLog::setSink([](const std::string &line) { print("log " + line); });
    tel::AppInfo::setBundleFolder(argv[1]);

    static RecordingKit other("OtherKit");
    static RecordingKit tally("Tally");
    PLNKit::registerClass(&tally);
    // Faultline's own start is observed through its class being initialised.
    static class FaultlineProbe : public PLNKitInstance
    {
    public:
        const PLNKit &kitClass() const override { return Faultline::metaClass(); }
    } faultlineInstance;

    tel::Host::Hooks hooks;
    hooks.mainThreadExecutor = [](std::function<void()> block) { block(); };
    const std::string mode = argc > 2 ? argv[2] : "twice";
    if (mode == "hearth") {
        // The host announces Hearth instead of calling with().
        tel::NotificationBus::defaultBus().post(Plinth::kHearthReadyNotification);
        tel::NotificationBus::defaultBus().post(Plinth::kHearthReadyNotification);
        print(std::string("faultline-started ")
              + (Faultline::sharedInstance().hasStarted() ? "1" : "0"));
        print("mode " + std::to_string(Plinth::sharedSDK().installationMode()));
        print("apikey " + Plinth::sharedSDK().APIKey().value_or("(none)"));
    } else if (mode == "threads") {
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i)
            threads.emplace_back([&] { Plinth::with({&faultlineInstance, &other}, hooks); });
        for (auto &thread : threads)
            thread.join();
    } else
        try {
            Plinth &first = Plinth::with({&faultlineInstance, &other}, hooks);
            print(std::string("faultline-started ")
                  + (Faultline::sharedInstance().hasStarted() ? "1" : "0"));
            Plinth::with({&other});
            print(std::string("same ") + (&first == &Plinth::sharedSDK() ? "1" : "0"));
        } catch (const PLNException &e) {
            print(std::string("exception ") + e.reason());
        }
    Plinth &sdk = Plinth::sharedSDK();
    std::string kits;
    for (const PLNKit *kit : sdk.kitClasses())
        kits += (kits.empty() ? "" : ",") + kit->className();
    print("kits " + kits);
    print("install " + sdk.installID());
    print(std::string("first ") + (sdk.isFirstInstall() ? "1" : "0"));
    print("execution " + sdk.executionIdentifier());
    print("instance " + sdk.instanceIdentifier());
    return finish(0);
}
