#pragma once

#include "common/Gzip.h"
#include "telemetry/TallyKit/TLYMetadata.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace qnt::test {

// One line of an event log.
struct LogLine {
    std::uint64_t timestamp = 0;
    std::string name;
    std::uint64_t declaredLength = 0;
    std::string payloadText;
    nlohmann::json payload; // discarded when it does not parse
};

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);
// The lines of an event log (each ended by "\n"); a line without its four fields is kept with
// an empty name.
std::vector<LogLine> parseLog(const std::string &text);
// A fresh folder under the test's isolated home.
std::string makeFolder(const std::string &name);
// Files of the folder with the extension ("" = all).
std::vector<std::string> filesIn(const std::string &folder, const std::string &extension = {});
// Fixed metadata for controllers in tests.
TLYMetadata::Fields testMetadataFields(const std::string &installationId = "TEST-INSTALL");
// Settings with the analytics endpoint and the given analytics keys merged in.
nlohmann::json settingsWithURL(const std::string &url, const nlohmann::json &analytics = {},
                               const nlohmann::json &features = {});

// Files made by the pipeline's own operations: a log of one event, its gzip, and a package of
// a gzip log named after its boundary.
std::string makeLog(const std::string &folder, const std::string &name);
std::string makeGzip(const std::string &folder, const std::string &name);
std::string makePackage(const std::string &folder, const std::string &boundary);

} // namespace qnt::test
