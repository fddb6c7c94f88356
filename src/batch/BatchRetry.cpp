// The retry of a short output: an MPEG source whose encoder-side decoding
// gave up early is encoded again from mpg123's audio.

#include "batch/Batch.h"

#include "batch/OutputCheck.h"
#include "encoder/DecodePipe.h"
#include "encoder/EncoderFacts.h"
#include "encoder/OutputFile.h"
#include "encoder/SonabelMisc.h"
#include "formats/DecodableAudio.h"
#include "formats/MP3Stream.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"

#include <QFile>
#include <QFileInfo>

namespace {
constexpr int SourceTypeWAV = 3;
} // namespace

QString TBatch::CheckOutput(TJob& job, const QString& path) {
    const TMP3Info output = GetMP3Info(path);
    const QString reason =
        CheckOutputDuration(job.Facts.DurationMs, job.Facts.VBR, output.Duration, output.VBR);
    if (reason.isEmpty() || job.Type == SourceTypeWAV)
        return reason;
    // A source's length from its byte count also counts a zero-filled or junk
    // tail: only audio a decoder gets from it can go missing.
    if (job.DecodableMs < 0)
        job.DecodableMs = DecodableDurationMs(job.Entry.Path);
    if (job.DecodableMs <= 0 || job.DecodableMs >= job.Facts.DurationMs)
        return reason;
    return CheckOutputDuration(job.DecodableMs, false, output.Duration, output.VBR);
}

bool TBatch::StartDecodePipe(TJob* job, const QString& path, const QString& shortReason) {
    if (job->Pipe || DecoderPath.isEmpty() || job->Type == SourceTypeWAV ||
        job->Facts.SampleRate <= 0)
        return false;
    {
        // Truncated, so that the progress display measures the new output from zero.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
    }
    const TDecodePipeArguments arguments = BuildDecodePipeArgumentLists(
        Params, job->Entry.Path, path, job->Facts.SampleRate, GetMpegChannels(job->Entry.Path));
    job->RetryReason = shortReason;
    DiscardSizeLine();
    Reporter.LogLine(EncodingAgainLine(DisplayedPath(job->Entry.Path), shortReason,
                                       QString::fromLatin1(Mpg123ExeName)));
    if (Jobs == 1)
        Reporter.LogFmt(msgOutputSize, {0});
    job->Pipe = new TDecodePipe(this);
    connect(job->Pipe, &TDecodePipe::finished, this,
            [this, job](const QString& encoderError, const QString& decoderError) {
                DecodePipeEnded(job, encoderError, decoderError);
            });
    QString encoder = LameShortPath();
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
