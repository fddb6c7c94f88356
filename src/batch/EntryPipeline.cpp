#include "batch/EntryPipeline.h"

#include "encoder/DecodePipe.h"
#include "encoder/EncoderFacts.h"
#include "encoder/FilePaths.h"
#include "encoder/OutputFile.h"
#include "encoder/ProcessRunner.h"
#include "encoder/SonabelMisc.h"
#include "formats/StreamBlocks.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"
#include "settings/Settings.h"

#include <QFileInfo>

QString DisplayedPath(const QString& path) {
    if (Settings().Flags & flShortPath) {
        const QString shortPath = ExistingAbsolutePath(path);
        if (!shortPath.isEmpty())
            return shortPath;
    }
    return path;
}

TEntryPipeline::TEntryPipeline(const TRunShared& run, const TEntryStart& start, QObject* parent)
    : QObject(parent), Run(run), Start(start), File(std::make_unique<TOutputFile>(start.Output)) {}

// The children's ends must not reach a half-destroyed pipeline.
TEntryPipeline::~TEntryPipeline() {
    if (Process)
        Process->disconnect(this);
    if (Pipe)
        Pipe->disconnect(this);
}

QString TEntryPipeline::TempPath() const {
    return File->TempPath();
}

void TEntryPipeline::Copy() {
    const TBatchEntry& e = Start.Entry;
    Run.Reporter.LogFmt(msgCopyingFile, {DisplayedPath(e.Path)});
    try {
        DTCopyFileBlock(e.Path, File->TempPath(), e.TagV2Bytes, e.AudioBytes, BlockBufferSize);
    } catch (...) {
        Fail(ReasonWithDetail(TReason::CopyFailed, CurrentExceptionText()));
        return;
    }
    Publish(TEntryAction::Copied);
}

void TEntryPipeline::Encode() {
    const TBatchEntry& e = Start.Entry;
    const QStringList arguments =
        BuildLameArgumentList(Start.Type, Run.Params, e.Path, File->TempPath());
    Run.Reporter.LogFmt(msgEncodingFile, {DisplayedPath(e.Path)});
    if (Run.Jobs == 1)
        Run.Reporter.LogFmt(msgOutputSize, {0});
    Process = new TEncoderProcess(this);
    connect(
        Process, &TEncoderProcess::finished, this,
        [this](int exitCode, QProcess::ExitStatus status, bool started, const QString& errorText) {
            EncoderEnded(exitCode, int(status), started, errorText);
        });
    QString program = LameShortPath();
    if (program.isEmpty())
        program = QString::fromLatin1(LameExeName);
    Process->Start(program, arguments);
}

void TEntryPipeline::Kill() {
    if (Process)
        Process->Kill();
    if (Pipe)
        Pipe->Kill();
}

void TEntryPipeline::EncoderEnded(int exitCode, int exitStatus, bool started,
                                  const QString& errorText) {
    if (Ended)
        return;
    Q_EMIT processEnded();
    if (RunState != rsBatch) {
        EncodingEnded(QString());
        return;
    }
    QString reason;
    if (!started)
        reason = ReasonWithDetail(TReason::EncoderNotStarted, errorText);
    else if (exitStatus != int(QProcess::NormalExit))
        reason = ReasonText(TReason::EncoderCrashed);
    else if (exitCode != 0)
        reason = ReasonText(TReason::EncoderExitCode, {exitCode});
    else if (QFileInfo(File->TempPath()).size() == 0)
        reason = ReasonText(TReason::EncoderNoOutput);

    // Encoder succeeded -> check duration -> maybe encode again -> then tags.
    if (reason.isEmpty()) {
        reason = CheckOutput();
        if (!reason.isEmpty() && StartDecodePipe(reason))
            return;
    }
    EncodingEnded(reason);
}

void TEntryPipeline::EncodingEnded(const QString& reason) {
    const TBatchEntry& e = Start.Entry;
    if (RunState != rsBatch) {
        // A half-written output is of no use to anyone; only our temporary goes.
        File->Discard();
        DiscardSizeLine();
        End(TEntryAction::Stopped);
        return;
    }
    if (!reason.isEmpty()) {
        File->Discard();
        DiscardSizeLine();
        Fail(reason);
        return;
    }
    if (Run.Jobs == 1)
        Run.Reporter.ReplaceLastLogLine(MsgFmt(msgOutputSize, {e.EstimatedKB}));
    else
        Run.Reporter.LogFmt(msgOutputSize, {e.EstimatedKB});
    const QString note =
        Pipe ? MsgFmt(msgNoteEncodedAgain, {QString::fromLatin1(Mpg123ExeName), RetryReason})
             : QString();
    Publish(TEntryAction::Encoded, note);
}

void TEntryPipeline::DiscardSizeLine() {
    if (Run.Jobs == 1)
        Run.Reporter.ReplaceLastLogLine(Msg(msgOutputDiscarded));
}

void TEntryPipeline::Fail(const QString& reason) {
    Run.Reporter.LogFmt(msgFileFailed, {Start.Entry.Path, reason});
    End(TEntryAction::Failed, QString(), reason);
}

void TEntryPipeline::End(TEntryAction action, const QString& output, const QString& reason,
                         const QString& note) {
    Ended = true;
    // Whatever was not published goes now, before the run may start the next entry.
    File->Discard();
    Q_EMIT ended({Start.Row, Start.Entry.Path, output, action, reason, note});
}
