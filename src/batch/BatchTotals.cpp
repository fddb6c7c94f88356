// The run's totals: every entry's end counted and reported, refused files
// included, so that each file the user named gets a result.

#include "batch/Batch.h"

#include "messages/Messages.h"
#include "messages/Reporting.h"

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

void TBatch::EndEntry(const TEntryResult& result) {
    switch (result.Action) {
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
    Q_EMIT entryEnded(result);
}

void TBatch::Fail(int row, const QString& path, const QString& reason) {
    Reporter.LogFmt(msgFileFailed, {path, reason});
    EndEntry({row, path, QString(), TEntryAction::Failed, reason, {}});
}

void TBatch::EndUnstarted(int row, const QString& path, TReason reason) {
    const QString text = ReasonText(reason);
    if (IsFailure(reason)) {
        Fail(row, path, text);
        return;
    }
    Reporter.LogLine(SkippedLine(path, text));
    EndEntry({row, path, QString(), TEntryAction::Skipped, text, {}});
}

void TBatch::ReportRejected() {
    const QList<TRejectedSource> rejected = Source.RejectedSources();
    Source.ClearRejected();
    for (const TRejectedSource& r : rejected)
        EndUnstarted(-1, r.Path, r.Reason);
}
