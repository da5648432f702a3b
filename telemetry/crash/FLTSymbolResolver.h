#pragma once

// Turns the return addresses of a report into symbols at a later launch. The report's
// "binary_images.fltrecord" says which image held each address in the crashed process; the same
// image (matched by its build-id) among the images loaded now gives the address in this process,
// which the image's symbol table on disk, else the dynamic linker, names.
// Frames in images that are not loaded now stay unresolved. Not signal-safe; one thread at a time.

#include "FLTBinaryImage.h"
#include "FLTELFSymbolTable.h"
#include "FLTStackFrame.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class FLTSymbolResolver
{
public:
    // Image records beyond this many are ignored.
    static constexpr std::size_t kMaxBinaryImages = 8192;

    // Keeps each "load" record that has numeric "base" and "size", sorted by "base". False
    // (logged) for an empty path or a file without any.
    bool loadBinaryImagesFromFile(const std::string &path);
    const std::vector<nlohmann::json> &binaryImages() const { return m_binaryImages; }
    // The first image, by ascending base, whose [base, base + size) holds the address.
    const nlohmann::json *loadedBinaryImageForPC(std::uint64_t pc) const;
    // The image with that uuid among the images loaded in this process.
    static bool fillInImageDetails(FLTBinaryImageDetails *details, const std::string &uuid);
    // Resolves the frame in place; answers whether it was. `exactAddress` marks a frame whose
    // address is the interrupted instruction itself (a thread's first frame) rather than a
    // return address, so it is never attributed to the function before.
    bool updateStackFrame(FLTStackFrame &frame, bool exactAddress = false);

private:
    struct LoadedImage {
        bool found = false;
        FLTBinaryImageDetails details{};
        std::shared_ptr<const FLTELFSymbolTable> symbols;
    };
    const LoadedImage &loadedImageForUUID(const std::string &uuid);
    // Name and start (in this process) of the function holding the address.
    static bool lookUp(const LoadedImage &image, std::uint64_t address, std::string &name,
                       std::uint64_t &start);

    std::vector<nlohmann::json> m_binaryImages;
    std::map<std::string, LoadedImage> m_loadedImages;
};
