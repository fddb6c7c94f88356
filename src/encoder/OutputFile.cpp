#include "OutputFile.h"

#include "SonabelMisc.h"
#include "formats/SonabelErrors.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace {

// A file name leaves room for the temporary name's additions (255 bytes at most).
constexpr qsizetype MaxBaseBytes = 200;
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

} // namespace

int RenameNoReplace(const QString& from, const QString& to) {
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
    if (::syscall(SYS_renameat2, AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(),
                  RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // The file system has no such rename: a hard link never replaces either.
    if (::link(src.constData(), dst.constData()) == 0) {
        ::unlink(src.constData());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP)
        return errno;
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
    const QString prefix = IncludeTrailingSlash(parts.Dir) + QLatin1Char('.') + base;
    for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
        const QString path =
            prefix + QStringLiteral(".sonabel-") + RandomSuffix() + QStringLiteral(".part");
        // Exclusive: never someone else's file, nor a link to one. The usual
        // permissions, since the published output keeps them.
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
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
}

void TOutputFile::Discard() {
    if (Done || Temp.isEmpty())
        return;
    ::unlink(QFile::encodeName(Temp).constData());
    Done = true;
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
            return name;
        }
        if (error != EEXIST)
            throw RenameError(error, name);
        // Taken since it was judged free: by another run or another program.
        taken.insert(name);
    }
    throw RenameError(EEXIST, planned);
}
