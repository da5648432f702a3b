#pragma once

// An earlier launch's report as an application sees it (handed to an application delegate of
// the crash kit, when it has one): its identifier, versions, dates and custom keys read back from
// the report folder, and, while the report is not read-only, user identity fields and keys
// recorded into that folder. Not signal-safe.

#include "FLTInternalReport.h"
#include "FLTUserLogging.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class FLTReport
{
public:
    // With prefetch the report is read-only and every value is read at once.
    FLTReport(std::shared_ptr<FLTInternalReport> internalReport, bool prefetchData);
    explicit FLTReport(std::shared_ptr<FLTInternalReport> internalReport)
        : FLTReport(std::move(internalReport), false)
    {
    }

    const std::shared_ptr<FLTInternalReport> &internalReport() const { return m_internalReport; }
    std::string identifier();
    std::optional<std::string> bundleVersion();
    std::optional<std::string> bundleShortVersionString();
    std::optional<std::int64_t> dateCreated();
    std::optional<std::int64_t> crashedOnDate();
    std::optional<std::string> OSVersion();
    std::optional<std::string> OSBuildVersion();
    bool isCrash();
    // The report's user keys (compacted, then the later incremental entries), decoded.
    std::map<std::string, std::string> customKeys();

    bool readOnly() const { return m_readOnly; }
    bool canRecordNewValues() const;
    void setObjectValue(const std::optional<std::string> &value, const std::string &key);
    void setUserIdentifier(const std::optional<std::string> &identifier);
    void setUserName(const std::optional<std::string> &name);
    void setUserEmail(const std::optional<std::string> &email);
    // Write-only.
    std::optional<std::string> userIdentifier() const { return std::nullopt; }
    std::optional<std::string> userName() const { return std::nullopt; }
    std::optional<std::string> userEmail() const { return std::nullopt; }

private:
    void prefetch();
    void recordInternal(const std::string &key, const std::optional<std::string> &value);

    std::shared_ptr<FLTInternalReport> m_internalReport;
    bool m_readOnly = false;
    std::string m_internalIncrementalPath, m_internalCompactedPath;
    std::string m_userIncrementalPath, m_userCompactedPath;
    std::uint32_t m_internalKVCount = 0;
    std::uint32_t m_userKVCount = 0;

    std::mutex m_mutex;
    bool m_fetched = false;
    std::optional<std::string> m_bundleVersion, m_bundleShortVersionString, m_OSVersion,
        m_OSBuildVersion;
    std::optional<std::int64_t> m_dateCreated, m_crashedOnDate;
    bool m_isCrash = false;
    std::optional<std::map<std::string, std::string>> m_customKeys;
};
