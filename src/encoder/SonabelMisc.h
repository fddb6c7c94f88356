#pragma once
// What the encoder is given for one source (parameter string, argument string
// and the argument list really passed), where its output goes, and what its
// banner says about it.

#include "formats/SourceType.h"

#include <QSet>
#include <QString>
#include <QStringList>

// The encoder's file name; name tests ignore letter case.
#ifdef Q_OS_WIN
inline constexpr char LameExeName[] = "Lame.exe";
#else
inline constexpr char LameExeName[] = "lame";
#endif

// Program-wide encoder values: the short form of the encoder path (set at
// start-up and when the path changes) and what its banner said.
extern QString LameShortPath;
extern QString LameVersion;
extern QString LameWebSite;
extern const QString DefaultLameWebSite;

// Time the banner probe and the help text may take before the child is ended.
inline constexpr int EncoderProbeTimeLimitMs = 10000;

QString BuildLameParams(const QString& templateText, int mode, bool noBitRate, int priority,
                        int quality, int bitRate, bool noQuality);
QString CurrentLameParams();

// The exact argument string, kept for display and the command-line preview.
QString BuildLameArguments(TSourceType sourceType, const QString& params, const QString& sourcePath,
                           const QString& outputPath);
// The list the encoder process really gets: the parameters split like a shell
// would, the input option, then source and output as single arguments.
QStringList BuildLameArgumentList(TSourceType sourceType, const QString& params,
                                  const QString& sourcePath, const QString& outputPath);
// The decoder used when the encoder's own MPEG decoding falls short.
inline constexpr char Mpg123ExeName[] = "mpg123";

// An MPEG source decoded by mpg123 into raw signed 16-bit PCM in host byte
// order on its standard output, piped into the encoder, which is told that
// format in full. A "-m m" among the parameters makes the decoder mix down to
// one channel, since raw input of another channel count would be misread.
struct TDecodePipeArguments {
    QStringList Decoder;
    QStringList Encoder;
};
TDecodePipeArguments BuildDecodePipeArgumentLists(const QString& params, const QString& sourcePath,
                                                  const QString& outputPath, int sampleRate,
                                                  int channels);
// Shell-like word splitting: blanks separate, '…' is literal, "…" honours
// \" \\ \$ \` escapes, a backslash outside quotes takes the next character.
// No expansion of any kind is made.
QStringList SplitCommandLine(const QString& text);
// The inverse for display: each argument as SplitCommandLine would read it
// back, single-quoted only when it holds a blank or a quoting character.
QString JoinCommandLine(const QStringList& arguments);

// The bit rate the encoder writes when asked for targetBitRate: it caps
// low sampling rates' streams (64 kbit/s up to 12 kHz, 160 up to 24 kHz).
// A sampling rate of 0 (unknown) leaves the target.
int LameOutputBitRate(int targetBitRate, int sampleRate);

QString MakeOutputPath(const QString& path, const QString& baseFolder, const QString& destDir,
                       int bitRate, int mode, bool destFolder, bool keepSubDirs);
// The planned path when no file, folder or link (dangling ones too) has that
// name and the run has not reserved it, else the first free " (k).mp3" variant.
QString MakeUniqueOutputName(const QString& plannedPath, const QSet<QString>& reserved = {});

// Where an output goes when it replaces its source: an MP3 source's own name,
// else the source's name with ".mp3" (the caller makes it unique).
QString MakeReplaceOutputPath(const QString& path);
// True when a file name ends the way outputs are named: _C<rate>kbps or
// _A<rate>kbps, maybe a " (k)", then ".mp3".
bool HasOutputSuffix(const QString& path);

// The absolute path of an existing file, empty otherwise.
QString ExistingAbsolutePath(const QString& path);

struct TFileNameParts {
    QString Dir;  // without a trailing '/', except for a file in '/'
    QString Name; // without the extension
    QString Ext;  // with its dot, empty when there is none
};
TFileNameParts SplitFileName(const QString& path);
// Replaces everything from the last dot after the last '/', or appends.
QString ChangeFileExt(const QString& path, const QString& ext);
QString IncludeTrailingSlash(const QString& path);

// Banner parsing: the first line holding "LAME" in any case gives the version
// text and the web site (without scheme, parentheses and final slash).
void ParseLameBanner(const QStringList& lines, QString& version, QString& site);
// Runs LameShortPath without arguments and parses its banner.
void ReadLameVersion(int timeLimitMs = EncoderProbeTimeLimitMs);
// The encoder's own help text (the program run with "-?").
QStringList ReadLameHelp(const QString& encoderPath, int timeLimitMs = EncoderProbeTimeLimitMs);

// Encoder lookup: the program folder first, then each PATH folder; the name is
// compared without case. Empty when none is found.
bool IsEncoderFileName(const QString& path);
QString FindEncoderIn(const QString& folder);
QString FindEncoder(const QString& appDir);
