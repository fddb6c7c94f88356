#include "batch/BatchSourceList.h"

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
