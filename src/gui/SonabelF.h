#pragma once
// The main window: the source list, the log, the progress area, the bit-rate
// and mode selectors and the start/stop button. It is the reporter of the
// whole program and, through its batch view, what a run shows.

#include "batch/PowerOff.h"
#include "messages/Reporting.h"
#include "settings/RegFile.h"

#include <QElapsedTimer>
#include <QKeySequence>
#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QRadioButton;
class QToolButton;
class QPushButton;
class QUrl;
class TBatch;
class TBatchView;
class TDragListView;
class TLED;
class TSourceList;
class TSourceListBatchSource;
class TSonabelDirForm;
class TSonabelDownloadForm;
class TSonabelOptionForm;
class TSonabelTextForm;
class TSonabelPropsForm;
class TSonabelShutDown;
class TSonabelWarningForm;
class TUpdateCheck;

class TSonabelMainForm : public QMainWindow, public TReporter {
    Q_OBJECT

public:
    // Without a store the program's own per-user store is used; without a
    // power-off service, logind's.
    explicit TSonabelMainForm(std::unique_ptr<TRegFile> store = nullptr,
                              std::unique_ptr<TPowerOff> powerOff = nullptr,
                              QWidget* parent = nullptr);
    ~TSonabelMainForm() override;

    // Settings, language, the encoder check and the first list refresh.
    // False when the user gave up looking for the encoder: the program ends
    // without saving anything.
    bool FormCreate();
    // The other windows, created once, in their fixed order.
    void CreateForms();

    void ApplyLanguage();
    void FormResize();
    // Files and folders handled as one drop (also those named on the command line).
    void AddDroppedPaths(const QStringList& paths);
    // Named on the command line: added as one drop at the first idle moment.
    QStringList StartPaths;
    // A drop of many files lets events run this often, like a scan.
    int DropSliceMs = 40;

    // TReporter
    void LogLine(const QString& text) override;
    void ReplaceLastLogLine(const QString& text) override;
    void SetStatusText(const QString& text) override;
    TModalResult AskUser(const QString& message, TDialogType type, unsigned buttons,
                         int helpContext = 0) override;
    void ShowInfo(const QString& text) override;

    // Everything that would open a system dialog or leave the program goes
    // through these, so tests answer without a real window.
    std::function<TModalResult(const QString& text, TDialogType type, unsigned buttons)> MessageBox;
    std::function<QStringList(const QString& startFolder)> ChooseFiles;
    std::function<QString(const QString& current)> ChooseEncoder;
    // In and out: the start folder, then the folder chosen.
    std::function<bool(QString& folder)> ChooseScanFolder;
    std::function<bool()> ChooseScanFilter;
    std::function<bool()> ExecuteOptions;
    std::function<void(const QString& path)> ShowProperties;
    std::function<void(const QUrl&)> OpenUrl;

    // The program folder, searched for the encoder before the PATH.
    QString AppDir;
    TSourceList& List() { return *SourceList; }
    TBatch& Batch() { return *BatchRun; }

    // Components.
    TDragListView* ListView;
    QMenu* popupListView;
    QAction* itemProperties;
    QAction* itemRemove;
    QToolButton *btnAddFiles, *btnAddDir, *btnRemoveFiles, *btnClearList;
    QPlainTextEdit* memoInfo;
    QLabel *lblCurrFile, *lblTotal, *legTime, *lblTime;
    TLED* Led;
    QProgressBar *progFile, *progTotal;
    QCheckBox* cbShutDown;
    QComboBox* cbBitrate;
    QRadioButton *rbCBR, *rbABR;
    QToolButton* btnOptions;
    QPushButton* btnGO;
    QLabel *imgMorvane, *lblWebSiteURL;
    // Panel 0 state or message, 1 total size, 2 estimate, 3 empty.
    std::array<QLabel*, 4> StatusPanels;

    TSonabelOptionForm* OptionForm = nullptr;
    TSonabelDirForm* DirForm = nullptr;
    TSonabelTextForm* TextForm = nullptr;
    TSonabelPropsForm* PropsForm = nullptr;
    TSonabelWarningForm* WarningForm = nullptr;
    TSonabelDownloadForm* DownloadForm = nullptr;
    TSonabelShutDown* ShutDownForm = nullptr;
    TUpdateCheck* UpdateCheck = nullptr;

    // What the window's parts do; public so the batch view and tests reach them.
    void btnAddFilesClick();
    void btnAddDirClick();
    void btnRemoveFilesClick();
    void btnClearListClick();
    void btnGOClick();
    void btnOptionsClick();
    void cbShutDownClick();
    void SomethingChange();
    void PropertiesClick();
    void SetGoButton(bool stop);
    // Every control but the given ones disabled / every control enabled.
    void DisableControls(const QList<QWidget*>& except);
    void EnableControls();
    void SetTimeText(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    void FirstIdle();
    void OnAddFilesBegin();
    void OnAddFile(const QString& name);
    void OnAddFilesEnd();
    void LetDropBreathe();
    void ScanBegin();
    void ScanEnd();
    void ShowTotals();
    void SizeColumns();
    void ShowKeysInHints();
    void LoadPlacement();
    void SaveSettingsOnClose();
    QString StartFolder() const;
    TModalResult ShowMessageBox(const QString& text, TDialogType type, unsigned buttons);

    std::unique_ptr<TRegFile> Store;
    std::unique_ptr<TPowerOff> PowerOffService;
    TSourceList* SourceList;
    std::unique_ptr<TSourceListBatchSource> BatchSource;
    std::unique_ptr<TBatchView> BatchView;
    TBatch* BatchRun = nullptr;
    QList<QWidget*> Controls;
    QList<std::pair<QAbstractButton*, QKeySequence>> ButtonKeys;

    bool Created = false;
    bool Shown = false;
    bool GoIsStop = false;
    bool TimeIsPlaceholder = true;
    bool DropFirstFolder = false;
    bool DropContinue = false;
    QElapsedTimer DropSlice;
    bool LongDrop = false;
    bool DropStopped = false; // a close asked meanwhile
    bool Scanning = false;
    // A close asked while a scan or a stopped run winds down comes back after it.
    bool CloseWhenDone = false;
    int LastListWidth = -1;
};
