// Starts the real quintora binary offscreen with a private HOME and talks to it the way the
// desktop does: launch, a second launch with a URL, SIGTERM.

#include "framework/document/VRDrawingDocument.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRDrawing.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/notations/FMDatabase.h"
#include "framework/notations/QntNotation.h"
#include "platform/UserDefaults.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

namespace {

const QString kBinary = QStringLiteral(QNT_BIN_DIR "/quintora");
// Every wait ends as soon as what it waits for has happened; the limit only ends a wait that
// failed, and is generous because a loaded machine starts the binary and its windows slowly.
constexpr int kTimeoutMs = 90000;

class QuintoraProcess
{
public:
    explicit QuintoraProcess(const QString &home,
                             QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
    {
        // The X server checks run the real platform; all others run offscreen.
        const bool ownPlatform = env.value("QT_QPA_PLATFORM") == "xcb";
        env.insert("HOME", home);
        env.insert("XDG_CONFIG_HOME", home + "/.config");
        env.insert("XDG_DATA_HOME", home + "/.local/share");
        env.insert("XDG_CACHE_HOME", home + "/.cache");
        env.insert("XDG_RUNTIME_DIR", home + "/run");
        if (!ownPlatform)
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

    bool finish(int timeoutMs = kTimeoutMs)
    {
        const bool done = m_process.waitForFinished(timeoutMs);
        log();
        return done;
    }

    QString log()
    {
        m_log += QString::fromUtf8(m_process.readAllStandardError());
        return m_log;
    }

    void terminate() { signal(SIGTERM); }
    // A process that has already ended has no id; kill(0, ...) would signal the test's own
    // process group instead.
    void signal(int number)
    {
        if (const qint64 id = m_process.processId(); id > 0)
            ::kill(pid_t(id), number);
    }
    void kill()
    {
        signal(SIGKILL);
        m_process.waitForFinished(kTimeoutMs);
    }
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    // The shared libraries the running process has mapped.
    QString mappedLibraries() const
    {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(m_process.processId()));
        return maps.open(QIODevice::ReadOnly) ? QString::fromUtf8(maps.readAll()) : QString();
    }
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

// The web engine Mermaid renders in comes with its plugin, on the first Mermaid build: a launch
// that builds no Mermaid text maps neither.
TEST_F(LaunchEndToEnd, ALaunchLoadsNoWebEngine)
{
    QuintoraProcess app(home);
    app.start();
    ASSERT_TRUE(app.waitForLog("launch finished")) << app.log().toStdString();
    const QString maps = app.mappedLibraries();
    EXPECT_TRUE(maps.contains("libQt6Core")) << maps.toStdString();
    EXPECT_FALSE(maps.contains("WebEngine")) << maps.toStdString();
    EXPECT_FALSE(maps.contains("libqnt_mermaid")) << maps.toStdString();
    app.terminate();
    ASSERT_TRUE(app.finish());
}

// What only uploading, layout or the news need is opened by its first use: a launch maps none
// of it.
TEST_F(LaunchEndToEnd, ALaunchLoadsNoLibraryItDoesNotUse)
{
    QuintoraProcess app(home);
    app.start();
    ASSERT_TRUE(app.waitForLog("launch finished")) << app.log().toStdString();
    const QString maps = app.mappedLibraries();
    EXPECT_TRUE(maps.contains("libQt6Core")) << maps.toStdString();
    for (const char *library : {"libcurl", "libssl.", "libcrypto.", "libgnutls", "libldap",
                                "libgvc", "libcgraph", "libQt6Network", "libkrb5", "libproxy"})
        EXPECT_FALSE(maps.contains(QLatin1String(library))) << library;
    app.terminate();
    ASSERT_TRUE(app.finish());
}

TEST_F(LaunchEndToEnd, SettingAtZeroKeepsTheStartUpWindowClosedAtLaunchButARelaunchShowsIt)
{
    {
        UserDefaults defaults(defaultsPath());
        defaults.setInteger(0, "QntShowStyleSchooserAfterStart");
        ASSERT_TRUE(defaults.synchronize());
    }
    QuintoraProcess app(home);
    app.start();
    ASSERT_TRUE(app.waitForLog("launch finished")) << app.log().toStdString();
    EXPECT_FALSE(app.log().contains("showing the start-up window")) << app.log().toStdString();
    // Nothing is on screen and there is no menu bar: starting it again brings a window.
    QuintoraProcess relaunch(home);
    relaunch.start();
    ASSERT_TRUE(relaunch.finish());
    EXPECT_EQ(relaunch.exitCode(), 0);
    EXPECT_TRUE(relaunch.log().contains("to the running instance")) << relaunch.log().toStdString();
    EXPECT_TRUE(app.waitForLog("showing the start-up window")) << app.log().toStdString();
    app.terminate();
    ASSERT_TRUE(app.finish());
    EXPECT_EQ(app.exitCode(), 0);
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

// A file that cannot be opened, named at launch, puts its error box up before the event loop
// runs. A termination signal still ends the program promptly, and so does every later one.
TEST_F(LaunchEndToEnd, TerminationSignalsEndTheProgramWhileALaunchTimeErrorBoxIsUp)
{
    const QString empty = home + "/Empty.quintora";
    QFile(empty).open(QIODevice::WriteOnly);
    QFile garbage(home + "/Garbage.quintora");
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, '\x9c'));
    garbage.close();
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        QuintoraProcess app(home);
        app.start({empty, garbage.fileName()});
        ASSERT_TRUE(app.waitForLog("The file is empty")) << app.log().toStdString();
        // The box is up (or coming up) now.
        QThread::msleep(300);
        app.signal(signalNumber);
        QElapsedTimer timer;
        timer.start();
        ASSERT_TRUE(app.finish(10000)) << app.log().toStdString();
        EXPECT_LT(timer.elapsed(), 6000);
        EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.exitCode(), 0) << app.log().toStdString();
        EXPECT_TRUE(app.log().contains("terminated")) << app.log().toStdString();
    }
}

// Writes cut short by a kill leave temporary files; the next launch removes those beside the
// documents it knows of and in its own folders, and leaves every other file alone.
TEST_F(LaunchEndToEnd, ALaunchRemovesItsOwnLeftoverTemporaryFilesAndNothingElse)
{
    const QString docs = home + "/Docs";
    const QString elsewhere = home + "/Elsewhere";
    const QString autosave = home + "/.local/share/Quintora/Autosave";
    for (const QString &folder : {docs, elsewhere, autosave})
        ASSERT_TRUE(QDir().mkpath(folder));
    const auto make = [](const QString &path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{\"format\":");
    };
    const QString document = docs + "/Plan.quintora";
    make(document);
    {
        UserDefaults defaults(defaultsPath());
        defaults.setObject(QVariant(QStringList{document}), "QntRecentDocumentPaths");
        ASSERT_TRUE(defaults.synchronize());
    }
    const QStringList leftovers{docs + "/.Plan.quintora.k3Jq9Z.quintora-partial",
                                autosave + "/.1b2c.quintora.Ab12Cd.quintora-partial",
                                home + "/.config/Quintora/.Quintora.plist.x9x9x9.quintora-partial"};
    const QStringList others{docs + "/Plan.quintora.backup",
                             docs + "/.Other.quintora.k3Jq9Z.quintora-partial",
                             elsewhere + "/.Plan.quintora.k3Jq9Z.quintora-partial",
                             docs + "/.Plan.quintora.k3J.quintora-partial"};
    for (const QString &path : leftovers + others)
        make(path);

    QuintoraProcess app(home);
    app.start();
    ASSERT_TRUE(app.waitForLog("launch finished")) << app.log().toStdString();
    for (const QString &path : leftovers) {
        EXPECT_FALSE(QFile::exists(path)) << path.toStdString();
        EXPECT_TRUE(app.log().contains("removed the leftover temporary file " + path))
            << app.log().toStdString();
    }
    for (const QString &path : others)
        EXPECT_TRUE(QFile::exists(path)) << path.toStdString();
    EXPECT_TRUE(QFile::exists(document));
    app.terminate();
    ASSERT_TRUE(app.finish());
    EXPECT_EQ(app.exitCode(), 0);
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

// A launch that finds damaged files sets them aside and says so, once: the settings file, a
// shipped notation (put back from the bundle), an imported notation and the image bank (neither
// has a copy to put back).
TEST_F(LaunchEndToEnd, DamagedSettingsAndNotationsAreSetAsideAndTheUserIsTold)
{
    const QString notations = home + "/.local/share/Quintora/Notations";
    const QString bundle = QStringLiteral(QNT_BIN_DIR "/../share/quintora/Notations");
    QDir().mkpath(home + "/.config/Quintora");
    {
        QFile damaged(defaultsPath());
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("<?xml version=\"1.0\"?><plist><dict><key>Qnt");
    }
    // Sound headers, damaged pages: SQLite opens them and only a check finds the damage.
    const auto damagedCopy = [](const QString &from, const QString &to) {
        QFile source(from);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << from.toStdString();
        QByteArray bytes = source.readAll();
        ASSERT_GT(bytes.size(), 3 * 4096);
        bytes.replace(4096, 2 * 4096, QByteArray(2 * 4096, 'Z'));
        QDir().mkpath(QFileInfo(to).absolutePath());
        QFile target(to);
        ASSERT_TRUE(target.open(QIODevice::WriteOnly));
        target.write(bytes);
    };
    const QString flowChart = notations + "/FlowChart/FlowChart.db";
    const QString imported = notations + "/Imported/Mine.db";
    const QString imageBank = notations + "/ImageBank/imagebank.db";
    damagedCopy(bundle + "/FlowChart/FlowChart.db", flowChart);
    damagedCopy(bundle + "/FlowChart/FlowChart.db", imported);
    damagedCopy(bundle + "/FlowChart/FlowChart.db", imageBank);

    QuintoraProcess app(home);
    app.start();
    ASSERT_TRUE(app.waitForLog("launch finished")) << app.log().toStdString();
    const QStringList told{
        "The damaged settings file was kept as “" + home
            + "/.config/Quintora/Quintora.plist.corrupt-",
        "The notation “FlowChart.db” in “" + notations
            + "/FlowChart” was damaged and could not be read. The damaged file was kept as "
              "“FlowChart.db.damaged”. The notation that comes with Quintora was put back",
        "The notation “Mine.db” in “" + notations
            + "/Imported” was damaged and could not be read. The damaged file was kept as "
              "“Mine.db.damaged”. There is no copy of it to put back",
        "The image bank “imagebank.db” in “" + notations
            + "/ImageBank” was damaged and could not be read. The damaged file was kept as "
              "“imagebank.db.damaged”. A new, empty image bank was made",
    };
    for (const QString &message : told)
        EXPECT_TRUE(app.waitForLog(message)) << app.log().toStdString();
    app.terminate();
    ASSERT_TRUE(app.finish());
    EXPECT_EQ(app.exitCode(), 0);
    for (const QString &path : {flowChart, imported, imageBank})
        EXPECT_TRUE(QFile::exists(path + ".damaged")) << path.toStdString();
    EXPECT_FALSE(QFile::exists(imported));
    for (const QString &path : {flowChart, imageBank}) {
        FMDatabase db(path);
        ASSERT_TRUE(db.openReadOnly()) << path.toStdString();
        EXPECT_TRUE(QntNotation::checkDatabase(db).isEmpty()) << path.toStdString();
    }

    // Told once: the next launch finds nothing to set aside.
    QuintoraProcess again(home);
    again.start();
    ASSERT_TRUE(again.waitForLog("launch finished")) << again.log().toStdString();
    QThread::msleep(500);
    again.terminate();
    ASSERT_TRUE(again.finish());
    EXPECT_FALSE(again.log().contains("was damaged")) << again.log().toStdString();
    EXPECT_FALSE(again.log().contains("settings could not be read")) << again.log().toStdString();
}

// Two copies of the program in two logins (each with its own home) and one document: the first
// locks it, the second is told it is open elsewhere; once the first has ended, its lock is stale
// and a third opens the document without a word.
TEST_F(LaunchEndToEnd, ADocumentOpenInAnotherLoginIsOfferedReadOnly)
{
    const QString shared = home + "/Shared";
    QDir().mkpath(shared);
    const QString document = shared + "/Plan.quintora";
    {
        VRDrawingDocument maker;
        QString error;
        ASSERT_TRUE(maker.writeToURL(document, &error)) << error.toStdString();
    }
    const QString lock = shared + "/.Plan.quintora.quintora-lock";
    const auto otherHome = [this](const QString &name) {
        const QString path = home + "/../" + name;
        QDir().mkpath(path + "/run");
        QFile::setPermissions(path + "/run",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return QDir::cleanPath(path);
    };

    QuintoraProcess first(home);
    first.start({document});
    ASSERT_TRUE(first.waitForLog("launch finished")) << first.log().toStdString();
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(lock) && timer.elapsed() < kTimeoutMs)
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(lock));

    QuintoraProcess second(otherHome("second"));
    second.start({document});
    EXPECT_TRUE(second.waitForLog("the document " + document + " is open elsewhere"))
        << second.log().toStdString();
    second.terminate();
    ASSERT_TRUE(second.finish());
    EXPECT_TRUE(QFile::exists(lock)) << "the second copy took the first one's lock";

    first.kill();
    ASSERT_TRUE(QFile::exists(lock));
    QuintoraProcess third(otherHome("third"));
    third.start({document});
    ASSERT_TRUE(third.waitForLog("launch finished")) << third.log().toStdString();
    EXPECT_TRUE(third.waitForLog("replacing the stale lock")) << third.log().toStdString();
    EXPECT_FALSE(third.log().contains("is open elsewhere")) << third.log().toStdString();
    third.terminate();
    ASSERT_TRUE(third.finish());
}

// ---- under a real X server with a window manager ----------------------------------------------
// The user's roads that depend on the window system: keys and clicks reach the real binary
// through xdotool, the window manager (openbox) frames and stacks the windows, and xprop tells
// the stacking order.

namespace {

QByteArray fileChecksum(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// Xvfb on a display it picks itself, with openbox managing its windows.
class XSession
{
public:
    XSession()
    {
        // Without -noreset the server starts afresh whenever its last client leaves, and drops
        // every connection still being set up: a short-lived client (the xprop below) leaving
        // before a slow openbox has finished connecting would leave the session without a
        // window manager.
        m_server.setProgram("Xvfb");
        m_server.setArguments(
            {"-displayfd", "1", "-screen", "0", "1600x1000x24", "-nolisten", "tcp", "-noreset"});
        m_server.start();
        if (!m_server.waitForStarted(kTimeoutMs))
            return;
        QElapsedTimer timer;
        timer.start();
        while (!m_server.canReadLine() && timer.elapsed() < kTimeoutMs)
            m_server.waitForReadyRead(200);
        const QByteArray number = m_server.readLine().trimmed();
        if (number.isEmpty())
            return;
        m_display = ":" + QString::fromLatin1(number);
        m_manager.setProcessEnvironment(environment());
        m_manager.setProgram("openbox");
        m_manager.start();
        if (!m_manager.waitForStarted(kTimeoutMs))
            return;
        // The window manager is up once it announces itself on the root window and has read its
        // theme, which openbox does just before it takes over the windows already there: a
        // window mapped while it is still starting (on a busy machine) may never be mapped at
        // all. One that ended before that leaves the session down.
        while (timer.elapsed() < kTimeoutMs && m_manager.state() == QProcess::Running) {
            if (run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id")
                && run("xprop", {"-root", "_OB_THEME"}).contains(" = ")) {
                m_managerUp = true;
                return;
            }
            m_manager.waitForFinished(100);
        }
    }

    ~XSession()
    {
        for (QProcess *process : {&m_manager, &m_server}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(5000)) {
                    process->kill();
                    process->waitForFinished(5000);
                }
            }
        }
    }

    bool isUp() const { return m_managerUp && m_manager.state() == QProcess::Running; }

    // What the window manager said, for a session that did not come up.
    QString managerOutput()
    {
        return QString::fromUtf8(m_manager.readAllStandardOutput()
                                 + m_manager.readAllStandardError());
    }
    QString display() const { return m_display; }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", m_display);
        env.remove("XAUTHORITY");
        return env;
    }

    // Runs an X client to its end and answers what it printed.
    QString run(const QString &program, const QStringList &arguments,
                int timeoutMs = kTimeoutMs) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(program, arguments);
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    // The application's visible windows whose title matches the pattern.
    QStringList windows(const QString &titlePattern) const
    {
        const QRegularExpression pattern(titlePattern);
        QStringList found;
        const QStringList all = run("xdotool", {"search", "--onlyvisible", "--class", "Quintora"})
                                    .split('\n', Qt::SkipEmptyParts);
        for (const QString &window : all) {
            if (pattern.match(title(window)).hasMatch())
                found << window;
        }
        return found;
    }

    // Checks the condition every tenth of a second until it holds; false if it never did.
    static bool waitFor(const std::function<bool()> &condition)
    {
        QElapsedTimer timer;
        timer.start();
        while (!condition()) {
            if (timer.elapsed() > kTimeoutMs)
                return false;
            QThread::msleep(100);
        }
        return true;
    }

    // Waits until exactly one visible window matches; its id, else empty.
    QString waitForWindow(const QString &titlePattern) const
    {
        QStringList found;
        return waitFor([&] { return (found = windows(titlePattern)).size() == 1; }) ? found.first()
                                                                                    : QString();
    }

    bool waitForNoWindow(const QString &titlePattern) const
    {
        return waitFor([&] { return windows(titlePattern).isEmpty(); });
    }

    QString title(const QString &window) const { return run("xdotool", {"getwindowname", window}); }

    // Asks the window manager to activate the window and waits a while for it; the input
    // focus is set directly too, so a busy window manager cannot hold the test up.
    void activate(const QString &window) const
    {
        run("xdotool", {"windowactivate", "--sync", window}, 5000);
        run("xdotool", {"windowfocus", window}, 5000);
    }

    void keys(const QString &window, const QStringList &keys) const
    {
        activate(window);
        for (const QString &key : keys)
            run("xdotool", {"key", "--clearmodifiers", key});
    }

    // Clicks at a point of the window, given from its top-left corner.
    void click(const QString &window, int x, int y) const
    {
        activate(window);
        run("xdotool", {"mousemove", "--window", window, QString::number(x), QString::number(y),
                        "click", "1"});
    }

    // Window ids, bottom first, as the window manager stacks its frames' clients.
    QStringList stacking() const
    {
        const QString line = run("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
        QStringList ids;
        for (const QString &part : line.mid(line.indexOf('#') + 1).split(',', Qt::SkipEmptyParts))
            ids << QString::number(part.trimmed().toULongLong(nullptr, 16));
        return ids;
    }

    // The frame's rectangle: the window's own geometry grown by the frame the manager drew.
    QRect frameGeometry(const QString &window) const
    {
        const QString info = run("xwininfo", {"-id", window});
        const auto value = [&info](const QString &label) {
            const qsizetype at = info.indexOf(label);
            return at < 0 ? 0 : info.mid(at + label.size()).section('\n', 0, 0).trimmed().toInt();
        };
        const QRect inner(value("Absolute upper-left X:"), value("Absolute upper-left Y:"),
                          value("Width:"), value("Height:"));
        const QString extents = run("xprop", {"-id", window, "_NET_FRAME_EXTENTS"});
        const QStringList numbers = extents.mid(extents.indexOf('=') + 1).split(',');
        if (numbers.size() != 4)
            return inner;
        return inner.adjusted(-numbers[0].trimmed().toInt(), -numbers[2].trimmed().toInt(),
                              numbers[1].trimmed().toInt(), numbers[3].trimmed().toInt());
    }

private:
    QProcess m_server;
    QProcess m_manager;
    QString m_display;
    bool m_managerUp = false;
};

class XSessionEndToEnd : public LaunchEndToEnd
{
protected:
    void SetUp() override
    {
        LaunchEndToEnd::SetUp();
        ASSERT_TRUE(m_x.isUp()) << "Xvfb and openbox are needed (scripts/install-deps.sh) "
                                << m_x.display().toStdString() << " "
                                << m_x.managerOutput().toStdString();
        document = home + "/Plan.quintora";
        VRDrawingDocument drawing;
        auto *layer = drawing.drawing()->activeLayerOfClass<VRObjectDrawingLayer>();
        ASSERT_NE(layer, nullptr);
        layer->addObject(VRDrawableShape::shapeWithRect(QRectF(100, 100, 200, 100)));
        QString error;
        ASSERT_TRUE(drawing.writeToURL(document, &error)) << error.toStdString();
        saved = fileChecksum(document);
        // The tool palette was open in the last session, so it opens with the document.
        UserDefaults defaults(defaultsPath());
        defaults.setBool(true, "kQntToolPaletteIsVisible");
        ASSERT_TRUE(defaults.synchronize());
    }

    std::unique_ptr<QuintoraProcess> launch(const QStringList &arguments = {})
    {
        QProcessEnvironment env = m_x.environment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("QNT_AUTOSAVE_DELAY", "0.3");
        auto app = std::make_unique<QuintoraProcess>(home, env);
        app->start(arguments);
        return app;
    }

    QStringList recoveryCopies() const
    {
        return QDir(home + "/.local/share/Quintora/Autosave").entryList(QDir::Files);
    }

    // A click in the middle of the drawing, away from the library and the inspector column.
    void clickDrawing(const QString &window) { m_x.click(window, 700, 500); }

    XSession m_x;
    QString document;
    QByteArray saved;
};

} // namespace

TEST_F(XSessionEndToEnd, AfterAKillBetweenEditAndSaveTheEditsComeBackMarkedAndOnlySaveWritesTheFile)
{
    auto app = launch({document});
    const QString window = m_x.waitForWindow("^Plan — Quintora$");
    ASSERT_FALSE(window.isEmpty()) << app->log().toStdString();
    clickDrawing(window);
    m_x.keys(window, {"ctrl+a", "ctrl+x"});
    ASSERT_TRUE(app->waitForLog("autosaved Plan")) << app->log().toStdString();
    EXPECT_EQ(m_x.waitForWindow("^Plan\\* — Quintora$"), window);
    EXPECT_EQ(fileChecksum(document), saved);
    ASSERT_EQ(recoveryCopies().size(), 1);
    const QVariantMap entry =
        UserDefaults(defaultsPath()).arrayForKey("QntOpenDocuments").value(0).toMap();
    EXPECT_EQ(entry.value("path").toString(), document);
    EXPECT_TRUE(entry.value("autosave").toString().endsWith(recoveryCopies().first()));

    app->kill();
    EXPECT_EQ(fileChecksum(document), saved);

    auto again = launch();
    ASSERT_TRUE(again->waitForLog("reopened Plan with its unsaved changes"))
        << again->log().toStdString();
    const QString reopened = m_x.waitForWindow("^Plan\\* — Quintora$");
    ASSERT_FALSE(reopened.isEmpty()) << again->log().toStdString();
    EXPECT_EQ(fileChecksum(document), saved);

    m_x.keys(reopened, {"ctrl+s"});
    EXPECT_FALSE(m_x.waitForWindow("^Plan — Quintora$").isEmpty());
    EXPECT_NE(fileChecksum(document), saved);
    EXPECT_TRUE(recoveryCopies().isEmpty());
    const QByteArray written = fileChecksum(document);

    // Nothing is edited now: Quit asks nothing and keeps the document for the next launch.
    m_x.keys(reopened, {"ctrl+q"});
    ASSERT_TRUE(again->finish());
    EXPECT_EQ(again->exitCode(), 0) << again->log().toStdString();
    EXPECT_EQ(fileChecksum(document), written);
}

TEST_F(XSessionEndToEnd, MermaidTextTypedAndNeverBuiltComesBackAfterAKillAndIsSaved)
{
    const QString flow = home + "/Flow.quintora";
    {
        VRDrawingDocument drawing;
        drawing.drawing()->setCurrentNotationPath(
            QStringLiteral(QNT_BIN_DIR
                           "/../share/quintora/Notations/CommandDriven/CommandDriven.db"),
            "Command Driven Style");
        QString error;
        ASSERT_TRUE(drawing.writeToURL(flow, &error)) << error.toStdString();
    }
    const QByteArray untouched = fileChecksum(flow);
    auto app = launch({flow});
    const QString window = m_x.waitForWindow("^Flow — Quintora$");
    ASSERT_FALSE(window.isEmpty()) << app->log().toStdString();
    // The commands pane runs along the bottom of the window, under the drawing.
    m_x.click(window, 600, 850);
    m_x.run("xdotool", {"type", "--delay", "20", "graph TD"});
    m_x.keys(window, {"Return"});
    m_x.run("xdotool", {"type", "--delay", "20", "  A-->B"});
    ASSERT_TRUE(app->waitForLog("autosaved Flow")) << app->log().toStdString();
    EXPECT_FALSE(m_x.waitForWindow("^Flow\\* — Quintora$").isEmpty());
    app->kill();
    EXPECT_EQ(fileChecksum(flow), untouched);

    auto again = launch();
    ASSERT_TRUE(again->waitForLog("reopened Flow with its unsaved changes"))
        << again->log().toStdString();
    const QString reopened = m_x.waitForWindow("^Flow\\* — Quintora$");
    ASSERT_FALSE(reopened.isEmpty()) << again->log().toStdString();
    m_x.keys(reopened, {"ctrl+s"});
    EXPECT_FALSE(m_x.waitForWindow("^Flow — Quintora$").isEmpty());
    VRDrawingDocument saved;
    QString error;
    ASSERT_TRUE(saved.readFromURL(flow, &error)) << error.toStdString();
    EXPECT_EQ(saved.drawing()->mermaidSourceText(), "graph TD\n  A-->B");
    m_x.keys(reopened, {"ctrl+q"});
    ASSERT_TRUE(again->finish());
}

// On X, the OpenGL driver (in software, a large part of the process's memory) starts only with
// the web engine that needs it, not with the start-up window.
TEST_F(XSessionEndToEnd, ALaunchStartsNoOpenGLDriver)
{
    auto app = launch();
    ASSERT_TRUE(app->waitForLog("the start-up window is painted")) << app->log().toStdString();
    const QString maps = app->mappedLibraries();
    EXPECT_TRUE(maps.contains("libQt6XcbQpa")) << maps.toStdString();
    for (const char *driver : {"_dri.so", "libGLX_mesa", "libgallium"})
        EXPECT_FALSE(maps.contains(driver)) << driver;
    app->terminate();
    ASSERT_TRUE(app->finish());
}

TEST_F(XSessionEndToEnd, PanelsStayAboveTheDrawingAndClosingTheLastWindowShowsTheStartUpWindow)
{
    auto app = launch({document});
    const QString window = m_x.waitForWindow("^Plan — Quintora$");
    ASSERT_FALSE(window.isEmpty()) << app->log().toStdString();
    // The window's frame, zoom slider included, lies within the screen once the window manager
    // has placed it.
    QRect frame;
    EXPECT_TRUE(m_x.waitFor([&] {
        frame = m_x.frameGeometry(window);
        return QRect(0, 0, 1600, 1000).contains(frame);
    })) << frame.x()
        << "," << frame.y() << " " << frame.width() << "x" << frame.height();

    const QString palette = m_x.waitForWindow("^Tools$");
    ASSERT_FALSE(palette.isEmpty()) << app->log().toStdString();
    m_x.keys(window, {"alt+w", "o"});
    const QString inspector = m_x.waitForWindow("^Object Inspector$");
    ASSERT_FALSE(inspector.isEmpty()) << app->log().toStdString();

    // The panels follow the clicked window by being mapped again above it: wait for the window
    // manager to have stacked them.
    clickDrawing(window);
    QStringList stack;
    EXPECT_TRUE(m_x.waitFor([&] {
        stack = m_x.stacking();
        const qsizetype drawingAt = stack.indexOf(window);
        return drawingAt >= 0 && stack.indexOf(palette) > drawingAt
               && stack.indexOf(inspector) > drawingAt;
    })) << stack.join(' ').toStdString()
        << " window " << window.toStdString() << " palette " << palette.toStdString()
        << " inspector " << inspector.toStdString();
    EXPECT_EQ(m_x.windows("^Tools$"), QStringList{palette});
    EXPECT_EQ(m_x.windows("^Object Inspector$"), QStringList{inspector});
    // The document window the user clicked keeps the focus; the window manager may tell it a
    // little after it stacked the panels.
    QString active;
    EXPECT_TRUE(m_x.waitFor([&] {
        return (active = m_x.run("xdotool", {"getactivewindow"})) == window;
    })) << active.toStdString()
        << " window " << window.toStdString();

    // Ctrl+W closes the last document window; the start-up window takes over.
    m_x.keys(window, {"ctrl+w"});
    ASSERT_TRUE(m_x.waitForNoWindow("^Plan — Quintora$"));
    const QString startUp = m_x.waitForWindow("^New Drawing — Quintora$");
    ASSERT_FALSE(startUp.isEmpty()) << app->log().toStdString();
    EXPECT_TRUE(app->isRunning());

    // Its own Ctrl+Q quits.
    m_x.keys(startUp, {"ctrl+q"});
    ASSERT_TRUE(app->finish());
    EXPECT_EQ(app->exitCode(), 0) << app->log().toStdString();
    EXPECT_EQ(fileChecksum(document), saved);
}

TEST_F(XSessionEndToEnd, QuittingWithAnEditedDocumentAsksOnceAndCancelKeepsItRunning)
{
    auto app = launch({document});
    const QString window = m_x.waitForWindow("^Plan — Quintora$");
    ASSERT_FALSE(window.isEmpty()) << app->log().toStdString();
    clickDrawing(window);
    m_x.keys(window, {"ctrl+a", "ctrl+x"});
    ASSERT_FALSE(m_x.waitForWindow("^Plan\\* — Quintora$").isEmpty());

    // Cancel (Escape) stops the quit.
    m_x.keys(window, {"ctrl+q"});
    const QString question = m_x.waitForWindow("^Quintora$");
    ASSERT_FALSE(question.isEmpty()) << app->log().toStdString();
    m_x.keys(question, {"Escape"});
    ASSERT_TRUE(m_x.waitForNoWindow("^Quintora$"));
    ASSERT_TRUE(app->waitForLog("quitting was cancelled")) << app->log().toStdString();
    EXPECT_TRUE(app->isRunning());
    EXPECT_EQ(fileChecksum(document), saved);

    // Save (the default button) saves and the application quits without asking again.
    m_x.keys(window, {"ctrl+q"});
    const QString again = m_x.waitForWindow("^Quintora$");
    ASSERT_FALSE(again.isEmpty()) << app->log().toStdString();
    m_x.keys(again, {"Return"});
    ASSERT_TRUE(app->finish());
    EXPECT_EQ(app->exitCode(), 0) << app->log().toStdString();
    EXPECT_NE(fileChecksum(document), saved);
    EXPECT_TRUE(recoveryCopies().isEmpty());
    EXPECT_EQ(app->log().count("quitting was cancelled"), 1);
}
