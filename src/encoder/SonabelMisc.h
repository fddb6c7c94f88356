#pragma once
// What the encoder is given for one source: the parameter string, the
// argument string and the argument list really passed.

#include "formats/SourceType.h"

#include <QString>
#include <QStringList>

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
