#pragma once

#include "telemetry/core/PLNKit.h"

#include <atomic>
#include <memory>
#include <string>

class FLTBetaController;
class FLTCrashReportingController;

// The crash-reporting kit. The application hands its class to Plinth::with at launch:
//     Plinth::with({&Faultline::metaClass()}, hooks);
// Plinth then initialises it (initializeIfNeeded: sharedInstance, then start) when an API key
// is configured.
class Faultline : public PLNKitInstance
{
public:
    static constexpr const char *kBundleIdentifier = "io.faultline.sdk.mac";
    static constexpr const char *kDisplayVersion = "3.9.3";
    static constexpr const char *kBuildVersion = "128";

    // The kit's class object, registered under the name "Faultline".
    static const PLNKit &metaClass();
    static Faultline &sharedInstance();

    const PLNKit &kitClass() const override { return metaClass(); }
    std::string bundleIdentifier() const { return kBundleIdentifier; }
    std::string version() const { return kDisplayVersion; }

    // Once-only start of the crash kit: the beta check (where beta is supported) and the report
    // store, whose earlier launches' reports are symbolicated, packaged and uploaded in the
    // background (FLTCrashReportingController).
    void start();
    // Made by start.
    std::shared_ptr<FLTCrashReportingController> crashReportingController() const;
    std::shared_ptr<FLTBetaController> betaController() const;

    // Prepares the calling thread for crash capture as the kit prepares the threads of the
    // telemetry library: once the crash handlers are installed the thread gets an alternate
    // signal stack, so a stack overflow on it is still recorded. For the threads the application
    // makes: call it first thing on each, and again now and then on a long-lived one (the kit may
    // start after the thread did). Calling it again is cheap and changes nothing; before the
    // handlers are installed it does nothing at all. Not signal-safe.
    static void prepareCurrentThread();
    bool hasStarted() const { return m_started.load(); }

private:
    class ControllerDelegate;
    Faultline() = default;
    std::atomic<bool> m_started{false};
    std::shared_ptr<ControllerDelegate> m_controllerDelegate;
    std::shared_ptr<FLTCrashReportingController> m_crashReportingController;
    std::shared_ptr<FLTBetaController> m_betaController;
};
