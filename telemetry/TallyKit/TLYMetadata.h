#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

// What can open a log file as its metadata record.
class TLYMetadataSerializable
{
public:
    virtual ~TLYMetadataSerializable() = default;
    virtual std::string eventName() const { return "metadata"; }
    // The record's payload; nothing when there is none to write.
    virtual std::optional<nlohmann::ordered_json>
    dictionaryRepresentationWithStartTime(std::uint64_t startTime) const = 0;
};

// This launch's description, which opens every log file it writes: client, identifiers, host
// and application. Filled once at construction; immutable and thread-safe afterwards.
class TLYMetadata : public TLYMetadataSerializable
{
public:
    static constexpr const char *kGenerator = "Tally Mac SDK/1.3.7";

    struct Fields {
        std::optional<std::string> APIKey;
        std::optional<std::string> sessionId;
        std::optional<std::string> installationId;
        std::optional<std::string> instanceId;
        std::optional<std::string> model;
        std::optional<std::string> locale;
        std::optional<std::string> osBuild;
        std::optional<std::string> osVersion;
        std::uint32_t cores = 0;
        std::optional<std::string> bundleId;
        std::optional<std::string> bundleVersion;
        std::optional<std::string> bundleShortVersion;
    };

    // From the running telemetry client and host, with the crash kit's beta token.
    explicit TLYMetadata(const std::optional<std::string> &betaToken);
    TLYMetadata(Fields fields, const std::optional<std::string> &betaToken);

    // "2:<token>" gives the token; anything else nothing.
    static std::optional<std::string> unwrapBetaToken(const std::optional<std::string> &token);
    // None on this platform.
    static std::optional<std::string> identifierForAdvertising() { return std::nullopt; }

    const std::optional<std::string> &betaToken() const { return m_betaToken; }
    const std::optional<std::string> &installationId() const { return m_fields.installationId; }
    const std::optional<std::string> &APIKey() const { return m_fields.APIKey; }
    const Fields &fields() const { return m_fields; }

    std::optional<nlohmann::ordered_json>
    dictionaryRepresentationWithStartTime(std::uint64_t startTime) const override;

private:
    Fields m_fields;
    std::optional<std::string> m_betaToken;
};

// The metadata an earlier launch stored, handed back unchanged whatever the start time.
class TLYCrashMetadata : public TLYMetadataSerializable
{
public:
    explicit TLYCrashMetadata(std::optional<nlohmann::ordered_json> rawMetadataDictionary)
        : m_rawMetadataDictionary(std::move(rawMetadataDictionary))
    {
    }
    const std::optional<nlohmann::ordered_json> &rawMetadataDictionary() const
    {
        return m_rawMetadataDictionary;
    }
    std::optional<nlohmann::ordered_json>
    dictionaryRepresentationWithStartTime(std::uint64_t) const override
    {
        return m_rawMetadataDictionary;
    }

    // The stored JSON object; nothing when the file is missing or holds no JSON object.
    static std::optional<nlohmann::ordered_json>
    readSerializedDictionaryFromURL(const std::string &path);
    // Writes the object whole, through a temporary file renamed over the path.
    static bool writeSerializedDictionary(const nlohmann::ordered_json &dictionary,
                                          const std::string &path);

private:
    std::optional<nlohmann::ordered_json> m_rawMetadataDictionary;
};
