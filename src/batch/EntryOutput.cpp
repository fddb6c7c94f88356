// What becomes of a whole output: its tags and file time, then its
// publication, or its source's replacement.

#include "batch/EntryPipeline.h"

#include "batch/OutputCheck.h"
#include "batch/ReplaceSource.h"
#include "encoder/DecodePipe.h"
#include "encoder/OutputFile.h"
#include "encoder/OutputNaming.h"
#include "formats/MP3Stream.h"
#include "formats/SourceType.h"
#include "formats/TagTransfer.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"
#include "settings/Settings.h"

#include <QFile>
#include <QFileInfo>
#include <exception>

namespace {

void SetFileTime(const QString& path, const QDateTime& time) {
    QFile file(path);
    if (file.open(QIODevice::ReadWrite))
        file.setFileTime(time, QFileDevice::FileModificationTime);
}

} // namespace

void TEntryPipeline::Publish(TEntryAction action, const QString& note) {
    const TBatchEntry& entry = Start.Entry;
    TOutputFile& file = *File;
    const QString& reservedName = Start.Output;
    QSet<QString>& reserved = Run.Reserved;
    const quint32 flags = Settings().Flags;
    const QString& temp = file.TempPath();
    QString published;
    try {
        if (IsMpegSource(Start.Type)) {
            // The encoder copies an MPEG source's ID3v2 tag by itself; the
            // options alone decide which tags the output carries.
            if (action == TEntryAction::Encoded)
                StripLeadingTagV2(temp);
            TransferTags(entry.Path, temp, flags & flKeepTagV1, flags & flKeepTagV2,
                         flags & flCompactTag);
        }
        if (Start.SourceTime.isValid() && (flags & flKeepTime))
            SetFileTime(temp, Start.SourceTime);
    } catch (...) {
        file.Discard();
        Fail(ReasonWithDetail(TReason::TagsFailed, CurrentExceptionText()));
        return;
    }
    TReplaceOutcome replaced;
    try {
        // Our own reservation must not push the output off its own name.
        reserved.remove(reservedName);
        if (Settings().ReplaceSources) {
            const TSettings& s = Settings();
            const QString beside =
                MakeOutputPath(entry.Path, QString(), QString(), EntryTarget(entry),
                               s.EncodingMode == 0 ? 0 : 1, false, false);
            replaced = ReplaceSource(file, entry.Path, reservedName, beside, reserved);
            published = replaced.Published;
        } else {
            published = file.Publish(entry.OutputPath, reserved);
        }
        if (!published.isEmpty())
            reserved.insert(published);
    } catch (...) {
        file.Discard();
        Fail(ReasonWithDetail(TReason::FileError, CurrentExceptionText()));
        return;
    }
    if (replaced.Skipped) {
        DiscardSizeLine();
        Run.Reporter.LogLine(SkippedLine(entry.Path, replaced.Reason));
        End(TEntryAction::Skipped, QString(), replaced.Reason);
        return;
    }
    if (!replaced.Reason.isEmpty())
        Run.Reporter.LogFmt(msgSourceNote, {entry.Path, replaced.Reason});
    End(action, published, replaced.Reason, note);
}
