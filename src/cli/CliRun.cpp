// sonabel-cli run: the batch of the desktop program on the terminal. Log lines
// (or one JSON object per entry) on stdout, a progress line on a terminal,
// warnings answered by --on-warning, Ctrl-C a confirmed stop.

#include "CliCommands.h"
#include "CliOptions.h"
#include "ConsoleReporter.h"
#include "Json.h"
#include "batch/Batch.h"
#include "batch/BatchSourceList.h"
#include "batch/PowerOff.h"
#include "encoder/SonabelMisc.h"
#include "messages/Messages.h"
#include "messages/ReasonTexts.h"
#include "messages/RunState.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int ExitInterrupted = 130;

int SignalPipe[2] = {-1, -1};

void OnInterrupt(int) {
    const char byte = 1;
    // Nothing else is safe in a signal handler; the event loop does the rest.
    (void)!::write(SignalPipe[1], &byte, 1);
}

// The terminal never powers the machine off.
class TNoPowerOff : public TPowerOff {
public:
    TPowerOffResult PowerOff() override { return {false, 0, QString()}; }
};

enum class TOnWarning { Abort, Good, All };

class TTerminalView : public TBatchView {
public:
    TTerminalView(TOnWarning onWarning, bool progressLine)
        : OnWarning(onWarning), ProgressLine(progressLine) {}

    TWarningAnswer ShowWarningList(const QString& /*caption*/, const QString& message,
                                   const QStringList& items, bool goodFilesEnabled,
                                   bool allFilesEnabled) override {
        ClearProgress();
        PrintErr(message);
        for (const QString& item : items)
            PrintErr(QStringLiteral("  ") + item);
        if (OnWarning == TOnWarning::All && allFilesEnabled)
            return TWarningAnswer::AllFiles;
        if (OnWarning != TOnWarning::Abort && goodFilesEnabled)
            return TWarningAnswer::GoodFilesOnly;
        PrintErr(OnWarning == TOnWarning::Abort
                     ? QStringLiteral("sonabel-cli: run not started; --on-warning good or "
                                      "--on-warning all lets it go ahead")
                     : QStringLiteral("sonabel-cli: run not started; this --on-warning answer "
                                      "is not offered here"));
        return TWarningAnswer::Abort;
    }
    void AskDelayedStart(int, std::function<void(bool)> done) override { done(false); }
    void PowerOffCountdown(int, std::function<void(bool)> done) override { done(false); }
    void CloseMainWindow() override {}
    void SetFileProgress(int position, int maximum) override {
        FilePos = position;
        FileMax = maximum;
        DrawProgress();
    }
    void SetTotalProgress(int position, int maximum) override {
        TotalPos = position;
        TotalMax = maximum;
        DrawProgress();
    }
    void SetTimeText(const QString& text) override { TimeText = text; }
    void SetLed(bool) override {}
    void SetGoButtonStart() override { ClearProgress(); }
    void SetGoButtonStop() override {}
    void DisableControls() override {}
    void EnableControls() override {}
    void SetCurrentRow(int) override {}
    void ClearLog() override {}
    void Repaint() override {}

    // Before anything else is written to the terminal.
    void ClearProgress() {
        if (Drawn) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            Drawn = false;
        }
    }

private:
    void DrawProgress() {
        if (!ProgressLine)
            return;
        const QString line = QStringLiteral("file %1/%2 KB  total %3/%4 KB  %5")
                                 .arg(qMin(FilePos, FileMax))
                                 .arg(FileMax)
                                 .arg(qMin(TotalPos, TotalMax))
                                 .arg(TotalMax)
                                 .arg(TimeText);
        std::fputs(("\r\033[K" + line).toUtf8().constData(), stderr);
        std::fflush(stderr);
        Drawn = true;
    }

    TOnWarning OnWarning;
    bool ProgressLine;
    bool Drawn = false;
    int FilePos = 0, FileMax = 0, TotalPos = 0, TotalMax = 0;
    QString TimeText;
};

// Log lines after the progress line is out of the way.
class TTerminalReporter : public TConsoleReporter {
public:
    TTerminalReporter(TTerminalView& view, QIODevice* out)
        : TConsoleReporter(TModalResult::No, out), View(view) {}
    void LogLine(const QString& text) override {
        View.ClearProgress();
        TConsoleReporter::LogLine(text);
    }
    void ReplaceLastLogLine(const QString& text) override {
        View.ClearProgress();
        TConsoleReporter::ReplaceLastLogLine(text);
    }
    TModalResult AskUser(const QString& message, TDialogType type, unsigned buttons,
                         int helpContext) override {
        View.ClearProgress();
        return TConsoleReporter::AskUser(message, type, buttons, helpContext);
    }
    void ShowInfo(const QString& text) override {
        View.ClearProgress();
        TConsoleReporter::ShowInfo(text);
    }

private:
    TTerminalView& View;
};

const char* ActionName(TEntryAction action) {
    switch (action) {
    case TEntryAction::Encoded:
        return "encoded";
    case TEntryAction::Copied:
        return "copied";
    case TEntryAction::Skipped:
        return "skipped";
    case TEntryAction::Failed:
        return "failed";
    case TEntryAction::Stopped:
        break;
    }
    return "stopped";
}

struct TRunOptions {
    TEncodingOptions Encoding;
    int Jobs = 0; // 0: the stored value
    bool Recursive = false;
    bool Json = false;
    TOnWarning OnWarning = TOnWarning::Abort;
    QString Language;
    quint32 SetFlags = 0, ClearFlags = 0;
    QStringList Paths;
    bool SettingsUnreadable = false;
};

// Returns an empty text when the arguments are sound, else the usage message.
QString ParseRunArguments(const QStringList& args, TRunOptions& o) {
    static const QList<std::pair<QString, quint32>> toggles = {
        {QStringLiteral("copy-data"), flCopyData}, {QStringLiteral("keep-v1"), flKeepTagV1},
        {QStringLiteral("keep-v2"), flKeepTagV2},  {QStringLiteral("compact"), flCompactTag},
        {QStringLiteral("keep-time"), flKeepTime},
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--")) {
            o.Paths += args.mid(i + 1);
            break;
        }
        QString error;
        const TOptionTake taken = TakeEncodingOption(args, i, o.Encoding, error);
        if (taken == TOptionTake::Failed) {
            o.SettingsUnreadable = true;
            return QString();
        }
        if (taken == TOptionTake::Error)
            return error;
        if (taken == TOptionTake::Taken)
            continue;
        bool toggled = false;
        for (const auto& [name, flag] : toggles) {
            if (a == QLatin1String("--") + name) {
                o.SetFlags |= flag;
                o.ClearFlags &= ~flag;
                toggled = true;
            } else if (a == QLatin1String("--no-") + name) {
                o.ClearFlags |= flag;
                o.SetFlags &= ~flag;
                toggled = true;
            }
        }
        if (toggled)
            continue;
        if (a == QLatin1String("--recursive")) {
            o.Recursive = true;
        } else if (a == QLatin1String("--json")) {
            o.Json = true;
        } else if (a == QLatin1String("--jobs") || a == QLatin1String("--on-warning") ||
                   a == QLatin1String("--lang")) {
            if (++i >= args.size())
                return QStringLiteral("%1 needs a value").arg(a);
            const QString& v = args.at(i);
            if (a == QLatin1String("--jobs")) {
                bool ok = false;
                o.Jobs = v.toInt(&ok);
                if (!ok || o.Jobs < 1 || o.Jobs > MaxJobs)
                    return QStringLiteral("--jobs %1 is not 1 to %2").arg(v).arg(MaxJobs);
            } else if (a == QLatin1String("--on-warning")) {
                if (v == QLatin1String("abort"))
                    o.OnWarning = TOnWarning::Abort;
                else if (v == QLatin1String("good"))
                    o.OnWarning = TOnWarning::Good;
                else if (v == QLatin1String("all"))
                    o.OnWarning = TOnWarning::All;
                else
                    return QStringLiteral("--on-warning %1 is not abort, good or all").arg(v);
            } else {
                if (LanguageIndexOfCode(v) < 0)
                    return QStringLiteral("--lang %1 is not ENG or FRN").arg(v);
                o.Language = v;
            }
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            return QStringLiteral("unknown option for run: %1").arg(a);
        } else {
            o.Paths << a;
        }
    }
    if (o.Paths.isEmpty())
        return QStringLiteral("run needs at least one path");
    return QString();
}

bool InstallInterruptPipe() {
    if (::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0;
}

} // namespace

int RunRunCommand(const QStringList& args) {
    TRunOptions o;
    const QString error = ParseRunArguments(args, o);
    if (!error.isEmpty())
        return UsageError(error);
    // A run that cannot have the settings it was given is refused before it starts.
    if (o.SettingsUnreadable)
        return ExitUsage;

    TSettings& s = Settings();
    SetLanguage(o.Language.isEmpty() ? s.Language : LanguageIndexOfCode(o.Language), false);
    ApplyEncodingOptions(o.Encoding);
    // No countdowns on the terminal: nothing waits before the run or powers off after it.
    s.Flags = ((s.Flags | o.SetFlags) & ~o.ClearFlags) & ~(flShutDown | flDelayedStart);
    if (o.Jobs > 0)
        s.Jobs = o.Jobs;
    if (o.Recursive)
        s.DirFlags |= dfRecurse;

    const QString encoder = ResolveEncoderPath(o.Encoding.Encoder);
    if (encoder.isEmpty()) {
        PrintErr(
            o.Encoding.Encoder.isEmpty()
                ? QStringLiteral("sonabel-cli: no encoder named %1 found")
                      .arg(QLatin1String(LameExeName))
                : QStringLiteral("sonabel-cli: encoder not found: %1").arg(o.Encoding.Encoder));
        return ExitUsage;
    }
    // A name that is not valid UTF-8 arrives with U+FFFD in it and finds no
    // file: the run reports it rather than refusing to start.
    for (const QString& path : o.Paths)
        if (!QFileInfo::exists(path) && !path.contains(QChar::ReplacementCharacter))
            return UsageError(QStringLiteral("no such file or folder: %1").arg(path));

    const bool progressLine = !o.Json && ::isatty(STDERR_FILENO) && ::isatty(STDOUT_FILENO);
    TTerminalView view(o.OnWarning, progressLine);
    QFile nullDevice(QProcess::nullDevice());
    if (o.Json)
        nullDevice.open(QIODevice::WriteOnly);
    TTerminalReporter reporter(view, o.Json ? &nullDevice : nullptr);

    TSourceList list;
    // The encoder's banner is read here, silently, rather than in the run's log.
    s.LamePath = encoder;
    list.UpdateList(false);
    // No reporter while adding: a file the list refuses is not a message box
    // here but a result of the run, with its reason.
    list.BeginAddFiles();
    for (const QString& given : o.Paths) {
        const QFileInfo info(given);
        if (info.isDir())
            list.AddFolder(info.absoluteFilePath());
        else
            list.AddSourceFile(info.absoluteFilePath());
    }
    list.EndAddFiles();

    TSourceListBatchSource source(list);
    TNoPowerOff powerOff;
    TBatch batch(source, view, reporter, powerOff);
    bool finished = false;
    bool interrupted = false;
    TRunSummary summary;
    if (o.Json)
        QObject::connect(&batch, &TBatch::entryEnded, [](const TEntryResult& r) {
            TJsonObject line;
            line.Add("path", r.Path);
            if (r.Output.isEmpty())
                line.AddNull("output");
            else
                line.Add("output", r.Output);
            line.Add("action", ActionName(r.Action));
            if (r.Reason.isEmpty())
                line.AddNull("reason");
            else
                line.Add("reason", r.Reason);
            PrintOut(line.ToString());
        });
    QObject::connect(&batch, &TBatch::runFinished, [&](const TRunSummary& result) {
        finished = true;
        summary = result;
        QCoreApplication::exit(0);
    });

    std::unique_ptr<QSocketNotifier> notifier;
    if (InstallInterruptPipe()) {
        notifier = std::make_unique<QSocketNotifier>(SignalPipe[0], QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [&] {
            char byte = 0;
            while (::read(SignalPipe[0], &byte, 1) > 0) {
            }
            interrupted = true;
            batch.Stop();
        });
    }

    if (batch.btnGOClick() != TGoResult::Started)
        return ExitUsage;
    if (!finished)
        QCoreApplication::exec();
    if (!o.Json)
        reporter.LogLine(RunSummaryLine(summary.Encoded, summary.Copied, summary.Skipped,
                                        summary.Failed, summary.ElapsedMs / 1000));
    reporter.Flush();
    view.ClearProgress();

    if (o.Json) {
        TJsonObject counts;
        counts.Add("encoded", summary.Encoded)
            .Add("copied", summary.Copied)
            .Add("skipped", summary.Skipped)
            .Add("failed", summary.Failed)
            .Add("stopped", summary.Stopped)
            .Add("seconds", double(summary.ElapsedMs) / 1000.0);
        PrintOut(TJsonObject().Add("summary", counts).ToString());
    }
    if (interrupted)
        return ExitInterrupted;
    return summary.Failed > 0 || summary.Stopped ? ExitFailed : ExitOk;
}
