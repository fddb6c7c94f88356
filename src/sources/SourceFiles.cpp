// File-level helpers of the source list: classification, duplicate keys,
// sizes, the folder write test and the output size estimate.

#include "sources/SourceList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TSourceType ClassifySource(const QString& path, TSourceAnalysis* analysis) {
    TSourceAnalysis local;
    TSourceAnalysis& result = analysis ? *analysis : local;
    result = TSourceAnalysis();
    const TSourceType type = SourceTypeOfExtension(path);
    if (type == SourceUnusable || !QFileInfo(path).isFile())
        return SourceUnusable;
    if (type == SourceWAV) {
        GetWAVInfo(path, result.WAV);
        return result.WAV.BitRate == 0 ? SourceUnusable : type;
    }
    GetMP3Info(path, 0, result.MP3);
    return result.MP3.BitRate == 0 ? SourceUnusable : type;
}

std::optional<TReason> FileAccessProblem(const QString& path) {
    // Non-blocking, so that opening a pipe with no writer returns at once;
    // the type is then judged on what was opened, not on a second lookup.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENOTDIR:
            // A name decoded with replacement characters names no file on disk.
            return path.contains(QChar::ReplacementCharacter) ? TReason::NameNotUtf8
                                                              : TReason::FileVanished;
        case EACCES:
        case EPERM:
            return TReason::PermissionDenied;
        default:
            return TReason::FileError;
        }
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular)
        return TReason::NotRegularFile;
    return std::nullopt;
}

TReason UnusableReason(const QString& path) {
    if (const std::optional<TReason> problem = FileAccessProblem(path))
        return *problem;
    return FileSizeOf(path) == 0 ? TReason::EmptyFile : TReason::UnsupportedFile;
}

QString SourcePathKey(const QString& path) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return path.toUpper();
#else
    return path;
#endif
}

qint64 FileSizeOf(const QString& path) {
    // Asked of the file system, without opening: a file another process is
    // writing is measured as it grows, and a pipe never blocks the caller.
    const QFileInfo info(path);
    return info.isFile() ? info.size() : 0;
}

namespace {

// The folder itself, or the nearest ancestor that exists: a run creates the
// missing part with all its parents.
QString ExistingAncestor(const QString& folder) {
    QString dir = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    while (!QFileInfo::exists(dir)) {
        const QString parent = QFileInfo(dir).path();
        if (parent == dir)
            break;
        dir = parent;
    }
    return dir;
}

} // namespace

bool IsFolderWritable(const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QString dir = ExistingAncestor(folder);
    if (!QFileInfo(dir).isDir())
        return false;
    const QString prefix = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    // Bounded: a folder full of test files left by crashed runs still ends.
    for (int n = 0; n < 100000; ++n) {
        const QString testFile = prefix + QString::number(n) + QStringLiteral(".TST");
        if (QFileInfo(testFile).exists() || QFileInfo(testFile).isSymLink())
            continue;
        QFile file(testFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(testFile))
                continue; // taken meanwhile by someone else
            return false;
        }
        file.close();
        const bool ok = file.error() == QFileDevice::NoError;
        QFile::remove(testFile);
        return ok;
    }
    return false;
}

int EstimateOutputKB(int targetBitRate, qint64 audioBytes, int bitRate, qint64 tagV1Bytes,
                     qint64 tagV2Bytes, bool keepTagV1, bool keepTagV2) {
    if (bitRate <= 0)
        return 0;
    // Single precision after each step, as the estimate has always been kept.
    float value = float(double(targetBitRate) * (double(audioBytes) / 1024.0) / double(bitRate));
    if (keepTagV1)
        value = float(double(value) + double(tagV1Bytes) / 1024.0);
    if (keepTagV2)
        value = float(double(value) + double(tagV2Bytes) / 1024.0);
    // nearbyint rounds half to even in the default rounding mode.
    return int(std::nearbyint(double(value)));
}

qint64 TSourceRow::SizeKB() const {
    // nearbyint rounds half to even in the default rounding mode.
    return qint64(std::nearbyint(double(FileBytes) / 1024.0));
}
