// The run's clock: the growing outputs measured every poll, the total bar and
// the time label projected from it.

#include "batch/Batch.h"

#include "batch/EntryPipeline.h"
#include "formats/MulDiv.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"

#include <QFileInfo>

namespace {

qint64 MeasureKB(const QString& path) {
    const QFileInfo info(path);
    return info.exists() ? info.size() / 1024 : 0;
}

} // namespace

QString FormatTimeDisplay(qint64 remainingS, qint64 totalS) {
    return MsgFmt(msgTimeDisplay, {remainingS / 3600, remainingS / 60 % 60, remainingS % 60,
                                   totalS / 3600, totalS / 60 % 60, totalS % 60});
}

std::optional<QString> TimeEstimateText(qint64 elapsedMs, int position, int maximum) {
    // Too early or nothing written: a projection would only jump about.
    if (elapsedMs < 2000 || position < 1)
        return std::nullopt;
    const qint32 ms = qint32(qMin<qint64>(elapsedMs, INT32_MAX));
    const qint64 total = MulDiv(maximum, ms, position) / 1000;
    const qint64 remaining = MulDiv(maximum - position, ms, position) / 1000;
    return FormatTimeDisplay(qMax<qint64>(remaining, 0), qMax<qint64>(total, 0));
}

void TBatch::AdvanceTotal(int estimatedKB) {
    DoneKB += estimatedKB;
    TotalPosition = DoneKB;
    Q_EMIT totalProgress(TotalPosition, TotalMaxKB);
}

void TBatch::EncoderProgress() {
    if (ActiveJobs.isEmpty())
        return;
    int current = 0;
    int estimates = 0;
    for (const TEntryPipeline* pipeline : std::as_const(ActiveJobs)) {
        current += int(MeasureKB(pipeline->TempPath()));
        estimates += pipeline->Entry().EstimatedKB;
    }
    if (Shared->Jobs == 1)
        Reporter.ReplaceLastLogLine(MsgFmt(msgOutputSize, {current}));
    TotalPosition = DoneKB + current;
    Q_EMIT totalProgress(TotalPosition, TotalMaxKB);
    Q_EMIT fileProgress(current, estimates);
    UpdateTimeEstimate();
}

qint64 TBatch::Elapsed() const {
    return Clock() - StartTick;
}

void TBatch::UpdateTimeEstimate() {
    if (const std::optional<QString> text = TimeEstimateText(Elapsed(), TotalPosition, TotalMaxKB))
        Q_EMIT timeTextChanged(*text);
}
