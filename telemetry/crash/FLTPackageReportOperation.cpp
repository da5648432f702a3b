#include "FLTPackageReportOperation.h"

#include "FLTSDKLog.h"
#include "telemetry/core/PLNFileOutputStream.h"
#include "telemetry/core/PLNMultipartMimeStreamEncoder.h"
#include "telemetry/platform/SystemLog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

constexpr const char *kExtension = ".multipartmime";

std::string partialName(const std::string &packageName)
{
    return "." + packageName + ".partial";
}

} // namespace

bool FLTPackageReportOperation::isPackageName(const std::string &name)
{
    const std::size_t extension = name.size() - std::strlen(kExtension);
    if (name.size() <= std::strlen(kExtension)
        || name.compare(extension, std::string::npos, kExtension) != 0)
        return false;
    for (std::size_t i = 0; i < extension; ++i) {
        const char c = name[i];
        if (!(std::isxdigit(static_cast<unsigned char>(c)) || c == '-'))
            return false;
    }
    return true;
}

std::optional<std::string> FLTPackageReportOperation::readRegularFile(const std::string &path,
                                                                      std::uint64_t maxSize)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (descriptor < 0)
        return std::nullopt;
    struct stat status {
    };
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)
        || static_cast<std::uint64_t>(status.st_size) > maxSize) {
        close(descriptor);
        return std::nullopt;
    }
    std::string data;
    data.resize(static_cast<std::size_t>(status.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = read(descriptor, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    close(descriptor);
    data.resize(done);
    return data;
}

bool FLTPackageReportOperation::compressFile(const std::string &path, const std::string &data)
{
    if (path.empty()) {
        FLT_ERROR("Error: path is invalid");
        return false;
    }
    const std::string target = path + ".gz";
    unlink(target.c_str()); // a left-over, or a link: never written through
    const int descriptor =
        open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    gzFile file = descriptor >= 0 ? gzdopen(descriptor, "w") : nullptr;
    if (!file) {
        FLT_ERROR("Error: unable to open file for compression %s", strerror(errno));
        if (descriptor >= 0) {
            close(descriptor);
            unlink(target.c_str());
        }
        return false;
    }
    bool written = true;
    std::size_t offset = 0;
    while (offset < data.size()) {
        const unsigned chunk =
            static_cast<unsigned>(std::min<std::size_t>(data.size() - offset, 1u << 20));
        const int n = gzwrite(file, data.data() + offset, chunk);
        if (n <= 0) {
            int number = 0;
            const char *message = gzerror(file, &number);
            FLT_ERROR("Error: failed to write compressed bytes %d, %s, %s ", number,
                      message ? message : "", strerror(errno));
            written = false;
            break;
        }
        offset += static_cast<std::size_t>(n);
    }
    // Closing flushes the rest: its failure is a failed compression too.
    if (gzclose(file) != Z_OK)
        written = false;
    if (!written)
        unlink(target.c_str());
    return written;
}

bool FLTPackageReportOperation::finishEarlierPackaging()
{
    // An earlier launch packed this folder and stopped before removing it.
    const auto note = readRegularFile(m_report->pathForContentFile(kPackagedNoteName), 256);
    if (!note || !isPackageName(*note))
        return false;
    const std::string finished = (fs::path(m_fileManager->preparedPath()) / *note).string();
    const std::string partial =
        (fs::path(m_fileManager->preparedPath()) / partialName(*note)).string();
    if (FLTInternalReport::isRegularFile(finished)) {
        m_finalPath = finished;
        return true;
    }
    if (FLTInternalReport::isRegularFile(partial)
        && rename(partial.c_str(), finished.c_str()) == 0) {
        m_finalPath = finished;
        return true;
    }
    return false;
}

void FLTPackageReportOperation::main()
{
    m_finalPath.reset();
    if (!m_report || !m_fileManager)
        return;
    if (finishEarlierPackaging())
        return;
    const std::string boundary = PLNMultipartMimeStreamEncoder::generateBoundary();
    const std::string packageName = boundary + kExtension;
    const std::string prepared = m_fileManager->preparedPath();
    const std::string partial = (fs::path(prepared) / partialName(packageName)).string();
    const std::string finished = (fs::path(prepared) / packageName).string();

    bool complete = false;
    {
        PLNFileOutputStream stream(partial);
        if (!stream.open())
            return;
        PLNMultipartMimeStreamEncoder encoder(stream, boundary);
        encoder.encode([&] {
            if (auto key = m_report->APIKey())
                encoder.addValue(tel::PlistValue(*key), "api_key");
            if (!m_report->identifier().empty())
                encoder.addValue(tel::PlistValue(m_report->identifier()), "report_id");
            m_fileManager->enumerateFilesInDirectory(
                m_report->path(), [&](const std::string &path, const std::string &extension) {
                    if (isCancelled() || extension == "gz")
                        return;
                    const std::string name = fs::path(path).filename().string();
                    const auto data = readRegularFile(path, kMaxFileSize);
                    if (!data || data->empty()) {
                        FLT_ERROR("Error: unable to read data for compression: %s", name.c_str());
                        return;
                    }
                    if (compressFile(path, *data)) {
                        if (const auto compressed = readRegularFile(path + ".gz", kMaxFileSize)) {
                            encoder.addFileData(*compressed, name + ".gz", "application/x-gzip",
                                                name);
                            return;
                        }
                    }
                    FLT_ERROR("Error: compression failed for %s", name.c_str());
                    // Sent as it is: under its own name, so nobody takes it for gzip data.
                    encoder.addFileData(*data, name, "text/plain", name);
                });
        });
        stream.close();
        complete = !encoder.failed() && !isCancelled();
    }
    if (!complete) {
        unlink(partial.c_str());
        if (!isCancelled())
            tel::SystemLog::log("[Faultline:Crash:Reports] Unable to write package " + packageName);
        return;
    }
    // The note first, then the package appears: whatever stops the launch, the next one finds
    // either no package (and packs again) or the note that names it.
    const std::string notePath = m_report->pathForContentFile(kPackagedNoteName);
    unlink(notePath.c_str());
    const int note =
        open(notePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    bool noted = note >= 0
                 && write(note, packageName.data(), packageName.size())
                        == static_cast<ssize_t>(packageName.size());
    if (note >= 0)
        noted = (close(note) == 0) && noted;
    if (!noted || rename(partial.c_str(), finished.c_str()) != 0) {
        unlink(partial.c_str());
        unlink(notePath.c_str());
        return;
    }
    m_finalPath = finished;
}
