#include "gui/WindowBatchView.h"

#include "gui/SonabelShutDownF.h"
#include "gui/SonabelWarningF.h"

#include <QMessageBox>
#include <QWidget>

TWindowBatchView::TWindowBatchView(TSonabelWarningForm& warningForm, TSonabelShutDown& shutDown,
                                   QWidget* mainWindow)
    : WarningForm(warningForm), ShutDown(shutDown), MainWindow(mainWindow) {}

TWarningAnswer TWindowBatchView::ShowWarningList(const QString& caption, const QString& message,
                                                 const QStringList& items, bool goodFilesEnabled,
                                                 bool allFilesEnabled) {
    return WarningForm.ShowWarningList(caption, message, items, goodFilesEnabled, allFilesEnabled);
}

void TWindowBatchView::AskDelayedStart(int seconds, std::function<void(bool cancelled)> done) {
    ShutDown.AskDelayedStart(seconds, std::move(done));
}

void TWindowBatchView::PowerOffCountdown(int seconds, std::function<void(bool confirmed)> done) {
    ShutDown.PowerOffCountdown(seconds, std::move(done));
}

void TWindowBatchView::CloseMainWindow() {
    if (MainWindow)
        MainWindow->window()->close();
}

bool TWindowBatchView::ConfirmReplace(const QString& question) {
    const QString title = MainWindow ? MainWindow->window()->windowTitle() : QString();
    return QMessageBox::question(MainWindow, title, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}
