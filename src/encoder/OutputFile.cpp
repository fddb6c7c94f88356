#include "OutputFile.h"

#include "encoder/FilePaths.h"
#include "encoder/OutputNaming.h"
#include "formats/SonabelErrors.h"

#include <optional>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSysInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace {

// A file name leaves room for the temporary name's additions (255 bytes at most).
constexpr qsizetype MaxBaseBytes = 190;
constexpr qsizetype MaxHostChars = 32;
constexpr qint64 LeftoverAgeS = 24 * 3600;
const QLatin1String TempMark(".sonabel-");
const QLatin1String PartExt(".part");
const QLatin1String ReadyExt(".ready");
constexpr int CreateAttempts = 100;
constexpr int PublishAttempts = 1000;

QString RandomSuffix() {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix +=
            QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)]);
    return suffix;
}

EWriteError RenameError(int error, const QString& path) {
    return EWriteError(TErrorId::Rename, {path, QString::fromLocal8Bit(std::strerror(error))});
}

// The file made and locked before it has a name, so that no cleaner can see
// it unheld; where the file system cannot, it is locked right after creation.
int CreateLocked(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const QByteArray dir = QFile::encodeName(SplitFileName(path).Dir);
    int fd = ::open(dir.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::flock(fd, LOCK_EX);
        const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
        if (::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) ==
            0)
            return fd;
        const int error = errno;
        ::close(fd);
        if (error == EEXIST) {
            errno = EEXIST;
            return -1;
        }
    }
    // Exclusive: never someone else's file, nor a link to one. The usual
    // permissions, since the published output keeps them.
    fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0)
        ::flock(fd, LOCK_EX);
    return fd;
}

struct TLeftoverName {
    QString Final; // the name the temporary file stands for
    QString Host;  // empty for names without one
    bool Ready = false;
};

std::optional<TLeftoverName> ParseLeftover(const QString& name) {
    const bool ready = name.endsWith(ReadyExt);
    if (!name.startsWith(QLatin1Char('.')) || !(ready || name.endsWith(PartExt)))
        return std::nullopt;
    const qsizetype mark = name.lastIndexOf(TempMark);
    if (mark < 2)
        return std::nullopt;
    const QString tail =
        name.mid(mark + TempMark.size()).chopped(ready ? ReadyExt.size() : PartExt.size());
    // Six random letters or digits end it, after the host and a dash or alone.
    static const QRegularExpression random(QStringLiteral("^(?:(.+)-)?[A-Za-z0-9]{6}$"));
    const QRegularExpressionMatch match = random.match(tail);
    if (!match.hasMatch())
        return std::nullopt;
    return TLeftoverName{name.mid(1, mark - 1), match.captured(1), ready};
}

} // namespace

int RenameNoReplace(const QString& from, const QString& to) {
    return RenameNoReplaceFrom(TRenameStep::Kernel, from, to);
}

int RenameNoReplaceFrom(TRenameStep first, const QString& from, const QString& to) {
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
    if (first == TRenameStep::Kernel) {
        if (::syscall(SYS_renameat2, AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(),
                      RENAME_NOREPLACE) == 0)
            return 0;
        // NFS, SMB and older kernels say so with EINVAL or ENOSYS.
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
    }
    // The file system has no such rename: a hard link never replaces either.
    if (first != TRenameStep::Placeholder) {
        if (::link(src.constData(), dst.constData()) == 0) {
            ::unlink(src.constData());
            return 0;
        }
        if (errno != EPERM && errno != EOPNOTSUPP)
            return errno;
    }
    // Nor hard links: the name is first made ours, then the output takes its place.
    const int fd = ::open(dst.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    ::close(fd);
    if (::rename(src.constData(), dst.constData()) == 0)
        return 0;
    const int error = errno;
    ::unlink(dst.constData());
    return error;
}

TOutputFile::TOutputFile(const QString& name) {
    const TFileNameParts parts = SplitFileName(name);
    QString base = QFileInfo(name).fileName();
    while (QFile::encodeName(base).size() > MaxBaseBytes)
        base.chop(1);
    const QString prefix = IncludeTrailingSlash(parts.Dir) + QLatin1Char('.') + base + TempMark +
                           TempHostName() + QLatin1Char('-');
    for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
        const QString path = prefix + RandomSuffix() + PartExt;
        const int fd = CreateLocked(path);
        if (fd >= 0) {
            Fd = fd;
            Temp = path;
            return;
        }
        if (errno != EEXIST)
            break;
    }
    throw EFOpenError(prefix);
}

TOutputFile::~TOutputFile() {
    Discard();
    Close();
}

void TOutputFile::Close() {
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
}

void TOutputFile::Discard() {
    if (Done || Temp.isEmpty())
        return;
    ::unlink(QFile::encodeName(Temp).constData());
    Done = true;
    Close();
}

bool TOutputFile::Sync() {
    return Fd >= 0 && !Done && ::fsync(Fd) == 0;
}

int TOutputFile::MarkReady() {
    if (Done || !Temp.endsWith(PartExt))
        return ENOENT;
    const QString ready = Temp.chopped(PartExt.size()) + ReadyExt;
    if (const int error = RenameNoReplace(Temp, ready))
        return error;
    Temp = ready;
    SyncFolder(SplitFileName(Temp).Dir);
    return 0;
}

QString TempHostName() {
    QString host = QSysInfo::machineHostName().left(MaxHostChars);
    for (QChar& c : host)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('-') &&
            c != QLatin1Char('_'))
            c = QLatin1Char('_');
    return host.isEmpty() ? QStringLiteral("host") : host;
}

void SyncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool IsTemporaryOutputName(const QString& path) {
    return ParseLeftover(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)).has_value();
}

QStringList CleanLeftovers(const QString& folder) {
    QStringList published;
    const QString dir = IncludeTrailingSlash(folder);
    const QStringList names = QDir(folder).entryList({QStringLiteral(".*.sonabel-*")},
                                                     QDir::Files | QDir::Hidden | QDir::System);
    const QString host = TempHostName();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const QString& name : names) {
        const std::optional<TLeftoverName> parsed = ParseLeftover(name);
        if (!parsed)
            continue;
        const QString path = dir + name;
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        // Held: a live writer's. Another host's lock is not seen, so its files
        // wait a day.
        const bool ours = parsed->Host == host;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
            (!ours && now - qint64(st.st_mtime) < LeftoverAgeS) ||
            ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        if (parsed->Ready && RenameNoReplace(path, dir + parsed->Final) == 0)
            published << dir + parsed->Final;
        else
            ::unlink(QFile::encodeName(path).constData());
        ::close(fd);
    }
    if (!names.isEmpty())
        SyncFolder(folder);
    return published;
}

QString TOutputFile::Publish(const QString& planned, const QSet<QString>& reserved) {
    if (Done)
        throw RenameError(ENOENT, Temp);
    QSet<QString> taken = reserved;
    for (int attempt = 0; attempt < PublishAttempts; ++attempt) {
        const QString name = MakeUniqueOutputName(planned, taken);
        const int error = RenameNoReplace(Temp, name);
        if (error == 0) {
            Done = true;
            Close();
            return name;
        }
        if (error != EEXIST)
            throw RenameError(error, name);
        // Taken since it was judged free: by another run or another program.
        taken.insert(name);
    }
    throw RenameError(EEXIST, planned);
}
