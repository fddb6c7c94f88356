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
    int ClassifySource(const QString& path, TSourceFacts* facts = nullptr) override;
    QList<TRejectedSource> RejectedSources() const override;
    void ClearRejected() override;

private:
    TSourceList& List;
};
