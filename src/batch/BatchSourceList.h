#pragma once
// The source list as the batch reads it.

#include "batch/Batch.h"

class TSourceList;

class TSourceListBatchSource : public TBatchSource {
public:
    explicit TSourceListBatchSource(TSourceList& list) : List(list) {}
    int EntryCount() const override;
    TBatchEntry Entry(int row) const override;
    void UpdateList(bool collectUnwritable) override;
    QStringList UnwritableOutputs() const override;
    TSourceType ClassifySource(const QString& path, TSourceFacts* facts = nullptr) override;
    QList<TRejectedSource> RejectedSources() const override;
    void ClearRejected() override;

private:
    TSourceList& List;
};

// Keeps the list's row statuses in step with a run: every row waits when it
// starts, then each one is encoding and finally done, skipped, failed or stopped.
void FollowRun(TBatch& batch, TSourceList& list);

// The run's one-line summary: counts, time and, when anything was written,
// the sizes before and after.
QString RunSummaryText(const TRunSummary& summary);
