#pragma once

#include "PLNMachO.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Identity of the running build: installation UUID, escaped bundle identifier, the UUID of
// each architecture slice of the executable and the instance identifier derived from them.
// On this platform the executable is ELF: its one slice is named after the machine
// ("x86_64") and its UUID is the GNU build-id (the first 16 bytes, as 32 hex digits).
// Mach-O executables (fat or thin) are read with computeExecutableInfoFromMachOFile.
class PLNApplicationIdentiferModel
{
public:
    struct SDKVersion {
        std::uint32_t major = 0;
        std::uint32_t minor = 0;
        std::uint32_t bugfix = 0;
    };

    // Nothing when the running executable cannot be read.
    static std::unique_ptr<PLNApplicationIdentiferModel>
    initWithInstallID(const std::string &installID);
    // The same from a Mach-O file on disk.
    static std::unique_ptr<PLNApplicationIdentiferModel>
    initWithInstallIDAndMachOPath(const std::string &installID, const std::string &path);

    bool computeExecutableInfo();
    bool computeExecutableInfoFromMachOFile(const PLNMachOFile &file);
    bool computeInstanceIdentifier();

    const std::map<std::string, std::string> &architectureUUIDMap() const
    {
        return m_architectureUUIDMap;
    }
    const std::string &installID() const { return m_installID; }
    const std::string &bundleIdentifier() const { return m_bundleIdentifier; }
    const std::string &instanceIdentifier() const { return m_instanceIdentifier; }
    SDKVersion builtSDK() const { return m_builtSDK; }
    SDKVersion minimumSDK() const { return m_minimumSDK; }
    std::string builtSDKString() const;
    std::string minimumSDKString() const;

    // Build-id of the running executable (all its bytes); nothing when it has none.
    static std::optional<std::vector<std::uint8_t>> currentExecutableBuildID();
    // 32 lower-case hex digits from a build-id: its first 16 bytes, zero-padded when shorter.
    static std::string uuidStringFromBuildID(const std::vector<std::uint8_t> &buildID);
    // Architecture name of this machine ("x86_64", "arm64").
    static std::string currentArchitectureName();

private:
    std::map<std::string, std::string> m_architectureUUIDMap;
    std::string m_installID;
    std::string m_bundleIdentifier;
    std::string m_instanceIdentifier;
    SDKVersion m_builtSDK;
    SDKVersion m_minimumSDK;
};
