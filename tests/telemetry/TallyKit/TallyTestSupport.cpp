#include "TallyTestSupport.h"

#include "common/TestEnvironment.h"
#include "telemetry/TallyKit/TLYCompressLogOperation.h"
#include "telemetry/TallyKit/TLYLifecycleEvent.h"
#include "telemetry/TallyKit/TLYPackageLogOperation.h"
#include "telemetry/TallyKit/TLYWriteEventOperation.h"

#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace qnt::test {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<LogLine> parseLog(const std::string &text)
{
    std::vector<LogLine> lines;
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        LogLine line;
        const std::size_t t1 = raw.find('\t');
        const std::size_t t2 = t1 == std::string::npos ? t1 : raw.find('\t', t1 + 1);
        const std::size_t t3 = t2 == std::string::npos ? t2 : raw.find('\t', t2 + 1);
        if (t3 != std::string::npos) {
            line.timestamp = std::stoull(raw.substr(0, t1));
            line.name = raw.substr(t1 + 1, t2 - t1 - 1);
            line.declaredLength = std::stoull(raw.substr(t2 + 1, t3 - t2 - 1));
            line.payloadText = raw.substr(t3 + 1);
            line.payload = nlohmann::json::parse(line.payloadText, nullptr, false);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string makeFolder(const std::string &name)
{
    static std::atomic<int> counter{0};
    const std::string folder = isolatedHome() + "/" + name + "-" + std::to_string(++counter);
    ::mkdir(folder.c_str(), 0755);
    return folder;
}

std::vector<std::string> filesIn(const std::string &folder, const std::string &extension)
{
    std::vector<std::string> files;
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return files;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::size_t dot = name.find_last_of('.');
        const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
        if (extension.empty() || ext == extension)
            files.push_back(folder + "/" + name);
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

TLYMetadata::Fields testMetadataFields(const std::string &installationId)
{
    TLYMetadata::Fields fields;
    fields.APIKey = "0123456789abcdef0123456789abcdef01234567";
    fields.sessionId = "0123456789abcdef0123456789abcdef";
    fields.installationId = installationId;
    fields.instanceId = "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
    fields.model = "TestModel1,1";
    fields.locale = "de_DE";
    fields.osBuild = "6.1.0";
    fields.osVersion = "12.0.0";
    fields.cores = 8;
    fields.bundleId = "com.quintora.Quintora";
    fields.bundleVersion = "1";
    fields.bundleShortVersion = "0.1.0";
    return fields;
}

nlohmann::json settingsWithURL(const std::string &url, const nlohmann::json &analytics,
                               const nlohmann::json &features)
{
    nlohmann::json settings = {{"analytics", {{"url", url}}},
                               {"features", {{"collect_analytics", true}}}};
    if (analytics.is_object())
        settings["analytics"].update(analytics);
    if (features.is_object())
        settings["features"].update(features);
    return settings;
}

std::string makeLog(const std::string &folder, const std::string &name)
{
    const std::string log = folder + "/" + name + ".log";
    TLYWriteEventOperation(TLYLifecycleEvent::appLaunchedEvent(),
                           std::make_shared<TLYMetadata>(testMetadataFields(), std::nullopt), log)
        .main();
    return log;
}

std::string makeGzip(const std::string &folder, const std::string &name)
{
    const std::string log = makeLog(folder, name + "-source");
    const std::string gz = folder + "/" + name + ".gz";
    TLYCompressLogOperation(log, gz).main();
    ::unlink(log.c_str());
    return gz;
}

std::string makePackage(const std::string &folder, const std::string &boundary)
{
    const std::string gz = makeGzip(folder, boundary + "-gz");
    const std::string package = folder + "/" + boundary + ".multipartmime";
    TLYPackageLogOperation(gz, package, boundary).main();
    ::unlink(gz.c_str());
    return package;
}

} // namespace qnt::test
