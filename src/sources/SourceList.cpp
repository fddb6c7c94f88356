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

QString CellText(const TSourceRow& row, int column) {
    switch (column) {
    case TSourceList::FileColumn:
        return row.Path;
    case TSourceList::BitRateColumn:
        return BitRateText(row.Type, row.VBR, row.BitRate);
    case TSourceList::SizeColumn:
        return QString::number(row.SizeKB());
    case TSourceList::EstimateColumn:
        if (row.Done)
            return ReasonText(TReason::AlreadyConverted);
        // Nothing to show before UpdateList has planned the row.
        return row.OutputPath.isEmpty() ? QString() : QString::number(row.EstimatedKB);
    }
    return {};
}

// The value a column sorts by, for all but the file name and the status.
qint64 SortKey(const TSourceRow& row, int column) {
    switch (column) {
    case TSourceList::BitRateColumn:
        return row.BitRate;
    case TSourceList::SizeColumn:
        return row.SizeKB();
    default:
        return row.EstimatedKB;
    }
}

} // namespace

QString BitRateText(TSourceType type, bool vbr, int bitRate) {
    const TMsgId format = type == SourceWAV ? msgBitRateWAV : vbr ? msgBitRateVBR : msgBitRateCBR;
    return MsgFmt(format, {bitRate});
}

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
    const TSourceRow& row = Rows.at(index.row());
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
        return CellText(row, index.column());
    }
    if (role == StateRole)
        return int(RowStatus(index.row()).State);
    if (role == ItalicRole)
        return !row.WillProcess || row.Done;
    if (role == Qt::TextAlignmentRole && index.column() != FileColumn &&
        index.column() != StatusColumn)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    // An italic row says why it is left out.
    if (role == Qt::ToolTipRole && !row.WillProcess)
        return MsgFmt(msgRowLeftOutHint, {SplitFileName(row.OutputPath).Dir});
    return {};
}

void TSourceList::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount)
        return;
    std::vector<int> states(size_t(Rows.size()));
    if (column == StatusColumn)
        for (int i = 0; i < Count(); ++i)
            states[size_t(i)] = int(RowStatus(i).State);
    QList<TSourceRow> old = Rows;
    const auto less = [&](int a, int b) {
        if (column == StatusColumn)
            return states[size_t(a)] < states[size_t(b)];
        if (column == FileColumn)
            return QString::localeAwareCompare(old[a].Path, old[b].Path) < 0;
        return SortKey(old[a], column) < SortKey(old[b], column);
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

bool TSourceList::IsNewSource(const QString& path) const {
    return !Keys.contains(SourcePathKey(path));
}

void TSourceList::AppendRow(TSourceRow row) {
    row.PathKey = SourcePathKey(row.Path);
    beginInsertRows(QModelIndex(), Count(), Count());
    Keys.insert(row.PathKey);
    Statuses.remove(row.PathKey);
    Rows.append(row);
    endInsertRows();
    // Refused earlier and usable now: the row accounts for it.
    Rejected.removeIf(
        [&row](const TRejectedSource& r) { return SourcePathKey(r.Path) == row.PathKey; });
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
    TSourceRow row;
    row.Path = path;
    row.BaseFolder = baseFolder;
    row.Type = SourceTypeOfExtension(path);
    row.VBR = info.VBR;
    row.FileBytes = info.FileSize;
    row.BitRate = info.BitRate;
    row.SampleRate = info.SampleRate;
    row.AudioBytes = info.AudioSize;
    row.TagV1Bytes = info.TagV1Size;
    row.TagV2Bytes = info.TagV2Size;
    AppendRow(std::move(row));
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
    TSourceRow row;
    row.Path = path;
    row.BaseFolder = baseFolder;
    row.Type = SourceWAV;
    row.FileBytes = info.FileSize;
    row.BitRate = info.BitRate;
    row.SampleRate = info.SampleRate;
    row.AudioBytes = info.DataSize;
    AppendRow(std::move(row));
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
    const TSourceType type = ClassifySource(path, &analysis);
    if (IsMpegSource(type))
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
    for (TSourceRow& row : Rows) {
        if (Breather && ++sinceBreath == 256) {
            sinceBreath = 0;
            Breather();
        }
        // Named and estimated by what the encoder really writes at this sampling rate.
        const int bitRate = LameOutputBitRate(TargetBitRate, row.SampleRate);
        row.EstimatedKB = EstimateOutputKB(bitRate, row.AudioBytes, row.BitRate, row.TagV1Bytes,
                                           row.TagV2Bytes, keepV1, keepV2);
        row.OutputPath = PlannedOutputPath(row.Path, row.BaseFolder, bitRate);
        row.Done = s.SkipDone && JudgeDone(row);
        if (!s.SkipDone)
            row.DoneStamp.clear();
        bool writable = destWritable;
        if (!destFolder || s.ReplaceSources) {
            const QString folder = SplitFileName(row.OutputPath).Dir;
            if (!lastTested || folder != lastFolder) {
                lastFolder = folder;
                lastWritable = IsFolderWritable(folder);
                lastTested = true;
            }
            writable = lastWritable;
        }
        row.WillProcess = writable;
        if (writable && !row.Done) {
            TotalSize += quint32(row.SizeKB());
            TotalEstimated += quint32(row.EstimatedKB);
        } else if (!writable && collectUnwritable) {
            Unwritable.append(row.OutputPath);
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

bool TSourceList::JudgeDone(TSourceRow& row) {
    const QString& output = row.OutputPath;
    if (output == row.Path) {
        row.DoneStamp.clear();
        return IsAlreadyConverted(row.Path, row.BitRate, output);
    }
    const QFileInfo info(output);
    QString stamp;
    if (info.exists() || info.isSymLink())
        stamp = QStringLiteral("%1|%2|%3")
                    .arg(output)
                    .arg(info.size())
                    .arg(info.lastModified().toMSecsSinceEpoch());
    if (stamp.isEmpty() || stamp != row.DoneStamp) {
        row.DoneStamp = stamp;
        row.Done = !stamp.isEmpty() && IsConvertedOutput(output);
    }
    return row.Done;
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
            Keys.remove(Rows.at(r).PathKey);
            Statuses.remove(Rows.at(r).PathKey);
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
    return Statuses.value(Rows.at(row).PathKey);
}

void TSourceList::SetRowStatus(int row, const TRowStatus& status) {
    if (row < 0 || row >= Count())
        return;
    Statuses.insert(Rows.at(row).PathKey, status);
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
    for (const TSourceRow& row : Rows) {
        const auto it = Statuses.constFind(row.PathKey);
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
