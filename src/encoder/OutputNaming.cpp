#include "encoder/OutputNaming.h"

#include "encoder/FilePaths.h"
#include "formats/SourceType.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <array>

namespace {

// Indexed by EncodingMode (0 CBR, 1 ABR).
constexpr std::array<char, 2> ModeLetters = {'C', 'A'};

// "%s%s_C%dkbps%s": the name pattern used beside the source.
QString SuffixedName(const QString& dir, const QString& name, int bitRate, int mode,
                     const QString& ext) {
    return dir + name + QLatin1Char('_') + QLatin1Char(ModeLetters[mode & 1]) +
           QString::number(bitRate) + QStringLiteral("kbps") + ext;
}

// A dangling symbolic link counts as taken: writing through it would create
// a file somewhere else.
bool NameTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

int LameOutputBitRate(int targetBitRate, int sampleRate) {
    if (sampleRate <= 0)
        return targetBitRate;
    // MPEG-2.5 and MPEG-2 Layer III streams, the only ones the encoder makes below 32 kHz.
    if (sampleRate <= 12000)
        return qMin(targetBitRate, 64);
    if (sampleRate <= 24000)
        return qMin(targetBitRate, 160);
    return targetBitRate;
}

QString MakeOutputPath(const QString& path, const QString& baseFolder, const QString& destDir,
                       int bitRate, int mode, bool destFolder, bool keepSubDirs) {
    const TFileNameParts parts = SplitFileName(path);
    const QString dir = IncludeTrailingSlash(parts.Dir);
    const QString mp3 = QStringLiteral(".mp3");
    if (!destFolder)
        return SuffixedName(dir, parts.Name, bitRate, mode, mp3);
    const QString dest = IncludeTrailingSlash(destDir);
    if (!keepSubDirs) {
        if (dest != dir)
            return dest + parts.Name + mp3;
        return SuffixedName(dest, parts.Name, bitRate, mode, mp3);
    }
    const QString base = baseFolder.isEmpty() ? dir : baseFolder;
    QString result = ChangeFileExt(dest + path.mid(base.size()), mp3);
    if (result == path)
        result = ChangeFileExt(result, SuffixedName(QString(), QString(), bitRate, mode, mp3));
    return result;
}

QString MakeReplaceOutputPath(const QString& path) {
    if (SourceTypeOfExtension(path) == SourceMP3)
        return path;
    return ChangeFileExt(path, QStringLiteral(".mp3"));
}

bool HasOutputSuffix(const QString& path) {
    static const QRegularExpression suffix(QStringLiteral("_[CA][0-9]+kbps( \\([0-9]+\\))?\\.mp3$"),
                                           QRegularExpression::CaseInsensitiveOption);
    return suffix.match(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)).hasMatch();
}

QString MakeUniqueOutputName(const QString& plannedPath, const QSet<QString>& reserved) {
    const auto taken = [&reserved](const QString& path) {
        return reserved.contains(path) || NameTaken(path);
    };
    if (!taken(plannedPath))
        return plannedPath;
    for (int k = 2;; ++k) {
        const QString candidate = ChangeFileExt(plannedPath, QStringLiteral(" (%1).mp3").arg(k));
        if (!taken(candidate))
            return candidate;
    }
}
