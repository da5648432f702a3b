#include "TLYCleanupFilesOperation.h"

#include "TLYFileUtils.h"
#include "TLYLogger.h"
#include "TLYMetadata.h"

#include "telemetry/platform/SystemLog.h"

#include <nlohmann/json.hpp>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

std::optional<std::string> readWholeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

// "<ms>\t<name>\t<length>\t<JSON object of that many bytes>".
bool isWellFormedLine(const std::string &line, bool metadata)
{
    const std::size_t tab1 = line.find('\t');
    if (tab1 == std::string::npos || tab1 == 0)
        return false;
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string::npos)
        return false;
    const std::size_t tab3 = line.find('\t', tab2 + 1);
    if (tab3 == std::string::npos)
        return false;
    const std::string name = line.substr(tab1 + 1, tab2 - tab1 - 1);
    if (name.empty() || (metadata != (name == "metadata")))
        return false;
    for (std::size_t i = 0; i < tab1; ++i)
        if (line[i] < '0' || line[i] > '9')
            return false;
    const std::string length = line.substr(tab2 + 1, tab3 - tab2 - 1);
    if (length.empty() || length.size() > 12
        || length.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const std::string payload = line.substr(tab3 + 1);
    if (payload.size() != std::stoull(length))
        return false;
    const auto parsed = nlohmann::json::parse(payload, nullptr, false);
    return !parsed.is_discarded() && parsed.is_object();
}

} // namespace

TLYCleanupFilesOperation::TLYCleanupFilesOperation(std::string directoryUrl,
                                                   std::int64_t maximumPendingMulitpartFiles)
    : m_directoryUrl(std::move(directoryUrl))
    , m_maximumPendingMultipartFiles(maximumPendingMulitpartFiles)
{
}

bool TLYCleanupFilesOperation::repairLog(const std::string &path)
{
    const auto text = readWholeFile(path);
    if (!text) {
        tel::SystemLog::log("[Tally] Unable to read the event log " + path + "; it is skipped.");
        return false;
    }
    std::string kept;
    std::size_t lines = 0;
    std::size_t dropped = 0;
    std::size_t start = 0;
    while (start < text->size()) {
        const std::size_t end = text->find('\n', start);
        if (end == std::string::npos) {
            ++dropped; // a line cut short when the writer stopped
            break;
        }
        const std::string line = text->substr(start, end - start);
        start = end + 1;
        if (isWellFormedLine(line, kept.empty())) {
            kept += line + "\n";
            ++lines;
        } else {
            ++dropped;
        }
    }
    if (dropped == 0 && lines > 0)
        return true;
    if (lines <= 1) {
        tel::SystemLog::log("[Tally] The event log " + path
                            + " holds no metadata record or no event; it is deleted.");
        ::unlink(path.c_str());
        return false;
    }
    tel::SystemLog::log("[Tally] The event log " + path + " held " + std::to_string(dropped)
                        + " damaged line(s); they are dropped.");
    const std::string temporary = path + ".repair";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << kept;
        if (!out.flush()) {
            ::unlink(temporary.c_str());
            return true;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        ::unlink(temporary.c_str());
    return true;
}

bool TLYCleanupFilesOperation::isCompleteGzipFile(const std::string &path)
{
    gzFile file = gzopen(path.c_str(), "rb");
    if (!file)
        return false;
    // A plain file reads through gzread unchanged; a gzip stream must announce itself.
    const bool direct = gzdirect(file) == 1;
    char buffer[8192];
    int read = 0;
    while ((read = gzread(file, buffer, sizeof buffer)) > 0) {
    }
    int error = Z_OK;
    gzerror(file, &error);
    const bool closed = gzclose(file) == Z_OK;
    return !direct && read == 0 && error == Z_OK && closed;
}

bool TLYCleanupFilesOperation::isCompletePackage(const std::string &path)
{
    const auto text = readWholeFile(path);
    if (!text)
        return false;
    const std::string boundary = TLYFileUtils::baseName(path);
    const std::string closing = "--" + boundary + "--\r\n";
    return !boundary.empty() && text->size() > closing.size()
           && text->compare(text->size() - closing.size(), closing.size(), closing) == 0
           && text->find("--" + boundary + "\r\n") != std::string::npos;
}

std::set<std::string>
TLYCleanupFilesOperation::pruneMultipartFiles(const std::set<std::string> &packages,
                                              std::int64_t maximum)
{
    if (maximum >= 0 && packages.size() <= static_cast<std::uint64_t>(maximum))
        return packages;
    const auto distantPast = std::chrono::system_clock::time_point::min();
    struct Dated {
        std::chrono::system_clock::time_point created;
        std::chrono::system_clock::time_point modified;
        std::string path;
    };
    std::vector<Dated> dated;
    for (const std::string &package : packages)
        dated.push_back({TLYFileUtils::fileCreatedDateAtURL(package, distantPast),
                         TLYFileUtils::fileModifiedDateAtURL(package, distantPast), package});
    // Newest first. Creation times are coarse on some file systems, so equal ones are told
    // apart by the modification time, then by name, and the outcome never depends on the
    // listing order.
    std::sort(dated.begin(), dated.end(), [](const Dated &a, const Dated &b) {
        if (a.created != b.created)
            return a.created > b.created;
        if (a.modified != b.modified)
            return a.modified > b.modified;
        return a.path < b.path;
    });
    std::set<std::string> kept;
    const std::size_t keep = maximum > 0 ? static_cast<std::size_t>(maximum) : 0;
    for (std::size_t i = 0; i < dated.size(); ++i) {
        if (i < keep)
            kept.insert(dated[i].path);
        else
            ::unlink(dated[i].path.c_str());
    }
    return kept;
}

void TLYCleanupFilesOperation::main()
{
    std::map<std::string, std::string> logs, compressed, packages;
    for (const std::string &file : TLYFileUtils::allFilesInDirectory(m_directoryUrl)) {
        const std::string extension = TLYFileUtils::pathExtension(file);
        const std::string base = TLYFileUtils::baseName(file);
        if (extension == "log")
            logs[base] = file;
        else if (extension == "gz")
            compressed[base] = file;
        else if (extension == "multipartmime")
            packages[base] = file;
        else
            ::unlink(file.c_str());
    }
    for (const auto &[base, log] : logs) {
        const auto it = compressed.find(base);
        if (it == compressed.end())
            continue;
        if (::unlink(it->second.c_str()) != 0)
            TLYLogger::sharedLogger().logWithLabel(
                "CleanupOperation", "Failed to remove " + it->second + ": " + std::strerror(errno));
        compressed.erase(it);
    }
    std::set<std::string> logFiles, compressedFiles, packageFiles;
    for (const auto &[base, log] : logs)
        if (repairLog(log))
            logFiles.insert(log);
    for (const auto &[base, file] : compressed) {
        if (isCompleteGzipFile(file)) {
            compressedFiles.insert(file);
            continue;
        }
        tel::SystemLog::log("[Tally] The compressed log " + file
                            + " is damaged or incomplete; it is deleted.");
        ::unlink(file.c_str());
    }
    for (const auto &[base, file] : packages) {
        if (isCompletePackage(file)) {
            packageFiles.insert(file);
            continue;
        }
        tel::SystemLog::log("[Tally] The event package " + file
                            + " is damaged or incomplete; it is deleted.");
        ::unlink(file.c_str());
    }
    packageFiles = pruneMultipartFiles(packageFiles, m_maximumPendingMultipartFiles);
    if (m_successBlock)
        m_successBlock(logFiles, compressedFiles, packageFiles);
}
