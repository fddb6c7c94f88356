#include "sources/SourceList.h"

#include "encoder/FilePaths.h"
#include "encoder/OutputNaming.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"
#include "messages/SizeTexts.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>
#include <vector>

namespace {

QString RowStatusText(const TRowStatus& status) {
    switch (status.State) {
    case TRowState::Waiting:
        return Msg(msgRowWaiting);
    case TRowState::Encoding:
        return Msg(msgRowEncoding);
    case TRowState::Done:
        return MsgFmt(msgRowDone, {SizeText(status.OutputBytes)});
    case TRowState::Skipped:
        return Msg(msgRowSkipped);
    case TRowState::Failed:
        return Msg(msgRowFailed);
    case TRowState::Stopped:
        return Msg(msgRowStopped);
    }
    return {};
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
    const bool done = row[TCell::Done] == QLatin1String("1");
    if (index.column() == StatusColumn) {
        if (role == Qt::DisplayRole)
            return RowStatusText(RowStatus(index.row()));
        // Why a row was skipped or failed, or where its output went.
        if (role == Qt::ToolTipRole) {
            const TRowStatus status = RowStatus(index.row());
            const QString tip = status.Reason.isEmpty() ? status.Output : status.Reason;
            return tip.isEmpty() ? QVariant() : QVariant(tip);
        }
    } else if (role == Qt::DisplayRole) {
        if (done && index.column() == TCell::EstimatedKB)
            return ReasonText(TReason::AlreadyConverted);
        return row[index.column()];
    }
    if (role == StateRole)
        return int(RowStatus(index.row()).State);
    if (role == ItalicRole)
        return row[TCell::WillProcess] == QLatin1String("0") || done;
    if (role == Qt::TextAlignmentRole && index.column() > 0 && index.column() != StatusColumn)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    // An italic row says why it is left out.
    if (role == Qt::ToolTipRole && row[TCell::WillProcess] == QLatin1String("0"))
        return MsgFmt(msgRowLeftOutHint, {SplitFileName(row[TCell::OutputPath]).Dir});
    if (role >= CellRole && role < CellRole + TCell::Count)
        return row[role - CellRole];
    return {};
}

void TSourceList::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount)
        return;
    // The numbers behind the shown texts: bit rate and sizes sort as numbers, the status by
    // its state.
    static constexpr int keys[ColumnCount] = {TCell::Path, TCell::BitRate, TCell::SizeKB,
                                              TCell::EstimatedKB, -1};
    const int key = keys[column];
    std::vector<int> states(size_t(Rows.size()));
    if (key < 0)
        for (int i = 0; i < Count(); ++i)
            states[size_t(i)] = int(RowStatus(i).State);
    QList<TRow> old = Rows;
    const auto less = [&](int a, int b) {
        if (key < 0)
            return states[size_t(a)] < states[size_t(b)];
        if (key == TCell::Path)
            return QString::localeAwareCompare(old[a][key], old[b][key]) < 0;
        return old[a][key].toLongLong() < old[b][key].toLongLong();
    };
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> byRank(Rows.size());
    std::iota(byRank.begin(), byRank.end(), 0);
    std::stable_sort(byRank.begin(), byRank.end(), [&](int a, int b) {
        return order == Qt::AscendingOrder ? less(a, b) : less(b, a);
    });
    std::vector<int> newRowOf(Rows.size());
    for (size_t i = 0; i < byRank.size(); ++i) {
        Rows[qsizetype(i)] = old[byRank[i]];
        newRowOf[size_t(byRank[i])] = int(i);
    }
    QModelIndexList after;
    for (const QModelIndex& index : before)
        after << this->index(newRowOf[size_t(index.row())], index.column());
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QVariant TSourceList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return Msg(section == StatusColumn ? msgColStatus : TMsgId(msgColFile + section));
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
    Statuses.remove(row[TCell::PathKey]);
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
        TellBadFile(path, MsgFmt(msgNotPcmWav, {path}));
        return false;
    }
    TRow row = NewRow(path, MsgFmt(msgBitRateWAV, {info.BitRate}), info.FileSize, info.BitRate,
                      info.DataSize, 0, 0, baseFolder);
    row[TCell::SampleRate] = QString::number(info.SampleRate);
    AppendRow(row);
    return true;
}

void TSourceList::SetLastDirOf(const QString& path) {
    Preferences().Edit()->LastDir = SplitFileName(path).Dir;
}

void TSourceList::AddSourceFile(const QString& path) {
    if (!IsNewSource(path))
        return;
    TRunState::Current().Set(rsAddingFiles);
    TSourceAnalysis analysis;
    const int type = ClassifySource(path, &analysis);
    if (type <= SourceMP3)
        AddMpegEntry(path, false, false, -1, -1, QString(), &analysis.MP3);
    else if (type == SourceWAV)
        AddWavEntry(path, QString(), &analysis.WAV);
    else {
        Reject(path, UnusableReason(path));
        TellBadFile(path, MsgFmt(msgUnsupportedFile, {path}));
    }
    SetLastDirOf(path);
}

void TSourceList::BeginAddFiles() {
    if (AddingFiles)
        return;
    AddingFiles = true;
    Q_EMIT AddFilesBegin();
}

// While files are added as one series, the refused ones are told once at
// its end: one box for a whole drop, not one per file.
void TSourceList::TellBadFile(const QString& path, const QString& message) {
    if (AddingFiles)
        BadFiles.append({path, message});
    else if (Reporter)
        Reporter->ShowInfo(message);
}

void TSourceList::EndAddFiles() {
    if (AddingFiles) {
        AddingFiles = false;
        Q_EMIT AddFilesEnd();
    }
    const auto bad = std::exchange(BadFiles, {});
    if (Reporter && bad.size() == 1) {
        Reporter->ShowInfo(bad.first().second);
    } else if (Reporter && bad.size() > 1) {
        QString text = Msg(msgBadFilesSummary) + QLatin1Char('\n');
        for (const auto& [path, message] : bad)
            text += QLatin1Char('\n') + path;
        Reporter->ShowInfo(text);
    }
    UpdateList(false);
}

void TSourceList::UpdateList(bool collectUnwritable) {
    const TSettings& s = Settings();
    if (collectUnwritable)
        Unwritable.clear();

    const bool destFolder = (s.Flags & flDestFolder) != 0;
    const bool keepV1 = (s.Flags & flKeepTagV1) != 0;
    const bool keepV2 = (s.Flags & flKeepTagV2) != 0;
    // An empty destination stays empty: a lone '/' would name the root.
    if (!Rows.isEmpty() && !s.DestDir.isEmpty())
        Preferences().Edit()->DestDir = IncludeTrailingSlash(s.DestDir);
    const bool destWritable =
        destFolder && !s.ReplaceSources && !Rows.isEmpty() && IsFolderWritable(s.DestDir);
    QString lastFolder;
    bool lastWritable = false;
    bool lastTested = false;

    TotalSize = 0;
    TotalEstimated = 0;
    int sinceBreath = 0;
    for (TRow& row : Rows) {
        if (Breather && ++sinceBreath == 256) {
            sinceBreath = 0;
            Breather();
        }
        // Named and estimated by what the encoder really writes at this sampling rate.
        const int bitRate = LameOutputBitRate(TargetBitRate, row[TCell::SampleRate].toInt());
        const int estimate =
            EstimateOutputKB(bitRate, row[TCell::AudioBytes].toLongLong(),
                             row[TCell::BitRate].toInt(), row[TCell::TagV1Bytes].toLongLong(),
                             row[TCell::TagV2Bytes].toLongLong(), keepV1, keepV2);
        row[TCell::EstimatedKB] = QString::number(estimate);
        row[TCell::OutputPath] =
            PlannedOutputPath(row[TCell::Path], row[TCell::BaseFolder], bitRate);
        const bool done = s.SkipDone && JudgeDone(row);
        row[TCell::Done] = done ? QStringLiteral("1") : QString();
        if (!s.SkipDone)
            row[TCell::DoneStamp].clear();
        bool writable = destWritable;
        if (!destFolder || s.ReplaceSources) {
            const QString folder = SplitFileName(row[TCell::OutputPath]).Dir;
            if (!lastTested || folder != lastFolder) {
                lastFolder = folder;
                lastWritable = IsFolderWritable(folder);
                lastTested = true;
            }
            writable = lastWritable;
        }
        row[TCell::WillProcess] = writable ? QStringLiteral("1") : QStringLiteral("0");
        if (writable && !done) {
            TotalSize += quint32(row[TCell::SizeKB].toLongLong());
            TotalEstimated += quint32(estimate);
        } else if (!writable && collectUnwritable) {
            Unwritable.append(row[TCell::OutputPath]);
        }
    }

    if (!Rows.isEmpty())
        Q_EMIT dataChanged(index(0, 0), index(Count() - 1, ColumnCount - 1));
    Q_EMIT TotalsChanged(TotalSize, TotalEstimated);
    TRunState::Current().Set(rsIdle);
}

bool IsConvertedOutput(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return false;
    return GetMP3Info(path).BitRate > 0;
}

bool IsAlreadyConverted(const QString& source, int bitRate, const QString& plannedOutput) {
    if (Settings().ReplaceSources && plannedOutput == source)
        return bitRate > 0 && bitRate <= TargetBitRate;
    return IsConvertedOutput(plannedOutput);
}

QString PlannedOutputPath(const QString& source, const QString& baseFolder, int bitRate) {
    const TSettings& s = Settings();
    if (s.ReplaceSources)
        return MakeReplaceOutputPath(source);
    return MakeOutputPath(source, baseFolder, s.DestDir, bitRate, s.EncodingMode == 0 ? 0 : 1,
                          s.Flags & flDestFolder, s.Flags & flKeepSubDirs);
}

bool TSourceList::JudgeDone(TRow& row) {
    const QString& output = row[TCell::OutputPath];
    if (output == row[TCell::Path]) {
        row[TCell::DoneStamp].clear();
        return IsAlreadyConverted(row[TCell::Path], row[TCell::BitRate].toInt(), output);
    }
    const QFileInfo info(output);
    QString stamp;
    if (info.exists() || info.isSymLink())
        stamp = QStringLiteral("%1|%2|%3")
                    .arg(output)
                    .arg(info.size())
                    .arg(info.lastModified().toMSecsSinceEpoch());
    if (stamp.isEmpty() || stamp != row[TCell::DoneStamp]) {
        row[TCell::DoneStamp] = stamp;
        row[TCell::Done] =
            !stamp.isEmpty() && IsConvertedOutput(output) ? QStringLiteral("1") : QString();
    }
    return row[TCell::Done] == QLatin1String("1");
}

QString TSourceList::TotalSizeText() const {
    return MsgFmt(msgTotalSize, {SizeText(qint64(TotalSize) * 1024)});
}

QString TSourceList::TotalEstimatedText() const {
    return MsgFmt(msgEstimatedSize, {SizeText(qint64(TotalEstimated) * 1024)});
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
        for (int r = first; r <= lastRow; ++r) {
            Keys.remove(Rows.at(r)[TCell::PathKey]);
            Statuses.remove(Rows.at(r)[TCell::PathKey]);
        }
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
    Statuses.clear();
    Rejected.clear();
    endResetModel();
    UpdateList(false);
}

TRowStatus TSourceList::RowStatus(int row) const {
    if (row < 0 || row >= Count())
        return {};
    return Statuses.value(Rows.at(row)[TCell::PathKey]);
}

void TSourceList::SetRowStatus(int row, const TRowStatus& status) {
    if (row < 0 || row >= Count())
        return;
    Statuses.insert(Rows.at(row)[TCell::PathKey], status);
    const QModelIndex at = index(row, StatusColumn);
    Q_EMIT dataChanged(at, at);
    Q_EMIT RowStatusChanged(row);
}

void TSourceList::ResetRowStatuses() {
    if (Statuses.isEmpty())
        return;
    Statuses.clear();
    if (Count() > 0)
        Q_EMIT dataChanged(index(0, StatusColumn), index(Count() - 1, StatusColumn));
    for (int row = 0; row < Count(); ++row)
        Q_EMIT RowStatusChanged(row);
}

TDoneSizes TSourceList::DoneSizes() const {
    TDoneSizes sizes;
    for (const TRow& row : Rows) {
        const auto it = Statuses.constFind(row[TCell::PathKey]);
        if (it == Statuses.constEnd() || it->State != TRowState::Done)
            continue;
        ++sizes.Rows;
        sizes.SourceBytes += it->SourceBytes;
        sizes.OutputBytes += it->OutputBytes;
    }
    return sizes;
}

int TSourceList::RemoveFinishedRows() {
    QList<int> done;
    for (int row = 0; row < Count(); ++row)
        if (RowStatus(row).State == TRowState::Done)
            done.append(row);
    if (!done.isEmpty())
        RemoveSelectedRows(done);
    return int(done.size());
}
