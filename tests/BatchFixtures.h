#pragma once
// Fixtures of the batch tests: scripted answers to a run's questions with a
// record of what it shows, and a power-off that never powers off.

#include "batch/Batch.h"
#include "batch/BatchView.h"
#include "batch/PowerOff.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
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
    int FilePosition = -1, FileMaximum = -1, TotalPosition = -1, TotalMaximum = -1;
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
