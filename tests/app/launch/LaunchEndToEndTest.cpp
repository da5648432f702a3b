// Starts the real quintora binary offscreen with a private HOME and talks to it the way the
// desktop does: launch, a second launch with a URL, SIGTERM.

#include "platform/UserDefaults.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <csignal>

namespace {

const QString kBinary = QStringLiteral(QNT_BIN_DIR "/quintora");
constexpr int kTimeoutMs = 30000;

class QuintoraProcess
{
public:
    explicit QuintoraProcess(const QString &home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_CONFIG_HOME", home + "/.config");
        env.insert("XDG_DATA_HOME", home + "/.local/share");
        env.insert("XDG_CACHE_HOME", home + "/.cache");
        env.insert("XDG_RUNTIME_DIR", home + "/run");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.remove("QNT_BUNDLE_DIR");
        m_process.setProcessEnvironment(env);
        m_process.setProgram(kBinary);
    }

    ~QuintoraProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kTimeoutMs);
        }
    }

    void start(const QStringList &arguments = {})
    {
        m_process.setArguments(arguments);
        m_process.start();
        ASSERT_TRUE(m_process.waitForStarted(kTimeoutMs));
    }

    // Waits until the log holds the text; false on timeout or exit.
    bool waitForLog(const QString &text)
    {
        QElapsedTimer timer;
        timer.start();
        while (!log().contains(text)) {
            if (timer.elapsed() > kTimeoutMs)
                return false;
            if (m_process.state() == QProcess::NotRunning)
                return log().contains(text);
            m_process.waitForReadyRead(200);
        }
        return true;
    }

    bool finish()
    {
        const bool done = m_process.waitForFinished(kTimeoutMs);
        log();
        return done;
    }

    QString log()
    {
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        return m_log;
    }

    void terminate() { ::kill(pid_t(m_process.processId()), SIGTERM); }
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }

private:
    QProcess m_process;
    QString m_log;
};

class LaunchEndToEnd : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::exists(kBinary)) << kBinary.toStdString();
        home = m_dir.path() + "/home";
        QDir().mkpath(home + "/run");
        QFile::setPermissions(home + "/run",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QString defaultsPath() const { return home + "/.config/Quintora/Quintora.plist"; }

    QString home;

private:
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(LaunchEndToEnd, FreshHomeShowsTheStartUpWindowAndSigtermQuitsCleanly)
{
    QuintoraProcess app(home);
    app.start();
    ASSERT_TRUE(app.waitForLog("launch finished")) << app.log().toStdString();
    EXPECT_TRUE(app.log().contains("showing the start-up window")) << app.log().toStdString();
    app.terminate();
    ASSERT_TRUE(app.finish());
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_TRUE(app.log().contains("terminated")) << app.log().toStdString();
    UserDefaults stored(defaultsPath());
    const QVariant flag = stored.objectForKey("DIDizeZozi_defaultQualityModulationFlag");
    EXPECT_EQ(flag.typeId(), QMetaType::Bool);
    EXPECT_FALSE(flag.toBool());
}

TEST_F(LaunchEndToEnd, SettingAtZeroKeepsTheStartUpWindowClosedAtLaunchAndRelaunch)
{
    {
        UserDefaults defaults(defaultsPath());
        defaults.setInteger(0, "QntShowStyleSchooserAfterStart");
        ASSERT_TRUE(defaults.synchronize());
    }
    QuintoraProcess app(home);
    app.start();
    ASSERT_TRUE(app.waitForLog("launch finished")) << app.log().toStdString();
    QuintoraProcess relaunch(home);
    relaunch.start();
    ASSERT_TRUE(relaunch.finish());
    EXPECT_EQ(relaunch.exitCode(), 0);
    EXPECT_TRUE(relaunch.log().contains("to the running instance")) << relaunch.log().toStdString();
    app.terminate();
    ASSERT_TRUE(app.finish());
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_FALSE(app.log().contains("showing the start-up window")) << app.log().toStdString();
}

TEST_F(LaunchEndToEnd, SecondInstanceHandsItsUrlToTheFirstAndBadUrlsAreIgnored)
{
    const QString docs = home + "/My Docs";
    QDir().mkpath(docs + "/Folder.quintora");
    const QString document = docs + "/My Diagram.quintora";
    QFile(document).open(QIODevice::WriteOnly);
    QFile(docs + "/notes.txt").open(QIODevice::WriteOnly);
    const QString base = "quintora://" + QString::fromLatin1(QUrl::toPercentEncoding(docs, "/"));

    QuintoraProcess first(home);
    first.start();
    ASSERT_TRUE(first.waitForLog("launch finished")) << first.log().toStdString();

    const auto forward = [&](const QString &url) {
        QuintoraProcess second(home);
        second.start({url});
        EXPECT_TRUE(second.finish());
        EXPECT_EQ(second.exitCode(), 0) << second.log().toStdString();
        EXPECT_TRUE(second.log().contains("to the running instance")) << second.log().toStdString();
    };
    forward(base + "/My%20Diagram.quintora");
    EXPECT_TRUE(first.waitForLog("opening the document " + document)) << first.log().toStdString();

    forward(base + "/Folder.quintora");
    EXPECT_TRUE(first.waitForLog("it is a folder")) << first.log().toStdString();
    forward(base + "/Missing.quintora");
    EXPECT_TRUE(first.waitForLog("there is no such file")) << first.log().toStdString();
    forward(base + "/notes.txt");
    EXPECT_TRUE(first.waitForLog("it is not a Quintora document")) << first.log().toStdString();
    forward("quintora:///tmp/%FF%FE.quintora");
    EXPECT_TRUE(first.waitForLog("does not decode as UTF-8")) << first.log().toStdString();
    EXPECT_EQ(first.log().count("opening the document"), 1);

    EXPECT_TRUE(first.isRunning());
    first.terminate();
    ASSERT_TRUE(first.finish());
    EXPECT_EQ(first.exitCode(), 0);
}

TEST_F(LaunchEndToEnd, DamagedSettingsFileIsSetAsideAndFactoryValuesApply)
{
    QDir().mkpath(home + "/.config/Quintora");
    {
        QFile damaged(defaultsPath());
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(
            "<?xml version=\"1.0\"?><plist><dict><key>QntShowStyleSchooserAfterStart</key><integ");
    }
    QuintoraProcess app(home);
    app.start();
    ASSERT_TRUE(app.waitForLog("launch finished")) << app.log().toStdString();
    EXPECT_TRUE(app.log().contains("set it aside")) << app.log().toStdString();
    EXPECT_TRUE(app.log().contains("showing the start-up window")) << app.log().toStdString();
    app.terminate();
    ASSERT_TRUE(app.finish());
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(QDir(home + "/.config/Quintora")
                  .entryList({"Quintora.plist.corrupt-*"}, QDir::Files)
                  .size(),
              1);
    EXPECT_EQ(UserDefaults(defaultsPath())
                  .objectForKey("DIDizeZozi_defaultQualityModulationFlag")
                  .typeId(),
              QMetaType::Bool);
}
