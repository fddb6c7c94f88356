#include "batch/OutputCheck.h"

#include "messages/DecoderTexts.h"

namespace {

QString Seconds(int ms) {
    return QString::number(ms / 1000.0, 'f', 1);
}

} // namespace

QString CheckOutputDuration(int sourceMs, bool sourceVbr, int outputMs, bool outputVbr,
                            int language) {
    if (sourceMs <= 0)
        return QString();
    qint64 slack = OutputSlackMs;
    if (sourceVbr || outputVbr)
        slack += qint64(sourceMs) * VbrSlackPercent / 100;
    if (qint64(outputMs) >= sourceMs - slack)
        return QString();
    return DecoderText(TDecoderText::OutputShort, language)
        .arg(Seconds(qMax(outputMs, 0)), Seconds(sourceMs));
}
