#pragma once
// Why a file was skipped or failed, and the lines that report it, in the
// current language of the message table.

#include "formats/SonabelErrors.h"

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
    OutputShort,      // %s seconds in the output, %s seconds in the source
    AlreadyConverted, // the planned output exists and holds audio
    NotSmaller,       // replacing: the output is not smaller than its source
    TrashFailed,      // replacing: the source stays, the output went beside it
};
inline constexpr int ReasonCount = int(TReason::TrashFailed) + 1;

// The reason in the current language, filled with the values noted above.
QString ReasonText(TReason id, std::initializer_list<QVariant> args = {});
// The reason followed by a detail that has no translation (an exception or
// system text): "reason: detail".
QString ReasonWithDetail(TReason id, const QString& detail,
                         std::initializer_list<QVariant> args = {});
// The exception being handled, in the current language; call only inside a catch.
QString CurrentExceptionText();
// A reader's or list's error in the current language.
QString ErrorText(const ESonabelError& error);
// The log line of a file left out of a run, with its reason.
QString SkippedLine(const QString& path, const QString& reason);
// The log line of an output encoded again from another decoder's audio.
QString EncodingAgainLine(const QString& path, const QString& reason, const QString& decoder);
// The terminal's last line of a run: the counts and the elapsed time.
QString RunSummaryLine(int encoded, int copied, int skipped, int failed, qint64 seconds);
