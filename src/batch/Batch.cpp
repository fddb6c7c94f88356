#include "batch/Batch.h"

#include "batch/PowerOff.h"
#include "batch/ReplaceSource.h"
#include "encoder/DecodePipe.h"
#include "encoder/EncoderFacts.h"
#include "encoder/FilePaths.h"
#include "encoder/OutputFile.h"
#include "encoder/OutputNaming.h"
#include "encoder/ProcessRunner.h"
#include "encoder/SonabelMisc.h"
#include "formats/MP3Stream.h"
#include "formats/StreamBlocks.h"
#include "formats/TagTransfer.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"
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

TBatch::~TBatch() {
    // Encoders still running belong to this run: end them with it.
    for (auto& job : ActiveJobs) {
        job->Process->disconnect(this);
        if (job->Pipe)
            job->Pipe->disconnect(this);
    }
    ActiveJobs.clear();
}

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
    const QString size = QStringLiteral("%1 MB").arg(double(bytes) / 1e6, 0, 'f', 1);
    return View.ConfirmReplace(MsgFmt(msgReplaceQuestion, {files, size}));
}

void TBatch::StartRun(bool goodFilesOnly) {
    Running = true;
    GoodFilesOnly = goodFilesOnly;
    Summary = TRunSummary();
    Reserved.clear();
    Reporter.SetState(rsBatch);
    View.SetTimeText(Msg(msgTimePlaceholder));
    StartTick = Clock();
    Params = CurrentLameParams();
    Jobs = qBound(1, Settings().Jobs, MaxJobs);
    View.ClearLog();
    View.DisableControls();
    View.SetGoButtonStop();
    TotalMaxKB = CountRunKB(GoodFilesOnly);
    DoneKB = 0;
    TotalPosition = 0;
    View.SetTotalProgress(0, TotalMaxKB);
    View.SetLed(true);
    View.Repaint();
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
    while (RunState == rsBatch && int(ActiveJobs.size()) < Jobs && NextRow < Source.EntryCount()) {
        StartEntry(NextRow++);
    }
}

QString TBatch::ReserveOutputName(const QString& planned) {
    const QString name = MakeUniqueOutputName(planned, Reserved);
    Reserved.insert(name);
    return name;
}

QString TBatch::DisplayedPath(const QString& path) const {
    if (Settings().Flags & flShortPath) {
        const QString shortPath = ExistingAbsolutePath(path);
        if (!shortPath.isEmpty())
            return shortPath;
    }
    return path;
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
    const quint32 flags = Settings().Flags;
    View.SetCurrentRow(row);
    Q_EMIT entryStarted(row);
    try {
        const QFileInfo sourceInfo(e.Path);
        const QDateTime sourceTime = sourceInfo.exists() ? sourceInfo.lastModified() : QDateTime();
        e.SourceBytes = sourceInfo.exists() ? sourceInfo.size() : 0;
        TSourceFacts facts;
        const int type = Source.ClassifySource(e.Path, &facts);
        if (type == SourceUnusable) {
            EndUnstarted(row, e.Path, UnusableReason(e.Path));
            return;
        }
        // An output this run wrote for another source is no sign of this one's.
        if (Settings().SkipDone && !Reserved.contains(e.OutputPath) &&
            IsAlreadyConverted(e.Path, e.BitRate, e.OutputPath)) {
            if (Settings().ReplaceSources)
                TrashReplacedSource(e.Path, facts.DurationMs, facts.VBR, e.OutputPath);
            EndUnstarted(row, e.Path, TReason::AlreadyConverted);
            return;
        }
        // An output that is to take its source's name is written under it.
        const bool ownName = Settings().ReplaceSources && e.OutputPath == e.Path;
        const QString output = ownName ? e.Path : ReserveOutputName(e.OutputPath);
        const QString folder = QFileInfo(output).absolutePath();
        // One folder that cannot be made is this file's failure, not the run's.
        std::error_code error;
        std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
        if (error) {
            Reserved.remove(output);
            AdvanceTotal(e.EstimatedKB);
            Fail(row, e.Path, QString(),
                 ReasonWithDetail(TReason::CannotCreateFolder,
                                  QString::fromLocal8Bit(error.message()), {folder}));
            return;
        }
        // Everything is written to a file of our own and published when whole.
        auto file = std::make_unique<TOutputFile>(output);
        if (Jobs == 1)
            View.SetFileProgress(0, e.EstimatedKB);
        if (type == SourceMP3 && e.BitRate == EntryTarget(e) && (flags & flCopyData)) {
            Reporter.LogFmt(msgCopyingFile, {DisplayedPath(e.Path)});
            try {
                DTCopyFileBlock(e.Path, file->TempPath(), e.TagV2Bytes, e.AudioBytes,
                                BlockBufferSize);
            } catch (...) {
                const QString reason = ReasonWithDetail(TReason::CopyFailed, CurrentExceptionText());
                AdvanceTotal(e.EstimatedKB);
                Fail(row, e.Path, QString(), reason);
                return;
            }
            AdvanceTotal(e.EstimatedKB);
            if (Jobs == 1)
                View.SetFileProgress(e.EstimatedKB, e.EstimatedKB);
            AfterOutput(row, e, type, *file, output, sourceTime, TEntryAction::Copied);
            return;
        }
        const QStringList arguments = BuildLameArgumentList(type, Params, e.Path, file->TempPath());
        Reporter.LogFmt(msgEncodingFile, {DisplayedPath(e.Path)});
        if (Jobs == 1)
            Reporter.LogFmt(msgOutputSize, {0});
        auto job = std::make_unique<TJob>();
        job->Row = row;
        job->Entry = e;
        job->Type = type;
        job->Output = output;
        job->File = std::move(file);
        job->SourceTime = sourceTime;
        job->Facts = facts;
        job->Process = new TEncoderProcess(this);
        TJob* raw = job.get();
        connect(job->Process, &TEncoderProcess::finished, this,
                [this, raw](int exitCode, QProcess::ExitStatus status, bool started,
                            const QString& errorText) {
                    EncoderEnded(raw, exitCode, int(status), started, errorText);
                });
        ActiveJobs.push_back(std::move(job));
        QString program = LameShortPath();
        if (program.isEmpty())
            program = QString::fromLatin1(LameExeName);
        raw->Process->Start(program, arguments);
    } catch (...) {
        Fail(row, e.Path, QString(), ReasonWithDetail(TReason::FileError, CurrentExceptionText()));
    }
}

std::list<std::unique_ptr<TBatch::TJob>>::iterator TBatch::FindJob(TJob* job) {
    auto it = ActiveJobs.begin();
    while (it != ActiveJobs.end() && it->get() != job)
        ++it;
    return it;
}

void TBatch::EncoderEnded(TJob* job, int exitCode, int exitStatus, bool started,
                          const QString& errorText) {
    if (FindJob(job) == ActiveJobs.end())
        return;
    // The last measurement, as every poll of a single encoder gets one.
    if (Jobs == 1 && RunState == rsBatch)
        EncoderProgress();
    if (RunState != rsBatch) {
        JobEnded(job, QString());
        return;
    }

    QString reason;
    if (!started)
        reason = ReasonWithDetail(TReason::EncoderNotStarted, errorText);
    else if (exitStatus != int(QProcess::NormalExit))
        reason = ReasonText(TReason::EncoderCrashed);
    else if (exitCode != 0)
        reason = ReasonText(TReason::EncoderExitCode, {exitCode});
    else if (QFileInfo(job->File->TempPath()).size() == 0)
        reason = ReasonText(TReason::EncoderNoOutput);

    // Encoder succeeded -> check duration -> maybe encode again -> then tags.
    if (reason.isEmpty()) {
        reason = CheckOutput(*job, job->File->TempPath());
        if (!reason.isEmpty() && StartDecodePipe(job, job->File->TempPath(), reason))
            return;
    }
    JobEnded(job, reason);
}

void TBatch::JobEnded(TJob* job, const QString& reason) {
    const auto it = FindJob(job);
    std::unique_ptr<TJob> owned = std::move(*it);
    ActiveJobs.erase(it);
    owned->Process->deleteLater();
    if (owned->Pipe)
        owned->Pipe->deleteLater();
    const TBatchEntry& e = owned->Entry;

    if (RunState != rsBatch) {
        // A half-written output is of no use to anyone; only our temporary goes.
        owned->File->Discard();
        DiscardSizeLine();
        EndEntry(owned->Row, e.Path, QString(), TEntryAction::Stopped);
        MaybeFinish();
        return;
    }

    AdvanceTotal(e.EstimatedKB);
    if (Jobs == 1)
        View.SetFileProgress(e.EstimatedKB, e.EstimatedKB);
    if (!reason.isEmpty()) {
        owned->File->Discard();
        DiscardSizeLine();
        Fail(owned->Row, e.Path, QString(), reason);
    } else {
        if (Jobs == 1)
            Reporter.ReplaceLastLogLine(MsgFmt(msgOutputSize, {e.EstimatedKB}));
        else
            Reporter.LogFmt(msgOutputSize, {e.EstimatedKB});
        const QString note = owned->Pipe
                                 ? MsgFmt(msgNoteEncodedAgain,
                                          {QString::fromLatin1(Mpg123ExeName), owned->RetryReason})
                                 : QString();
        AfterOutput(owned->Row, e, owned->Type, *owned->File, owned->Output, owned->SourceTime,
                    TEntryAction::Encoded, note);
    }
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
    for (auto& job : ActiveJobs) {
        job->Process->Kill();
        if (job->Pipe)
            job->Pipe->Kill();
    }
}

void TBatch::MaybeFinish() {
    if (!Running || !ActiveJobs.empty())
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
            EndEntry(NextRow, Source.Entry(NextRow).Path, QString(), TEntryAction::Stopped);
    }
    if (stopped)
        Reporter.LogLine(Msg(msgRunStopped));
    else if (Unwritable.isEmpty())
        Reporter.LogLine(Msg(msgRunFinished));
    else
        Reporter.LogLine(Msg(msgRunFinishedSkipped));
    if (Summary.Failed > 0)
        Reporter.LogFmt(msgFilesFailed, {Summary.Failed});
    View.SetLed(false);
    View.SetGoButtonStart();
    UpdateTimeEstimate();
    View.EnableControls();
    const qint64 elapsedMs = Elapsed();
    View.SetTimeText(FormatTimeDisplay(0, elapsedMs / 1000));
    View.Repaint();
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
