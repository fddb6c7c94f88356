#include "messages/DurationTexts.h"

#include "messages/Messages.h"

QString DurationText(qint64 ms) {
    const qint64 s = (qMax<qint64>(ms, 0) + 500) / 1000;
    if (s < 60)
        return MsgFmt(msgDurationS, {s});
    if (s < 3600)
        return MsgFmt(msgDurationMinS, {s / 60, s % 60});
    return MsgFmt(msgDurationHMin, {s / 3600, s / 60 % 60});
}
