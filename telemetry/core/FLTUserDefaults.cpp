#include "FLTUserDefaults.h"

#include "PLNApplicationInfo.h"
#include "telemetry/platform/AppInfo.h"
#include "telemetry/platform/Host.h"
#include "telemetry/platform/SystemLog.h"
#include "telemetry/platform/TelemetryPaths.h"

#include <filesystem>

namespace fs = std::filesystem;

FLTUserDefaults &FLTUserDefaults::standardUserDefaults()
{
    static FLTUserDefaults *shared = new FLTUserDefaults(defaultDirectory());
    return *shared;
}

std::string FLTUserDefaults::defaultDirectory()
{
    std::string directory = tel::TelemetryPaths::applicationSupportFolder();
    if (const std::string id = PLNApplicationEscapedBundleIdentifier(); !id.empty())
        directory += "/" + id;
    return directory + "/com.faultline";
}

FLTUserDefaults::FLTUserDefaults(std::string directory)
    : m_directory(std::move(directory))
    , m_file(m_directory + "/FLTUserDefaults.plist")
    , m_accessQueue(std::make_unique<tel::DispatchQueue>("com.faultline.FLTUserDefaults.access"))
    , m_ioQueue(std::make_unique<tel::DispatchQueue>("com.faultline.FLTUserDefaults.io"))
{
    m_accessQueue->sync([this] { m_ioQueue->sync([this] { load(); }); });
}

void FLTUserDefaults::load()
{
    std::error_code ec;
    const fs::file_status status = fs::status(m_file, ec);
    if (fs::is_directory(status)) {
        tel::SystemLog::log("[Plinth:UserDefaults] found directory where file expected. Removing "
                            "conflicting directory");
        fs::remove_all(m_file, ec);
        if (ec)
            tel::SystemLog::log("[Plinth:UserDefaults] error removing conflicting directory: "
                                "{error = "
                                + ec.message() + "}");
        return;
    }
    if (!fs::exists(status))
        return;
    const auto contents = tel::PlistValue::readFile(m_file);
    if (!contents || !contents->isDictionary()) {
        tel::SystemLog::log("[Plinth:UserDefaults] failed to read existing UserDefaults file");
        // Keep the unreadable file for inspection instead of letting the next synchronize
        // overwrite it (which would silently make a new installation identifier).
        fs::rename(m_file, m_file + ".unreadable", ec);
        return;
    }
    m_dataDictionary = *contents->dictionary();
}

std::optional<tel::PlistValue> FLTUserDefaults::objectForKey(const std::string &key) const
{
    std::optional<tel::PlistValue> result;
    m_accessQueue->sync([&] {
        const auto it = m_dataDictionary.find(key);
        if (it != m_dataDictionary.end())
            result = it->second;
    });
    return result;
}

std::optional<std::string> FLTUserDefaults::stringForKey(const std::string &key) const
{
    const auto value = objectForKey(key);
    if (value && value->isString())
        return *value->string();
    return std::nullopt;
}

bool FLTUserDefaults::boolForKey(const std::string &key) const
{
    const auto value = objectForKey(key);
    return value && value->isNumber() && value->toBool();
}

void FLTUserDefaults::setObject(std::optional<tel::PlistValue> object, const std::string &key)
{
    m_accessQueue->sync([&] {
        if (object)
            m_dataDictionary[key] = std::move(*object);
        else
            m_dataDictionary.erase(key);
    });
}

void FLTUserDefaults::setString(const std::string &value, const std::string &key)
{
    setObject(tel::PlistValue(value), key);
}

void FLTUserDefaults::setBool(bool value, const std::string &key)
{
    setObject(tel::PlistValue(value), key);
}

void FLTUserDefaults::removeObjectForKey(const std::string &key)
{
    setObject(std::nullopt, key);
}

void FLTUserDefaults::removeAllObjects()
{
    m_accessQueue->sync([&] { m_dataDictionary.clear(); });
}

tel::PlistValue::Dictionary FLTUserDefaults::dictionaryRepresentation() const
{
    tel::PlistValue::Dictionary copy;
    m_accessQueue->sync([&] { copy = m_dataDictionary; });
    return copy;
}

bool FLTUserDefaults::synchronize()
{
    const tel::PlistValue snapshot(dictionaryRepresentation());
    bool ok = true;
    m_ioQueue->sync([&] {
        std::error_code ec;
        if (!fs::exists(m_directory, ec)) {
            fs::create_directories(m_directory, ec);
            if (ec)
                tel::SystemLog::log("[Plinth:UserDefaults] failed to create directory with error:"
                                    + ec.message());
        }
        if (!snapshot.writeFileAtomically(m_file)) {
            tel::SystemLog::log("[Plinth:UserDefaults] Unable to open file for writing at path "
                                + m_file);
            ok = false;
        }
    });
    return ok;
}

void FLTUserDefaults::migrateFromNSUserDefaults(const std::vector<std::string> &keys)
{
    bool copied = false;
    for (const std::string &key : keys) {
        if (auto value = tel::Host::userDefault(key)) {
            setObject(std::move(*value), key);
            copied = true;
        }
    }
    if (!copied)
        return;
    synchronize();
    for (const std::string &key : keys)
        tel::Host::removeUserDefault(key);
}

std::optional<tel::PlistValue>
FLTUserDefaults::objectForKeyByMigratingFromNSUserDefaults(const std::string &key)
{
    if (key.empty())
        return std::nullopt;
    if (auto value = objectForKey(key))
        return value;
    auto value = tel::Host::userDefault(key);
    if (!value)
        return std::nullopt;
    setObject(*value, key);
    synchronize();
    tel::Host::removeUserDefault(key);
    return value;
}
