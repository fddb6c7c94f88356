// sonabel-cli info: one JSON line per path with the analysis records.

#include "CliCommands.h"
#include "CliOptions.h"
#include "Json.h"
#include "formats/ID3v1.h"
#include "formats/MP3Stream.h"
#include "formats/WavStream.h"
#include "messages/Messages.h"
#include "messages/ReasonTexts.h"
#include "sources/SourceList.h"

#include <QFileInfo>

namespace {

TJsonObject Mp3Json(const TMP3Info& i) {
    TJsonObject o;
    o.Add("AudioStart", i.AudioStart)
        .Add("AudioSize", i.AudioSize)
        .Add("AudioEnd", i.AudioEnd)
        .Add("FileSize", i.FileSize)
        .Add("Duration", i.Duration)
        .Add("BitRate", i.BitRate)
        .Add("SampleRate", i.SampleRate)
        .Add("Version", i.Version)
        .Add("Layer", i.Layer)
        .Add("VBR", i.VBR)
        .Add("TagV1Size", i.TagV1Size)
        .Add("TagV2Size", i.TagV2Size)
        .Add("TagV2Major", i.TagV2Major)
        .Add("TagV2Revision", i.TagV2Revision)
        .Add("TagV2Flags", i.TagV2Flags)
        .Add("FrameCount", i.FrameCount);
    return o;
}

// Text fields are the tag's raw bytes, one Latin-1 character per byte.
TJsonObject TagV1Json(const QByteArray& tag) {
    const TTagV1Fields f = ReadTagV1Fields(tag);
    TJsonObject o;
    o.Add("title", f.Title)
        .Add("artist", f.Artist)
        .Add("album", f.Album)
        .Add("year", f.Year)
        .Add("comment", f.Comment)
        .Add("track", f.Track)
        .Add("genre", f.Genre);
    return o;
}

TJsonObject WavJson(const TWAVInfo& i) {
    TJsonObject o;
    o.Add("DataStart", i.DataStart)
        .Add("DataSize", i.DataSize)
        .Add("DataEnd", i.DataEnd)
        .Add("FileSize", i.FileSize)
        .Add("Duration", i.Duration)
        .Add("BitRate", i.BitRate)
        .Add("SampleRate", i.SampleRate)
        .Add("FormatTag", i.FormatTag)
        .Add("Channels", i.Channels)
        .Add("AvgBytesPerSec", i.AvgBytesPerSec)
        .Add("BlockAlign", i.BlockAlign);
    return o;
}

} // namespace

int RunInfoCommand(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(Msg(msgCliAboutInfo));
    // The analysis uses no setting; the option is accepted for symmetry.
    parser.addOption({QStringLiteral("settings"), Msg(msgCliOptUnused), QStringLiteral("FILE")});
    parser.addPositionalArgument(QStringLiteral("PATH"), Msg(msgCliOptFilesToAnalyse));
    const int exitCode =
        ParseCommandLine(parser, QStringLiteral("info"), QStringLiteral("PATH..."), args);
    if (exitCode >= 0)
        return exitCode;
    const QStringList paths = parser.positionalArguments();
    if (paths.isEmpty())
        return UsageError(MsgFmt(msgCliNeedsPath, {QStringLiteral("info")}));

    for (const QString& path : paths) {
        TJsonObject line;
        line.Add("path", path);
        const TSourceType type = SourceTypeOfExtension(path);
        // Only regular files are read (the readers open without blocking, so
        // a pipe or device gives the all-zero record); the reason says why.
        std::optional<TReason> problem = FileAccessProblem(path);
        if (problem == TReason::FileVanished)
            problem = TReason::FileNotFound;
        if (IsMpegSource(type)) {
            TMP3Info info;
            QByteArray tagV1;
            QString frameIndex;
            GetMP3Info(path, roTagV1 | roFrameIndex, info, &tagV1, &frameIndex);
            line.Add("mp3", Mp3Json(info));
            line.Add("frameIndex", frameIndex.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts));
            if (info.TagV1Size == TagV1Length)
                line.Add("tagV1", TagV1Json(tagV1));
        } else if (type == SourceWAV) {
            line.Add("wav", WavJson(GetWAVInfo(path)));
        }
        if (problem)
            line.Add("reason", ReasonText(*problem));
        PrintOut(line.ToString());
    }
    return ExitOk;
}
