#include "batch/Batch.h"

#include "batch/PowerOff.h"
#include "encoder/DecodePipe.h"
#include "encoder/OutputFile.h"
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

namespace {

constexpr int SourceTypeMP3 = 2;

// MP1, MP2 and MP3 sources are MPEG files and carry the same tags.
bool IsMpegSource(int type) {
    return type >= 0 && type <= SourceTypeMP3;
}

QString ExceptionText() {
    try {
        throw;
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("?");
    }
}

void SetFileTime(const QString& path, const QDateTime& time) {
    QFile file(path);
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(time, QFileDevice::FileModificationTime);
}

// What the encoder writes for this entry when asked for the target.
int EntryTarget(const TBatchEntry& e) {
    return LameOutputBitRate(TargetBitRate, e.SampleRate);
}

} // namespace

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
        if (!e.WillProcess || (goodFilesOnly && e.BitRate < EntryTarget(e)))
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
        RunState = rsStopRequested;
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
    TSettings& s = Settings();
    if (!s.DestDir.isEmpty()) {
        const bool slash = s.DestDir.endsWith(QLatin1Char('/'));
        s.DestDir = QDir::cleanPath(QFileInfo(s.DestDir).absoluteFilePath());
        if (slash)
            s.DestDir = IncludeTrailingSlash(s.DestDir);
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
    goodFilesOnly = false;
    if (s.Flags & flBRHigher) {
        QStringList lower;
        for (int row = 0; row < count; ++row) {
            const TBatchEntry e = Source.Entry(row);
            if (e.WillProcess && e.BitRate < EntryTarget(e) &&
                Source.ClassifySource(e.Path) == SourceTypeMP3)
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
    ReportRejected();
    ProgressTimer.start();
    StartEntries();
    MaybeFinish();
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
        const QString shortPath = GetShortPath(path);
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
    try {
        const QFileInfo sourceInfo(e.Path);
        const QDateTime sourceTime = sourceInfo.exists() ? sourceInfo.lastModified() : QDateTime();
        e.SourceBytes = sourceInfo.exists() ? sourceInfo.size() : 0;
        TSourceFacts facts;
        const int type = Source.ClassifySource(e.Path, &facts);
        if (type == UnusableSourceType) {
            EndUnstarted(row, e.Path, UnusableReason(e.Path));
            return;
        }
        const QString output = ReserveOutputName(e.OutputPath);
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
        if (type == SourceTypeMP3 && e.BitRate == EntryTarget(e) && (flags & flCopyData)) {
            Reporter.LogFmt(msgCopyingFile, {DisplayedPath(e.Path)});
            try {
                DTCopyFileBlock(e.Path, file->TempPath(), e.TagV2Bytes, e.AudioBytes,
                                BlockBufferSize);
            } catch (...) {
                const QString reason = ReasonWithDetail(TReason::CopyFailed, ExceptionText());
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
        QString program = LameShortPath;
        if (program.isEmpty())
            program = QString::fromLatin1(LameExeName);
        raw->Process->Start(program, arguments);
    } catch (...) {
        Fail(row, e.Path, QString(), ReasonWithDetail(TReason::FileError, ExceptionText()));
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

void TBatch::AfterOutput(int row, const TBatchEntry& entry, int type, TOutputFile& file,
                         const QString& reservedName, const QDateTime& sourceTime,
                         TEntryAction action, const QString& note) {
    const quint32 flags = Settings().Flags;
    const QString& temp = file.TempPath();
    QString published;
    try {
        if (IsMpegSource(type)) {
            // The encoder copies an MPEG source's ID3v2 tag by itself; the
            // options alone decide which tags the output carries.
            if (action == TEntryAction::Encoded)
                StripLeadingTagV2(temp);
            TransferTags(entry.Path, temp, flags & flKeepTagV1, flags & flKeepTagV2,
                         flags & flCompactTag);
        }
        if (sourceTime.isValid() && (flags & flKeepTime))
            SetFileTime(temp, sourceTime);
    } catch (...) {
        file.Discard();
        Fail(row, entry.Path, QString(), ReasonWithDetail(TReason::TagsFailed, ExceptionText()));
        return;
    }
    try {
        // Our own reservation must not push the output off its own name.
        Reserved.remove(reservedName);
        published = file.Publish(entry.OutputPath, Reserved);
        Reserved.insert(published);
    } catch (...) {
        file.Discard();
        Fail(row, entry.Path, QString(), ReasonWithDetail(TReason::FileError, ExceptionText()));
        return;
    }
    CountSizes(entry, published);
    EndEntry(row, entry.Path, published, action, QString(), note);
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
        if (!confirmed)
            return;
        const TPowerOffResult result = PowerOffService.PowerOff();
        if (result.Accepted)
            View.CloseMainWindow();
        else
            Reporter.ShowInfoFmt(msgPowerOffFailed, {result.Code, result.Text});
    });
}
