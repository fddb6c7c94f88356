#include "batch/BatchSourceList.h"

#include "messages/DurationTexts.h"
#include "messages/Messages.h"
#include "messages/SizeTexts.h"
#include "sources/SourceList.h"

int TSourceListBatchSource::EntryCount() const {
    return List.Count();
}

TBatchEntry TSourceListBatchSource::Entry(int row) const {
    const TSourceRow& r = List.Row(row);
    TBatchEntry e;
    e.Path = r.Path;
    e.EstimatedKB = r.EstimatedKB;
    e.BitRate = r.BitRate;
    e.AudioBytes = r.AudioBytes;
    e.TagV2Bytes = r.TagV2Bytes;
    e.OutputPath = r.OutputPath;
    e.WillProcess = r.WillProcess;
    e.Done = r.Done;
    e.SampleRate = r.SampleRate;
    return e;
}

void TSourceListBatchSource::UpdateList(bool collectUnwritable) {
    List.UpdateList(collectUnwritable);
}

QStringList TSourceListBatchSource::UnwritableOutputs() const {
    return List.UnwritableOutputs();
}

TSourceType TSourceListBatchSource::ClassifySource(const QString& path, TSourceFacts* facts) {
    TSourceAnalysis analysis;
    const TSourceType type = ::ClassifySource(path, &analysis);
    if (facts) {
        *facts = TSourceFacts();
        if (type == SourceWAV) {
            facts->DurationMs = analysis.WAV.Duration;
            facts->SampleRate = analysis.WAV.SampleRate;
        } else if (type != SourceUnusable) {
            facts->DurationMs = analysis.MP3.Duration;
            facts->VBR = analysis.MP3.VBR;
            facts->SampleRate = analysis.MP3.SampleRate;
        }
    }
    return type;
}

QList<TRejectedSource> TSourceListBatchSource::RejectedSources() const {
    return List.RejectedSources();
}

void TSourceListBatchSource::ClearRejected() {
    List.ClearRejected();
}

namespace {

TRowState StateOf(TEntryAction action) {
    switch (action) {
    case TEntryAction::Encoded:
    case TEntryAction::Copied:
        return TRowState::Done;
    case TEntryAction::Skipped:
        return TRowState::Skipped;
    case TEntryAction::Failed:
        return TRowState::Failed;
    case TEntryAction::Stopped:
        break;
    }
    return TRowState::Stopped;
}

} // namespace

void FollowRun(TBatch& batch, TSourceList& list) {
    QObject::connect(&batch, &TBatch::runStarted, &list, &TSourceList::ResetRowStatuses);
    QObject::connect(&batch, &TBatch::entryStarted, &list, [&list](int row) {
        TRowStatus status;
        status.State = TRowState::Encoding;
        // Measured now: a run that replaces its sources puts the output there.
        status.SourceBytes = FileSizeOf(list.Row(row).Path);
        list.SetRowStatus(row, status);
    });
    QObject::connect(&batch, &TBatch::entryEnded, &list, [&list](const TEntryResult& result) {
        if (result.Row < 0) // refused before the run: no row
            return;
        TRowStatus status = list.RowStatus(result.Row);
        status.State = StateOf(result.Action);
        status.Reason = result.Reason;
        status.Output = result.Output;
        if (status.State == TRowState::Done)
            status.OutputBytes = FileSizeOf(result.Output);
        list.SetRowStatus(result.Row, status);
    });
}

QString RunSummaryText(const TRunSummary& summary) {
    QString text = MsgFmt(msgRunSummary, {summary.Encoded + summary.Copied, summary.Skipped,
                                          summary.Failed, DurationText(summary.ElapsedMs)});
    // The same sizes the terminal's last line gives: this run's sources and outputs.
    const QString sizes = SavedSizesText(summary.SourceBytes, summary.OutputBytes);
    if (!sizes.isEmpty())
        text += QStringLiteral("; ") + sizes;
    return text;
}
