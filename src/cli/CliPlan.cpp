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
        if (SourceTypeOfExtension(file) != SourceUnusable)
            sources.append({file, base});
    return sources;
}

} // namespace

int RunPlanCommand(const QStringList& args) {
    const TSettings& s = Settings();
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints, for each source, the output and the encoder command line a run "
                       "would use. Nothing is encoded and nothing is saved."));
    AddEncodingOptions(parser);
    parser.addOption(
        {QStringLiteral("recursive"), QStringLiteral("Walk given folders into sub-folders.")});
    parser.addPositionalArgument(QStringLiteral("PATH"), QStringLiteral("Files and folders."));
    const int exitCode =
        ParseCommandLine(parser, QStringLiteral("plan"), QStringLiteral("PATH..."), args);
    if (exitCode >= 0)
        return exitCode;
    TEncodingOptions options;
    QString error;
    switch (ReadEncodingOptions(parser, options, error)) {
    case TOptionRead::Ok:
        break;
    case TOptionRead::Error:
        return UsageError(error);
    case TOptionRead::Failed:
        return ExitFailed;
    }
    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty())
        return UsageError(QStringLiteral("plan needs at least one path"));
    const bool recursive = parser.isSet(QStringLiteral("recursive"));

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
            if (type != SourceUnusable)
                reserved.insert(unique);
            const TPriorityTranslation passed =
                TranslatePriority(BuildLameArgumentList(type, lameParams, source.Path, unique));
            TJsonObject line;
            line.Add("path", source.Path)
                .Add("type", type)
                .Add("output", output)
                .Add("unique", unique)
                .Add("arguments", BuildLameArguments(type, lameParams, source.Path, unique));
            if (type == SourceUnusable)
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
