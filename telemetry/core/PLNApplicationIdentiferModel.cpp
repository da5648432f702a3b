#include "PLNApplicationIdentiferModel.h"

#include "PLNApplicationInfo.h"

#include <cstring>
#include <elf.h>
#include <link.h>
#include <sys/utsname.h>

namespace {

std::string formatVersion(const PLNApplicationIdentiferModel::SDKVersion &v)
{
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.bugfix);
}

struct BuildIDSearch {
    std::optional<std::vector<std::uint8_t>> buildID;
};

int findMainBuildID(dl_phdr_info *info, size_t, void *data)
{
    auto *search = static_cast<BuildIDSearch *>(data);
    // The first object the loader reports is the main executable.
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) &ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_NOTE)
            continue;
        const auto *p = reinterpret_cast<const unsigned char *>(info->dlpi_addr + ph.p_vaddr);
        const unsigned char *end = p + ph.p_memsz;
        while (p + sizeof(ElfW(Nhdr)) <= end) {
            ElfW(Nhdr) note;
            std::memcpy(&note, p, sizeof note);
            const unsigned char *name = p + sizeof note;
            const unsigned char *desc = name + ((note.n_namesz + 3) & ~3u);
            const unsigned char *next = desc + ((note.n_descsz + 3) & ~3u);
            if (next > end)
                break;
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4
                && std::memcmp(name, "GNU", 4) == 0) {
                search->buildID = std::vector<std::uint8_t>(desc, desc + note.n_descsz);
                return 1;
            }
            p = next;
        }
    }
    return 1;
}

} // namespace

std::unique_ptr<PLNApplicationIdentiferModel>
PLNApplicationIdentiferModel::initWithInstallID(const std::string &installID)
{
    auto model = std::make_unique<PLNApplicationIdentiferModel>();
    if (!model->computeExecutableInfo())
        return nullptr;
    model->computeInstanceIdentifier();
    model->m_installID = installID;
    model->m_bundleIdentifier = PLNApplicationEscapedBundleIdentifier();
    return model;
}

std::unique_ptr<PLNApplicationIdentiferModel>
PLNApplicationIdentiferModel::initWithInstallIDAndMachOPath(const std::string &installID,
                                                            const std::string &path)
{
    PLNMachOFile file;
    if (!PLNMachOFileInitWithPath(&file, path.c_str()))
        return nullptr;
    auto model = std::make_unique<PLNApplicationIdentiferModel>();
    const bool ok = model->computeExecutableInfoFromMachOFile(file);
    PLNMachOFileDestroy(&file);
    if (!ok)
        return nullptr;
    model->computeInstanceIdentifier();
    model->m_installID = installID;
    model->m_bundleIdentifier = PLNApplicationEscapedBundleIdentifier();
    return model;
}

bool PLNApplicationIdentiferModel::computeExecutableInfo()
{
    m_architectureUUIDMap.clear();
    if (const auto buildID = currentExecutableBuildID())
        m_architectureUUIDMap[currentArchitectureName()] = uuidStringFromBuildID(*buildID);
    // ELF carries no minimum-OS or SDK version: both stay 0.0.0.
    return true;
}

bool PLNApplicationIdentiferModel::computeExecutableInfoFromMachOFile(const PLNMachOFile &file)
{
    if (!file.mapping)
        return false;
    std::map<std::string, std::string> map;
    PLNMachOFileEnumerateSlices(&file, [&](const PLNMachOSlice &s) {
        PLNMachOSlice slice = s;
        const std::string arch = PLNMachOSliceGetArchitectureName(&slice);
        PLNMachOSliceEnumerateLoadCommands(&slice, [&](std::uint32_t type, std::uint32_t size,
                                                       const void *command) {
            if (type == PLNMachOLoadCommandUUID) {
                std::uint8_t uuid[16];
                if (PLNMachOGetUUIDFromCommand(command, size, uuid))
                    map[arch] = PLNMachOFormatUUID(uuid);
            } else if (type == PLNMachOLoadCommandVersionMinMacOSX
                       || type == PLNMachOLoadCommandVersionMinIPhoneOS
                       || type == PLNMachOLoadCommandBuildVersion) {
                const PLNMachOVersion min = PLNMachOGetMinimumOSVersionFromCommand(command, size);
                const PLNMachOVersion sdk = PLNMachOGetSDKVersionFromCommand(command, size);
                m_minimumSDK = {min.major, min.minor, min.bugfix};
                m_builtSDK = {sdk.major, sdk.minor, sdk.bugfix};
            }
        });
    });
    m_architectureUUIDMap = std::move(map);
    return true;
}

bool PLNApplicationIdentiferModel::computeInstanceIdentifier()
{
    // std::map keeps the architecture names sorted, which is the order the identifier needs.
    std::string joined;
    for (const auto &entry : m_architectureUUIDMap)
        joined += entry.second;
    m_instanceIdentifier = PLNSHA1HexString(joined);
    return true;
}

std::string PLNApplicationIdentiferModel::builtSDKString() const
{
    return formatVersion(m_builtSDK);
}

std::string PLNApplicationIdentiferModel::minimumSDKString() const
{
    return formatVersion(m_minimumSDK);
}

std::optional<std::vector<std::uint8_t>> PLNApplicationIdentiferModel::currentExecutableBuildID()
{
    BuildIDSearch search;
    dl_iterate_phdr(findMainBuildID, &search);
    return search.buildID;
}

std::string
PLNApplicationIdentiferModel::uuidStringFromBuildID(const std::vector<std::uint8_t> &buildID)
{
    std::uint8_t bytes[16] = {};
    std::memcpy(bytes, buildID.data(), std::min<std::size_t>(16, buildID.size()));
    return PLNHexStringFromUUIDBytes(bytes);
}

std::string PLNApplicationIdentiferModel::currentArchitectureName()
{
    utsname name{};
    if (::uname(&name) != 0)
        return "unknown";
    const std::string machine = name.machine;
    if (machine == "aarch64")
        return "arm64";
    return machine;
}
