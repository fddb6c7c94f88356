#include "sources/SourceList.h"

#include "encoder/SonabelMisc.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"
#include "settings/Settings.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {

void SetStateOn(TReporter* reporter, quint8 state) {
    if (reporter)
        reporter->SetState(state);
    else
        RunState = state;
}

} // namespace

TSourceList::TSourceList(TReporter* reporter, QObject* parent)
    : QAbstractTableModel(parent), Reporter(reporter) {}

int TSourceList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Count();
}

int TSourceList::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TSourceList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count() || index.column() >= ColumnCount)
        return {};
    const TRow& row = Rows.at(index.row());
    if (role == Qt::DisplayRole)
        return row[index.column()];
    if (role == ItalicRole)
        return row[TCell::WillProcess] == QLatin1String("0");
    if (role >= CellRole && role < CellRole + TCell::Count)
        return row[role - CellRole];
    return {};
}

QVariant TSourceList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return Msg(TMsgId(msgColFile + section));
}

void TSourceList::SetCell(int row, int cell, const QString& text) {
    if (row < 0 || row >= Count() || cell < 0 || cell >= TCell::Count)
        return;
    if (cell == TCell::PathKey) {
        Keys.remove(Rows[row][cell]);
        Keys.insert(text);
    }
    Rows[row][cell] = text;
    if (cell < ColumnCount) {
        const QModelIndex at = index(row, cell);
        Q_EMIT dataChanged(at, at);
    } else if (cell == TCell::WillProcess) {
        Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
}

QString TSourceList::GetCell(int row, int cell) const {
    if (row < 0 || row >= Count() || cell < 0 || cell >= TCell::Count)
        return {};
    return Rows.at(row)[cell];
}

int TSourceList::GetCellInt(int row, int cell) const {
    return GetCell(row, cell).toInt();
}

double TSourceList::GetCellFloat(int row, int cell) const {
    return GetCell(row, cell).toDouble();
}

bool TSourceList::IsNewSource(const QString& path) const {
    return !Keys.contains(SourcePathKey(path));
}

TSourceList::TRow TSourceList::NewRow(const QString& path, const QString& bitRateText,
                                      qint64 fileSize, int bitRate, qint64 audioBytes,
                                      qint64 tagV1Bytes, qint64 tagV2Bytes,
                                      const QString& baseFolder) const {
    TRow row;
    row[TCell::Path] = path;
    row[TCell::BitRateText] = bitRateText;
    row[TCell::SizeKB] = QString::number(qint64(std::nearbyint(double(fileSize) / 1024.0)));
    row[TCell::BitRate] = QString::number(bitRate);
    row[TCell::AudioBytes] = QString::number(audioBytes);
    row[TCell::TagV1Bytes] = QString::number(tagV1Bytes);
    row[TCell::TagV2Bytes] = QString::number(tagV2Bytes);
    row[TCell::BaseFolder] = baseFolder;
    row[TCell::WillProcess] = QStringLiteral("1");
    row[TCell::PathKey] = SourcePathKey(path);
    return row;
}

void TSourceList::AppendRow(const TRow& row) {
    beginInsertRows(QModelIndex(), Count(), Count());
    Rows.append(row);
    Keys.insert(row[TCell::PathKey]);
    endInsertRows();
    // Refused earlier and usable now: the row accounts for it.
    Rejected.removeIf(
        [&row](const TRejectedSource& r) { return SourcePathKey(r.Path) == row[TCell::PathKey]; });
}

void TSourceList::Reject(const QString& path, TReason reason) {
    const QString key = SourcePathKey(path);
    for (TRejectedSource& r : Rejected) {
        if (SourcePathKey(r.Path) == key) {
            r.Reason = reason;
            return;
        }
    }
    Rejected.append({path, reason});
}

void TSourceList::ClearRejected() {
    Rejected.clear();
}

bool TSourceList::AddMpegEntry(const QString& path, bool requireVbr, bool requireCbr, int minSizeKB,
                               int minBitRate, const QString& baseFolder,
                               const TMP3Info* analysed) {
    if (minSizeKB > FileSizeOf(path) >> 10)
        return false;
    TMP3Info info;
    if (analysed)
        info = *analysed;
    else
        GetMP3Info(path, 0, info);
    if ((requireVbr && !info.VBR) || (requireCbr && info.VBR))
        return false;
    if (info.BitRate == 0 || info.BitRate < minBitRate)
        return false;
    const TMsgId format = info.VBR ? msgBitRateVBR : msgBitRateCBR;
    TRow row = NewRow(path, MsgFmt(format, {info.BitRate}), info.FileSize, info.BitRate,
                      info.AudioSize, info.TagV1Size, info.TagV2Size, baseFolder);
    row[TCell::SampleRate] = QString::number(info.SampleRate);
    AppendRow(row);
    return true;
}

bool TSourceList::AddWavEntry(const QString& path, const QString& baseFolder,
                              const TWAVInfo* analysed) {
    TWAVInfo info;
    if (analysed)
        info = *analysed;
    else
        GetWAVInfo(path, info);
    if (info.BitRate == 0)
        return false;
    if (!IsPcmWav(info)) {
        Reject(path, TReason::NotPcm);
        if (Reporter)
            Reporter->ShowInfoFmt(msgNotPcmWav, {path});
        return false;
    }
    TRow row = NewRow(path, MsgFmt(msgBitRateWAV, {info.BitRate}), info.FileSize, info.BitRate,
                      info.DataSize, 0, 0, baseFolder);
    row[TCell::SampleRate] = QString::number(info.SampleRate);
    AppendRow(row);
    return true;
}

void TSourceList::SetLastDirOf(const QString& path) {
    Settings().LastDir = SplitFileName(path).Dir;
}

void TSourceList::AddSourceFile(const QString& path) {
    if (!IsNewSource(path))
        return;
    SetStateOn(Reporter, rsAddingFiles);
    TSourceAnalysis analysis;
    const int type = ClassifySource(path, &analysis);
    if (type <= SourceMP3)
        AddMpegEntry(path, false, false, -1, -1, QString(), &analysis.MP3);
    else if (type == SourceWAV)
        AddWavEntry(path, QString(), &analysis.WAV);
    else {
        Reject(path, UnusableReason(path));
        if (Reporter)
            Reporter->ShowInfoFmt(msgUnsupportedFile, {path});
    }
    SetLastDirOf(path);
}

void TSourceList::BeginAddFiles() {
    if (AddingFiles)
        return;
    AddingFiles = true;
    Q_EMIT AddFilesBegin();
}

void TSourceList::EndAddFiles() {
    if (AddingFiles) {
        AddingFiles = false;
        Q_EMIT AddFilesEnd();
    }
    UpdateList(false);
}

void TSourceList::CheckEncoderPath() {
    const QString& lamePath = Settings().LamePath;
    if (lamePath == LamePathSeen)
        return;
    LamePathSeen = lamePath;
    LameShortPath = GetShortPath(lamePath);
    ReadLameVersion();
    if (!LameVersion.isEmpty() && Reporter)
        Reporter->LogLine(LameVersion);
}

void TSourceList::UpdateList(bool collectUnwritable) {
    TSettings& s = Settings();
    const int rateIndex = std::clamp(s.BitRateIndex, 0, int(BitRateTable.size()) - 1);
    TargetBitRate = BitRateTable[rateIndex];
    CheckEncoderPath();
    const int mode = s.EncodingMode == 0 ? 0 : 1;
    if (collectUnwritable)
        Unwritable.clear();

    const bool destFolder = (s.Flags & flDestFolder) != 0;
    const bool keepSubDirs = (s.Flags & flKeepSubDirs) != 0;
    const bool keepV1 = (s.Flags & flKeepTagV1) != 0;
    const bool keepV2 = (s.Flags & flKeepTagV2) != 0;
    // An empty destination stays empty: a lone '/' would name the root.
    if (!Rows.isEmpty() && !s.DestDir.isEmpty())
        s.DestDir = IncludeTrailingSlash(s.DestDir);
    const bool destWritable = destFolder && !Rows.isEmpty() && IsFolderWritable(s.DestDir);
    QString lastFolder;
    bool lastWritable = false;
    bool lastTested = false;

    TotalSize = 0;
    TotalEstimated = 0;
    for (TRow& row : Rows) {
        // Named and estimated by what the encoder really writes at this sampling rate.
        const int bitRate = LameOutputBitRate(TargetBitRate, row[TCell::SampleRate].toInt());
        const int estimate =
            EstimateOutputKB(bitRate, row[TCell::AudioBytes].toLongLong(),
                             row[TCell::BitRate].toInt(), row[TCell::TagV1Bytes].toLongLong(),
                             row[TCell::TagV2Bytes].toLongLong(), keepV1, keepV2);
        row[TCell::EstimatedKB] = QString::number(estimate);
        row[TCell::OutputPath] = MakeOutputPath(row[TCell::Path], row[TCell::BaseFolder], s.DestDir,
                                                bitRate, mode, destFolder, keepSubDirs);
        bool writable = destWritable;
        if (!destFolder) {
            const QString folder = SplitFileName(row[TCell::OutputPath]).Dir;
            if (!lastTested || folder != lastFolder) {
                lastFolder = folder;
                lastWritable = IsFolderWritable(folder);
                lastTested = true;
            }
            writable = lastWritable;
        }
        row[TCell::WillProcess] = writable ? QStringLiteral("1") : QStringLiteral("0");
        if (writable) {
            TotalSize += quint32(row[TCell::SizeKB].toLongLong());
            TotalEstimated += quint32(estimate);
        } else if (collectUnwritable) {
            Unwritable.append(row[TCell::OutputPath]);
        }
    }

    if (!Rows.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(Count() - 1, ColumnCount - 1));
    Q_EMIT TotalsChanged(TotalSize, TotalEstimated);
    SetStateOn(Reporter, rsIdle);
}

QString TSourceList::TotalSizeText() const {
    return MsgFmt(msgTotalSize, {TotalSize >> 10});
}

QString TSourceList::TotalEstimatedText() const {
    return MsgFmt(msgEstimatedSize, {TotalEstimated >> 10});
}

int TSourceList::RemoveSelectedRows(const QList<int>& selected) {
    QList<int> rows;
    for (const int row : selected)
        if (row >= 0 && row < Count())
            rows.append(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.isEmpty()) {
        if (Reporter)
            Reporter->ShowInfo(Msg(msgNothingSelected));
        return -1;
    }
    // Deleting the selected rows one by one, first to last, ends at the last
    // selected index less the rows deleted before it.
    const int last = rows.last() - int(rows.size() - 1);
    // Contiguous runs, last run first, so earlier indices stay valid and a
    // large selection is one view update per run.
    qsizetype end = rows.size();
    while (end > 0) {
        qsizetype begin = end - 1;
        while (begin > 0 && rows.at(begin - 1) == rows.at(begin) - 1)
            --begin;
        const int first = rows.at(begin);
        const int lastRow = rows.at(end - 1);
        beginRemoveRows(QModelIndex(), first, lastRow);
        for (int r = first; r <= lastRow; ++r)
            Keys.remove(Rows.at(r)[TCell::PathKey]);
        Rows.remove(first, lastRow - first + 1);
        endRemoveRows();
        end = begin;
    }
    UpdateList(false);
    return last < Count() ? last : -1;
}

void TSourceList::ClearList() {
    beginResetModel();
    Rows.clear();
    Keys.clear();
    Rejected.clear();
    endResetModel();
    UpdateList(false);
}
