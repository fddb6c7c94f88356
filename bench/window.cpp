// Desktop costs, offscreen: program start to the first painted main window
// (the encoder probe timed apart), and 10,000 files dropped on the list until
// it is repainted, with the longest event-loop stall meanwhile. The same
// 10,000 files are also added to the core's list shown in a plain table view.
// Targets on the reference machine: window 0.5 s, list 2 s, stall 100 ms.
//   bench_window [files] [window-only]   (window-only: no table view after the drop)

#include "encoder/EncoderFacts.h"
#include "encoder/FilePaths.h"
#include "messages/RunState.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"

#ifdef SONABEL_HAVE_MAIN_WINDOW
#include "gui/SonabelF.h"
#endif

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>
#include <utility>

namespace {

#ifdef SONABEL_HAVE_MAIN_WINDOW
// The calls into the main window, all here: its constructor (which finds the
// encoder and reads its banner) and show(). The list is found by its model,
// the drop goes through the window as a file manager's would.
QWidget* MakeMainWindow() {
    auto* window = new TSonabelMainForm();
    if (!window->FormCreate()) {
        delete window;
        return nullptr;
    }
    window->CreateForms();
    return window;
}
#endif

constexpr double TargetWindowMs = 500;
constexpr double TargetListMs = 2000;
constexpr double TargetStallMs = 100;

QElapsedTimer Clock; // started first thing in main

double Ms() {
    return double(Clock.nsecsElapsed()) / 1e6;
}

const char* Verdict(double ms, double target) {
    return ms <= target ? "ok" : "OVER";
}

// Age of the process when main() began (loader, static constructors), from
// /proc with its 10 ms clock-tick resolution; -1 when unreadable.
double MsBeforeMain() {
    QFile stat(QStringLiteral("/proc/self/stat")), uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return -1;
    // Field 22 (start time in ticks); the command name before it may hold spaces.
    const QByteArray s = stat.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return -1;
    const double started = fields[19].toDouble() / double(::sysconf(_SC_CLK_TCK));
    const double now = uptime.readAll().split(' ').value(0).toDouble();
    return (now - started) * 1e3 - Ms();
}

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitCode() == 0;
}

// Small real files, half MP3 and half WAV, in one folder as a drop brings
// them; hard links keep 10,000 names cheap.
QList<QUrl> MakeFiles(const QString& dir, int count) {
    const QString wav = dir + QStringLiteral("/tone.wav"), mp3 = dir + QStringLiteral("/tone.mp3");
    if (!Run(QStringLiteral("sox"),
             {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("22050"),
              QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-b"), QStringLiteral("16"),
              wav, QStringLiteral("synth"), QStringLiteral("0.2"), QStringLiteral("sine"),
              QStringLiteral("440")}) ||
        !Run(QStringLiteral("lame"),
             {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("64"), wav, mp3}))
        return {};
    const QString folder = dir + QStringLiteral("/drop");
    QDir().mkpath(folder);
    QList<QUrl> urls;
    for (int i = 0; i < count; ++i) {
        const bool isMp3 = i % 2 == 0;
        const QString path = folder + QStringLiteral("/song%1").arg(i, 5, 10, QLatin1Char('0')) +
                             (isMp3 ? QStringLiteral(".mp3") : QStringLiteral(".wav"));
        if (::link(QFile::encodeName(isMp3 ? mp3 : wav).constData(),
                   QFile::encodeName(path).constData()) != 0)
            return {};
        urls << QUrl::fromLocalFile(path);
    }
    return urls;
}

// Longest gap between ticks of a 5 ms timer: how long the event loop was
// kept from running. Each tick also calls the given check.
class TStallMeter : public QObject {
public:
    std::function<void()> OnTick;
    double MaxGapMs = 0;

    TStallMeter() {
        Timer.setTimerType(Qt::PreciseTimer);
        Timer.setInterval(5);
        connect(&Timer, &QTimer::timeout, this, [this] {
            const double now = Ms();
            MaxGapMs = std::max(MaxGapMs, now - Last);
            Last = now;
            if (OnTick)
                OnTick();
        });
    }
    void Start() {
        MaxGapMs = 0;
        Last = Ms();
        Timer.start();
    }
    void Stop() { Timer.stop(); }

private:
    QTimer Timer;
    double Last = 0;
};

// Calls Done once the next paint of the widget has been flushed: the zero
// timer runs after the whole repaint pass the paint event belongs to.
class TPaintWatch : public QObject {
public:
    void Arm(QWidget* widget, std::function<void()> done) {
        Widget = widget;
        Done = std::move(done);
        widget->installEventFilter(this);
        widget->update();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == Widget && event->type() == QEvent::Paint && Done) {
            Widget->removeEventFilter(this);
            QTimer::singleShot(0, this, std::exchange(Done, nullptr));
        }
        return false;
    }

private:
    QPointer<QWidget> Widget;
    std::function<void()> Done;
};

QAbstractItemView* SourceListView(QWidget* window) {
    const auto views = window->findChildren<QAbstractItemView*>();
    for (QAbstractItemView* view : views) {
        if (qobject_cast<TSourceList*>(view->model()))
            return view;
    }
    return nullptr;
}

struct TBench {
    int FileCount = 10000;
    bool WindowOnly = false; // the drop on the main window, without the table after it
    QTemporaryDir Work;
    QList<QUrl> Files;
    TStallMeter Meter;
    TPaintWatch Paint;
    std::unique_ptr<QWidget> MainWindow;
    std::unique_ptr<TSourceList> List;
    std::unique_ptr<QTableView> Table;
    double T0 = 0, TListed = 0;
    bool AddEnded = false;

    void Fail(const char* what) {
        std::fprintf(stderr, "bench_window: %s\n", what);
        QCoreApplication::exit(1);
    }

    // Finds the encoder and reads its banner, as the window does at start.
    void ProbeEncoder() {
        const double t = Ms();
        TEncoderFacts::Current().SetShortPath(
            FindEncoder(IncludeTrailingSlash(QCoreApplication::applicationDirPath())));
        ReadLameVersion();
        std::printf(
            "encoder probe alone (find, read the banner): %.1f ms  [%s %s]\n", Ms() - t,
            qPrintable(LameShortPath().isEmpty() ? QStringLiteral("no encoder") : LameShortPath()),
            qPrintable(LameVersion()));
    }

    void StartWindow(double beforeMain) {
#ifdef SONABEL_HAVE_MAIN_WINDOW
        const double t = Ms();
        MainWindow.reset(MakeMainWindow());
        if (!MainWindow)
            return Fail("the main window found no encoder");
        const double built = Ms() - t;
        MainWindow->show();
        Paint.Arm(MainWindow.get(), [this, beforeMain, built] {
            const double shown = Ms() + std::max(0.0, beforeMain);
            std::printf("first window painted: %.1f ms after start (construction with the encoder "
                        "probe %.1f ms)  target %.0f ms: %s\n",
                        shown, built, TargetWindowMs, Verdict(shown, TargetWindowMs));
            ProbeEncoder();
            MakeMedia();
        });
#else
        Q_UNUSED(beforeMain);
        std::printf("main window: not in this tree (no gui/SonabelF.h); core list only\n");
        ProbeEncoder();
        MakeMedia();
#endif
    }

    void MakeMedia() {
        if (!Work.isValid() || (Files = MakeFiles(Work.path(), FileCount)).isEmpty())
            return Fail("cannot make the files (sox and lame needed)");
        if (MainWindow)
            DropOnWindow();
        else
            AddToTable();
    }

    void Report(const char* what, double addedMs) {
        const double total = Ms() - T0;
        std::printf("%s: %d files, listed %.0f ms, painted %.0f ms  target %.0f ms: %s; longest "
                    "stall %.0f ms  target %.0f ms: %s\n",
                    what, FileCount, addedMs, total, TargetListMs, Verdict(total, TargetListMs),
                    Meter.MaxGapMs, TargetStallMs, Verdict(Meter.MaxGapMs, TargetStallMs));
    }

    void DropOnWindow() {
        QAbstractItemView* view = SourceListView(MainWindow.get());
        if (!view)
            return Fail("the main window shows no source list");
        auto* model = qobject_cast<TSourceList*>(view->model());
        // Listed when the additions have ended and every file is a row; the
        // window may add them in slices, so the meter's ticks look for it.
        QObject::connect(model, &TSourceList::AddFilesEnd, &Meter, [this] { AddEnded = true; });
        Meter.OnTick = [this, model, view] {
            if (TListed > 0 || !AddEnded || model->rowCount() < FileCount)
                return;
            TListed = Ms() - T0;
            Paint.Arm(view->viewport(), [this] {
                Meter.Stop();
                Report("drop on the main window", TListed);
                if (WindowOnly)
                    QCoreApplication::exit(0);
                else
                    AddToTable();
            });
        };
        Meter.Start();
        QTimer::singleShot(0, &Meter, [this, view] {
            T0 = Ms();
            // A drop event sent by hand does not reach a view under the offscreen
            // platform; the window's own drop entry takes the same paths.
            QStringList paths;
            for (const QUrl& url : std::as_const(Files))
                paths << url.toLocalFile();
            static_cast<TSonabelMainForm*>(MainWindow.get())->AddDroppedPaths(paths);
        });
    }

    // The core's list in a plain table view: what a drop handler that adds
    // every file in one go costs today.
    void AddToTable() {
        List = std::make_unique<TSourceList>();
        Table = std::make_unique<QTableView>();
        Table->setModel(List.get());
        Table->verticalHeader()->hide();
        Table->resize(900, 600);
        Table->show();
        Paint.Arm(Table->viewport(), [this] {
            Meter.OnTick = nullptr;
            Meter.Start();
            QTimer::singleShot(0, &Meter, [this] {
                T0 = Ms();
                List->BeginAddFiles();
                for (const QUrl& url : std::as_const(Files))
                    List->AddSourceFile(url.toLocalFile());
                List->EndAddFiles();
                const double listed = Ms() - T0;
                if (List->Count() != FileCount)
                    return Fail("the list refused some of the files");
                Paint.Arm(Table->viewport(), [this, listed] {
                    Meter.Stop();
                    Report("core list in a table view, one synchronous add", listed);
                    const double t = Ms();
                    Table->grab();
                    std::printf("full repaint of the table: %.1f ms\n", Ms() - t);
                    QCoreApplication::exit(0);
                });
            });
        });
    }
};

} // namespace

int main(int argc, char** argv) {
    Clock.start();
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // lines in order with Qt's warnings
    const double beforeMain = MsBeforeMain();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window loads and saves its settings: never the user's own.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));

    QApplication app(argc, argv);
    TPreferences preferences;
    TRunState runState;
    TEncoderFacts encoderFacts(preferences);
    if (beforeMain >= 0)
        std::printf("before main: %.0f ms (10 ms resolution)\n", beforeMain);
    std::printf("QApplication: %.1f ms after main\n", Ms());
    TBench bench;
    if (argc > 1)
        bench.FileCount = std::max(1, QString::fromLocal8Bit(argv[1]).toInt());
    bench.WindowOnly = argc > 2 && qstrcmp(argv[2], "window-only") == 0;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &app,
                     [&bench] { bench.Fail("no result in time"); });
    watchdog.start(120000 + bench.FileCount * 2);
    QTimer::singleShot(0, &app, [&bench, beforeMain] { bench.StartWindow(beforeMain); });
    const int rc = app.exec();
    std::fflush(stdout);
    return rc;
}
