// What becomes of an encoder's output: its length checked against the
// source (and encoded again from another decoder's audio when short), its
// tags and file time, then its publication, or its source's replacement.

#include "batch/Batch.h"

#include "batch/OutputCheck.h"
#include "batch/ReplaceSource.h"
#include "encoder/DecodePipe.h"
#include "encoder/OutputFile.h"
#include "encoder/SonabelMisc.h"
#include "formats/MP3Stream.h"
#include "formats/TagTransfer.h"
#include "messages/Messages.h"
#include "formats/SourceType.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"
#include "settings/Settings.h"

#include <QFile>
#include <QFileInfo>
#include <exception>

namespace {

void SetFileTime(const QString& path, const QDateTime& time) {
    QFile file(path);
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(time, QFileDevice::FileModificationTime);
}

} // namespace

QString TBatch::CheckOutput(const TJob& job, const QString& path) const {
    const TMP3Info output = GetMP3Info(path);
    return CheckOutputDuration(job.Facts.DurationMs, job.Facts.VBR, output.Duration, output.VBR);
}

bool TBatch::StartDecodePipe(TJob* job, const QString& path, const QString& shortReason) {
    if (job->Pipe || DecoderPath.isEmpty() || job->Type == SourceWAV || job->Facts.SampleRate <= 0)
        return false;
    {
        // Truncated, so that the progress display measures the new output from zero.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
    }
    const TDecodePipeArguments arguments = BuildDecodePipeArgumentLists(
        Params, job->Entry.Path, path, job->Facts.SampleRate, GetMpegChannels(job->Entry.Path));
    Reporter.LogLine(EncodingAgainLine(DisplayedPath(job->Entry.Path), shortReason,
                                       QString::fromLatin1(Mpg123ExeName)));
    if (Jobs == 1)
        Reporter.LogFmt(msgOutputSize, {0});
    job->Pipe = new TDecodePipe(this);
    connect(job->Pipe, &TDecodePipe::finished, this,
            [this, job](const QString& encoderError, const QString& decoderError) {
                DecodePipeEnded(job, encoderError, decoderError);
            });
    QString encoder = LameShortPath;
    if (encoder.isEmpty())
        encoder = QString::fromLatin1(LameExeName);
    job->Pipe->Start(DecoderPath, arguments.Decoder, encoder, arguments.Encoder);
    return true;
}

void TBatch::DecodePipeEnded(TJob* job, const QString& encoderError, const QString& decoderError) {
    if (FindJob(job) == ActiveJobs.end())
        return;
    if (Jobs == 1 && RunState == rsBatch)
        EncoderProgress();
    QString reason;
    if (RunState == rsBatch) {
        // A decoder that failed part way leaves a short output, which says
        // more than its exit; one whose output is whole failed harmlessly.
        reason = encoderError;
        if (reason.isEmpty() && QFileInfo(job->File->TempPath()).size() == 0)
            reason = decoderError.isEmpty() ? ReasonText(TReason::EncoderNoOutput) : decoderError;
        if (reason.isEmpty())
            reason = CheckOutput(*job, job->File->TempPath());
    }
    JobEnded(job, reason);
}

void TBatch::AfterOutput(int row, const TBatchEntry& entry, int type, TOutputFile& file,
                         const QString& reservedName, const QDateTime& sourceTime,
                         TEntryAction action) {
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
        Fail(row, entry.Path, QString(), ReasonWithDetail(TReason::TagsFailed, CurrentExceptionText()));
        return;
    }
    TReplaceOutcome replaced;
    try {
        // Our own reservation must not push the output off its own name.
        Reserved.remove(reservedName);
        if (Settings().ReplaceSources) {
            const TSettings& s = Settings();
            const QString beside = MakeOutputPath(entry.Path, QString(), QString(), TargetBitRate,
                                                  s.EncodingMode == 0 ? 0 : 1, false, false);
            replaced = ReplaceSource(file, entry.Path, reservedName, beside, Reserved);
            published = replaced.Published;
        } else {
            published = file.Publish(entry.OutputPath, Reserved);
        }
        if (!published.isEmpty())
            Reserved.insert(published);
    } catch (...) {
        file.Discard();
        Fail(row, entry.Path, QString(), ReasonWithDetail(TReason::FileError, CurrentExceptionText()));
        return;
    }
    if (replaced.Skipped) {
        Reporter.LogLine(SkippedLine(entry.Path, replaced.Reason));
        EndEntry(row, entry.Path, QString(), TEntryAction::Skipped, replaced.Reason);
        return;
    }
    if (!replaced.Reason.isEmpty())
        Reporter.LogFmt(msgSourceNote, {entry.Path, replaced.Reason});
    EndEntry(row, entry.Path, published, action, replaced.Reason);
}
