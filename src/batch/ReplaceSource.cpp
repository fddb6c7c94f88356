#include "batch/ReplaceSource.h"

#include "batch/OutputCheck.h"
#include "batch/Trash.h"
#include "encoder/FilePaths.h"
#include "encoder/OutputFile.h"
#include "formats/MP3Stream.h"
#include "formats/SonabelErrors.h"
#include "messages/Messages.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>

namespace {

// Tests end the process between two steps to see what a kill leaves.
void KillPoint(const char* step) {
    static const QByteArray wanted = qgetenv("SONABEL_TEST_KILL_AT");
    if (!wanted.isEmpty() && wanted == step)
        std::raise(SIGKILL);
}

QString SystemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString ErrorText(int error, const QString& path) {
    return MsgFmt(msgErrSystem, {path, SystemText(error)});
}

} // namespace

TReplaceOutcome ReplaceSource(TOutputFile& file, const QString& source, const QString& replaceName,
                              const QString& besideName, const QSet<QString>& reserved) {
    struct stat sourceSt {};
    struct stat outputSt {};
    const QByteArray sourceName = QFile::encodeName(source);
    const QByteArray temp = QFile::encodeName(file.TempPath());
    if (::lstat(sourceName.constData(), &sourceSt) != 0)
        throw EWriteError(TErrorId::System, {source, SystemText(errno)});
    if (::stat(temp.constData(), &outputSt) != 0)
        throw EWriteError(TErrorId::System, {file.TempPath(), SystemText(errno)});
    if (outputSt.st_size >= sourceSt.st_size) {
        file.Discard();
        return {QString(), true, ReasonText(TReason::NotSmaller)};
    }
    // Under the source's own name the output keeps the source's permissions.
    if (replaceName == source)
        ::chmod(temp.constData(), sourceSt.st_mode & 07777);
    if (!file.Sync())
        throw EWriteError(TErrorId::System, {file.TempPath(), SystemText(errno)});
    KillPoint("synced");
    if (const int error = file.MarkReady())
        throw EWriteError(TErrorId::System, {file.TempPath(), SystemText(error)});
    KillPoint("ready");
    const TTrashResult trashed = MoveToTrash(source);
    if (trashed.Error != 0) {
        const QString published = file.Publish(besideName, reserved);
        SyncFolder(SplitFileName(published).Dir);
        return {published, false,
                ReasonWithDetail(TReason::TrashFailed, ErrorText(trashed.Error, trashed.Where))};
    }
    KillPoint("trashed");
    const QString published = file.Publish(replaceName, reserved);
    KillPoint("published");
    SyncFolder(SplitFileName(published).Dir);
    return {published, false, QString()};
}

bool TrashReplacedSource(const QString& source, int sourceMs, bool sourceVbr,
                         const QString& output) {
    if (sourceMs <= 0 || source == output)
        return false;
    const TMP3Info info = GetMP3Info(output);
    // Neither shorter nor longer: the same audio.
    if (!CheckOutputDuration(sourceMs, sourceVbr, info.Duration, info.VBR).isEmpty() ||
        !CheckOutputDuration(info.Duration, info.VBR, sourceMs, sourceVbr).isEmpty())
        return false;
    return MoveToTrash(source).Error == 0;
}
