#pragma once
// The questions a run asks besides the reporter's message boxes: the main
// window answers them with its dialogs, sonabel-cli from its options, the
// tests from a script. What a run shows comes as signals of TBatch.

#include <QString>
#include <QStringList>
#include <functional>

enum class TWarningAnswer { Abort, GoodFilesOnly, AllFiles };

class TBatchView {
public:
    virtual ~TBatchView() = default;

    // The pre-run warning with a list of files; closing it counts as Abort.
    virtual TWarningAnswer ShowWarningList(const QString& caption, const QString& message,
                                           const QStringList& items, bool goodFilesEnabled,
                                           bool allFilesEnabled) = 0;
    // Countdowns; each calls done exactly once, now or later. Delayed start:
    // cancelled true stops the run. Power-off: confirmed true (OK or ran out).
    virtual void AskDelayedStart(int seconds, std::function<void(bool cancelled)> done) = 0;
    virtual void PowerOffCountdown(int seconds, std::function<void(bool confirmed)> done) = 0;
    // Before a run that sends its sources to the trash: true to go ahead. Only
    // the window asks; the terminal's --replace is the user's answer already.
    virtual bool ConfirmReplace(const QString& /*question*/) { return true; }
    // After an accepted power-off: the program closes through its usual path.
    virtual void CloseMainWindow() {}
};
