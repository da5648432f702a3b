#include "FLTReportsController.h"

#include "FLTHRTAnalytics.h"
#include "FLTKitRequest.h"
#include "FLTPackageReportOperation.h"
#include "FLTProcessReportOperation.h"
#include "FLTSymbolResolver.h"
#include "Faultline.h"
#include "telemetry/core/PLNMultipartMimeStreamEncoder.h"
#include "telemetry/core/PLNNetworkOperation.h"
#include "telemetry/core/PLNNetworkResponseHandler.h"
#include "telemetry/core/PLNURLBuilder.h"
#include "telemetry/platform/SystemLog.h"

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char *kMimeVersionLine = "MIME-Version: 1.0\r\n";

void logLine(const std::string &line)
{
    tel::SystemLog::log("[Faultline:Crash:Reports] " + line);
}

void debugLine(const std::string &line)
{
    tel::SystemLog::debug("[Faultline:Crash:Reports] " + line);
}

bool readAt(int descriptor, off_t offset, std::string &out, std::size_t length)
{
    out.assign(length, '\0');
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n =
            pread(descriptor, out.data() + done, length - done, offset + static_cast<off_t>(done));
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

unsigned readCount(const std::string &path)
{
    const auto text = FLTPackageReportOperation::readRegularFile(path, 32);
    if (!text)
        return 0;
    unsigned value = 0;
    for (char c : *text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 1000000)
            break;
    }
    return value;
}

void writeCount(const std::string &path, unsigned value)
{
    const std::string temporary = path + ".new";
    unlink(temporary.c_str());
    const int descriptor =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor < 0)
        return;
    const std::string text = std::to_string(value);
    const bool written =
        write(descriptor, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(descriptor);
    if (!written || rename(temporary.c_str(), path.c_str()) != 0)
        unlink(temporary.c_str());
}

} // namespace

FLTReportsController::FLTReportsController(std::shared_ptr<tel::OperationQueue> queue,
                                           std::weak_ptr<FLTReportsControllerDelegate> delegate,
                                           std::shared_ptr<FLTNetworkClient> client,
                                           std::shared_ptr<const FLTFileManager> fileManager)
    : m_operationQueue(std::move(queue))
    , m_delegate(std::move(delegate))
    , m_networkClient(std::move(client))
    , m_fileManager(std::move(fileManager))
{
}

FLTSettings FLTReportsController::settings() const
{
    auto delegate = m_delegate.lock();
    return delegate
               ? delegate->settingsForReportsController(const_cast<FLTReportsController *>(this))
               : FLTSettings(std::nullopt);
}

std::optional<std::string> FLTReportsController::APIKey() const
{
    auto delegate = m_delegate.lock();
    return delegate ? delegate->APIKeyForReportsController(const_cast<FLTReportsController *>(this))
                    : std::nullopt;
}

std::string FLTReportsController::appBundleIdentifier() const
{
    auto delegate = m_delegate.lock();
    return delegate ? delegate->bundleIdentifierForReportsController(
               const_cast<FLTReportsController *>(this))
                    : std::string();
}

bool FLTReportsController::prepareAndSubmitReport(const std::shared_ptr<FLTInternalReport> &report,
                                                  bool urgent, bool withProcessing)
{
    if (!report)
        return false;
    if (!FLTFileManager::isRealDirectory(report->path())) {
        // A link or a file where a report folder belongs: only the entry itself goes.
        logLine("Removed a report entry that is not a folder: " + report->path());
        m_fileManager->removeItemAtPath(report->path());
        return false;
    }
    if (withProcessing) {
        if (!m_fileManager->moveItemAtPath(report->path(), m_fileManager->processingPath())) {
            logLine("Unable to move report for processing");
            return false;
        }
        report->setPath(
            (fs::path(m_fileManager->processingPath()) / report->directoryName()).string());
        FLTProcessReportOperation processing(report, std::make_shared<FLTSymbolResolver>());
        processing.start();
    }
    if (!packagingEnabled()) {
        logLine("Report packaging disabled");
        return false;
    }
    FLTPackageReportOperation packaging(report, m_fileManager);
    packaging.start();
    if (!packaging.finalPath()) {
        logLine("Unable to package report");
        return false;
    }
    // Read before the folder goes: whether it was a crash, and when (the launch's start when the
    // crash record has no time).
    const bool isCrash = report->isCrash();
    const std::optional<std::int64_t> crashTime =
        isCrash ? (report->crashedOnDate() ? report->crashedOnDate() : report->dateCreated())
                : std::nullopt;
    if (!m_fileManager->removeItemAtPath(report->path()))
        logLine("Unable to remove a processing item");
    logLine("Packaged report with id '" + report->identifier() + "' for submission");
    const bool started = uploadPackagedReportAtPath(*packaging.finalPath(), urgent);
    if (started && crashTime)
        FLTHRTAnalytics::logCrashWithTimeStamp(static_cast<double>(*crashTime));
    return started;
}

bool FLTReportsController::uploadPackagedReportAtPath(const std::string &path, bool urgent)
{
    if (!submissionEnabled()) {
        logLine("Submission disabled");
        return false;
    }
    debugLine(std::string("Submitting report") + (urgent ? " as urgent" : ""));
    return submitPackageMultipartMimeAtPath(path, urgent);
}

bool FLTReportsController::submitPackageMultipartMimeAtPath(const std::string &path,
                                                            bool synchronously)
{
    debugLine(std::string("Submitting ") + (synchronously ? "sync" : "async") + " " + path);
    struct stat status {
    };
    if (lstat(path.c_str(), &status) != 0) {
        debugLine("Already-submitted report being ignored");
        return false;
    }
    if (!S_ISREG(status.st_mode) || status.st_size == 0) {
        logLine("Removed a package that is empty or not a file: " + path);
        m_fileManager->removeItemAtPath(path);
        return false;
    }
    if (!isWellFormedPackage(path)) {
        quarantine(path, "it is not a complete package");
        return false;
    }
    FLTURLRequest request = mutableRequestWithURL(
        reportURL(), synchronously && !m_networkClient->supportsBackgroundRequests() ? 2.0 : 10.0);
    if (!fillInRequest(request, path)) {
        logLine("Could not determine size of multipart mime file");
        return false;
    }
    m_networkClient->startUploadRequest(request, path, synchronously);
    return true;
}

void FLTReportsController::reportUploadAtPath(const std::string &path,
                                              const std::optional<tel::TelemetryError> &error)
{
    debugLine("completed submission of " + path);
    const std::string attempts = attemptsPathForPackage(path);
    if (!error) {
        if (!m_fileManager->removeItemAtPath(path))
            logLine("Unable to remove packaged submission");
        unlink(attempts.c_str());
    } else if (FLTInternalReport::isRegularFile(path)) {
        const unsigned failures = readCount(attempts) + 1;
        if (isPermanentFailure(*error))
            quarantine(path, "the server refused it: " + PLNErrorDescription(*error));
        else if (failures >= kMaxFailedUploads)
            quarantine(path, "it failed " + std::to_string(failures) + " times");
        else
            writeCount(attempts, failures);
    }
    if (auto delegate = m_delegate.lock())
        delegate->reportsControllerDidCompletePackageSubmission(this, path, error);
}

std::string FLTReportsController::reportURL() const
{
    PLNURLBuilder builder(FLTSettings::reportsEndpoint());
    builder.appendComponent("/sdk-api/v1/platforms/");
    builder.appendComponent("mac");
    builder.appendComponent("/apps/");
    builder.escapeAndAppendComponent(appBundleIdentifier());
    builder.appendComponent("/reports");
    return builder.URL();
}

FLTURLRequest FLTReportsController::mutableRequestWithURL(const std::string &url,
                                                          double timeout) const
{
    FLTURLRequest request = FLTKitRequest::requestWithURL(url, timeout, APIKey());
    request.HTTPMethod = "POST";
    return request;
}

bool FLTReportsController::fillInRequest(FLTURLRequest &request, const std::string &path) const
{
    const auto size = m_fileManager->fileSizeAtPath(path);
    if (!size)
        return false;
    const std::string boundary = fs::path(path).stem().string();
    request.setValue(
        PLNMultipartMimeStreamEncoder::contentTypeHTTPHeaderValueWithBoundary(boundary),
        "Content-Type");
    request.setValue(std::to_string(*size), "Content-Length");
    request.HTTPBodyFile = path;
    return true;
}

bool FLTReportsController::isWellFormedPackage(const std::string &path)
{
    const std::string name = fs::path(path).filename().string();
    if (!FLTPackageReportOperation::isPackageName(name))
        return false;
    const std::string boundary = fs::path(path).stem().string();
    const int descriptor = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0)
        return false;
    struct stat status {
    };
    const std::string head = std::string(kMimeVersionLine) + "--" + boundary;
    const std::string tail = "--" + boundary + "--\r\n";
    std::string readHead, readTail;
    const bool ok = fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)
                    && static_cast<std::size_t>(status.st_size) >= head.size() + tail.size() - 2
                    && readAt(descriptor, 0, readHead, head.size()) && readHead == head
                    && readAt(descriptor, status.st_size - static_cast<off_t>(tail.size()),
                              readTail, tail.size())
                    && readTail == tail;
    close(descriptor);
    return ok;
}

bool FLTReportsController::isPermanentFailure(const tel::TelemetryError &error)
{
    if (error.domain != kPLNNetworkErrorDomain)
        return false;
    if (error.code == PLNNetworkErrorClientError)
        return true;
    const auto status = PLNErrorInteger(error, "status_code");
    return status && *status >= 400 && *status < 500 && *status != 408 && *status != 420
           && *status != 429;
}

std::string FLTReportsController::attemptsPathForPackage(const std::string &path)
{
    const fs::path package(path);
    std::string name(1, '.');
    name.append(package.filename().string()).append(".attempts");
    return (package.parent_path() / name).string();
}

void FLTReportsController::quarantine(const std::string &path, const std::string &why)
{
    logLine("Quarantined package " + fs::path(path).filename().string() + ": " + why);
    unlink(attemptsPathForPackage(path).c_str());
    if (!m_fileManager->quarantineItemAtPath(path))
        m_fileManager->removeItemAtPath(path);
}
