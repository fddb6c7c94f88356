#include "batch/BatchSourceList.h"

#include "messages/Messages.h"
#include "messages/DurationTexts.h"
#include "messages/SizeTexts.h"
#include "sources/SourceList.h"

int TSourceListBatchSource::EntryCount() const {
    return List.Count();
}

TBatchEntry TSourceListBatchSource::Entry(int row) const {
    TBatchEntry e;
    e.Path = List.GetCell(row, TCell::Path);
    e.EstimatedKB = List.GetCellInt(row, TCell::EstimatedKB);
    e.BitRate = List.GetCellInt(row, TCell::BitRate);
    e.AudioBytes = List.GetCell(row, TCell::AudioBytes).toLongLong();
    e.TagV2Bytes = List.GetCell(row, TCell::TagV2Bytes).toLongLong();
    e.OutputPath = List.GetCell(row, TCell::OutputPath);
    e.WillProcess = List.GetCellInt(row, TCell::WillProcess) != 0;
    e.Done = List.GetCellInt(row, TCell::Done) != 0;
    e.SampleRate = List.GetCellInt(row, TCell::SampleRate);
    return e;
}

void TSourceListBatchSource::UpdateList(bool collectUnwritable) {
    List.UpdateList(collectUnwritable);
}

QStringList TSourceListBatchSource::UnwritableOutputs() const {
    return List.UnwritableOutputs();
}

int TSourceListBatchSource::ClassifySource(const QString& path, TSourceFacts* facts) {
    TSourceAnalysis analysis;
    const int type = ::ClassifySource(path, &analysis);
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
        status.SourceBytes = FileSizeOf(list.GetCell(row, TCell::Path));
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
