#pragma once
// The batch run behind the start button: checks and questions before the run,
// then the list walked in order with up to Jobs entries at once, each one a
// pipeline of its own whose end arrives by signal, and a 200 ms timer
// measuring the growing outputs. The button handler returns at once; the end
// steps run when the last entry is done.

#include "batch/BatchView.h"
#include "messages/ReasonTexts.h"
#include "sources/SourceList.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class TReporter;
class TPowerOff;
class TEntryPipeline;
struct TRunShared;

// What the batch reads of one list row.
struct TBatchEntry {
    QString Path;
    int EstimatedKB = 0;
    int BitRate = 0;
    qint64 AudioBytes = 0;
    qint64 TagV2Bytes = 0;
    QString OutputPath;
    bool WillProcess = true;
    bool Done = false;      // converted already, as the list judged it
    qint64 SourceBytes = 0; // the source's size when its entry started
    int SampleRate = 0;     // Hz, 0 when unknown
};
// The bit rate the encoder really writes for this entry when asked for the target.
int EntryTarget(const TBatchEntry& e);

// What the analysis made when an entry starts learnt of its source.
struct TSourceFacts {
    int DurationMs = 0; // 0 when unknown
    bool VBR = false;
    int SampleRate = 0; // Hz
};

// What the batch needs of the source list.
class TBatchSource {
public:
    virtual ~TBatchSource() = default;
    virtual int EntryCount() const = 0;
    virtual TBatchEntry Entry(int row) const = 0;
    // Recomputes outputs, estimates and WillProcess, collecting unwritable outputs.
    virtual void UpdateList(bool collectUnwritable) = 0;
    virtual QStringList UnwritableOutputs() const = 0;
    // The source's type, analysing the file again.
    virtual TSourceType ClassifySource(const QString& path, TSourceFacts* facts = nullptr) = 0;
    // Files refused while the list was filled: a run reports them first, as
    // results of its own, and then forgets them.
    virtual QList<TRejectedSource> RejectedSources() const { return {}; }
    virtual void ClearRejected() {}
};

enum class TEntryAction { Encoded, Copied, Skipped, Failed, Stopped };

struct TEntryResult {
    int Row = -1; // -1 for a file the list refused
    QString Path;
    QString Output; // the file written, empty when none
    TEntryAction Action = TEntryAction::Skipped;
    QString Reason; // empty when none
    QString Note;   // how an output came about when not the usual way
};

struct TRunSummary {
    int Encoded = 0;
    int Copied = 0;
    int Skipped = 0;
    int Failed = 0;
    bool Stopped = false;
    qint64 ElapsedMs = 0;
    // Of the entries that gave an output: the sources' bytes and the outputs'.
    qint64 SourceBytes = 0;
    qint64 OutputBytes = 0;
};

enum class TGoResult {
    Refused,      // nothing started: empty list, unwritable outputs, Abort, cancelled delay
    Started,      // the run is under way
    Waiting,      // a delayed-start countdown is under way
    StopQuestion, // a press during a run or scan: the stop was asked
    Ignored,      // a stopped run is still unwinding
};

class TBatch : public QObject {
    Q_OBJECT
public:
    TBatch(TBatchSource& source, TBatchView& view, TReporter& reporter, TPowerOff& powerOff,
           QObject* parent = nullptr);
    ~TBatch() override;

    // The start button.
    TGoResult btnGOClick();
    // A stop already confirmed (sonabel-cli's Ctrl-C): ends every encoder.
    void Stop();
    // During a folder scan: asks whether to stop it; false when the user said No.
    bool ConfirmStopScan();

    bool IsRunning() const { return Running; }
    int CountRunKB(bool goodFilesOnly) const;
    // Refreshes the time label from the total bar.
    void UpdateTimeEstimate();

    // Milliseconds since an arbitrary origin; tests may replace it.
    std::function<qint64()> Clock;
    static constexpr int ProgressIntervalMs = 200;
    static constexpr int PowerOffSeconds = 30;
    // The decoder an MPEG source is encoded again from when the encoder's own
    // decoding came out short; empty when none is installed.
    QString DecoderPath;

Q_SIGNALS:
    void runStarted();
    // The row's source is about to be read and encoded or copied.
    void entryStarted(int row);
    void entryEnded(const TEntryResult& result);
    void runFinished(const TRunSummary& summary);

    // What the run shows. Bars in KiB; a position above the maximum shows as full.
    void fileProgress(int position, int maximum);
    void totalProgress(int position, int maximum);
    void timeTextChanged(const QString& text);
    void ledChanged(bool lit);
    // The start button's caption: Stop during a run.
    void goButtonChanged(bool stop);
    // Off during a run: everything but the log, LED, start button, status bar,
    // power-off box and time labels.
    void controlsEnabled(bool enabled);
    void currentRowChanged(int row);
    void logCleared();

private:
    bool PrepareRun(bool& goodFilesOnly);
    // Names the sources that will go to the trash; false when the user declined.
    bool ConfirmReplace();
    // Leftover temporary files of killed runs, in every folder the run writes to.
    void CleanOutputFolders();
    void StartRun(bool goodFilesOnly);
    void StartEntries();
    // Skips, copies or fails the entry at once, or starts its encoder.
    void StartEntry(int row);
    void PipelineEnded(TEntryPipeline* pipeline, const TEntryResult& result);
    void EncoderProgress();
    void AdvanceTotal(int estimatedKB);
    void EndEntry(const TEntryResult& result);
    void Fail(int row, const QString& path, const QString& reason);
    // Skips or fails an entry that was never started, logging why.
    void EndUnstarted(int row, const QString& path, TReason reason);
    void ReportRejected();
    void KillJobs();
    void MaybeFinish();
    void Finish();
    void OfferPowerOff();
    QString ReserveOutputName(const QString& planned);
    qint64 Elapsed() const;

    TBatchSource& Source;
    TBatchView& View;
    TReporter& Reporter;
    TPowerOff& PowerOffService;

    QTimer ProgressTimer;
    bool Running = false;
    bool GoodFilesOnly = false;
    std::unique_ptr<TRunShared> Shared; // set for each run
    int NextRow = 0;
    int TotalMaxKB = 0;
    int DoneKB = 0;
    int TotalPosition = 0;
    qint64 StartTick = 0;
    QSet<QString> Reserved;
    // Children of this run, deleted once they have ended.
    QList<TEntryPipeline*> ActiveJobs;
    bool Starting = false; // within StartEntries: an entry that ends at once starts none
    QStringList Unwritable;
    TRunSummary Summary;
};

// The time label: h, min, s left, then h, min, s in all.
QString FormatTimeDisplay(qint64 remainingS, qint64 totalS);
// The time label projected from the total bar; none before 2 s of run time
// or while nothing has been written.
std::optional<QString> TimeEstimateText(qint64 elapsedMs, int position, int maximum);
