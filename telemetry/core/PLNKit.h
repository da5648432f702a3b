#pragma once

#include <optional>
#include <string>
#include <vector>

class PLNLegacyKitInstance;

// The class side of a telemetry kit: what the start sequence of Plinth asks of a kit class.
// One object per kit class, living for the process (a function-local static of the kit).
// Kits are looked up by class name through the registry below, the way the start looks for
// optional kits ("Tally", "Dialpad", "Screenly", "ADNMobileAds").
class PLNKit
{
public:
    virtual ~PLNKit() = default;

    // The class name ("Faultline").
    virtual std::string className() const = 0;
    // False for an older-style kit that does not adopt the kit protocol.
    virtual bool conformsToPLNKit() const { return true; }
    virtual std::string bundleIdentifier() const = 0;
    virtual std::string kitDisplayVersion() const = 0;
    virtual std::optional<std::string> kitBuildVersion() const { return std::nullopt; }
    // Whether the class answers initializeIfNeeded.
    virtual bool respondsToInitializeIfNeeded() const { return false; }
    virtual void initializeIfNeeded() {}
    // Older-style kits: the shared instance, or null when the class has no such method.
    virtual PLNLegacyKitInstance *sharedInstance() const { return nullptr; }

    // Registry of kit classes by name. Registering a name again replaces the class.
    static void registerClass(const PLNKit *kitClass);
    static void unregisterClass(const std::string &name);
    static const PLNKit *classNamed(const std::string &name);
};

// The instance side of an older-style kit.
class PLNLegacyKitInstance
{
public:
    virtual ~PLNLegacyKitInstance() = default;
    virtual bool respondsToStart() const { return true; }
    virtual bool respondsToBundleIdentifier() const { return true; }
    virtual bool respondsToVersion() const { return true; }
    virtual void start() {}
    virtual std::string bundleIdentifier() const { return {}; }
    virtual std::string version() const { return {}; }
};

// A kit instance, which the start accepts in place of its class.
class PLNKitInstance
{
public:
    virtual ~PLNKitInstance() = default;
    virtual const PLNKit &kitClass() const = 0;
};
