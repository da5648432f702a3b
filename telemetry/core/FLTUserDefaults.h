#pragma once

#include "telemetry/platform/DispatchQueue.h"
#include "telemetry/platform/PlistValue.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The client's own key-value store, kept apart from the application's user defaults in the
// property-list file <Application Support>/<escaped bundle id>/com.faultline/FLTUserDefaults.plist.
// Reads and writes work in memory; synchronize() writes the whole store (atomically).
// Thread-safe: an access queue guards the dictionary, an I/O queue serialises the file.
class FLTUserDefaults
{
public:
    static FLTUserDefaults &standardUserDefaults();

    // A store kept in `directory` (the shared one works out its folder itself).
    explicit FLTUserDefaults(std::string directory);
    FLTUserDefaults(const FLTUserDefaults &) = delete;
    FLTUserDefaults &operator=(const FLTUserDefaults &) = delete;

    // <Application Support>/<escaped bundle id>/com.faultline, without the bundle part when
    // the application has no identifier.
    static std::string defaultDirectory();
    const std::string &directoryPath() const { return m_directory; }
    const std::string &filePath() const { return m_file; }

    std::optional<tel::PlistValue> objectForKey(const std::string &key) const;
    std::optional<std::string> stringForKey(const std::string &key) const;
    bool boolForKey(const std::string &key) const;
    // Nothing removes the key.
    void setObject(std::optional<tel::PlistValue> object, const std::string &key);
    void setString(const std::string &value, const std::string &key);
    void setBool(bool value, const std::string &key);
    void removeObjectForKey(const std::string &key);
    void removeAllObjects();
    tel::PlistValue::Dictionary dictionaryRepresentation() const;

    // Writes the store to its file; false (after a logged line) when that failed.
    bool synchronize();

    // Moves values of the host application's user defaults (read through the host's reader)
    // into this store.
    void migrateFromNSUserDefaults(const std::vector<std::string> &keys);
    std::optional<tel::PlistValue>
    objectForKeyByMigratingFromNSUserDefaults(const std::string &key);

private:
    void load();

    std::string m_directory;
    std::string m_file;
    tel::PlistValue::Dictionary m_dataDictionary;
    std::unique_ptr<tel::DispatchQueue> m_accessQueue;
    std::unique_ptr<tel::DispatchQueue> m_ioQueue;
};
