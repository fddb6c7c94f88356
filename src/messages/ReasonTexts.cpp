#include "messages/ReasonTexts.h"

#include "messages/FormatMsg.h"
#include "messages/Messages.h"

static_assert(msgReasonOutputShort - msgReasonUnsupportedFile + 1 == ReasonCount);
static_assert(msgErrRename - msgErrFileOpen + 1 == ErrorIdCount);

QString ReasonText(TReason id, std::initializer_list<QVariant> args) {
    const int i = int(id);
    if (i < 0 || i >= ReasonCount)
        return QString();
    return MsgFmt(TMsgId(msgReasonUnsupportedFile + i), args);
}

QString ReasonWithDetail(TReason id, const QString& detail) {
    if (detail.isEmpty())
        return ReasonText(id);
    return MsgFmt(msgReasonWithDetail, {ReasonText(id), detail});
}

QString ErrorText(const ESonabelError& error) {
    const int i = int(error.Id);
    if (i < 0 || i >= ErrorIdCount)
        return QString();
    return FormatMsgArgs(Msg(TMsgId(msgErrFileOpen + i)), error.Args);
}

QString SkippedLine(const QString& path, const QString& reason) {
    return MsgFmt(msgSkippedLine, {path, reason});
}

QString EncodingAgainLine(const QString& path, const QString& reason, const QString& decoder) {
    return MsgFmt(msgEncodingAgain, {path, reason, decoder});
}

QString RunSummaryLine(int encoded, int copied, int skipped, int failed, qint64 seconds) {
    return MsgFmt(msgRunSummary, {encoded, copied, skipped, failed, seconds / 3600,
                                  seconds / 60 % 60, seconds % 60});
}
