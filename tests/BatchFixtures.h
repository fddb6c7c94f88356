#pragma once
// Fixtures of the batch tests: scripted answers to a run's questions with a
// record of what it shows, a power-off that never powers off, and a whole
// run over a source list with all of them.

#include "RecordingReporter.h"
#include "batch/Batch.h"
#include "batch/BatchSourceList.h"
#include "batch/BatchView.h"
#include "batch/PowerOff.h"
#include "formats/SonabelErrors.h"
#include "messages/RunState.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"

#include <QList>
#include <QQueue>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <optional>

class TRecordingView : public TBatchView {
public:
    TWarningAnswer ShowWarningList(const QString& caption, const QString& message,
                                   const QStringList& items, bool goodFilesEnabled,
                                   bool allFilesEnabled) override;
    void AskDelayedStart(int seconds, std::function<void(bool)> done) override;
    void PowerOffCountdown(int seconds, std::function<void(bool)> done) override;
    void CloseMainWindow() override { Events << QStringLiteral("close"); }
    // Records what the run shows, in Events and the fields below.
    void Follow(TBatch& batch);

    QStringList Events;
    QStringList WarningItems;
    QString WarningMessage;
    bool GoodFilesEnabled = false, AllFilesEnabled = false;
    QQueue<TWarningAnswer> WarningAnswers; // empty: Abort
    // The power-off's answer; none (and every delayed start) keeps the
    // callback for the test to call.
    std::optional<bool> PowerOffConfirm;
    std::function<void(bool)> PendingCountdown;
    int CountdownSeconds = -1;
    QList<int> FileBar, TotalBar; // position, maximum
    QString TimeText;
    bool Disabled = false;
};

class TFakePowerOff : public TPowerOff {
public:
    TPowerOffResult PowerOff() override {
        ++Calls;
        return Result;
    }
    int Calls = 0;
    TPowerOffResult Result{true, 0, QString()};
};

constexpr int RunTimeoutMs = 60000;

// The list's adapter, with an analysis that can be made to throw.
class TListSource : public TSourceListBatchSource {
public:
    using TSourceListBatchSource::TSourceListBatchSource;
    TSourceType ClassifySource(const QString& path, TSourceFacts* facts = nullptr) override {
        if (ThrowFor.contains(path))
            throw EFOpenError(path);
        return TSourceListBatchSource::ClassifySource(path, facts);
    }
    QSet<QString> ThrowFor;
};

struct TRig {
    TSourceList List;
    TListSource Source{List};
    TRecordingView View;
    TRecordingReporter Reporter;
    TFakePowerOff PowerOff;
    TBatch Batch{Source, View, Reporter, PowerOff};
    QList<TEntryResult> Results;
    QList<TRunSummary> Summaries;

    explicit TRig(const QStringList& paths = {}) {
        Add(paths);
        View.Follow(Batch);
        QObject::connect(&Batch, &TBatch::entryEnded,
                         [this](const TEntryResult& r) { Results << r; });
        QObject::connect(&Batch, &TBatch::runFinished,
                         [this](const TRunSummary& s) { Summaries << s; });
    }
    void Add(const QStringList& paths) {
        for (const QString& path : paths)
            List.AddSourceFile(path);
    }
    // Every source below the folder, its sub-folders kept in the outputs' names.
    void AddFolder(const QString& folder) {
        Preferences().Edit()->DirFlags = dfRecurse | dfCBR | dfVBR | dfMP1 | dfMP2 | dfMP3 | dfWAV;
        List.AddFolder(folder);
        TRunState::Current().Set(rsIdle); // the scan's callers end it
    }
    // Starts, does what is asked meanwhile, and waits for the end steps.
    bool Run(const std::function<void()>& meanwhile = {}) {
        QSignalSpy spy(&Batch, &TBatch::runFinished);
        if (Batch.btnGOClick() != TGoResult::Started)
            return false;
        if (meanwhile)
            meanwhile();
        return !spy.isEmpty() || spy.wait(RunTimeoutMs);
    }
    TEntryResult ResultOf(int row) const {
        const auto has = [row](const TEntryResult& r) { return r.Row == row; };
        const auto it = std::find_if(Results.cbegin(), Results.cend(), has);
        return it == Results.cend() ? TEntryResult{} : *it;
    }
    // Per row, every result it got ("encoded", "failed+stopped", "" for none).
    QStringList Actions() const {
        static const QStringList names = {"encoded", "copied", "skipped", "failed", "stopped"};
        QStringList out;
        for (int row = 0; row < Source.EntryCount(); ++row) {
            QStringList got;
            for (const TEntryResult& r : Results)
                if (r.Row == row)
                    got << names.at(int(r.Action));
            out << got.join('+');
        }
        return out;
    }
};
