#pragma once
// What a run shows on the main window: the run panel's bars, time, LED and
// start button, the current row of the list, the log, and which controls a
// run leaves usable. The warning and countdown windows are the shared ones.

#include "gui/WindowBatchView.h"

#include <functional>

class TLogView;
class TReporter;
class TRunPanel;
class TSourceListPanel;
enum class TBusy;

class TMainBatchView : public TWindowBatchView {
public:
    TMainBatchView(QWidget& window, TRunPanel& run, TSourceListPanel& list, TLogView& log,
                   TReporter& reporter, std::function<void(TBusy)> setBusy,
                   TSonabelWarningForm& warning, TSonabelShutDown& shutDown);

    void SetFileProgress(int position, int maximum) override;
    void SetTotalProgress(int position, int maximum) override;
    void SetTimeText(const QString& text) override;
    void SetLed(bool lit) override;
    void SetGoButtonStart() override;
    void SetGoButtonStop() override;
    void DisableControls() override;
    void EnableControls() override;
    void SetCurrentRow(int row) override;
    void ClearLog() override;
    void PowerOffCountdown(int seconds, std::function<void(bool confirmed)> done) override;
    void Repaint() override;

private:
    QWidget& Window;
    TRunPanel& Run;
    TSourceListPanel& List;
    TLogView& Log;
    TReporter& Reporter;
    std::function<void(TBusy)> SetBusy;
};
