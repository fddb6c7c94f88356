#include "batch/Batch.h"

#include "batch/EntryPipeline.h"
#include "batch/PowerOff.h"
#include "batch/ReplaceSource.h"
#include "encoder/EncoderFacts.h"
#include "encoder/FilePaths.h"
#include "encoder/OutputFile.h"
#include "encoder/OutputNaming.h"
#include "encoder/ProcessRunner.h"
#include "encoder/SonabelMisc.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"
#include "messages/SizeTexts.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <exception>
#include <filesystem>
#include <memory>

int EntryTarget(const TBatchEntry& e) {
    return LameOutputBitRate(TargetBitRate, e.SampleRate);
}

TBatch::TBatch(TBatchSource& source, TBatchView& view, TReporter& reporter, TPowerOff& powerOff,
               QObject* parent)
    : QObject(parent), DecoderPath(QStandardPaths::findExecutable(QLatin1String(Mpg123ExeName))),
      Source(source), View(view), Reporter(reporter), PowerOffService(powerOff) {
    const auto origin = std::make_shared<QElapsedTimer>();
    origin->start();
    Clock = [origin] { return origin->elapsed(); };
    ProgressTimer.setInterval(ProgressIntervalMs);
    connect(&ProgressTimer, &QTimer::timeout, this, &TBatch::EncoderProgress);
}

// Encoders still running belong to this run: the pipelines, its children, end them with it.
TBatch::~TBatch() = default;

int TBatch::CountRunKB(bool goodFilesOnly) const {
    int sum = 0;
    for (int row = 0; row < Source.EntryCount(); ++row) {
        const TBatchEntry e = Source.Entry(row);
        if (!e.WillProcess || e.Done || (goodFilesOnly && e.BitRate < EntryTarget(e)))
            continue;
        sum += e.EstimatedKB;
    }
    return sum;
}

bool TBatch::ConfirmStopScan() {
    if (RunState != rsFolderScan)
        return true;
    if (Reporter.AskUser(Msg(msgStopScanQuestion), TDialogType::Warning, mbYes | mbNo) ==
        TModalResult::No)
        return false;
    // A scan that ended while the question was open needs no stop.
    if (RunState == rsFolderScan)
        Reporter.SetState(rsStopRequested);
    return true;
}

TGoResult TBatch::btnGOClick() {
    if (Source.EntryCount() == 0 && Source.RejectedSources().isEmpty()) {
        Reporter.ShowInfo(Msg(msgListEmpty));
        return TGoResult::Refused;
    }
    if (Running) {
        // After a confirmed stop the run is still winding down: no second run.
        if (RunState != rsBatch)
            return TGoResult::Ignored;
        if (ConfirmStopEncoding(Reporter) && RunState == rsStopRequested)
            KillJobs();
        return TGoResult::StopQuestion;
    }
    if (RunState == rsFolderScan) {
        ConfirmStopScan();
        return TGoResult::StopQuestion;
    }
    bool goodFilesOnly = false;
    // Something else (a scan, another run) may have started while a warning
    // or the countdown was open; the list refresh itself leaves the state idle.
    const quint8 stateBefore = RunState;
    const auto busy = [this, stateBefore] {
        return Running || (RunState != rsIdle && RunState != stateBefore);
    };
    if (!PrepareRun(goodFilesOnly))
        return TGoResult::Refused;
    if (busy())
        return TGoResult::Refused;
    if (Settings().Flags & flDelayedStart) {
        // Held during the countdown, so that a second press starts nothing.
        Running = true;
        const auto outcome = std::make_shared<TGoResult>(TGoResult::Waiting);
        View.AskDelayedStart(Settings().DelayS,
                             [this, goodFilesOnly, outcome, busy](bool cancelled) {
                                 Running = false;
                                 cancelled = cancelled || busy();
                                 *outcome = cancelled ? TGoResult::Refused : TGoResult::Started;
                                 if (!cancelled)
                                     StartRun(goodFilesOnly);
                             });
        return *outcome;
    }
    StartRun(goodFilesOnly);
    return TGoResult::Started;
}

bool TBatch::PrepareRun(bool& goodFilesOnly) {
    const TSettings& s = Settings();
    if (!s.DestDir.isEmpty()) {
        const bool slash = s.DestDir.endsWith(QLatin1Char('/'));
        const QString clean = QDir::cleanPath(QFileInfo(s.DestDir).absoluteFilePath());
        Preferences().Edit()->DestDir = slash ? IncludeTrailingSlash(clean) : clean;
    }
    Source.UpdateList(true);
    Unwritable = Source.UnwritableOutputs();
    const int count = Source.EntryCount();
    // With only refused files the run just reports them: no folder to judge.
    if (s.Flags & flDestFolder) {
        if (count > 0 && Unwritable.size() == count) {
            Reporter.AskUser(Msg(msgDestDirUnwritable), TDialogType::Warning, mbYes);
            return false;
        }
    } else if (count > 0 && Unwritable.size() == count) {
        Reporter.AskUser(Msg(msgAllFoldersUnwritable), TDialogType::Warning, mbYes);
        return false;
    } else if (!Unwritable.isEmpty()) {
        if (View.ShowWarningList(Msg(msgWarnCaption), Msg(msgWarnUnwritable), Unwritable, true,
                                 false) == TWarningAnswer::Abort)
            return false;
    }
    if (s.ReplaceSources && !ConfirmReplace())
        return false;
    goodFilesOnly = false;
    if (s.Flags & flBRHigher) {
        // Every file the answer applies to (MP1, MP2 and WAV as well), so that
        // none is skipped or grown without having been named; none converted already.
        QStringList lower;
        for (int row = 0; row < count; ++row) {
            const TBatchEntry e = Source.Entry(row);
            if (e.WillProcess && !e.Done && e.BitRate < EntryTarget(e))
                lower << e.Path;
        }
        if (!lower.isEmpty()) {
            switch (View.ShowWarningList(Msg(msgWarnCaption), Msg(msgWarnLowerBitRate), lower,
                                         lower.size() < count, true)) {
            case TWarningAnswer::Abort:
                return false;
            case TWarningAnswer::GoodFilesOnly:
                goodFilesOnly = true;
                break;
            case TWarningAnswer::AllFiles:
                break;
            }
        }
    }
    return true;
}

bool TBatch::ConfirmReplace() {
    int files = 0;
    qint64 bytes = 0;
    for (int row = 0; row < Source.EntryCount(); ++row) {
        const TBatchEntry e = Source.Entry(row);
        if (!e.WillProcess || e.Done)
            continue;
        ++files;
        bytes += QFileInfo(e.Path).size();
    }
    if (files == 0)
        return true;
    const QString size = SizeText(bytes);
    return View.ConfirmReplace(MsgFmt(msgReplaceQuestion, {files, size}));
}

void TBatch::StartRun(bool goodFilesOnly) {
    Running = true;
    GoodFilesOnly = goodFilesOnly;
    Summary = TRunSummary();
    Reserved.clear();
    Reporter.SetState(rsBatch);
    Q_EMIT timeTextChanged(Msg(msgTimePlaceholder));
    StartTick = Clock();
    Shared.reset(new TRunShared{Reporter, Reserved, CurrentLameParams(),
                                qBound(1, Settings().Jobs, MaxJobs), DecoderPath});
    Q_EMIT logCleared();
    Q_EMIT controlsEnabled(false);
    Q_EMIT goButtonChanged(true);
    TotalMaxKB = CountRunKB(GoodFilesOnly);
    DoneKB = 0;
    TotalPosition = 0;
    Q_EMIT totalProgress(0, TotalMaxKB);
    Q_EMIT ledChanged(true);
    NextRow = 0;
    CleanOutputFolders();
    Q_EMIT runStarted();
    ReportRejected();
    ProgressTimer.start();
    StartEntries();
    MaybeFinish();
}

void TBatch::CleanOutputFolders() {
    QSet<QString> folders;
    for (int row = 0; row < Source.EntryCount(); ++row)
        folders.insert(SplitFileName(Source.Entry(row).OutputPath).Dir);
    for (const QString& folder : std::as_const(folders))
        CleanLeftovers(folder);
}

void TBatch::StartEntries() {
    const bool nested = Starting;
    Starting = true;
    while (RunState == rsBatch && int(ActiveJobs.size()) < Shared->Jobs &&
           NextRow < Source.EntryCount())
        StartEntry(NextRow++);
    Starting = nested;
}

QString TBatch::ReserveOutputName(const QString& planned) {
    const QString name = MakeUniqueOutputName(planned, Reserved);
    Reserved.insert(name);
    return name;
}

void TBatch::StartEntry(int row) {
    TBatchEntry e = Source.Entry(row);
    if (!e.WillProcess) {
        EndUnstarted(row, e.Path, TReason::OutputNotWritable);
        return;
    }
    if (GoodFilesOnly && e.BitRate < EntryTarget(e)) {
        EndUnstarted(row, e.Path, TReason::BelowTargetBitRate);
        return;
    }
    Q_EMIT currentRowChanged(row);
    Q_EMIT entryStarted(row);
    TEntryPipeline* pipeline = nullptr;
    try {
        TEntryStart start;
        start.Row = row;
        const QFileInfo sourceInfo(e.Path);
        start.SourceTime = sourceInfo.exists() ? sourceInfo.lastModified() : QDateTime();
        e.SourceBytes = sourceInfo.exists() ? sourceInfo.size() : 0;
        start.Type = Source.ClassifySource(e.Path, &start.Facts);
        if (start.Type == SourceUnusable) {
            EndUnstarted(row, e.Path, UnusableReason(e.Path));
            return;
        }
        // An output this run wrote for another source is no sign of this one's.
        if (Settings().SkipDone && !Reserved.contains(e.OutputPath) &&
            IsAlreadyConverted(e.Path, e.BitRate, e.OutputPath)) {
            if (Settings().ReplaceSources)
                TrashReplacedSource(e.Path, start.Facts.DurationMs, start.Facts.VBR, e.OutputPath);
            EndUnstarted(row, e.Path, TReason::AlreadyConverted);
            return;
        }
        // An output that is to take its source's name is written under it.
        const bool ownName = Settings().ReplaceSources && e.OutputPath == e.Path;
        start.Output = ownName ? e.Path : ReserveOutputName(e.OutputPath);
        const QString folder = QFileInfo(start.Output).absolutePath();
        // One folder that cannot be made is this file's failure, not the run's.
        std::error_code error;
        std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
        if (error) {
            Reserved.remove(start.Output);
            AdvanceTotal(e.EstimatedKB);
            Fail(row, e.Path,
                 ReasonWithDetail(TReason::CannotCreateFolder,
                                  QString::fromLocal8Bit(error.message()), {folder}));
            return;
        }
        start.Entry = e;
        // Everything is written to a file of our own and published when whole.
        pipeline = new TEntryPipeline(*Shared, start, this);
        ActiveJobs << pipeline;
        connect(pipeline, &TEntryPipeline::ended, this,
                [this, pipeline](const TEntryResult& result) { PipelineEnded(pipeline, result); });
        connect(pipeline, &TEntryPipeline::processEnded, this, [this] {
            // The last measurement, as every poll of a single encoder gets one.
            if (Shared->Jobs == 1 && RunState == rsBatch)
                EncoderProgress();
        });
        if (Shared->Jobs == 1)
            Q_EMIT fileProgress(0, e.EstimatedKB);
        if (start.Type == SourceMP3 && e.BitRate == EntryTarget(e) &&
            (Settings().Flags & flCopyData))
            pipeline->Copy();
        else
            pipeline->Encode();
    } catch (...) {
        if (pipeline && ActiveJobs.removeOne(pipeline))
            pipeline->deleteLater();
        Fail(row, e.Path, ReasonWithDetail(TReason::FileError, CurrentExceptionText()));
    }
}

void TBatch::PipelineEnded(TEntryPipeline* pipeline, const TEntryResult& result) {
    ActiveJobs.removeOne(pipeline);
    pipeline->deleteLater();
    const TBatchEntry& e = pipeline->Entry();
    if (result.Action != TEntryAction::Stopped) {
        AdvanceTotal(e.EstimatedKB);
        if (Shared->Jobs == 1)
            Q_EMIT fileProgress(e.EstimatedKB, e.EstimatedKB);
    }
    if (result.Action == TEntryAction::Encoded || result.Action == TEntryAction::Copied) {
        Summary.SourceBytes += e.SourceBytes;
        Summary.OutputBytes += QFileInfo(result.Output).size();
    }
    EndEntry(result);
    // An entry that ended within its start leaves the next one to the loop that started it.
    if (Starting)
        return;
    StartEntries();
    MaybeFinish();
}

void TBatch::Stop() {
    if (!Running || RunState != rsBatch)
        return;
    Reporter.SetState(rsStopRequested);
    KillJobs();
}

void TBatch::KillJobs() {
    for (TEntryPipeline* pipeline : std::as_const(ActiveJobs))
        pipeline->Kill();
}

void TBatch::MaybeFinish() {
    if (!Running || !ActiveJobs.isEmpty())
        return;
    if (RunState == rsBatch && NextRow < Source.EntryCount())
        return;
    Finish();
}

void TBatch::Finish() {
    ProgressTimer.stop();
    const bool stopped = RunState != rsBatch;
    // Entries the run never reached.
    if (stopped) {
        for (; NextRow < Source.EntryCount(); ++NextRow)
            EndEntry(
                {NextRow, Source.Entry(NextRow).Path, QString(), TEntryAction::Stopped, {}, {}});
    }
    if (stopped)
        Reporter.LogLine(Msg(msgRunStopped));
    else if (Unwritable.isEmpty())
        Reporter.LogLine(Msg(msgRunFinished));
    else
        Reporter.LogLine(Msg(msgRunFinishedSkipped));
    if (Summary.Failed > 0)
        Reporter.LogFmt(msgFilesFailed, {Summary.Failed});
    Q_EMIT ledChanged(false);
    Q_EMIT goButtonChanged(false);
    UpdateTimeEstimate();
    Q_EMIT controlsEnabled(true);
    const qint64 elapsedMs = Elapsed();
    Q_EMIT timeTextChanged(FormatTimeDisplay(0, elapsedMs / 1000));
    Reporter.SetState(rsIdle);
    Running = false;
    Summary.Stopped = stopped;
    Summary.ElapsedMs = elapsedMs;
    Q_EMIT runFinished(Summary);
    if ((Settings().Flags & flShutDown) && !stopped)
        OfferPowerOff();
}

void TBatch::OfferPowerOff() {
    Reporter.SetState(rsPowerOff);
    View.PowerOffCountdown(PowerOffSeconds, [this](bool confirmed) {
        // A cancelled countdown means "not this time, nor the next run".
        if (!confirmed) {
            Preferences().Edit()->Flags &= ~flShutDown;
            return;
        }
        const TPowerOffResult result = PowerOffService.PowerOff();
        if (result.Accepted)
            View.CloseMainWindow();
        else
            Reporter.ShowInfoFmt(msgPowerOffFailed, {result.Code, result.Text});
    });
}
