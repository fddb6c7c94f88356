// sonabel-cli run: the batch of the desktop program on the terminal. Log lines
// (or one JSON object per entry) on stdout, a progress line on a terminal,
// warnings answered by --on-warning; Ctrl-C, SIGTERM and SIGHUP a confirmed stop.

#include "CliCommands.h"
#include "CliOptions.h"
#include "CliSources.h"
#include "ConsoleReporter.h"
#include "Json.h"
#include "batch/Batch.h"
#include "batch/BatchSourceList.h"
#include "batch/PowerOff.h"
#include "encoder/EncoderFacts.h"
#include "encoder/ProcessRunner.h"
#include "messages/Messages.h"
#include "messages/ReasonTexts.h"
#include "messages/RunState.h"
#include "messages/SizeTexts.h"
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

// The signals that end a run the way Ctrl-C does: a terminal's interrupt,
// what timeout and service managers send, and a closed terminal.
constexpr int StopSignals[] = {SIGINT, SIGTERM, SIGHUP};

int SignalPipe[2] = {-1, -1};
volatile std::sig_atomic_t ReceivedSignal = 0;

void OnStopSignal(int signal) {
    if (!ReceivedSignal)
        ReceivedSignal = signal;
    // Ends a blocking child at its next poll; the event loop stops the batch.
    RequestProcessAbort();
    const char byte = 1;
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
        PrintErr(
            MsgFmt(msgCliError, {Msg(OnWarning == TOnWarning::Abort ? msgCliNotStartedAbort
                                                                    : msgCliNotStartedAnswer)}));
        return TWarningAnswer::Abort;
    }
    void AskDelayedStart(int, std::function<void(bool)> done) override { done(false); }
    void PowerOffCountdown(int, std::function<void(bool)> done) override { done(false); }

    // The progress line follows the run's bars and time; it goes when the run ends.
    void Follow(TBatch& batch) {
        QObject::connect(&batch, &TBatch::fileProgress, [this](int position, int maximum) {
            FilePos = position;
            FileMax = maximum;
            DrawProgress();
        });
        QObject::connect(&batch, &TBatch::totalProgress, [this](int position, int maximum) {
            TotalPos = position;
            TotalMax = maximum;
            DrawProgress();
        });
        QObject::connect(&batch, &TBatch::timeTextChanged,
                         [this](const QString& text) { TimeText = text; });
        QObject::connect(&batch, &TBatch::goButtonChanged, [this](bool stop) {
            if (!stop)
                ClearProgress();
        });
    }

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
    QList<TPathGroup> Groups;
    TShard Shard;
    bool MayBeEmpty = false; // a shard or a list, not paths named one by one
};

struct TToggle {
    QString Name;
    quint32 Flag;
    TMsgId Help;
};

// Settings a run can switch on (--NAME) or off (--no-NAME).
const QList<TToggle>& Toggles() {
    static const QList<TToggle> toggles = {
        {QStringLiteral("copy-data"), flCopyData, msgCliOptCopyData},
        {QStringLiteral("keep-v1"), flKeepTagV1, msgCliOptKeepV1},
        {QStringLiteral("keep-v2"), flKeepTagV2, msgCliOptKeepV2},
        {QStringLiteral("compact"), flCompactTag, msgCliOptCompact},
        {QStringLiteral("keep-time"), flKeepTime, msgCliOptKeepTime},
    };
    return toggles;
}

// Returns -1 when the arguments are sound, else the exit code (after the
// help, the version or the usage message).
int ParseRunArguments(const QStringList& args, TRunOptions& o) {
    QCommandLineParser parser;
    parser.setApplicationDescription(Msg(msgCliAboutRun));
    AddEncodingOptions(parser);
    AddSourceInputOptions(parser);
    for (const TToggle& t : Toggles()) {
        parser.addOption({t.Name, Msg(t.Help)});
        parser.addOption({QStringLiteral("no-") + t.Name, Msg(msgCliOptOff)});
    }
    parser.addOptions({
        {QStringLiteral("jobs"), MsgFmt(msgCliOptJobs, {MaxJobs}), QStringLiteral("N")},
        {QStringLiteral("recursive"), Msg(msgCliOptRecursive)},
        {QStringLiteral("on-warning"), Msg(msgCliOptOnWarning), QStringLiteral("abort|good|all")},
        {QStringLiteral("lang"), Msg(msgCliOptLang), QStringLiteral("ENG|FRN")},
        {QStringLiteral("json"), Msg(msgCliOptJson)},
    });
    parser.addPositionalArgument(QStringLiteral("PATH"), Msg(msgCliOptFilesAndFolders));
    const int exitCode =
        ParseCommandLine(parser, QStringLiteral("run"), QStringLiteral("PATH..."), args);
    if (exitCode >= 0)
        return exitCode;

    QString error;
    const TOptionRead read = ReadEncodingOptions(parser, o.Encoding, error);
    if (read == TOptionRead::Error)
        return UsageError(error);
    // A run that cannot have the settings it was given is refused before it starts.
    if (read == TOptionRead::Failed)
        return ExitUsage;
    // A later toggle wins over an earlier one.
    for (const QString& given : parser.optionNames()) {
        for (const TToggle& t : Toggles()) {
            if (given == t.Name) {
                o.SetFlags |= t.Flag;
                o.ClearFlags &= ~t.Flag;
            } else if (given == QStringLiteral("no-") + t.Name) {
                o.ClearFlags |= t.Flag;
                o.SetFlags &= ~t.Flag;
            }
        }
    }
    o.Recursive = parser.isSet(QStringLiteral("recursive"));
    o.Json = parser.isSet(QStringLiteral("json"));
    for (const QString& v : parser.values(QStringLiteral("jobs"))) {
        bool ok = false;
        o.Jobs = v.toInt(&ok);
        if (!ok || o.Jobs < 1 || o.Jobs > MaxJobs)
            return UsageError(MsgFmt(msgCliNotInRange, {QStringLiteral("jobs"), v, 1, MaxJobs}));
    }
    for (const QString& v : parser.values(QStringLiteral("on-warning"))) {
        if (v == QLatin1String("abort"))
            o.OnWarning = TOnWarning::Abort;
        else if (v == QLatin1String("good"))
            o.OnWarning = TOnWarning::Good;
        else if (v == QLatin1String("all"))
            o.OnWarning = TOnWarning::All;
        else
            return UsageError(MsgFmt(msgCliNotOnWarning, {v}));
    }
    for (const QString& v : parser.values(QStringLiteral("lang"))) {
        if (LanguageIndexOfCode(v) < 0)
            return UsageError(MsgFmt(msgCliNotLanguage, {v}));
        o.Language = v;
    }
    switch (ReadSourceInputs(parser, o.Groups, o.Shard, error)) {
    case TSourceRead::Ok:
        break;
    case TSourceRead::Error:
        return UsageError(error);
    case TSourceRead::Failed:
        return ExitUsage;
    }
    if (!GivesPaths(parser))
        return UsageError(MsgFmt(msgCliNeedsPathOrList, {QStringLiteral("run")}));
    o.MayBeEmpty = o.Shard.Count > 1 || parser.isSet(QStringLiteral("files-from"));
    return -1;
}

bool InstallStopSignals() {
    if (::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    bool ok = true;
    for (const int signal : StopSignals)
        ok = ::sigaction(signal, &action, nullptr) == 0 && ok;
    return ok;
}

void PrintJsonEntry(const TEntryResult& r) {
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
    if (!r.Note.isEmpty())
        line.Add("note", r.Note);
    PrintOut(line.ToString());
}

// The terminal's last line: the counts, the time and what was saved.
QString SummaryLastLine(const TRunSummary& summary) {
    QString last = RunSummaryLine(summary.Encoded, summary.Copied, summary.Skipped, summary.Failed,
                                  summary.ElapsedMs / 1000);
    const QString sizes = SavedSizesText(summary.SourceBytes, summary.OutputBytes);
    if (!sizes.isEmpty())
        last += QLatin1Char(' ') + sizes;
    return last;
}

void PrintJsonSummary(const TRunSummary& summary) {
    TJsonObject counts;
    counts.Add("encoded", summary.Encoded)
        .Add("copied", summary.Copied)
        .Add("skipped", summary.Skipped)
        .Add("failed", summary.Failed)
        .Add("stopped", summary.Stopped)
        .Add("seconds", double(summary.ElapsedMs) / 1000.0)
        .Add("sourceBytes", summary.SourceBytes)
        .Add("outputBytes", summary.OutputBytes);
    PrintOut(TJsonObject().Add("summary", counts).ToString());
}

// A stop signal, once the event loop runs, stops the batch.
std::unique_ptr<QSocketNotifier> StopOnSignal(TBatch& batch) {
    auto notifier = std::make_unique<QSocketNotifier>(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [&batch] {
        char byte = 0;
        while (::read(SignalPipe[0], &byte, 1) > 0) {
        }
        batch.Stop();
    });
    return notifier;
}

// Files are added as chosen files, folders through the folder filter; files
// outside the shard are left before they are even read.
void AddSources(TSourceList& list, const TRunOptions& o) {
    list.BeginAddFiles();
    for (const TPathGroup& group : o.Groups) {
        list.SetScanFilter([&](const QString& path) { return o.Shard.Takes(path, group.Root); });
        for (const QString& path : group.Paths) {
            if (QFileInfo(path).isDir())
                list.AddFolder(path);
            else if (o.Shard.Takes(path, group.Root))
                list.AddSourceFile(path);
        }
    }
    list.SetScanFilter({});
    list.EndAddFiles();
}

} // namespace

int RunRunCommand(const QStringList& args) {
    TRunOptions o;
    const int exitCode = ParseRunArguments(args, o);
    if (exitCode >= 0)
        return exitCode;
    // From here on a stop signal ends the run cleanly.
    const bool signalsInstalled = InstallStopSignals();

    const TSettings& s = Settings();
    SetLanguage(o.Language.isEmpty() ? s.Language : LanguageIndexOfCode(o.Language), false);
    ApplyEncodingOptions(o.Encoding);
    {
        auto edit = Preferences().Edit();
        // No countdowns on the terminal: nothing waits before the run or powers off after it.
        edit->Flags = ((s.Flags | o.SetFlags) & ~o.ClearFlags) & ~(flShutDown | flDelayedStart);
        if (o.Jobs > 0)
            edit->Jobs = o.Jobs;
        if (o.Recursive)
            edit->DirFlags |= dfRecurse;
    }

    const QString encoder = ResolveEncoderPath(o.Encoding.Encoder);
    if (encoder.isEmpty()) {
        PrintErr(MsgFmt(msgCliError, {EncoderNotFoundText(o.Encoding.Encoder)}));
        return ExitUsage;
    }
    // A name that is not valid UTF-8 arrives with U+FFFD in it and finds no
    // file: the run reports it rather than refusing to start.
    for (const TPathGroup& group : std::as_const(o.Groups))
        for (const QString& path : group.Paths)
            if (!QFileInfo::exists(path) && !path.contains(QChar::ReplacementCharacter))
                return UsageError(MsgFmt(msgCliNoSuchPath, {path}));

    const bool progressLine = !o.Json && ::isatty(STDERR_FILENO) && ::isatty(STDOUT_FILENO);
    TTerminalView view(o.OnWarning, progressLine);
    QFile nullDevice(QProcess::nullDevice());
    if (o.Json)
        nullDevice.open(QIODevice::WriteOnly);
    TTerminalReporter reporter(view, o.Json ? &nullDevice : nullptr);

    TSourceList list;
    Preferences().Edit()->LamePath = encoder;
    list.UpdateList(false);
    // No reporter while adding: a file the list refuses is not a message box
    // here but a result of the run, with its reason.
    AddSources(list, o);

    TSourceListBatchSource source(list);
    TNoPowerOff powerOff;
    TBatch batch(source, view, reporter, powerOff);
    view.Follow(batch);
    bool finished = false;
    TRunSummary summary;
    if (o.Json)
        QObject::connect(&batch, &TBatch::entryEnded, PrintJsonEntry);
    QObject::connect(&batch, &TBatch::runFinished, [&](const TRunSummary& result) {
        finished = true;
        summary = result;
        QCoreApplication::exit(0);
    });

    const std::unique_ptr<QSocketNotifier> notifier =
        signalsInstalled ? StopOnSignal(batch) : nullptr;

    // A stop before the run began (during the adding) starts nothing.
    if (ReceivedSignal)
        return 128 + ReceivedSignal;
    // A shard or a list may leave nothing to do: that is no error for the engine
    // that runs it, and says so with an empty summary.
    const bool nothingToDo = list.Count() == 0 && list.RejectedSources().isEmpty();
    if (nothingToDo && o.MayBeEmpty)
        finished = true;
    else if (batch.btnGOClick() != TGoResult::Started)
        return ExitUsage;
    if (!finished)
        QCoreApplication::exec();
    if (!o.Json)
        reporter.LogLine(SummaryLastLine(summary));
    reporter.Flush();
    view.ClearProgress();
    if (o.Json)
        PrintJsonSummary(summary);
    if (ReceivedSignal)
        return 128 + ReceivedSignal;
    return summary.Failed > 0 || summary.Stopped ? ExitFailed : ExitOk;
}
