#include "SonabelMisc.h"

#include "ProcessRunner.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSysInfo>
#include <algorithm>
#include <array>

QString LameShortPath;
QString LameVersion;
const QString DefaultLameWebSite = QStringLiteral("lame.sourceforge.io");
QString LameWebSite = DefaultLameWebSite;

namespace {

// Indexed by source type; the format is " <option> %s \"%s\" \"%s\"".
constexpr std::array<const char*, SourceTypeCount> InputOptions = {"--mp1input", "--mp2input",
                                                                   "--mp3input", "", nullptr};

// Indexed by EncodingMode (0 CBR, 1 ABR).
constexpr std::array<char, 2> ModeLetters = {'C', 'A'};
constexpr std::array<const char*, 2> BitRateOptions = {" -b ", " --abr "};
constexpr char QualityOption[] = " -q ";

// Replaces every occurrence, in any letter case, until none is left.
QString ReplaceAllNoCase(QString text, const QString& what, const QString& by) {
    while (text.contains(what, Qt::CaseInsensitive))
        text.replace(what, by, Qt::CaseInsensitive);
    return text;
}

// "%s%s_C%dkbps%s": the name pattern used beside the source.
QString SuffixedName(const QString& dir, const QString& name, int bitRate, int mode,
                     const QString& ext) {
    return dir + name + QLatin1Char('_') + QLatin1Char(ModeLetters[mode & 1]) +
           QString::number(bitRate) + QStringLiteral("kbps") + ext;
}

QString Quoted(const QString& path) {
    return QLatin1Char('"') + path + QLatin1Char('"');
}

// A path starting with '-' would be read as an option; "./" keeps the same file.
QString PathArgument(const QString& path) {
    return path.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + path : path;
}

// Trims blanks and control characters, as the banner may end with CR.
QString TrimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

QString BuildLameParams(const QString& templateText, int mode, bool noBitRate, int priority,
                        int quality, int bitRate, bool noQuality) {
    QString result = templateText;
    if (!result.contains(QStringLiteral("--priority"), Qt::CaseSensitive))
        result = result + QStringLiteral(" --priority ") + QString::number(priority);
    result = ReplaceAllNoCase(result, QStringLiteral("%B"), QString::number(bitRate));
    result = ReplaceAllNoCase(result, QStringLiteral("%Q"), QString::number(quality));
    if (!noBitRate)
        result += QLatin1String(BitRateOptions[mode & 1]) + QString::number(bitRate);
    if (!noQuality)
        result += QLatin1String(QualityOption) + QString::number(quality);
    return result;
}

QString CurrentLameParams() {
    const TSettings& s = Settings();
    const int mode = s.EncodingMode & 1;
    return BuildLameParams(s.LameParamsByMode[mode], mode, s.Flags & flNoBitRateSwitch[mode],
                           PriorityIndex(s.Flags), s.Quality(), TargetBitRate,
                           s.Flags & flNoQualitySwitch[mode]);
}

QString BuildLameArguments(TSourceType sourceType, const QString& params, const QString& sourcePath,
                           const QString& outputPath) {
    if (sourceType < 0 || sourceType >= SourceUnusable)
        return QString();
    QString result = QStringLiteral(" ");
    if (*InputOptions[sourceType])
        result += QLatin1String(InputOptions[sourceType]) + QLatin1Char(' ');
    return result + params + QLatin1Char(' ') + Quoted(sourcePath) + QLatin1Char(' ') +
           Quoted(outputPath);
}

QStringList BuildLameArgumentList(TSourceType sourceType, const QString& params,
                                  const QString& sourcePath, const QString& outputPath) {
    if (sourceType < 0 || sourceType >= SourceUnusable)
        return {};
    QStringList result = SplitCommandLine(params);
    if (*InputOptions[sourceType])
        result << QLatin1String(InputOptions[sourceType]);
    result << PathArgument(sourcePath) << PathArgument(outputPath);
    return result;
}

TDecodePipeArguments BuildDecodePipeArgumentLists(const QString& params, const QString& sourcePath,
                                                  const QString& outputPath, int sampleRate,
                                                  int channels) {
    const QStringList split = SplitCommandLine(params);
    // The last channel mode given, as the encoder itself would take it.
    QString mode;
    for (qsizetype i = 0; i < split.size(); ++i) {
        if (split.at(i) == QLatin1String("-m") && i + 1 < split.size())
            mode = split.at(++i);
        else if (split.at(i).startsWith(QLatin1String("-m")) && split.at(i).size() == 3)
            mode = split.at(i).mid(2);
    }
    if (mode == QLatin1String("m"))
        channels = 1;
    else if (channels != 1)
        channels = 2;
    // A stereo mode of the user's stands; otherwise the mode follows the input.
    if (channels == 1 || mode.isEmpty() || mode == QLatin1String("a"))
        mode = channels == 1 ? QStringLiteral("m") : QStringLiteral("j");
    TDecodePipeArguments result;
    result.Decoder << QStringLiteral("--quiet") << QStringLiteral("--stdout")
                   << QStringLiteral("--encoding") << QStringLiteral("s16")
                   << QStringLiteral("--rate") << QString::number(sampleRate)
                   << (channels == 1 ? QStringLiteral("--mono") : QStringLiteral("--stereo"))
                   << PathArgument(sourcePath);
    result.Encoder = split;
    result.Encoder << QStringLiteral("-r") << QStringLiteral("-s")
                   << QString::number(sampleRate / 1000.0, 'g', 8) << QStringLiteral("--bitwidth")
                   << QStringLiteral("16") << QStringLiteral("--signed")
                   << (QSysInfo::ByteOrder == QSysInfo::LittleEndian
                           ? QStringLiteral("--little-endian")
                           : QStringLiteral("--big-endian"))
                   << QStringLiteral("-m") << mode << QStringLiteral("-")
                   << PathArgument(outputPath);
    return result;
}

QString JoinCommandLine(const QStringList& arguments) {
    const auto special = [](QChar c) { return QStringView(u" \t\n\r'\"\\$`").contains(c); };
    QStringList shown;
    for (const QString& argument : arguments) {
        const bool plain =
            !argument.isEmpty() && std::none_of(argument.begin(), argument.end(), special);
        if (plain) {
            shown << argument;
            continue;
        }
        QString quoted = argument;
        quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
        shown << QLatin1Char('\'') + quoted + QLatin1Char('\'');
    }
    return shown.join(QLatin1Char(' '));
}

QStringList SplitCommandLine(const QString& text) {
    QStringList words;
    QString word;
    bool inWord = false;
    enum { Plain, Single, Double } quote = Plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool hasNext = i + 1 < text.size();
        switch (quote) {
        case Single:
            if (c == QLatin1Char('\''))
                quote = Plain;
            else
                word += c;
            break;
        case Double:
            if (c == QLatin1Char('"')) {
                quote = Plain;
            } else if (c == QLatin1Char('\\') && hasNext &&
                       QStringLiteral("\"\\$`\n").contains(text.at(i + 1))) {
                if (text.at(++i) != QLatin1Char('\n'))
                    word += text.at(i);
            } else {
                word += c;
            }
            break;
        case Plain:
            if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
                c == QLatin1Char('\r')) {
                if (inWord)
                    words << word;
                word.clear();
                inWord = false;
            } else if (c == QLatin1Char('\'')) {
                quote = Single;
                inWord = true;
            } else if (c == QLatin1Char('"')) {
                quote = Double;
                inWord = true;
            } else if (c == QLatin1Char('\\') && hasNext) {
                if (text.at(++i) != QLatin1Char('\n')) {
                    word += text.at(i);
                    inWord = true;
                }
            } else {
                word += c;
                inWord = true;
            }
            break;
        }
    }
    if (inWord)
        words << word;
    return words;
}

TFileNameParts SplitFileName(const QString& path) {
    TFileNameParts parts;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash == 0)
        parts.Dir = QStringLiteral("/");
    else if (slash > 0)
        parts.Dir = path.left(slash);
    const QString fileName = path.mid(slash + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    parts.Name = dot < 0 ? fileName : fileName.left(dot);
    parts.Ext = dot < 0 ? QString() : fileName.mid(dot);
    return parts;
}

QString ChangeFileExt(const QString& path, const QString& ext) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < path.lastIndexOf(QLatin1Char('/')))
        return path + ext;
    return path.left(dot) + ext;
}

QString IncludeTrailingSlash(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

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

namespace {
// A dangling symbolic link counts as taken: writing through it would create
// a file somewhere else.
bool NameTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}
} // namespace

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

QString ExistingAbsolutePath(const QString& path) {
    if (path.isEmpty())
        return QString();
    const QFileInfo info(path);
    return info.exists() ? QDir::cleanPath(info.absoluteFilePath()) : QString();
}

void ParseLameBanner(const QStringList& lines, QString& version, QString& site) {
    version.clear();
    site = DefaultLameWebSite;
    for (const QString& line : lines) {
        if (!line.toUpper().contains(QStringLiteral("LAME")))
            continue;
        // Banners have used both schemes; the first one found wins.
        qsizetype p = line.indexOf(QStringLiteral("http://"));
        qsizetype schemeLength = 7;
        if (p < 0) {
            p = line.indexOf(QStringLiteral("https://"));
            schemeLength = 8;
        }
        if (p < 0)
            return;
        QString address = TrimControls(line.mid(p + schemeLength));
        if (address.startsWith(QLatin1Char('(')))
            address.remove(0, 1);
        if (address.endsWith(QLatin1Char(')')))
            address.chop(1);
        if (address.endsWith(QLatin1Char('/')))
            address.chop(1);
        site = address;
        qsizetype blank = p - 1;
        while (blank >= 0 && line.at(blank) != QLatin1Char(' '))
            --blank;
        version = TrimControls(line.left(blank + 1));
        return;
    }
}

void ReadLameVersion(int timeLimitMs) {
    LameVersion.clear();
    LameWebSite = DefaultLameWebSite;
    if (LameShortPath.isEmpty())
        return;
    QStringList lines;
    RunConsoleProcess(LameShortPath, {}, lines, timeLimitMs);
    ParseLameBanner(lines, LameVersion, LameWebSite);
}

QStringList ReadLameHelp(const QString& encoderPath, int timeLimitMs) {
    QStringList lines;
    const QString program = ExistingAbsolutePath(encoderPath);
    if (program.isEmpty())
        return lines;
    RunConsoleProcess(program, {QStringLiteral("-?")}, lines, timeLimitMs);
    return lines;
}

bool IsEncoderFileName(const QString& path) {
    return QFileInfo(path).fileName().compare(QLatin1String(LameExeName), Qt::CaseInsensitive) == 0;
}

QString FindEncoderIn(const QString& folder) {
    if (folder.isEmpty())
        return QString();
    const QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Executable | QDir::Hidden, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (IsEncoderFileName(entry.fileName()))
            return QDir::cleanPath(entry.absoluteFilePath());
    }
    return QString();
}

QString FindEncoder(const QString& appDir) {
    QString found = FindEncoderIn(appDir);
    if (!found.isEmpty())
        return found;
    const QString path = QProcessEnvironment::systemEnvironment().value(QStringLiteral("PATH"));
    const QStringList folders = path.split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        found = FindEncoderIn(folder);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}
