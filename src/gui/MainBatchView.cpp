#include "gui/MainBatchView.h"

#include "batch/Batch.h"
#include "gui/LogView.h"
#include "gui/RunPanel.h"
#include "gui/SourceListPanel.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"
#include "settings/Settings.h"

#include <QPointer>

TMainBatchView::TMainBatchView(QWidget& window, TRunPanel& run, TSourceListPanel& list,
                               TLogView& log, TReporter& reporter,
                               std::function<void(TBusy)> setBusy, TSonabelWarningForm& warning,
                               TSonabelShutDown& shutDown)
    : TWindowBatchView(warning, shutDown, &window), Window(window), Run(run), List(list), Log(log),
      Reporter(reporter), SetBusy(std::move(setBusy)) {}

void TMainBatchView::Follow(TBatch& batch) {
    TRunPanel* run = &Run;
    QObject::connect(&batch, &TBatch::fileProgress, run, &TRunPanel::SetFileProgress);
    QObject::connect(&batch, &TBatch::totalProgress, run, &TRunPanel::SetTotalProgress);
    QObject::connect(&batch, &TBatch::timeTextChanged, run, &TRunPanel::SetTimeText);
    QObject::connect(&batch, &TBatch::ledChanged, run, &TRunPanel::SetLed);
    QObject::connect(&batch, &TBatch::goButtonChanged, run, &TRunPanel::SetGoButton);
    QObject::connect(&batch, &TBatch::controlsEnabled, &Window,
                     [this](bool enabled) { SetBusy(enabled ? TBusy::None : TBusy::Run); });
    QObject::connect(&batch, &TBatch::currentRowChanged, &List, &TSourceListPanel::SelectRow);
    QObject::connect(&batch, &TBatch::logCleared, &Log, &TLogView::clear);
    // Copies run one after another without a return to the event loop: the
    // window shows the run's state before the first.
    QObject::connect(&batch, &TBatch::runStarted, &Window, [this] { Window.repaint(); });
}

// A countdown that ends without switching off leaves the window idle again;
// the power-off box follows the setting the run cleared.
void TMainBatchView::PowerOffCountdown(int seconds, std::function<void(bool confirmed)> done) {
    QPointer<QWidget> window(&Window);
    TWindowBatchView::PowerOffCountdown(seconds, [this, window, done](bool confirmed) {
        done(confirmed);
        if (!window || !window->isVisible())
            return;
        if (RunState == rsPowerOff)
            Reporter.SetState(rsIdle);
    });
}
