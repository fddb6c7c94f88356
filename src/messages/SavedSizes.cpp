#include "messages/SavedSizes.h"

#include "messages/Messages.h"

#include <cmath>

QString SizeText(qint64 bytes) {
    static constexpr TMsgId Units[] = {msgSizeKB, msgSizeMB, msgSizeGB};
    double value = double(qMax<qint64>(bytes, 0)) / 1024.0;
    int unit = 0;
    while (unit < 2 && std::round(value) >= 1024.0) {
        value /= 1024.0;
        ++unit;
    }
    // A decimal only where it says something: 1.4 MB, but 980 KB and 23 MB.
    QString number = unit > 0 && value < 9.95 ? QString::number(value, 'f', 1)
                                              : QString::number(std::llround(value));
    number.replace(QLatin1Char('.'), Msg(msgDecimalMark));
    return MsgFmt(Units[unit], {number});
}

QString SavedSizesText(qint64 sourceBytes, qint64 outputBytes) {
    const bool smaller = outputBytes <= sourceBytes;
    const qint64 diff = smaller ? sourceBytes - outputBytes : outputBytes - sourceBytes;
    const int percent =
        sourceBytes > 0 ? int(std::llround(100.0 * double(diff) / double(sourceBytes))) : 0;
    return MsgFmt(smaller ? msgSavedSmaller : msgSavedLarger,
                  {SizeText(sourceBytes), SizeText(outputBytes), percent});
}

QString DurationText(qint64 ms) {
    const qint64 s = (qMax<qint64>(ms, 0) + 500) / 1000;
    if (s < 60)
        return MsgFmt(msgDurationS, {s});
    if (s < 3600)
        return MsgFmt(msgDurationMinS, {s / 60, s % 60});
    return MsgFmt(msgDurationHMin, {s / 3600, s / 60 % 60});
}
