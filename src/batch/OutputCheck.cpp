#include "batch/OutputCheck.h"

#include "messages/ReasonTexts.h"

namespace {

QString Seconds(int ms) {
    return QString::number(ms / 1000.0, 'f', 1);
}

} // namespace

QString CheckOutputDuration(int sourceMs, bool sourceVbr, int outputMs, bool outputVbr) {
    if (sourceMs <= 0)
        return QString();
    qint64 slack = OutputSlackMs;
    if (sourceVbr || outputVbr)
        slack += qint64(sourceMs) * VbrSlackPercent / 100;
    if (qint64(outputMs) >= sourceMs - slack)
        return QString();
    return ReasonText(TReason::OutputShort, {Seconds(qMax(outputMs, 0)), Seconds(sourceMs)});
}
