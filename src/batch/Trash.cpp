#include "batch/Trash.h"

#include "encoder/FilePaths.h"
#include "encoder/OutputFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int NameAttempts = 1000;

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

bool StatOf(const QString& path, struct stat& st) {
    return ::stat(Native(path).constData(), &st) == 0;
}

// A trash folder we may use: a real folder (no link), ours, on the device.
bool UsableTrashDir(const QString& path, dev_t device) {
    struct stat st {};
    if (::mkdir(Native(path).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return ::lstat(Native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && st.st_dev == device;
}

// The folder where the file system holding path is mounted.
QString TopDirOf(const QString& path, dev_t device) {
    QString dir = SplitFileName(path).Dir;
    while (dir != QLatin1String("/")) {
        const QString parent = SplitFileName(dir).Dir;
        struct stat st {};
        if (!StatOf(parent, st) || st.st_dev != device)
            break;
        dir = parent;
    }
    return dir;
}

struct TTrashPlace {
    QString Trash;    // the trash folder
    QString InfoPath; // the path its information file records
};

std::optional<TTrashPlace> TrashFor(const QString& path, dev_t device) {
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    struct stat st {};
    // Without a home trash there is no telling which volume is the home's: none.
    if (dataHome.isEmpty() || !QDir().mkpath(dataHome) || !StatOf(dataHome, st))
        return std::nullopt;
    if (st.st_dev == device) {
        const QString trash = dataHome + QStringLiteral("/Trash");
        if (UsableTrashDir(trash, device))
            return TTrashPlace{trash, path};
        return std::nullopt;
    }
    const QString top = TopDirOf(path, device);
    const QString uid = QString::number(::getuid());
    const QString topSlash = IncludeTrailingSlash(top);
    // The volume's records are relative to it, so they hold wherever it is mounted.
    const QString relative = path.mid(topSlash.size());
    const QString shared = topSlash + QStringLiteral(".Trash");
    struct stat sharedSt {};
    if (::lstat(Native(shared).constData(), &sharedSt) == 0 && S_ISDIR(sharedSt.st_mode) &&
        (sharedSt.st_mode & S_ISVTX) && UsableTrashDir(shared + QLatin1Char('/') + uid, device))
        return TTrashPlace{shared + QLatin1Char('/') + uid, relative};
    const QString own = topSlash + QStringLiteral(".Trash-") + uid;
    if (UsableTrashDir(own, device))
        return TTrashPlace{own, relative};
    return std::nullopt;
}

} // namespace

TTrashResult MoveToTrash(const QString& path) {
    struct stat st {};
    if (::lstat(Native(path).constData(), &st) != 0)
        return {errno, path};
    if (!S_ISREG(st.st_mode))
        return {EINVAL, path};
    const std::optional<TTrashPlace> place = TrashFor(path, st.st_dev);
    if (!place)
        return {EXDEV, path};
    const QString files = place->Trash + QStringLiteral("/files");
    const QString info = place->Trash + QStringLiteral("/info");
    if (!UsableTrashDir(files, st.st_dev) || !UsableTrashDir(info, st.st_dev))
        return {EACCES, place->Trash};

    const TFileNameParts parts = SplitFileName(path);
    const QString base = parts.Name + parts.Ext;
    const QByteArray record =
        "[Trash Info]\nPath=" + Native(place->InfoPath).toPercentEncoding("/") +
        "\nDeletionDate=" + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + "\n";
    for (int k = 1; k <= NameAttempts; ++k) {
        const QString name =
            k == 1 ? base : QStringLiteral("%1.%2%3").arg(parts.Name).arg(k).arg(parts.Ext);
        const QString infoFile = info + QLatin1Char('/') + name + QStringLiteral(".trashinfo");
        // Exclusive: the information file is the claim on the name.
        const int fd =
            ::open(Native(infoFile).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {errno, infoFile};
        }
        const bool written =
            ::write(fd, record.constData(), size_t(record.size())) == ssize_t(record.size()) &&
            ::fsync(fd) == 0;
        ::close(fd);
        const QString target = files + QLatin1Char('/') + name;
        const int error = written ? RenameNoReplace(path, target) : EIO;
        if (error == EEXIST) {
            ::unlink(Native(infoFile).constData());
            continue;
        }
        if (error != 0) {
            ::unlink(Native(infoFile).constData());
            return {error, path};
        }
        SyncFolder(info);
        SyncFolder(files);
        SyncFolder(parts.Dir);
        return {0, target};
    }
    return {EEXIST, info};
}
