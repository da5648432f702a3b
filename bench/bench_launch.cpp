// Launching the program beside a plain Qt window, in one run: the time from starting the process
// to its first window painted ("painted_ms", with the process's CPU time by then, "cpu_ms", which
// a loaded machine disturbs less), the resident memory 5 s after that window is painted, with no
// document open ("rss_mb"), and the shared libraries mapped by then ("libraries"). Targets: the
// program's start-up window painted within 1.5 times the plain window's time ("painted_ratio",
// "cpu_ratio"), and at most 45 MB resident. The plain window is this program itself, started
// with --plain-window. Both run offscreen unless QT_QPA_PLATFORM names another platform, e.g.
// QT_QPA_PLATFORM=xcb with a DISPLAY for the figures on an X server (the label says which).
#include "BenchHome.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <cstdio>

#include <unistd.h>

namespace {

const char kPlainWindowFlag[] = "--plain-window";
const char kPlainPainted[] = "the plain window is painted";
const char kStartUpPainted[] = "the start-up window is painted";

struct Launch {
    double paintedMs = 0;
    double cpuMs = 0;
    double rssMb = 0;
    int libraries = 0;
    bool ok = false;
};

int settleMs()
{
    return qEnvironmentVariableIsSet("QNT_BENCH_SMOKE") ? 100 : 5000;
}

// The CPU time (user and system) the process has used so far, in milliseconds.
double cpuMsOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // The fields after the command's closing parenthesis: utime and stime are the 14th and 15th.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) * 1000.0
           / double(::sysconf(_SC_CLK_TCK));
}

double rssMbOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

int librariesOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    QSet<QByteArray> names;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const int slash = line.indexOf('/');
        if (slash >= 0 && line.contains(".so"))
            names.insert(line.mid(slash));
    }
    return int(names.size());
}

// Starts the program and waits for its first window painted, then settles and measures.
Launch launch(const QString &program, const QStringList &arguments, const char *painted)
{
    Launch result;
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start();
    if (!process.waitForStarted(30000))
        return result;
    QByteArray log;
    while (!log.contains(painted) && clock.elapsed() < 60000
           && process.state() == QProcess::Running) {
        process.waitForReadyRead(20);
        log += process.readAllStandardError();
    }
    if (log.contains(painted)) {
        result.paintedMs = double(clock.nsecsElapsed()) / 1e6;
        result.cpuMs = cpuMsOf(process.processId());
        QThread::msleep(settleMs());
        result.rssMb = rssMbOf(process.processId());
        result.libraries = librariesOf(process.processId());
        result.ok = result.rssMb > 0;
    }
    process.kill();
    process.waitForFinished(10000);
    return result;
}

void BM_LaunchBesideAPlainWindow(benchmark::State &state)
{
    const QString self = QCoreApplication::applicationFilePath();
    const QString quintora = QCoreApplication::applicationDirPath() + QStringLiteral("/quintora");
    // One launch of each first: the first launch in a new home copies the notations, and the
    // files both read come into the page cache.
    launch(self, {QString::fromLatin1(kPlainWindowFlag)}, kPlainPainted);
    launch(quintora, {}, kStartUpPainted);
    Launch plain;
    Launch program;
    int runs = 0;
    for (auto _ : state) {
        const Launch p = launch(self, {QString::fromLatin1(kPlainWindowFlag)}, kPlainPainted);
        const Launch q = launch(quintora, {}, kStartUpPainted);
        if (!p.ok || !q.ok) {
            state.SkipWithError("a window was not painted");
            return;
        }
        plain.paintedMs += p.paintedMs;
        plain.cpuMs += p.cpuMs;
        plain.rssMb = std::max(plain.rssMb, p.rssMb);
        plain.libraries = p.libraries;
        program.paintedMs += q.paintedMs;
        program.cpuMs += q.cpuMs;
        program.rssMb = std::max(program.rssMb, q.rssMb);
        program.libraries = q.libraries;
        ++runs;
    }
    if (runs == 0)
        return;
    state.SetLabel(qEnvironmentVariable("QT_QPA_PLATFORM").toStdString());
    state.counters["plain_painted_ms"] = plain.paintedMs / runs;
    state.counters["painted_ms"] = program.paintedMs / runs;
    state.counters["painted_ratio"] = program.paintedMs / plain.paintedMs;
    state.counters["plain_cpu_ms"] = plain.cpuMs / runs;
    state.counters["cpu_ms"] = program.cpuMs / runs;
    state.counters["cpu_ratio"] = plain.cpuMs > 0 ? program.cpuMs / plain.cpuMs : 0;
    state.counters["plain_rss_mb"] = plain.rssMb;
    state.counters["rss_mb"] = program.rssMb;
    state.counters["plain_libraries"] = plain.libraries;
    state.counters["libraries"] = program.libraries;
}

BENCHMARK(BM_LaunchBesideAPlainWindow)->Iterations(3)->Unit(benchmark::kMillisecond);

// The plain window: a window with a label, which says in the log when it is first painted, as
// the program's start-up window does.
class PaintedSignal : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, [] {
                std::fprintf(stderr, "%s\n", kPlainPainted);
                std::fflush(stderr);
            });
        }
        return false;
    }
};

int plainWindow(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("A plain window")));
    window.resize(640, 480);
    PaintedSignal signal;
    window.installEventFilter(&signal);
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && qstrcmp(argv[1], kPlainWindowFlag) == 0)
        return plainWindow(argc, argv);
    qnt::bench::usePrivateHome();
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
