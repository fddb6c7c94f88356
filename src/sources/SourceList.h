#pragma once
// The source list: the files the user wants to shrink, one typed row each,
// with what was learnt when the file was added and what the current settings
// make of it. The model formats the rows; the list view only displays them.

#include "formats/MP3Stream.h"
#include "formats/SourceType.h"
#include "formats/WavStream.h"
#include "messages/ReasonTexts.h"
#include "sources/SourceRow.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

class TReporter;

// What ClassifySource learnt; only the record of the type found is filled.
struct TSourceAnalysis {
    TMP3Info MP3;
    TWAVInfo WAV;
};

// A file the list refused while adding, with the reason; the run reports
// it, so that every file the user asked for is accounted for.
struct TRejectedSource {
    QString Path;
    TReason Reason = TReason::UnsupportedFile;
};

// Type by extension, then by analysis: MPEG and WAV files without a bit rate
// are unusable. Only regular files are analysed (a pipe would block the reader).
// The analysis is handed back so that adding a file reads it once.
TSourceType ClassifySource(const QString& path, TSourceAnalysis* analysis = nullptr);

// Why a path cannot be read as a source, found by opening it without
// blocking (a pipe or device is never read): none for a readable regular file.
std::optional<TReason> FileAccessProblem(const QString& path);
// Why ClassifySource found the file unusable: its access problem, else an
// empty or unsupported file.
TReason UnusableReason(const QString& path);

// The duplicate key of a path: upper-cased where file names ignore case,
// the path itself on Linux, where two such names are two files.
QString SourcePathKey(const QString& path);

// True when path is a regular file (no link) in which the MPEG reader finds audio.
bool IsConvertedOutput(const QString& path);
// Whether a source counts as converted already with the current settings: its
// planned output is one (above); when outputs replace their sources, an MP3
// source is its own output, converted when it is not above the target rate.
bool IsAlreadyConverted(const QString& source, int bitRate, const QString& plannedOutput);
// The output planned for a source with the current settings, named for the
// rate the encoder really writes (LameOutputBitRate).
QString PlannedOutputPath(const QString& source, const QString& baseFolder, int bitRate);

// Size in bytes, 0 when the file does not exist; works on a file another
// process is still writing.
qint64 FileSizeOf(const QString& path);

// Creates and deletes a numbered test file in the folder. A folder that does
// not exist yet counts as writable when its nearest existing ancestor is,
// since a run creates missing output folders.
bool IsFolderWritable(const QString& folder);

// Output size in KiB for a row: target x (audio / 1024) / source bit rate,
// plus the kept tags, held as a 32-bit float, rounded half to even.
int EstimateOutputKB(int targetBitRate, qint64 audioBytes, int bitRate, qint64 tagV1Bytes,
                     qint64 tagV2Bytes, bool keepTagV1, bool keepTagV2);

// What became of a row in the last run.
enum class TRowState { Waiting, Encoding, Done, Skipped, Failed, Stopped };

struct TRowStatus {
    TRowState State = TRowState::Waiting;
    QString Reason;         // skipped or failed: why
    QString Output;         // done: the file written
    qint64 SourceBytes = 0; // measured when the row started
    qint64 OutputBytes = 0; // done: the size of Output
};

// Sizes of the rows done in the last run.
struct TDoneSizes {
    int Rows = 0;
    qint64 SourceBytes = 0;
    qint64 OutputBytes = 0;
};

// Called per file found; returning false ends the scan.
using TScanProgress = std::function<bool(const QString& path)>;
// Lists the files of a folder (hidden ones too, and those whose names are not
// valid UTF-8, with the undecodable bytes shown as U+FFFD), then, when recursive, its
// sub-folders one by one, depth first. Hidden folders and symbolic links to
// folders are not entered. Names are sorted so the order is stable. An empty
// mask or "*.*" means every file. Returns false when the callback stopped it.
bool ScanFolder(const QString& folder, QStringList* list, const QString& mask,
                const TScanProgress& progress, bool recursive);

class TSourceList : public QAbstractTableModel {
    Q_OBJECT

public:
    enum TColumn : int { FileColumn, BitRateColumn, SizeColumn, EstimateColumn, StatusColumn };
    static constexpr int ColumnCount = StatusColumn + 1;
    static constexpr std::array<int, ColumnCount> ColumnWidths = {300, 65, 90, 90, 130};

    enum TRole : int {
        // bool: the row is drawn in italics (its output folder failed the
        // write test, or it is converted already). The core has no fonts;
        // the view turns this into one.
        ItalicRole = Qt::UserRole + 1,
        // int: the row's TRowState.
        StateRole = Qt::UserRole + 2,
    };

    explicit TSourceList(TReporter* reporter = nullptr, QObject* parent = nullptr);

    void SetReporter(TReporter* reporter) { Reporter = reporter; }

    // Model interface for the view.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // By the values behind the texts (the status by its state); equal rows keep their order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    int Count() const { return int(Rows.size()); }

    // row must be in 0..Count()-1.
    const TSourceRow& Row(int row) const { return Rows.at(row); }

    // Adding.
    bool IsNewSource(const QString& path) const;
    // Conditions: minSizeKB and minBitRate -1 = none. A file already analysed
    // by ClassifySource is passed in and not read again. True when a row was added.
    bool AddMpegEntry(const QString& path, bool requireVbr, bool requireCbr, int minSizeKB,
                      int minBitRate, const QString& baseFolder,
                      const TMP3Info* analysed = nullptr);
    // Adds PCM files only; any other WAV shows the not-PCM message.
    bool AddWavEntry(const QString& path, const QString& baseFolder,
                     const TWAVInfo* analysed = nullptr);
    // One file chosen or dropped by the user.
    void AddSourceFile(const QString& path);
    // Scans a folder with the folder filter of the settings and adds what passes.
    void AddFolder(const QString& folder);
    // Decides which files a folder scan takes at all, before reading them
    // (one shard of a library); none: every file.
    void SetScanFilter(std::function<bool(const QString& path)> filter) {
        ScanFilter = std::move(filter);
    }
    // Called every few hundred rows of a recomputation, so that a window can
    // paint meanwhile when the list holds a whole library; none: never.
    void SetBreather(std::function<void()> breather) { Breather = std::move(breather); }
    // Bracket a series of additions; EndAddFiles recomputes the list.
    void BeginAddFiles();
    void EndAddFiles();
    // Status panel 0 during a scan: the folder of the path, when it changed.
    void ShowScanProgress(const QString& path);

    // Recomputation of estimates, output paths, write tests and totals.
    void UpdateList(bool collectUnwritable);
    quint32 TotalSizeKB() const { return TotalSize; }
    quint32 TotalEstimatedKB() const { return TotalEstimated; }
    // Texts for the second and third status panels (MiB, rounded down).
    QString TotalSizeText() const;
    QString TotalEstimatedText() const;
    // Output paths of the rows that failed the write test, collected by the
    // last UpdateList(true).
    const QStringList& UnwritableOutputs() const { return Unwritable; }

    // Files refused while adding: every named file that cannot be used and
    // every file of a wanted type that a folder scan could not use (files the
    // folder filter leaves out are not refusals). Kept until a run reports
    // them or the list is cleared.
    const QList<TRejectedSource>& RejectedSources() const { return Rejected; }
    void ClearRejected();

    // Removing. Deletes the given (selected) rows; with none, shows the
    // nothing-selected message. Returns the row to select afterwards (the one
    // that moved into the place of the last deletion), or -1 for none.
    int RemoveSelectedRows(const QList<int>& selected);
    void ClearList();

    // The status of each row: the run sets it, the view only shows it. A
    // new row, and every row when a run starts, is waiting.
    TRowStatus RowStatus(int row) const;
    void SetRowStatus(int row, const TRowStatus& status);
    void ResetRowStatuses();
    TDoneSizes DoneSizes() const;
    // Deletes the rows done in the last run; returns how many.
    int RemoveFinishedRows();

Q_SIGNALS:
    // Additions started / ended: the view shows the wait cursor meanwhile.
    void AddFilesBegin();
    void AddFilesEnd();
    // A recursive scan starts / ends: the view disables every control but the
    // log, LED, status bar and the start button, which becomes the stop button.
    void ScanBegin();
    void ScanEnd();
    // After every UpdateList.
    void TotalsChanged(quint32 totalSizeKB, quint32 totalEstimatedKB);
    void RowStatusChanged(int row);

private:
    void AppendRow(TSourceRow row);
    // Whether the row's source is converted already; an output judged before
    // and unchanged since is not read again.
    static bool JudgeDone(TSourceRow& row);
    void SetLastDirOf(const QString& path);
    void Reject(const QString& path, TReason reason);

    TReporter* Reporter = nullptr;
    QList<TSourceRow> Rows;
    QSet<QString> Keys; // PathKey of every row, for IsNewSource
    QStringList Unwritable;
    QList<std::pair<QString, QString>> BadFiles; // path, message
    void TellBadFile(const QString& path, const QString& message);
    QList<TRejectedSource> Rejected;
    // By PathKey, so that removing and sorting rows needs no bookkeeping;
    // a missing entry is a waiting row.
    QHash<QString, TRowStatus> Statuses;
    quint32 TotalSize = 0;
    quint32 TotalEstimated = 0;
    bool AddingFiles = false;
    QString ScanStatusFormat;
    QString ScanStatusFolder;
    std::function<bool(const QString& path)> ScanFilter;
    std::function<void()> Breather;
};
