// Costs of a large library, at 10,000 and 100,000 small real files (MP3 and
// WAV, hard links of two files made by sox and lame) on a temporary file
// system: plan over them, adding them to the source list, a run that skips
// every one as already converted, and the desktop window's list holding them
// (bench_window in a child process). Prints times, peak memory and the ratio
// of each cost from the smaller count to the larger, which should stay near
// the ratio of the counts.
// Targets: list and plan under 15 s warm, peak memory under 300 MB, the window
// never still for more than 100 ms.
//   bench_scale [count...]   (default 10000 100000)

#include "messages/RunState.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"
#include "encoder/EncoderFacts.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr double TargetSeconds = 15;
constexpr double TargetMB = 300;
constexpr double TargetStallMs = 100;

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

bool Link(const QString& from, const QString& to) {
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

struct TChild {
    double Seconds = -1;
    double PeakMB = -1;
    QByteArray Out;
};

// Runs a program with stdout into a file, and measures its wall time and its
// peak resident memory (from wait4).
TChild Measure(const QString& program, const QStringList& args, const QString& outFile) {
    std::vector<QByteArray> bytes{QFile::encodeName(program)};
    for (const QString& a : args)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO,
                                     QFile::encodeName(outFile).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    TChild child;
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return child;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return child;
    child.Seconds = double(clock.nsecsElapsed()) / 1e9;
    child.PeakMB = double(usage.ru_maxrss) / 1024.0;
    QFile out(outFile);
    if (out.open(QIODevice::ReadOnly))
        child.Out = out.readAll();
    return child;
}

// Resident memory of this process now, in MB.
double ResidentMB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression rss(QStringLiteral("VmRSS:\\s+(\\d+)"));
    return rss.match(QString::fromLatin1(status.readAll())).captured(1).toDouble() / 1024.0;
}

const char* Verdict(double value, double target) {
    return value >= 0 && value <= target ? "ok" : "OVER";
}

using TFigures = std::map<QString, double>;

struct TLibrary {
    QString Root;
    int Count = 0;
};

// count sources in folders of 1,000, half MP3 and half WAV; with outputs, each
// also has its planned output (an MP3), so a run finds all of them converted.
bool MakeLibrary(const QString& media, TLibrary& library, bool outputs) {
    QDir().mkpath(library.Root);
    for (int i = 0; i < library.Count; ++i) {
        const QString folder =
            library.Root + QStringLiteral("/album%1").arg(i / 1000, 3, 10, QLatin1Char('0'));
        if (i % 1000 == 0)
            QDir().mkpath(folder);
        const bool mp3 = i % 2 == 0;
        const QString stem =
            folder + QStringLiteral("/%1 song").arg(i % 1000, 3, 10, QLatin1Char('0'));
        if (!Link(media + (mp3 ? QStringLiteral("/tone.mp3") : QStringLiteral("/tone.wav")),
                  stem + (mp3 ? QStringLiteral(".mp3") : QStringLiteral(".wav"))))
            return false;
        if (outputs &&
            !Link(media + QStringLiteral("/tone.mp3"), stem + QStringLiteral("_C96kbps.mp3")))
            return false;
    }
    return true;
}

TFigures MeasureCount(const QString& media, int count) {
    TFigures f;
    const QString cli =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../src/cli/sonabel-cli");
    const QString out = media + QStringLiteral("/out.jsonl");
    TLibrary library{media + QStringLiteral("/lib%1").arg(count), count};
    QElapsedTimer clock;
    clock.start();
    if (!MakeLibrary(media, library, false))
        return {};
    std::printf("%d files made in %.1f s\n", count, double(clock.nsecsElapsed()) / 1e9);

    // plan, once cold-ish (the files were just written) and once warm.
    TChild plan =
        Measure(cli, {QStringLiteral("plan"), QStringLiteral("--recursive"), library.Root}, out);
    plan = Measure(cli, {QStringLiteral("plan"), QStringLiteral("--recursive"), library.Root}, out);
    const int planned = int(plan.Out.count('\n'));
    f["plan s"] = plan.Seconds;
    f["plan MB"] = plan.PeakMB;
    std::printf("  plan --recursive: %d sources in %.2f s (target %.0f s: %s), peak %.0f MB "
                "(target %.0f MB: %s)\n",
                planned, plan.Seconds, TargetSeconds, Verdict(plan.Seconds, TargetSeconds),
                plan.PeakMB, TargetMB, Verdict(plan.PeakMB, TargetMB));

    // Adding them to the core's source list, as a recursive folder add does.
    {
        Preferences().Edit()->DirFlags = dfMP1 | dfMP2 | dfMP3 | dfWAV | dfCBR | dfVBR | dfRecurse;
        const double before = ResidentMB();
        TSourceList list;
        clock.restart();
        list.BeginAddFiles();
        list.AddFolder(library.Root);
        list.EndAddFiles();
        f["list s"] = double(clock.nsecsElapsed()) / 1e9;
        f["list MB"] = ResidentMB() - before;
        std::printf("  source list, recursive add: %d rows in %.2f s (target %.0f s: %s), "
                    "%.0f MB more resident\n",
                    list.Count(), f["list s"], TargetSeconds, Verdict(f["list s"], TargetSeconds),
                    f["list MB"]);
    }

    // A run where every source is converted already.
    TLibrary done{media + QStringLiteral("/done%1").arg(count), count};
    if (!MakeLibrary(media, done, true))
        return {};
    const TChild run = Measure(
        cli,
        {QStringLiteral("run"), QStringLiteral("--json"), QStringLiteral("--recursive"), done.Root},
        out);
    const QRegularExpression skipped(QStringLiteral("\"skipped\":(\\d+)"));
    f["run s"] = run.Seconds;
    f["run MB"] = run.PeakMB;
    std::printf("  run, every source already converted: %s skipped in %.2f s, peak %.0f MB "
                "(target %.0f MB: %s)\n",
                qPrintable(skipped.match(QString::fromUtf8(run.Out)).captured(1)), run.Seconds,
                run.PeakMB, TargetMB, Verdict(run.PeakMB, TargetMB));

    // The window: bench_window drops the files on the main window.
    const TChild window =
        Measure(QCoreApplication::applicationDirPath() + QStringLiteral("/bench_window"),
                {QString::number(count), QStringLiteral("window-only")}, out);
    const QRegularExpression drop(QStringLiteral("drop on the main window: .*listed (\\d+) ms, "
                                                 "painted (\\d+) ms.*longest stall (\\d+) ms"));
    const QRegularExpressionMatch m = drop.match(QString::fromUtf8(window.Out));
    f["window s"] = m.hasMatch() ? m.captured(2).toDouble() / 1e3 : -1;
    f["window MB"] = window.PeakMB;
    f["stall ms"] = m.hasMatch() ? m.captured(3).toDouble() : -1;
    std::printf("  main window, drop of %d files: painted after %.2f s, longest stall %.0f ms "
                "(target %.0f ms: %s), peak %.0f MB (target %.0f MB: %s)\n",
                count, f["window s"], f["stall ms"], TargetStallMs,
                Verdict(f["stall ms"], TargetStallMs), window.PeakMB, TargetMB,
                Verdict(window.PeakMB, TargetMB));
    QDir(library.Root).removeRecursively();
    QDir(done.Root).removeRecursively();
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TPreferences preferences;
    TRunState runState;
    TEncoderFacts encoderFacts(preferences, false);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The program's settings are never the user's own.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    qputenv("HOME", QFile::encodeName(home.path()));
    // tmpfs where there is one: a temporary file system, as asked.
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir media(base + QStringLiteral("/bench_scale-XXXXXX"));
    const QString dir = media.path();
    if (!media.isValid() ||
        !Run(QStringLiteral("sox"),
             {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
              QStringLiteral("-c"), QStringLiteral("1"), dir + QStringLiteral("/tone.wav"),
              QStringLiteral("synth"), QStringLiteral("0.1"), QStringLiteral("sine"),
              QStringLiteral("440")}) ||
        !Run(QStringLiteral("lame"),
             {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("128"),
              dir + QStringLiteral("/tone.wav"), dir + QStringLiteral("/tone.mp3")})) {
        std::fprintf(stderr, "bench_scale: cannot make the media (sox and lame needed)\n");
        return 1;
    }
    QList<int> counts;
    for (int i = 1; i < argc; ++i)
        counts << std::max(1000, QString::fromLocal8Bit(argv[i]).toInt());
    if (counts.isEmpty())
        counts = {10000, 100000};
    std::printf("on %s\n", qPrintable(base));
    QList<TFigures> figures;
    for (const int count : std::as_const(counts)) {
        figures << MeasureCount(dir, count);
        if (figures.last().empty()) {
            std::fprintf(stderr, "bench_scale: cannot make or measure %d files\n", count);
            return 1;
        }
    }
    // Growth from the first count to the last, against the growth of the count.
    if (counts.size() > 1) {
        const double n = double(counts.last()) / counts.first();
        std::printf("growth from %d to %d files (x%.0f):", counts.first(), counts.last(), n);
        for (const auto& [name, value] : figures.last()) {
            const double first = figures.first().at(name);
            std::printf("  %s x%.1f", qPrintable(name), first > 0 ? value / first : -1);
        }
        std::printf("\n");
    }
    return 0;
}
