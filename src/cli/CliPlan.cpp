// sonabel-cli plan: for each source, the output a run would write and the
// encoder command line it would use. Nothing is encoded and nothing is saved.

#include "CliCommands.h"
#include "Json.h"
#include "engine/ProcessRunner.h"
#include "engine/SonabelMisc.h"
#include "settings/Settings.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <optional>

namespace {

struct TSource {
    QString Path;
    QString BaseFolder; // the folder given on the command line, empty for a file
};

// Source type by extension: 0 MP1, 1 MP2, 2 MP3, 3 WAV, 4 unusable.
int SourceTypeOf(const QString& path) {
    static const QStringList extensions = {QStringLiteral("mp1"), QStringLiteral("mp2"),
                                           QStringLiteral("mp3"), QStringLiteral("wav")};
    const qsizetype i = extensions.indexOf(QFileInfo(path).suffix().toLower());
    return i < 0 ? UnusableSourceType : int(i);
}

// A folder stands for the usable files below it, each keeping the folder as
// its base so that sub-folders can be rebuilt under the destination.
QList<TSource> ExpandPath(const QString& given) {
    const QString path = QDir::cleanPath(QFileInfo(given).absoluteFilePath());
    if (!QFileInfo(path).isDir())
        return {{path, QString()}};
    QList<TSource> sources;
    const QString base = IncludeTrailingSlash(path);
    QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (SourceTypeOf(file) != UnusableSourceType)
            sources.append({file, base});
    }
    std::sort(sources.begin(), sources.end(),
              [](const TSource& a, const TSource& b) { return a.Path < b.Path; });
    return sources;
}

QString BitRateList() {
    QStringList rates;
    for (const int rate : BitRateTable)
        rates << QString::number(rate);
    return rates.join(QStringLiteral(", "));
}

bool ParseInt(const QString& text, int low, int high, int& value) {
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value >= low && value <= high;
}

} // namespace

int RunPlanCommand(const QStringList& args) {
    TSettings& s = Settings();
    QString encoder;
    QStringList paths;
    std::optional<int> bitRate, mode, quality, priority;
    std::optional<QString> dest, params;
    bool keepSubDirs = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--")) {
            paths += args.mid(i + 1);
            break;
        }
        if (a == QLatin1String("--keep-subdirs")) {
            keepSubDirs = true;
            continue;
        }
        static const QStringList valued = {
            QStringLiteral("--settings"), QStringLiteral("--encoder"), QStringLiteral("--bitrate"),
            QStringLiteral("--mode"),     QStringLiteral("--dest"),    QStringLiteral("--quality"),
            QStringLiteral("--priority"), QStringLiteral("--params")};
        if (!valued.contains(a)) {
            if (a.startsWith(QLatin1Char('-')) && a.size() > 1)
                return UsageError(QStringLiteral("unknown option for plan: %1").arg(a));
            paths << a;
            continue;
        }
        if (++i >= args.size())
            return UsageError(QStringLiteral("%1 needs a value").arg(a));
        const QString& v = args.at(i);
        int n = 0;
        if (a == QLatin1String("--settings")) {
            if (!LoadCliSettings(v))
                return ExitFailed;
        } else if (a == QLatin1String("--encoder")) {
            encoder = v;
        } else if (a == QLatin1String("--bitrate")) {
            if (!ParseInt(v, 0, INT_MAX, n) ||
                std::find(BitRateTable.begin(), BitRateTable.end(), n) == BitRateTable.end())
                return UsageError(
                    QStringLiteral("--bitrate %1 is not one of %2").arg(v, BitRateList()));
            bitRate = n;
        } else if (a == QLatin1String("--mode")) {
            if (v.compare(QLatin1String("cbr"), Qt::CaseInsensitive) == 0)
                mode = 0;
            else if (v.compare(QLatin1String("abr"), Qt::CaseInsensitive) == 0)
                mode = 1;
            else
                return UsageError(QStringLiteral("--mode %1 is not cbr or abr").arg(v));
        } else if (a == QLatin1String("--dest")) {
            dest = v;
        } else if (a == QLatin1String("--quality")) {
            if (!ParseInt(v, 0, 9, n))
                return UsageError(QStringLiteral("--quality %1 is not 0 to 9").arg(v));
            quality = n;
        } else if (a == QLatin1String("--priority")) {
            if (!ParseInt(v, 0, 4, n))
                return UsageError(QStringLiteral("--priority %1 is not 0 to 4").arg(v));
            priority = n;
        } else {
            params = v;
        }
    }
    if (paths.isEmpty())
        return UsageError(QStringLiteral("plan needs at least one path"));

    // Overrides change the record in memory only; nothing here saves it.
    if (mode)
        s.EncodingMode = quint8(*mode);
    if (quality)
        s.Flags = (s.Flags & ~flQualityMask) | quint32(*quality);
    if (priority)
        s.Flags = SetPriorityIndex(s.Flags, *priority);
    if (params)
        s.LameParamsByMode[s.EncodingMode & 1] = *params;
    if (dest) {
        s.DestDir = QDir::cleanPath(QFileInfo(*dest).absoluteFilePath());
        s.Flags |= flDestFolder;
    }
    if (keepSubDirs)
        s.Flags |= flKeepSubDirs;
    const int index = qBound(0, s.BitRateIndex, int(BitRateTable.size()) - 1);
    TargetBitRate = bitRate.value_or(BitRateTable[index]);

    QString program = ResolveEncoderPath(encoder);
    if (program.isEmpty())
        program = encoder.isEmpty() ? QString::fromLatin1(LameExeName) : encoder;
    const int encodingMode = s.EncodingMode & 1;
    const QString lameParams = CurrentLameParams();
    for (const QString& given : paths) {
        for (const TSource& source : ExpandPath(given)) {
            const int type = SourceTypeOf(source.Path);
            const QString output =
                MakeOutputPath(source.Path, source.BaseFolder, s.DestDir, TargetBitRate,
                               encodingMode, s.Flags & flDestFolder, s.Flags & flKeepSubDirs);
            const QString unique = MakeUniqueOutputName(output);
            const TPriorityTranslation passed =
                TranslatePriority(BuildLameArgumentList(type, lameParams, source.Path, unique));
            TJsonObject line;
            line.Add("path", source.Path)
                .Add("type", type)
                .Add("output", output)
                .Add("unique", unique)
                .Add("arguments", BuildLameArguments(type, lameParams, source.Path, unique));
            if (type == UnusableSourceType)
                line.Add("argv", QStringList());
            else
                line.Add("argv", QStringList{program} + passed.Arguments);
            if (passed.Niceness)
                line.Add("niceness", *passed.Niceness);
            else
                line.AddNull("niceness");
            PrintOut(line.ToString());
        }
    }
    return ExitOk;
}
