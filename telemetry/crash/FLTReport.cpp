#include "FLTReport.h"

#include "FLTContext.h"
#include "FLTFile.h"

using nlohmann::json;

FLTReport::FLTReport(std::shared_ptr<FLTInternalReport> internalReport, bool prefetchData)
    : m_internalReport(std::move(internalReport))
    , m_readOnly(prefetchData)
{
    if (m_internalReport) {
        m_internalIncrementalPath =
            m_internalReport->pathForContentFile("internal_incremental_kv.fltrecord");
        m_internalCompactedPath =
            m_internalReport->pathForContentFile("internal_compacted_kv.fltrecord");
        m_userIncrementalPath =
            m_internalReport->pathForContentFile("user_incremental_kv.fltrecord");
        m_userCompactedPath = m_internalReport->pathForContentFile("user_compacted_kv.fltrecord");
    }
    if (prefetchData) {
        prefetch();
        customKeys();
    }
}

void FLTReport::prefetch()
{
    std::lock_guard lock(m_mutex);
    if (m_fetched || !m_internalReport)
        return;
    m_fetched = true;
    m_bundleVersion = m_internalReport->bundleVersion();
    m_bundleShortVersionString = m_internalReport->bundleShortVersionString();
    m_OSVersion = m_internalReport->OSVersion();
    m_OSBuildVersion = m_internalReport->OSBuildVersion();
    m_dateCreated = m_internalReport->dateCreated();
    m_isCrash = m_internalReport->isCrash();
    m_crashedOnDate = m_isCrash ? m_internalReport->crashedOnDate() : std::nullopt;
}

std::string FLTReport::identifier()
{
    return m_internalReport ? m_internalReport->identifier() : std::string();
}

std::optional<std::string> FLTReport::bundleVersion()
{
    prefetch();
    return m_bundleVersion;
}

std::optional<std::string> FLTReport::bundleShortVersionString()
{
    prefetch();
    return m_bundleShortVersionString;
}

std::optional<std::int64_t> FLTReport::dateCreated()
{
    prefetch();
    return m_dateCreated;
}

std::optional<std::int64_t> FLTReport::crashedOnDate()
{
    prefetch();
    return m_crashedOnDate;
}

std::optional<std::string> FLTReport::OSVersion()
{
    prefetch();
    return m_OSVersion;
}

std::optional<std::string> FLTReport::OSBuildVersion()
{
    prefetch();
    return m_OSBuildVersion;
}

bool FLTReport::isCrash()
{
    prefetch();
    return m_isCrash;
}

std::map<std::string, std::string> FLTReport::customKeys()
{
    std::lock_guard lock(m_mutex);
    if (m_customKeys)
        return *m_customKeys;
    std::map<std::string, std::string> keys;
    // Read only: a report's files are never rewritten or removed from here.
    for (const std::string &path : {m_userCompactedPath, m_userIncrementalPath}) {
        const auto lines = FLTInternalReport::readFLTFileAtPath(path);
        if (!lines)
            continue;
        for (const json &line : *lines) {
            const auto kv = line.is_object() ? line.find("kv") : line.end();
            if (kv == line.end() || !kv->is_object())
                continue;
            const auto key = kv->find("key");
            const auto value = kv->find("value");
            if (key == kv->end() || !key->is_string() || value == kv->end())
                continue;
            const std::string name = FLTFileHexDecodeString(key->get<std::string>());
            if (value->is_string())
                keys[name] = FLTFileHexDecodeString(value->get<std::string>());
            else
                keys.erase(name); // a key set to nothing
        }
    }
    m_customKeys = keys;
    return keys;
}

bool FLTReport::canRecordNewValues() const
{
    return !m_readOnly && m_internalReport && FLTContextIsInitialized();
}

void FLTReport::setObjectValue(const std::optional<std::string> &value, const std::string &key)
{
    if (!canRecordNewValues())
        return;
    FLTContext *context = FLTContextGet();
    FLTUserLoggingKVStore store;
    store.incrementalPath = m_userIncrementalPath.c_str();
    store.compactedPath = m_userCompactedPath.c_str();
    store.maxKeys = context ? context->userKVStore.maxKeys : 0;
    store.incrementalCount = &m_userKVCount;
    FLTUserLoggingRecordKeyValue(key, value, &store, &m_userKVCount);
    std::lock_guard lock(m_mutex);
    m_customKeys.reset();
}

void FLTReport::recordInternal(const std::string &key, const std::optional<std::string> &value)
{
    if (!canRecordNewValues())
        return;
    FLTContext *context = FLTContextGet();
    FLTUserLoggingKVStore store;
    store.incrementalPath = m_internalIncrementalPath.c_str();
    store.compactedPath = m_internalCompactedPath.c_str();
    store.maxKeys = context ? context->internalKVStore.maxKeys : 0;
    store.incrementalCount = &m_internalKVCount;
    FLTUserLoggingRecordKeyValue(key, value, &store, &m_internalKVCount);
}

void FLTReport::setUserIdentifier(const std::optional<std::string> &identifier)
{
    recordInternal("com.faultline.user-id", identifier);
}

void FLTReport::setUserName(const std::optional<std::string> &name)
{
    recordInternal("com.faultline.user-name", name);
}

void FLTReport::setUserEmail(const std::optional<std::string> &email)
{
    recordInternal("com.faultline.user-email", email);
}
