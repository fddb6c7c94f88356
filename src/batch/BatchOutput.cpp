// What becomes of an encoder's output: its length checked against the
// source (and encoded again from another decoder's audio when short), its
// tags and file time, then its publication, or its source's replacement.

#include "batch/Batch.h"

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

void TBatch::AfterOutput(int row, const TBatchEntry& entry, int type, TOutputFile& file,
                         const QString& reservedName, const QDateTime& sourceTime,
                         TEntryAction action, const QString& note) {
    const quint32 flags = Settings().Flags;
    const QString& temp = file.TempPath();
    QString published;
    try {
        if (IsMpegSource(type)) {
            // The encoder copies an MPEG source's ID3v2 tag by itself; the
            // options alone decide which tags the output carries.
            if (action == TEntryAction::Encoded)
                StripLeadingTagV2(temp);
            TransferTags(entry.Path, temp, flags & flKeepTagV1, flags & flKeepTagV2,
                         flags & flCompactTag);
        }
        if (sourceTime.isValid() && (flags & flKeepTime))
            SetFileTime(temp, sourceTime);
    } catch (...) {
        file.Discard();
        Fail(row, entry.Path, QString(), ReasonWithDetail(TReason::TagsFailed, CurrentExceptionText()));
        return;
    }
    TReplaceOutcome replaced;
    try {
        // Our own reservation must not push the output off its own name.
        Reserved.remove(reservedName);
        if (Settings().ReplaceSources) {
            const TSettings& s = Settings();
            const QString beside = MakeOutputPath(entry.Path, QString(), QString(), EntryTarget(entry),
                                                  s.EncodingMode == 0 ? 0 : 1, false, false);
            replaced = ReplaceSource(file, entry.Path, reservedName, beside, Reserved);
            published = replaced.Published;
        } else {
            published = file.Publish(entry.OutputPath, Reserved);
        }
        if (!published.isEmpty())
            Reserved.insert(published);
    } catch (...) {
        file.Discard();
        Fail(row, entry.Path, QString(), ReasonWithDetail(TReason::FileError, CurrentExceptionText()));
        return;
    }
    if (replaced.Skipped) {
        DiscardSizeLine();
        Reporter.LogLine(SkippedLine(entry.Path, replaced.Reason));
        EndEntry(row, entry.Path, QString(), TEntryAction::Skipped, replaced.Reason);
        return;
    }
    if (!replaced.Reason.isEmpty())
        Reporter.LogFmt(msgSourceNote, {entry.Path, replaced.Reason});
    CountSizes(entry, published);
    EndEntry(row, entry.Path, published, action, replaced.Reason, note);
}
