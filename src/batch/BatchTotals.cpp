// The run's totals: every entry's end counted and reported, refused files
// included, so that each file the user named gets a result.

#include "batch/Batch.h"

#include "messages/Messages.h"
#include "messages/Reporting.h"

#include <QFileInfo>

namespace {

// Data the user asked for that could not be read is a failure; a file that is
// no usable audio, or that the run's settings leave out, is skipped.
bool IsFailure(TReason reason) {
    switch (reason) {
    case TReason::PermissionDenied:
    case TReason::FileVanished:
    case TReason::FileNotFound:
    case TReason::NameNotUtf8:
    case TReason::FileError:
        return true;
    default:
        return false;
    }
}

} // namespace

void TBatch::CountSizes(const TBatchEntry& entry, const QString& output) {
    Summary.SourceBytes += entry.SourceBytes;
    Summary.OutputBytes += QFileInfo(output).size();
}

void TBatch::DiscardSizeLine() {
    if (Jobs == 1)
        Reporter.ReplaceLastLogLine(Msg(msgOutputDiscarded));
}

void TBatch::EndEntry(int row, const QString& path, const QString& output, TEntryAction action,
                      const QString& reason, const QString& note) {
    switch (action) {
    case TEntryAction::Encoded:
        ++Summary.Encoded;
        break;
    case TEntryAction::Copied:
        ++Summary.Copied;
        break;
    case TEntryAction::Skipped:
        ++Summary.Skipped;
        break;
    case TEntryAction::Failed:
        ++Summary.Failed;
        break;
    case TEntryAction::Stopped:
        break;
    }
    Q_EMIT entryEnded({row, path, output, action, reason, note});
}

void TBatch::Fail(int row, const QString& path, const QString& output, const QString& reason) {
    Reporter.LogFmt(msgFileFailed, {path, reason});
    EndEntry(row, path, output, TEntryAction::Failed, reason);
}

void TBatch::EndUnstarted(int row, const QString& path, TReason reason) {
    const QString text = ReasonText(reason);
    if (IsFailure(reason)) {
        Fail(row, path, QString(), text);
        return;
    }
    Reporter.LogLine(SkippedLine(path, text));
    EndEntry(row, path, QString(), TEntryAction::Skipped, text);
}

void TBatch::ReportRejected() {
    const QList<TRejectedSource> rejected = Source.RejectedSources();
    Source.ClearRejected();
    for (const TRejectedSource& r : rejected)
        EndUnstarted(-1, r.Path, r.Reason);
}
