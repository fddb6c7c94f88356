// sonabel-cli plan: for each source, the output a run would write and the
// encoder command line it would use. Nothing is encoded and nothing is saved.

#include "CliCommands.h"
#include "CliOptions.h"
#include "Json.h"
#include "encoder/ProcessRunner.h"
#include "encoder/SonabelMisc.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

struct TSource {
    QString Path;
    QString BaseFolder; // the folder given on the command line, empty for a file
};

// A folder stands for the usable files in it (and, when recursive, below it)
// in the order a run's folder scan adds them, each keeping the folder as its
// base so that sub-folders can be rebuilt under the destination.
QList<TSource> ExpandPath(const QString& given, bool recursive) {
    const QString path = QDir::cleanPath(QFileInfo(given).absoluteFilePath());
    if (!QFileInfo(path).isDir())
        return {{path, QString()}};
    QStringList files;
    ScanFolder(path, &files, QStringLiteral("*.*"), {}, recursive);
    QList<TSource> sources;
    const QString base = IncludeTrailingSlash(path);
    for (const QString& file : std::as_const(files))
        if (SourceTypeOfExtension(file) != UnusableSourceType)
            sources.append({file, base});
    return sources;
}

} // namespace

int RunPlanCommand(const QStringList& args) {
    const TSettings& s = Settings();
    TEncodingOptions options;
    QStringList paths;
    bool recursive = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--")) {
            paths += args.mid(i + 1);
            break;
        }
        QString error;
        switch (TakeEncodingOption(args, i, options, error)) {
        case TOptionTake::Taken:
            continue;
        case TOptionTake::Error:
            return UsageError(error);
        case TOptionTake::Failed:
            return ExitFailed;
        case TOptionTake::NotOurs:
            break;
        }
        if (a == QLatin1String("--recursive")) {
            recursive = true;
            continue;
        }
        if (a.startsWith(QLatin1Char('-')) && a.size() > 1)
            return UsageError(QStringLiteral("unknown option for plan: %1").arg(a));
        paths << a;
    }
    if (paths.isEmpty())
        return UsageError(QStringLiteral("plan needs at least one path"));

    // Overrides change the record in memory only; nothing here saves it.
    ApplyEncodingOptions(options);
    const QString& encoder = options.Encoder;

    QString program = ResolveEncoderPath(encoder);
    if (program.isEmpty())
        program = encoder.isEmpty() ? QString::fromLatin1(LameExeName) : encoder;
    const int encodingMode = s.EncodingMode & 1;
    const QString lameParams = CurrentLameParams();
    // Names one source takes are taken for the next, as in a run.
    QSet<QString> reserved;
    for (const QString& given : paths) {
        for (const TSource& source : ExpandPath(given, recursive)) {
            const int type = SourceTypeOfExtension(source.Path);
            const QString output =
                MakeOutputPath(source.Path, source.BaseFolder, s.DestDir, TargetBitRate,
                               encodingMode, s.Flags & flDestFolder, s.Flags & flKeepSubDirs);
            const QString unique = MakeUniqueOutputName(output, reserved);
            if (type != UnusableSourceType)
                reserved.insert(unique);
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
