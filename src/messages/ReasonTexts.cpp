#include "messages/ReasonTexts.h"

#include "messages/FormatMsg.h"
#include "messages/Messages.h"

#include <array>
#include <exception>

namespace {

// In the order of TReason.
constexpr std::array<TMsgId, ReasonCount> ReasonIds = {
    msgReasonUnsupportedFile,  msgReasonEmptyFile,          msgReasonNotPcm,
    msgReasonNotRegularFile,   msgReasonPermissionDenied,   msgReasonFileVanished,
    msgReasonFileNotFound,     msgReasonNameNotUtf8,        msgReasonOutputNotWritable,
    msgReasonBelowTargetBitRate, msgReasonEncoderNotStarted, msgReasonEncoderCrashed,
    msgReasonEncoderExitCode,  msgReasonEncoderNoOutput,    msgReasonCannotCreateFolder,
    msgReasonCopyFailed,       msgReasonTagsFailed,         msgReasonFileError,
    msgReasonOutputShort,      msgReasonAlreadyConverted,   msgReasonNotSmaller,
    msgReasonTrashFailed};

// In the order of TErrorId.
constexpr std::array<TMsgId, ErrorIdCount> ErrorIds = {
    msgErrFileOpen, msgErrRead,   msgErrWrite,      msgErrNotAnInteger,
    msgErrRename,   msgErrSystem, msgErrBadArgument};

} // namespace


QString ReasonText(TReason id, std::initializer_list<QVariant> args) {
    const int i = int(id);
    if (i < 0 || i >= ReasonCount)
        return QString();
    return MsgFmt(ReasonIds[size_t(i)], args);
}

QString ReasonWithDetail(TReason id, const QString& detail, std::initializer_list<QVariant> args) {
    if (detail.isEmpty())
        return ReasonText(id, args);
    return MsgFmt(msgReasonWithDetail, {ReasonText(id, args), detail});
}

QString ErrorText(const ESonabelError& error) {
    const int i = int(error.Id);
    if (i < 0 || i >= ErrorIdCount)
        return QString();
    return FormatMsgArgs(Msg(ErrorIds[size_t(i)]), error.Args);
}

QString CurrentExceptionText() {
    try {
        throw;
    } catch (const ESonabelError& e) {
        return ErrorText(e);
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("?");
    }
}

QString SkippedLine(const QString& path, const QString& reason) {
    return MsgFmt(msgSkippedLine, {path, reason});
}

QString EncodingAgainLine(const QString& path, const QString& reason, const QString& decoder) {
    return MsgFmt(msgEncodingAgain, {path, reason, decoder});
}

QString RunSummaryLine(int encoded, int copied, int skipped, int failed, qint64 seconds) {
    return MsgFmt(msgRunCountsLine, {encoded, copied, skipped, failed, seconds / 3600,
                                     seconds / 60 % 60, seconds % 60});
}
