#include "SonabelMisc.h"

#include "settings/Settings.h"

#include <QSysInfo>
#include <algorithm>
#include <array>

namespace {

// Indexed by source type; the format is " <option> %s \"%s\" \"%s\"".
constexpr std::array<const char*, SourceTypeCount> InputOptions = {"--mp1input", "--mp2input",
                                                                   "--mp3input", "", nullptr};

// Indexed by EncodingMode (0 CBR, 1 ABR).
constexpr std::array<const char*, 2> BitRateOptions = {" -b ", " --abr "};
constexpr char QualityOption[] = " -q ";

// Replaces every occurrence, in any letter case, until none is left.
QString ReplaceAllNoCase(QString text, const QString& what, const QString& by) {
    while (text.contains(what, Qt::CaseInsensitive))
        text.replace(what, by, Qt::CaseInsensitive);
    return text;
}

QString Quoted(const QString& path) {
    return QLatin1Char('"') + path + QLatin1Char('"');
}

// A path starting with '-' would be read as an option; "./" keeps the same file.
QString PathArgument(const QString& path) {
    return path.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + path : path;
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
