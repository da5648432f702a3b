#include "FLTSymbolResolver.h"

#include "FLTInternalReport.h"
#include "telemetry/platform/SystemLog.h"

#include <algorithm>
#include <dlfcn.h>
#include <filesystem>

using nlohmann::json;

namespace {

std::uint64_t number(const json &value)
{
    return value.is_number_unsigned()  ? value.get<std::uint64_t>()
           : value.is_number_integer() ? static_cast<std::uint64_t>(value.get<std::int64_t>())
                                       : 0;
}

bool isAddress(const json &object, const char *key)
{
    const auto found = object.find(key);
    return found != object.end() && (found->is_number_unsigned() || found->is_number_integer());
}

std::string stringMember(const json &object, const char *key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

} // namespace

bool FLTSymbolResolver::loadBinaryImagesFromFile(const std::string &path)
{
    m_binaryImages.clear();
    const auto lines = path.empty() ? std::nullopt : FLTInternalReport::readFLTFileAtPath(path);
    if (lines) {
        for (const json &line : *lines) {
            if (m_binaryImages.size() >= kMaxBinaryImages)
                break;
            const auto load = line.is_object() ? line.find("load") : line.end();
            if (load == line.end() || !load->is_object() || !isAddress(*load, "base")
                || !isAddress(*load, "size"))
                continue;
            m_binaryImages.push_back(*load);
        }
    }
    if (m_binaryImages.empty()) {
        tel::SystemLog::log("[Faultline:Crash:SymbolResolver] failed to read binary image file "
                            + path);
        return false;
    }
    std::stable_sort(
        m_binaryImages.begin(), m_binaryImages.end(),
        [](const json &a, const json &b) { return number(a["base"]) < number(b["base"]); });
    return true;
}

const json *FLTSymbolResolver::loadedBinaryImageForPC(std::uint64_t pc) const
{
    for (const json &image : m_binaryImages) {
        const std::uint64_t base = number(image["base"]);
        if (base > pc)
            break;
        if (pc - base < number(image["size"]))
            return &image;
    }
    return nullptr;
}

bool FLTSymbolResolver::fillInImageDetails(FLTBinaryImageDetails *details, const std::string &uuid)
{
    if (!details || uuid.empty())
        return false;
    return FLTBinaryImageFindImageForUUID(uuid.c_str(), details);
}

const FLTSymbolResolver::LoadedImage &FLTSymbolResolver::loadedImageForUUID(const std::string &uuid)
{
    auto found = m_loadedImages.find(uuid);
    if (found != m_loadedImages.end())
        return found->second;
    LoadedImage &image = m_loadedImages[uuid];
    image.found = fillInImageDetails(&image.details, uuid);
    if (image.found && image.details.buildId[0]) {
        // The file on disk of an image loaded now, and only while it is still the same build.
        // The loader names the main program by no path at all.
        const char *path = image.details.path[0] ? image.details.path : "/proc/self/exe";
        image.symbols = FLTELFSymbolTable::load(path, image.details.buildId);
    }
    return image;
}

bool FLTSymbolResolver::lookUp(const LoadedImage &image, std::uint64_t address, std::string &name,
                               std::uint64_t &start)
{
    if (image.symbols) {
        if (const auto *symbol = image.symbols->symbolForAddress(address - image.details.slide)) {
            name = symbol->name;
            start = symbol->address + image.details.slide;
            return true;
        }
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(address), &info) == 0)
        return false;
    name = info.dli_sname ? info.dli_sname : "";
    start = reinterpret_cast<std::uint64_t>(info.dli_saddr);
    return true;
}

bool FLTSymbolResolver::updateStackFrame(FLTStackFrame &frame, bool exactAddress)
{
    if (frame.address == 0)
        return false;
    const json *recorded = loadedBinaryImageForPC(frame.address);
    if (!recorded)
        return false;
    const LoadedImage &image = loadedImageForUUID(stringMember(*recorded, "uuid"));
    if (!image.found)
        return false;
    const std::uint64_t translated =
        image.details.base + (frame.address - number((*recorded)["base"]));
    std::string name;
    std::uint64_t start = 0;
    if (!lookUp(image, translated, name, start))
        return false;
    // A return address exactly at a function's start belongs to a call at the end of the
    // function before it. The interrupted instruction of a thread is its own.
    if (translated == start && !exactAddress && !lookUp(image, translated - 2, name, start))
        return false;
    if (!name.empty()) {
        frame.symbol = name;
        frame.rawSymbol = name;
    }
    if (start != 0 && translated > start)
        frame.offset = translated - start;
    const std::string path = stringMember(*recorded, "path");
    const std::string library = std::filesystem::path(path).filename().string();
    if (!library.empty())
        frame.library = library;
    return true;
}
