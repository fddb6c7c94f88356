#pragma once
// A run on the main window: the run panel's bars, time, LED and start button,
// the current row of the list, the log, and which controls a run leaves
// usable follow the batch's signals. The questions are the shared windows'.

#include "gui/WindowBatchView.h"

#include <functional>

class TBatch;
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

    void Follow(TBatch& batch);
    void PowerOffCountdown(int seconds, std::function<void(bool confirmed)> done) override;

private:
    QWidget& Window;
    TRunPanel& Run;
    TSourceListPanel& List;
    TLogView& Log;
    TReporter& Reporter;
    std::function<void(TBusy)> SetBusy;
};
