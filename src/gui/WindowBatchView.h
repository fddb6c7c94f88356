#pragma once
// The questions of a run in the desktop program, answered by the warning and
// countdown windows and a message box.

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

protected:
    TSonabelWarningForm& WarningForm;
    TSonabelShutDown& ShutDown;
    QWidget* MainWindow;
};
