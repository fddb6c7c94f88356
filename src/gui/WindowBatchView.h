#pragma once
// The batch's view for the desktop program: the warning and countdown windows
// are answered here; the main window's own parts (bars, LED, time label, go
// button, enabling, current row, log) are do-nothing defaults that the main
// window overrides, so this class can stand alone for the dialogs.

#include "batch/BatchView.h"

class QWidget;
class TSonabelShutDown;
class TSonabelWarningForm;

class TWindowBatchView : public TBatchView {
public:
    // The windows are created once by the program and outlive this view;
    // mainWindow is what an accepted power-off closes (none: nothing).
    TWindowBatchView(TSonabelWarningForm& warningForm, TSonabelShutDown& shutDown,
                     QWidget* mainWindow = nullptr);

    TWarningAnswer ShowWarningList(const QString& caption, const QString& message,
                                   const QStringList& items, bool goodFilesEnabled,
                                   bool allFilesEnabled) override;
    void AskDelayedStart(int seconds, std::function<void(bool cancelled)> done) override;
    void PowerOffCountdown(int seconds, std::function<void(bool confirmed)> done) override;
    void CloseMainWindow() override;
    bool ConfirmReplace(const QString& question) override;

    void SetFileProgress(int, int) override {}
    void SetTotalProgress(int, int) override {}
    void SetTimeText(const QString&) override {}
    void SetLed(bool) override {}
    void SetGoButtonStart() override {}
    void SetGoButtonStop() override {}
    void DisableControls() override {}
    void EnableControls() override {}
    void SetCurrentRow(int) override {}
    void ClearLog() override {}
    void Repaint() override {}

protected:
    TSonabelWarningForm& WarningForm;
    TSonabelShutDown& ShutDown;
    QWidget* MainWindow;
};
