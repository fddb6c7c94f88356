// sonabel-cli plan: for each source, the output a run would write and the
// encoder command line it would use. Nothing is encoded and nothing is saved.

#include "CliCommands.h"
#include "CliOptions.h"
#include "CliSources.h"
#include "Json.h"
#include "encoder/EncoderFacts.h"
#include "encoder/FilePaths.h"
#include "encoder/OutputNaming.h"
#include "encoder/ProcessRunner.h"
#include "encoder/SonabelMisc.h"
#include "messages/Messages.h"
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
// Only the sources of the shard are kept.
QList<TSource> ExpandPath(const QString& path, bool recursive, const TShard& shard,
                          const QString& root) {
    if (!QFileInfo(path).isDir()) {
        if (shard.Takes(path, root))
            return {{path, QString()}};
        return {};
    }
    QStringList files;
    ScanFolder(path, &files, QStringLiteral("*.*"), {}, recursive);
    QList<TSource> sources;
    const QString base = IncludeTrailingSlash(path);
    const bool skipOutputs = Settings().SkipDone;
    for (const QString& file : std::as_const(files))
        if (SourceTypeOfExtension(file) != SourceUnusable &&
            !(skipOutputs && HasOutputSuffix(file)) && shard.Takes(file, root))
            sources.append({file, base});
    return sources;
}

// What the list would show as the source's bit rate; 0 when none.
struct TRates {
    int BitRate = 0;    // kbit/s of the source
    int SampleRate = 0; // Hz
};

TRates SourceRates(const QString& path) {
    TSourceAnalysis analysis;
    const TSourceType type = ClassifySource(path, &analysis);
    if (type == SourceUnusable)
        return {};
    if (type == SourceWAV)
        return {analysis.WAV.BitRate, analysis.WAV.SampleRate};
    return {analysis.MP3.BitRate, analysis.MP3.SampleRate};
}

} // namespace

int RunPlanCommand(const QStringList& args) {
    const TSettings& s = Settings();
    QCommandLineParser parser;
    parser.setApplicationDescription(Msg(msgCliAboutPlan));
    AddEncodingOptions(parser);
    AddSourceInputOptions(parser);
    parser.addOption({QStringLiteral("recursive"), Msg(msgCliOptWalk)});
    parser.addPositionalArgument(QStringLiteral("PATH"), Msg(msgCliOptFilesAndFolders));
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
    QList<TPathGroup> groups;
    TShard shard;
    switch (ReadSourceInputs(parser, groups, shard, error)) {
    case TSourceRead::Ok:
        break;
    case TSourceRead::Error:
        return UsageError(error);
    case TSourceRead::Failed:
        return ExitFailed;
    }
    if (!GivesPaths(parser))
        return UsageError(MsgFmt(msgCliNeedsPathOrList, {QStringLiteral("plan")}));
    const bool recursive = parser.isSet(QStringLiteral("recursive"));

    // Overrides change the record in memory only; nothing here saves it.
    ApplyEncodingOptions(options);
    const QString& encoder = options.Encoder;

    QString program = ResolveEncoderPath(encoder);
    if (program.isEmpty())
        program = encoder.isEmpty() ? QString::fromLatin1(LameExeName) : encoder;
    const QString lameParams = CurrentLameParams();
    // Names one source takes are taken for the next, as in a run.
    QSet<QString> reserved;
    QList<TSource> sources;
    for (const TPathGroup& group : std::as_const(groups))
        for (const QString& given : group.Paths)
            sources += ExpandPath(given, recursive, shard, group.Root);
    for (const TSource& source : std::as_const(sources)) {
        const TSourceType type = SourceTypeOfExtension(source.Path);
        // Named as a run names it: by the rate the encoder really writes.
        const TRates rates = type == SourceUnusable ? TRates{} : SourceRates(source.Path);
        const QString output = PlannedOutputPath(
            source.Path, source.BaseFolder, LameOutputBitRate(TargetBitRate, rates.SampleRate));
        const bool ownName = s.ReplaceSources && output == source.Path;
        const QString unique = ownName ? output : MakeUniqueOutputName(output, reserved);
        if (type != SourceUnusable)
            reserved.insert(unique);
        const TPriorityTranslation passed =
            TranslatePriority(BuildLameArgumentList(type, lameParams, source.Path, unique));
        TJsonObject line;
        line.Add("path", source.Path)
            .Add("type", int(type))
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
        if (type != SourceUnusable && s.SkipDone &&
            IsAlreadyConverted(source.Path, rates.BitRate, output))
            line.Add("skip", "already converted"); // a token for scripts, like the actions
        PrintOut(line.ToString());
    }
    return ExitOk;
}
