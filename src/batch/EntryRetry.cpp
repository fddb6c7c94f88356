// The retry of a short output: an MPEG source whose encoder-side decoding
// gave up early is encoded again from mpg123's audio.

#include "batch/EntryPipeline.h"

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

QString TEntryPipeline::CheckOutput() {
    const TMP3Info output = GetMP3Info(File->TempPath());
    const QString reason =
        CheckOutputDuration(Start.Facts.DurationMs, Start.Facts.VBR, output.Duration, output.VBR);
    if (reason.isEmpty() || Start.Type == SourceWAV)
        return reason;
    // A source's length from its byte count also counts a zero-filled or junk
    // tail: only audio a decoder gets from it can go missing.
    if (DecodableMs < 0)
        DecodableMs = DecodableDurationMs(Start.Entry.Path);
    if (DecodableMs <= 0 || DecodableMs >= Start.Facts.DurationMs)
        return reason;
    return CheckOutputDuration(DecodableMs, false, output.Duration, output.VBR);
}

bool TEntryPipeline::StartDecodePipe(const QString& shortReason) {
    const QString& path = File->TempPath();
    if (Pipe || Run.DecoderPath.isEmpty() || Start.Type == SourceWAV || Start.Facts.SampleRate <= 0)
        return false;
    {
        // Truncated, so that the progress display measures the new output from zero.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
    }
    const TDecodePipeArguments arguments =
        BuildDecodePipeArgumentLists(Run.Params, Start.Entry.Path, path, Start.Facts.SampleRate,
                                     GetMpegChannels(Start.Entry.Path));
    RetryReason = shortReason;
    DiscardSizeLine();
    Run.Reporter.LogLine(EncodingAgainLine(DisplayedPath(Start.Entry.Path), shortReason,
                                           QString::fromLatin1(Mpg123ExeName)));
    if (Run.Jobs == 1)
        Run.Reporter.LogFmt(msgOutputSize, {0});
    Pipe = new TDecodePipe(this);
    connect(Pipe, &TDecodePipe::finished, this, &TEntryPipeline::DecodePipeEnded);
    QString encoder = LameShortPath();
    if (encoder.isEmpty())
        encoder = QString::fromLatin1(LameExeName);
    Pipe->Start(Run.DecoderPath, arguments.Decoder, encoder, arguments.Encoder);
    return true;
}

void TEntryPipeline::DecodePipeEnded(const QString& encoderError, const QString& decoderError) {
    if (Ended)
        return;
    Q_EMIT processEnded();
    QString reason;
    if (RunState == rsBatch) {
        // A decoder that failed part way leaves a short output, which says
        // more than its exit; one whose output is whole failed harmlessly.
        reason = encoderError;
        if (reason.isEmpty() && QFileInfo(File->TempPath()).size() == 0)
            reason = decoderError.isEmpty() ? ReasonText(TReason::EncoderNoOutput) : decoderError;
        if (reason.isEmpty())
            reason = CheckOutput();
    }
    EncodingEnded(reason);
}
