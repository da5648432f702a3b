#pragma once

// Stateless queries shared by the core and the crash reporter: the running application (its
// Info.plist-style configuration), the operating system and host, hexadecimal text, digests
// and identifiers. None of them logs or throws; a missing input or a failed system call gives
// an empty or zero answer. Thread-safe; not signal-safe unless stated.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct PLNOperatingSystemVersion {
    std::int64_t major = 0;
    std::int64_t minor = 0;
    std::int64_t patch = 0;
};

// Install source codes reported to the web service.
enum : int {
    PLNInstallSourceOther = 1,
    PLNInstallSourceSignedForDistribution = 3,
    PLNInstallSourceAppStore = 4,
};

// Application.
std::string PLNApplicationEscapedBundleIdentifier();
std::string PLNEscapeBundleIdentifier(const std::string &identifier);
std::string PLNApplicationBuildVersion();
std::string PLNApplicationDisplayVersion();
std::string PLNApplicationDisplayName();
bool PLNApplicationHasAppStoreReceipt();
bool PLNApplicationSignedForDistribution();
int PLNApplicationInstallSource();
// Never in Hearth mode (the caller says whether the client runs in it); else as the Info.plist
// asks ("Plinth" > "ReportIdentifiers", then "FaultlineCollectDeviceIdentifiers"); else yes.
bool PLNShouldCollectDeviceIdentifiers(bool hearthMode);

// Operating system and host.
PLNOperatingSystemVersion PLNOperatingSystemVersionGet();
// By minor version: 6 -> 1060 ... 13 -> 101300; 0 for anything else.
std::int64_t PLNOperatingSystemVersionCodeForMinor(std::int64_t minor);
std::int64_t PLNOperatingSystemVersionCode();
std::string PLNOperatingSystemDisplayVersion();
// The host's answer for a name of the platform's system-control table ("hw.model",
// "hw.machine", "kern.osversion", "machdep.cpu.brand_string"), at most 127 bytes;
// nothing when it cannot be told.
std::optional<std::string> PLNSysctlString(const std::string &name);
std::optional<std::string> PLNOperatingSystemBuildVersion();
std::optional<std::string> PLNHostModel();

// Bytes, digests and identifiers.
// Zeroes `output` (2 * length + 1 bytes), then writes two lower-case digits per byte.
// Nothing when output is null. Safe to call from a signal handler.
void PLNHexEncodeBytes(const void *bytes, std::size_t length, char *output);
std::string PLNHexStringFromData(const std::vector<std::uint8_t> &data);
std::string PLNHexStringFromBytes(const void *bytes, std::size_t length);
std::string PLNHexStringFromUUIDBytes(const std::uint8_t bytes[16]);
std::string PLNSHA1HexString(const std::string &data);
std::string PLNSHA256HexString(const std::string &data);
// A new random UUID, upper-case with "-" (8-4-4-4-12).
std::string PLNGenerateUUIDString();
// Calls the block once per contiguous range (one range: our buffers are contiguous).
void PLNEnumerateByteRangesInData(const std::string &data,
                                  const std::function<void(const char *bytes, std::size_t offset,
                                                           std::size_t length, bool &stop)> &block);
