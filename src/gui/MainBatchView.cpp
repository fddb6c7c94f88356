#include "gui/MainBatchView.h"

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

void TMainBatchView::SetFileProgress(int position, int maximum) {
    Run.SetFileProgress(position, maximum);
}

void TMainBatchView::SetTotalProgress(int position, int maximum) {
    Run.SetTotalProgress(position, maximum);
}

void TMainBatchView::SetTimeText(const QString& text) {
    Run.SetTimeText(text);
}

void TMainBatchView::SetLed(bool lit) {
    Run.SetLed(lit);
}

void TMainBatchView::SetGoButtonStart() {
    Run.SetGoButton(false);
}

void TMainBatchView::SetGoButtonStop() {
    Run.SetGoButton(true);
}

void TMainBatchView::DisableControls() {
    SetBusy(TBusy::Run);
}

void TMainBatchView::EnableControls() {
    SetBusy(TBusy::None);
}

void TMainBatchView::SetCurrentRow(int row) {
    List.SelectRow(row);
}

void TMainBatchView::ClearLog() {
    Log.clear();
}

// A countdown that ends without switching off leaves the window idle again,
// and the box shows whether the next run would still switch off.
void TMainBatchView::PowerOffCountdown(int seconds, std::function<void(bool confirmed)> done) {
    QPointer<QWidget> window(&Window);
    TWindowBatchView::PowerOffCountdown(seconds, [this, window, done](bool confirmed) {
        done(confirmed);
        if (!window || !window->isVisible())
            return;
        Run.SetShutDown(Settings().Flags & flShutDown);
        if (RunState == rsPowerOff)
            Reporter.SetState(rsIdle);
    });
}

void TMainBatchView::Repaint() {
    Window.repaint();
}
