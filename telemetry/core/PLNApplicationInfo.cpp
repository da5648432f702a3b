#include "PLNApplicationInfo.h"

#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/Digest.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/utsname.h>

namespace {

std::string infoString(const char *key)
{
    const auto value = tel::AppInfo::objectForInfoDictionaryKey(key);
    return value ? value->description() : std::string();
}

std::string firstLine(const char *path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\n'))
        line.pop_back();
    return line;
}

std::string cpuBrand()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) != 0)
            continue;
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        return value;
    }
    return {};
}

} // namespace

std::string PLNEscapeBundleIdentifier(const std::string &identifier)
{
    std::string escaped = identifier;
    for (char &c : escaped)
        if (c == '/')
            c = '_';
    return escaped;
}

std::string PLNApplicationEscapedBundleIdentifier()
{
    return PLNEscapeBundleIdentifier(tel::AppInfo::bundleIdentifier());
}

std::string PLNApplicationBuildVersion()
{
    return infoString("CFBundleVersion");
}

std::string PLNApplicationDisplayVersion()
{
    return infoString("CFBundleShortVersionString");
}

std::string PLNApplicationDisplayName()
{
    if (std::string name = infoString("CFBundleDisplayName"); !name.empty())
        return name;
    if (std::string name = infoString("CFBundleName"); !name.empty())
        return name;
    return PLNApplicationBuildVersion();
}

bool PLNApplicationHasAppStoreReceipt()
{
    if (PLNOperatingSystemVersionCode() < 1070)
        return false;
    struct stat st {
    };
    const std::string receipt = tel::AppInfo::bundleFolder() + "/_MASReceipt/receipt";
    return ::stat(receipt.c_str(), &st) == 0;
}

bool PLNApplicationSignedForDistribution()
{
    const auto value = tel::AppInfo::objectForInfoDictionaryKey("FaultlineSignedForDistribution");
    return value && value->toBool();
}

int PLNApplicationInstallSource()
{
    if (PLNApplicationHasAppStoreReceipt())
        return PLNInstallSourceAppStore;
    if (PLNApplicationSignedForDistribution())
        return PLNInstallSourceSignedForDistribution;
    return PLNInstallSourceOther;
}

bool PLNShouldCollectDeviceIdentifiers(bool hearthMode)
{
    if (hearthMode)
        return false;
    if (const auto plinth = tel::AppInfo::objectForInfoDictionaryKey("Plinth")) {
        if (const tel::PlistValue *report = plinth->find("ReportIdentifiers"))
            return report->toBool();
    }
    if (const auto collect =
            tel::AppInfo::objectForInfoDictionaryKey("FaultlineCollectDeviceIdentifiers"))
        return collect->toBool();
    return true;
}

PLNOperatingSystemVersion PLNOperatingSystemVersionGet()
{
    PLNOperatingSystemVersion version;
    utsname name{};
    if (::uname(&name) != 0)
        return version;
    long long major = 0, minor = 0, patch = 0;
    std::sscanf(name.release, "%lld.%lld.%lld", &major, &minor, &patch);
    version.major = major;
    version.minor = minor;
    version.patch = patch;
    return version;
}

std::int64_t PLNOperatingSystemVersionCodeForMinor(std::int64_t minor)
{
    switch (minor) {
    case 6: return 1060;
    case 7: return 1070;
    case 8: return 1080;
    case 9: return 1090;
    case 10: return 101000;
    case 11: return 101100;
    case 12: return 101200;
    case 13: return 101300;
    default: return 0;
    }
}

std::int64_t PLNOperatingSystemVersionCode()
{
    return PLNOperatingSystemVersionCodeForMinor(PLNOperatingSystemVersionGet().minor);
}

std::string PLNOperatingSystemDisplayVersion()
{
    const PLNOperatingSystemVersion v = PLNOperatingSystemVersionGet();
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
}

std::optional<std::string> PLNSysctlString(const std::string &name)
{
    std::string value;
    utsname uts{};
    const bool haveUname = ::uname(&uts) == 0;
    if (name == "hw.model") {
        value = firstLine("/sys/class/dmi/id/product_name");
        if (value.empty() && haveUname)
            value = uts.machine;
    } else if (name == "hw.machine") {
        if (haveUname)
            value = uts.machine;
    } else if (name == "kern.osversion") {
        if (haveUname)
            value = uts.version;
    } else if (name == "kern.osrelease") {
        if (haveUname)
            value = uts.release;
    } else if (name == "machdep.cpu.brand_string") {
        value = cpuBrand();
    } else {
        return std::nullopt;
    }
    if (value.empty())
        return std::nullopt;
    // The platform call fills a 128-byte buffer.
    if (value.size() > 127)
        value.resize(127);
    return value;
}

std::optional<std::string> PLNOperatingSystemBuildVersion()
{
    return PLNSysctlString("kern.osversion");
}

std::optional<std::string> PLNHostModel()
{
    return PLNSysctlString("hw.model");
}

void PLNHexEncodeBytes(const void *bytes, std::size_t length, char *output)
{
    static const char kDigits[] = "0123456789abcdef";
    if (!output)
        return;
    std::memset(output, 0, 2 * length + 1);
    if (!bytes || length == 0)
        return;
    const auto *in = static_cast<const unsigned char *>(bytes);
    for (std::size_t i = 0; i < length; ++i) {
        output[2 * i] = kDigits[in[i] >> 4];
        output[2 * i + 1] = kDigits[in[i] & 0xf];
    }
}

std::string PLNHexStringFromBytes(const void *bytes, std::size_t length)
{
    std::string out(2 * length + 1, '\0');
    PLNHexEncodeBytes(bytes, length, out.data());
    out.resize(bytes ? 2 * length : 0);
    return out;
}

std::string PLNHexStringFromData(const std::vector<std::uint8_t> &data)
{
    return PLNHexStringFromBytes(data.data(), data.size());
}

std::string PLNHexStringFromUUIDBytes(const std::uint8_t bytes[16])
{
    return PLNHexStringFromBytes(bytes, 16);
}

std::string PLNSHA1HexString(const std::string &data)
{
    const auto digest = tel::sha1(data.data(), data.size());
    return PLNHexStringFromBytes(digest.data(), digest.size());
}

std::string PLNSHA256HexString(const std::string &data)
{
    const auto digest = tel::sha256(data.data(), data.size());
    return PLNHexStringFromBytes(digest.data(), digest.size());
}

std::string PLNGenerateUUIDString()
{
    unsigned char b[16];
    if (::getrandom(b, sizeof b, 0) != static_cast<ssize_t>(sizeof b)) {
        std::random_device device;
        for (unsigned char &c : b)
            c = static_cast<unsigned char>(device());
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0f) | 0x40); // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3f) | 0x80); // RFC 4122 variant
    char out[37];
    std::snprintf(out, sizeof out,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return out;
}

void PLNEnumerateByteRangesInData(
    const std::string &data,
    const std::function<void(const char *, std::size_t, std::size_t, bool &)> &block)
{
    if (!block)
        return;
    bool stop = false;
    block(data.data(), 0, data.size(), stop);
}
