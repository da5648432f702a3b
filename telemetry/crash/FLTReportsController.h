#pragma once

// Prepares earlier launches' reports for sending and sends them: a report folder is moved into
// processing and symbolicated, packed into one package in prepared and removed; the package is
// posted to the reports endpoint and removed once the server has it.
//
// A package is never sent twice and never retried for ever: a package the server refuses for
// good (a 4xx answer), or that has failed kMaxFailedUploads times across launches, and a package
// that is not one of ours (a wrong name, a link, no multipart framing) is moved to the store's
// quarantine with a log line.
// Thread-safe; meant to run on the crash kit's work queue.

#include "FLTKitRequest.h"
#include "FLTFileManager.h"
#include "FLTInternalReport.h"
#include "FLTNetworkClient.h"
#include "FLTSettings.h"

#include <memory>
#include <optional>
#include <string>

class FLTReportsController;

class FLTReportsControllerDelegate
{
public:
    virtual ~FLTReportsControllerDelegate() = default;
    virtual void reportsControllerDidCompletePackageSubmission(
        FLTReportsController *, const std::string &path,
        const std::optional<tel::TelemetryError> &error) = 0;
    virtual void reportsControllerDidCompleteAllSubmissions(FLTReportsController *) {}
    virtual FLTSettings settingsForReportsController(FLTReportsController *) = 0;
    virtual std::optional<std::string> APIKeyForReportsController(FLTReportsController *) = 0;
    virtual std::string bundleIdentifierForReportsController(FLTReportsController *) = 0;
};

class FLTReportsController
{
public:
    static constexpr const char *kUserAgent = FLTKitRequest::kUserAgent;
    // Failed uploads of one package, counted across launches, before it is given up.
    static constexpr unsigned kMaxFailedUploads = 6;

    FLTReportsController(std::shared_ptr<tel::OperationQueue> queue,
                         std::weak_ptr<FLTReportsControllerDelegate> delegate,
                         std::shared_ptr<FLTNetworkClient> client,
                         std::shared_ptr<const FLTFileManager> fileManager);

    // Symbolicates (with processing), packages and starts the upload of a report; answers
    // whether the upload was started. A crash whose upload started is also told to Hearth
    // Analytics (FLTHRTAnalytics), which does nothing outside Hearth mode.
    bool prepareAndSubmitReport(const std::shared_ptr<FLTInternalReport> &report, bool urgent,
                                bool withProcessing);
    bool uploadPackagedReportAtPath(const std::string &path, bool urgent);
    bool submitPackageMultipartMimeAtPath(const std::string &path, bool synchronously);
    // An upload ended (the network client's delegate hands it on).
    void reportUploadAtPath(const std::string &path,
                            const std::optional<tel::TelemetryError> &error);

    FLTSettings settings() const;
    std::optional<std::string> APIKey() const;
    std::string appBundleIdentifier() const;
    bool packagingEnabled() const { return FLTSettings::shouldPackageReports(); }
    bool submissionEnabled() const { return FLTSettings::shouldSubmitReports(); }

    std::string reportURL() const;
    FLTURLRequest mutableRequestWithURL(const std::string &url, double timeout) const;
    // Content type from the boundary in the package's name, length from its size; false when
    // the size cannot be read.
    bool fillInRequest(FLTURLRequest &request, const std::string &path) const;

    // Whether the file is a complete package of ours: its name is "<boundary>.multipartmime"
    // and it starts and ends with that boundary's framing.
    static bool isWellFormedPackage(const std::string &path);
    // Whether an upload error means the server will never take the package.
    static bool isPermanentFailure(const tel::TelemetryError &error);

private:
    // The hidden count of failed uploads kept beside a package.
    static std::string attemptsPathForPackage(const std::string &path);
    void quarantine(const std::string &path, const std::string &why);

    std::shared_ptr<tel::OperationQueue> m_operationQueue;
    std::weak_ptr<FLTReportsControllerDelegate> m_delegate;
    std::shared_ptr<FLTNetworkClient> m_networkClient;
    std::shared_ptr<const FLTFileManager> m_fileManager;
};
