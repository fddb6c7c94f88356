#include "BatchFixtures.h"

#include "encoder/OutputNaming.h"
#include "formats/MP3Stream.h"
#include "formats/MulDiv.h"
#include "formats/SonabelErrors.h"
#include "formats/WavStream.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>

void TFileSource::Add(const QString& path, const QString& baseFolder) {
    TRow row;
    row.BaseFolder = baseFolder;
    row.Entry.Path = path;
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("wav")) {
        const TWAVInfo info = GetWAVInfo(path);
        row.Entry.BitRate = info.BitRate;
        row.Entry.AudioBytes = info.DataSize;
    } else {
        const TMP3Info info = GetMP3Info(path);
        row.Entry.BitRate = info.BitRate;
        row.Entry.AudioBytes = info.AudioSize;
        row.Entry.TagV2Bytes = info.TagV2Size;
    }
    Rows.append(row);
}

void TFileSource::UpdateList(bool collectUnwritable) {
    const TSettings& s = Settings();
    if (collectUnwritable)
        Unwritable.clear();
    for (int i = 0; i < Rows.size(); ++i) {
        TBatchEntry& e = Rows[i].Entry;
        e.EstimatedKB = e.BitRate > 0
                            ? int(RoundHalfEven(double(TargetBitRate) *
                                                (double(e.AudioBytes) / 1024.0) / e.BitRate))
                            : 0;
        e.OutputPath =
            MakeOutputPath(e.Path, Rows[i].BaseFolder, s.DestDir, TargetBitRate, s.EncodingMode,
                           s.Flags & flDestFolder, s.Flags & flKeepSubDirs);
        e.WillProcess = !ForceUnwritable.contains(i);
        if (!e.WillProcess && collectUnwritable)
            Unwritable << e.OutputPath;
    }
}

int TFileSource::ClassifySource(const QString& path, TSourceFacts* facts) {
    if (ThrowFor.contains(path))
        throw EFOpenError(path);
    const TSourceType type = SourceTypeOfExtension(path);
    if (type == SourceUnusable)
        return SourceUnusable;
    const bool isWav = type == SourceWAV;
    const TWAVInfo wav = isWav ? GetWAVInfo(path) : TWAVInfo();
    const TMP3Info mp3 = isWav ? TMP3Info() : GetMP3Info(path);
    if (facts)
        *facts = {isWav ? wav.Duration : mp3.Duration, mp3.VBR,
                  isWav ? wav.SampleRate : mp3.SampleRate};
    return wav.BitRate == 0 && mp3.BitRate == 0 ? SourceUnusable : type;
}

TWarningAnswer TRecordingView::ShowWarningList(const QString& /*caption*/, const QString& message,
                                               const QStringList& items, bool goodFilesEnabled,
                                               bool allFilesEnabled) {
    Events << QStringLiteral("warning");
    WarningMessage = message;
    WarningItems = items;
    GoodFilesEnabled = goodFilesEnabled;
    AllFilesEnabled = allFilesEnabled;
    return WarningAnswers.isEmpty() ? TWarningAnswer::Abort : WarningAnswers.dequeue();
}

void TRecordingView::AskDelayedStart(int seconds, std::function<void(bool)> done) {
    Events << QStringLiteral("delayed %1").arg(seconds);
    CountdownSeconds = seconds;
    if (DelayedCancel)
        done(*DelayedCancel);
    else
        PendingCountdown = std::move(done);
}

void TRecordingView::PowerOffCountdown(int seconds, std::function<void(bool)> done) {
    Events << QStringLiteral("poweroff %1").arg(seconds);
    CountdownSeconds = seconds;
    if (PowerOffConfirm)
        done(*PowerOffConfirm);
    else
        PendingCountdown = std::move(done);
}
