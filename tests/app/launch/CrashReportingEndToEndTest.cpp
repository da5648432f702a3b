// The real quintora binary, configured with an API key and the addresses of a server this test
// runs on 127.0.0.1, crashes in every way a user's program can: on the main thread, a Qt thread
// and a thread a library started with plain pthread_create; by an invalid access, an illegal
// instruction, an abort, a bus error, an uncaught exception and a stack overflow; and through the
// Help menu's test commands. Each launch sends the crash of the launch before it, so each crash
// must reach the server exactly once, with a record of every thread.

#include "common/Gzip.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using nlohmann::json;

namespace {

const QString kBinary = QStringLiteral(QNT_BIN_DIR "/quintora");
const QString kTrigger = QStringLiteral(QNT_CRASH_TRIGGER_LIBRARY);
constexpr int kTimeoutMs = 90000;

// A plain HTTP server for the telemetry client's settings and crash reports (plain addresses
// are not pinned). Every report upload's body is kept.
class ReportServer
{
public:
    ReportServer()
    {
        m_server.Get(".*", [](const httplib::Request &request, httplib::Response &response) {
            if (request.path.find("/settings") != std::string::npos) {
                const json settings = {{"features", {{"collect_analytics", false}}}};
                response.set_content(settings.dump(), "application/json");
            } else {
                response.set_content("{}", "application/json");
            }
        });
        m_server.Post(".*", [this](const httplib::Request &request, httplib::Response &response) {
            if (request.path.find("/reports") != std::string::npos) {
                // The server reads the multipart body into its parts.
                Upload upload;
                for (const auto &[name, part] : request.files)
                    upload[name] = part.content;
                std::lock_guard lock(m_mutex);
                m_reports.push_back(std::move(upload));
            }
            response.set_content("{}", "application/json");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~ReportServer()
    {
        m_server.stop();
        m_thread.join();
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    // The parts of one report upload by field name.
    using Upload = std::map<std::string, std::string>;
    std::vector<Upload> reports() const
    {
        std::lock_guard lock(m_mutex);
        return m_reports;
    }

private:
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::vector<Upload> m_reports;
};

// The JSON lines of a gzip-compressed record file.
std::vector<json> recordLines(const std::string &compressed)
{
    std::vector<json> lines;
    const std::string text = qnt::test::gunzip(compressed).value_or("");
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const json line = json::parse(text.substr(start, end - start), nullptr, false);
        if (!line.is_discarded())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::optional<json> section(const std::vector<json> &lines, const std::string &name)
{
    for (const json &line : lines)
        if (line.contains(name))
            return line[name];
    return std::nullopt;
}

// The warnings and errors of the kit's log sent with a report.
std::string warnings(const std::map<std::string, std::string> &parts)
{
    const auto log = parts.find("sdk.log");
    if (log == parts.end())
        return "no sdk.log";
    const std::string text = qnt::test::gunzip(log->second).value_or("");
    std::string kept;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        if (text.compare(start, 4, "WARN") == 0 || text.compare(start, 5, "ERROR") == 0)
            kept += text.substr(start, end - start);
        start = end;
    }
    return kept;
}

class CrashReportingEndToEnd : public testing::Test
{
protected:
    void SetUp() override
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "the preloaded trigger library cannot come before a sanitizer runtime";
#endif
        ASSERT_TRUE(QFile::exists(kBinary)) << kBinary.toStdString();
        ASSERT_TRUE(QFile::exists(kTrigger)) << kTrigger.toStdString();
        m_home = m_dir.path() + "/home";
        QDir().mkpath(m_home + "/run");
        QFile::setPermissions(m_home + "/run",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        makeBundle();
    }

    // The installed bundle with an API key in its Info.plist.
    void makeBundle()
    {
        m_bundle = m_dir.path() + "/bundle";
        QDir().mkpath(m_bundle);
        const QString installed = QStringLiteral(QNT_BIN_DIR "/../share/quintora");
        for (const QString &entry :
             QDir(installed).entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            if (entry != "Info.plist")
                QFile::link(installed + "/" + entry, m_bundle + "/" + entry);
        QFile source(installed + "/Info.plist");
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(source.readAll());
        const QString empty = QStringLiteral("<key>APIKey</key>\n\t\t<string></string>");
        ASSERT_TRUE(text.contains(empty));
        text.replace(empty, QStringLiteral("<key>APIKey</key>\n\t\t<string>"
                                           "0123456789abcdef0123456789abcdef01234567</string>"));
        QFile info(m_bundle + "/Info.plist");
        ASSERT_TRUE(info.open(QIODevice::WriteOnly));
        info.write(text.toUtf8());
    }

    void startLaunch()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_home);
        env.insert("XDG_CONFIG_HOME", m_home + "/.config");
        env.insert("XDG_DATA_HOME", m_home + "/.local/share");
        env.insert("XDG_CACHE_HOME", m_home + "/.cache");
        env.insert("XDG_RUNTIME_DIR", m_home + "/run");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QNT_BUNDLE_DIR", m_bundle);
        env.insert("SettingsEndpoint", m_server.address());
        env.insert("ConfigureEndpoint", m_server.address());
        env.insert("FaultlineReportsEndpoint", m_server.address());
        env.insert("LD_PRELOAD", kTrigger);
        env.insert("QNT_CRASH_TRIGGER", triggerPath());
        m_process.setProcessEnvironment(env);
        m_process.setProgram(kBinary);
        m_process.start();
        ASSERT_TRUE(m_process.waitForStarted(kTimeoutMs));
    }

    QString triggerPath() const
    {
        return m_dir.path() + "/trigger";
    }
    QString activeFolder() const
    {
        return m_home + "/.cache/com.faultline.data/com.quintora.Quintora/v3/active";
    }

    // Until the launch has finished starting and its crash kit is recording; false on exit or
    // time-out.
    bool waitUntilRecording(const QStringList &earlierFolders)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < kTimeoutMs && m_process.state() == QProcess::Running) {
            m_log += QString::fromUtf8(m_process.readAllStandardError());
            if (m_log.contains("launch finished"))
                for (const QString &folder :
                     QDir(activeFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                    if (!earlierFolders.contains(folder)
                        && QFile::exists(activeFolder() + "/" + folder
                                         + "/internal_incremental_kv.fltrecord"))
                        return true;
            m_process.waitForReadyRead(50);
        }
        return false;
    }

    bool waitForReports(std::size_t count)
    {
        QElapsedTimer timer;
        timer.start();
        while (m_server.reports().size() < count && timer.elapsed() < kTimeoutMs)
            QThread::msleep(50);
        return m_server.reports().size() >= count;
    }

    QString storeFolder(const char *stage) const
    {
        return m_home + "/.cache/com.faultline.data/com.quintora.Quintora/v3/" + stage;
    }

    bool waitUntilNothingIsLeftToSend()
    {
        QElapsedTimer timer;
        timer.start();
        const QDir prepared(storeFolder("prepared"));
        while (!prepared.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot)
               && timer.elapsed() < kTimeoutMs)
            QThread::msleep(20);
        return prepared.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot);
    }

    QString m_home;
    QString m_bundle;
    QString m_log;
    ReportServer m_server;
    QProcess m_process;

private:
    QTemporaryDir m_dir;
};

struct CrashKind {
    const char *trigger;
    int signal;             // the signal the process ends by
    const char *recordFile; // the record that holds the crash
    const char *threadName; // the crashed thread's name
};

} // namespace

TEST_F(CrashReportingEndToEnd, EveryKindOfCrashReachesTheServerOnceAtTheNextLaunch)
{
    const CrashKind kinds[] = {
        {"main-segv", SIGSEGV, "signal.fltrecord", "quintora"},
        {"main-ill", SIGILL, "signal.fltrecord", "quintora"},
        {"main-abort", SIGABRT, "signal.fltrecord", "quintora"},
        {"main-bus", SIGBUS, "signal.fltrecord", "quintora"},
        {"main-exception", SIGABRT, "exception.fltrecord", "quintora"},
        {"main-overflow", SIGSEGV, "signal.fltrecord", "quintora"},
        {"qt-segv", SIGSEGV, "signal.fltrecord", "qt-crasher"},
        {"qt-ill", SIGILL, "signal.fltrecord", "qt-crasher"},
        {"qt-abort", SIGABRT, "signal.fltrecord", "qt-crasher"},
        {"qt-bus", SIGBUS, "signal.fltrecord", "qt-crasher"},
        {"qt-exception", SIGABRT, "exception.fltrecord", "qt-crasher"},
        {"plain-segv", SIGSEGV, "signal.fltrecord", "plain-crasher"},
        {"plain-ill", SIGILL, "signal.fltrecord", "plain-crasher"},
        {"plain-abort", SIGABRT, "signal.fltrecord", "plain-crasher"},
        {"plain-bus", SIGBUS, "signal.fltrecord", "plain-crasher"},
        {"plain-exception", SIGABRT, "exception.fltrecord", "plain-crasher"},
        {"plain-overflow", SIGSEGV, "signal.fltrecord", "plain-crasher"},
        // Help > Crash Reporting's commands, as a user chooses them.
        {"menu-testCrashAction", SIGILL, "signal.fltrecord", "quintora"},
        {"menu-testExceptionAction", SIGILL, "exception.fltrecord", "quintora"},
        {"menu-testWorkerCrashAction", SIGSEGV, "signal.fltrecord", nullptr},
    };
    const std::size_t total = std::size(kinds);
    for (std::size_t i = 0; i <= total; ++i) {
        const bool last = i == total;
        SCOPED_TRACE(last ? std::string("last launch") : std::string(kinds[i].trigger));
        const QStringList earlier =
            QDir(activeFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        m_log.clear();
        startLaunch();
        ASSERT_TRUE(waitUntilRecording(earlier)) << m_log.toStdString();
        // The crash of the launch before, sent by this one. The client removes a package once
        // the server has answered: a crash before that sends it again at the next launch.
        ASSERT_TRUE(waitForReports(i)) << m_log.toStdString();
        ASSERT_TRUE(waitUntilNothingIsLeftToSend()) << m_log.toStdString();
        if (last) {
            m_process.terminate();
            ASSERT_TRUE(m_process.waitForFinished(kTimeoutMs));
            break;
        }
        // Whole or not at all: the program reads the file as soon as it exists.
        QFile trigger(triggerPath() + ".new");
        ASSERT_TRUE(trigger.open(QIODevice::WriteOnly));
        trigger.write(kinds[i].trigger);
        trigger.close();
        ASSERT_TRUE(QFile::rename(trigger.fileName(), triggerPath()));
        ASSERT_TRUE(m_process.waitForFinished(kTimeoutMs));
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        ASSERT_EQ(m_process.exitStatus(), QProcess::CrashExit) << m_log.toStdString();
        EXPECT_EQ(m_process.exitCode(), kinds[i].signal) << m_log.toStdString();
    }

    // Nothing is sent twice, and nothing is left to send.
    QThread::msleep(500);
    const auto reports = m_server.reports();
    ASSERT_EQ(reports.size(), total);
    std::set<std::string> identifiers;
    for (std::size_t i = 0; i < total; ++i) {
        const CrashKind &kind = kinds[i];
        SCOPED_TRACE(kind.trigger);
        const auto &parts = reports[i];
        ASSERT_TRUE(parts.count("report_id"));
        identifiers.insert(parts.at("report_id"));
        ASSERT_TRUE(parts.count(kind.recordFile)) << "no " << kind.recordFile;
        const auto lines = recordLines(parts.at(kind.recordFile));
        if (std::string(kind.recordFile) == "signal.fltrecord") {
            const auto signal = section(lines, "signal");
            ASSERT_TRUE(signal);
            EXPECT_EQ((*signal)["number"], kind.signal);
        } else {
            EXPECT_TRUE(section(lines, "exception"));
        }
        const auto threads = section(lines, "threads");
        const auto names = section(lines, "thread_names");
        ASSERT_TRUE(threads && names);
        ASSERT_FALSE(threads->empty());
        EXPECT_TRUE((*threads)[0].value("crashed", false));
        if (kind.threadName) {
            EXPECT_EQ((*names)[0], kind.threadName);
        }
        // Every thread was stopped and read, also those that block signals.
        for (std::size_t t = 0; t < threads->size(); ++t) {
            const json &registers = (*threads)[t]["registers"];
            bool allZero = true;
            for (const auto &entry : registers.items())
                allZero = allZero && entry.value() == 0;
            // The kit's log says which thread it could not stop, and what that thread was doing.
            EXPECT_FALSE(allZero) << "thread " << t << " " << (*names)[t] << " has no registers\n"
                                  << warnings(parts);
        }
    }
    EXPECT_EQ(identifiers.size(), total);
    for (const char *stage : {"prepared", "processing"})
        EXPECT_TRUE(QDir(storeFolder(stage)).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot))
            << stage;
}
