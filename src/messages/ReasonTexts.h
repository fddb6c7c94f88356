#pragma once
// Why a file was skipped or failed, and the lines that report it: a small
// table of our own beside the message table, in the current language.

#include <QString>
#include <QVariant>
#include <initializer_list>

enum class TReason : int {
    UnsupportedFile,    // not an MPEG or WAV file we can read, or damaged
    EmptyFile,          // no bytes at all
    NotPcm,             // a WAV file in another coding than PCM
    NotRegularFile,     // a folder, pipe or device
    PermissionDenied,   // exists, but may not be read
    FileVanished,       // gone before its turn came
    FileNotFound,       // never there
    NameNotUtf8,        // the name's bytes cannot be decoded, so it cannot be opened again
    OutputNotWritable,  // the output folder failed the write test
    BelowTargetBitRate, // left out by the answer "good files only"
    EncoderNotStarted,
    EncoderCrashed,
    EncoderExitCode, // %d exit code
    EncoderNoOutput,
    CannotCreateFolder, // %s folder
    CopyFailed,
    TagsFailed,
    FileError,
    OutputShort, // %s seconds in the output, %s seconds in the source
};
inline constexpr int ReasonCount = int(TReason::OutputShort) + 1;

// The reason in the current language, filled with the values noted above.
QString ReasonText(TReason id, std::initializer_list<QVariant> args = {});
// The reason followed by a detail that has no translation (an exception or
// system text): "reason: detail".
QString ReasonWithDetail(TReason id, const QString& detail,
                         std::initializer_list<QVariant> args = {});
// The log line of a file left out of a run, with its reason.
QString SkippedLine(const QString& path, const QString& reason);
// The log line of an output encoded again from another decoder's audio.
QString EncodingAgainLine(const QString& path, const QString& reason, const QString& decoder);
// The terminal's last line of a run: the counts and the elapsed time.
QString RunSummaryLine(int encoded, int copied, int skipped, int failed, qint64 seconds);
