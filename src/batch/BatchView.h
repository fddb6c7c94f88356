#pragma once
// What the batch shows and asks besides the log: the main window implements it
// with widgets, sonabel-cli with the terminal, the tests with a recorder.

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
    virtual void CloseMainWindow() = 0;

    // Bars in KiB; a position above the maximum shows as full.
    virtual void SetFileProgress(int position, int maximum) = 0;
    virtual void SetTotalProgress(int position, int maximum) = 0;
    virtual void SetTimeText(const QString& text) = 0;
    virtual void SetLed(bool lit) = 0;
    virtual void SetGoButtonStart() = 0;
    virtual void SetGoButtonStop() = 0;
    // Everything but the log, LED, go button, status bar, power-off box and
    // time labels; enabling restores every control.
    virtual void DisableControls() = 0;
    virtual void EnableControls() = 0;
    virtual void SetCurrentRow(int row) = 0;
    virtual void ClearLog() = 0;
    // Pending paints done now.
    virtual void Repaint() = 0;
};
