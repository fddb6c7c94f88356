#pragma once
// The main window: it composes the source list panel, the run panel, the log
// and the status bar over the core (settings, source list, batch), and is
// the rest of the program's way to the user through its reporter.

#include "batch/PowerOff.h"
#include "gui/RunNotifier.h"
#include "gui/RunPanel.h"
#include "gui/WindowPrompts.h"
#include "messages/Reporting.h"
#include "settings/RegFile.h"

#include <QMainWindow>
#include <memory>

class TBatch;
class TMainBatchView;
class TLogView;
class TMainDialogs;
class TSourceAdder;
class TSourceList;
class TSourceListBatchSource;
class TRunFeedback;
class TSourceListPanel;
class TStatusPanels;

class TSonabelMainForm : public QMainWindow {
    Q_OBJECT

public:
    // Without a store the program's own per-user store is used; without a
    // power-off service, logind's; without prompts, real dialogs.
    explicit TSonabelMainForm(std::unique_ptr<TRegFile> store = nullptr,
                              std::unique_ptr<TPowerOff> powerOff = nullptr,
                              std::unique_ptr<TWindowPrompts> prompts = nullptr,
                              std::unique_ptr<TRunNotifier> notifier = nullptr,
                              QWidget* parent = nullptr);
    ~TSonabelMainForm() override;

    // Settings, language, the encoder check and the first list refresh.
    // False when the user gave up looking for the encoder: the program ends
    // without saving anything.
    bool FormCreate();
    // The other windows, created once, in their fixed order.
    void CreateForms();
    // Writes the current language's texts into this window and every dialog.
    void ApplyLanguage();
    // Files and folders handled as one drop (also those named on the command line).
    void AddDroppedPaths(const QStringList& paths);
    // Named on the command line: added as one drop at the first idle moment.
    QStringList StartPaths;

    // The program folder, searched for the encoder before the PATH.
    QString AppDir;
    TSourceList& List() { return *SourceList; }
    TBatch& Batch() { return *BatchRun; }
    TReporter& Reporter() { return *WindowReporter; }
    TSourceListPanel& ListPanel() { return *SourceListPanel; }
    TRunPanel& Run() { return *RunPanel; }
    TLogView& Log() { return *LogView; }
    TStatusPanels& Status() { return *StatusPanels; }
    TSourceAdder& Adder() { return *SourceAdder; }
    // Null before CreateForms.
    TMainDialogs* Dialogs() { return MainDialogs; }

    void UpdateList();
    void SetState(quint8 state);
    void btnGOClick();
    void btnOptionsClick();
    void btnRemoveFilesClick();
    void btnClearListClick();
    void PropertiesClick();
    // The bit rate or the mode changed.
    void SomethingChange();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ComposePanels();
    void Connect();
    void SetTabOrder();
    void SetBusy(TBusy busy);
    void FirstIdle();
    void SaveSettingsOnClose();

    std::unique_ptr<TRegFile> Store;
    std::unique_ptr<TPowerOff> PowerOffService;
    std::unique_ptr<TWindowPrompts> Prompts;
    TSourceList* SourceList;
    TSourceListPanel* SourceListPanel;
    TRunPanel* RunPanel;
    TLogView* LogView;
    TStatusPanels* StatusPanels;
    std::unique_ptr<TReporter> WindowReporter;
    TSourceAdder* SourceAdder;
    std::unique_ptr<TSourceListBatchSource> BatchSource;
    std::unique_ptr<TMainBatchView> BatchView;
    TBatch* BatchRun = nullptr;
    std::unique_ptr<TRunNotifier> Notifier;
    TRunFeedback* Feedback = nullptr;
    TMainDialogs* MainDialogs = nullptr;

    bool Created = false;
    bool Shown = false;
    QString LoggedVersion; // the banner line last written to the log
    // A close asked while a scan or a stopped run winds down comes back after it.
    bool CloseWhenDone = false;
};
