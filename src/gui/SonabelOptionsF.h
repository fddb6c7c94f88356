#pragma once
// The options window: edits the settings record, which it copies into its
// controls on opening and back only on OK, after checking the default folder.
// The language alone takes effect the moment it is chosen.

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QUrl;
class TReporter;
class TSonabelTextForm;
class TSpinEdit;
class TUpdateCheck;

// False for an empty path or one holding a character no folder name may hold.
bool IsValidFolderName(const QString& path);

class TSonabelOptionForm : public QDialog {
    Q_OBJECT

public:
    TSonabelOptionForm(TReporter* reporter, TSonabelTextForm* textForm, QWidget* parent = nullptr);

    // Loads the controls, shows the window modally; true when closed with OK
    // (the settings were updated).
    bool ExecuteOptions();
    // The two halves of ExecuteOptions around the modal run.
    void LoadControls();
    void StoreControls();
    void ApplyLanguage();

    // File dialogs go through these, so tests never open a real one; each
    // returns the chosen path, empty when cancelled.
    std::function<QString(const QString& start)> ChooseFolder;
    std::function<QString(const QString& current)> ChooseEncoder;
    std::function<void(const QUrl&)> OpenUrl;
    // Runs behind btnCheckNow; none: the button does nothing.
    TUpdateCheck* UpdateCheck = nullptr;

    QTabWidget* PageControl;
    QWidget *sheetGeneral, *sheetEncoder, *sheetHelp, *sheetAbout;
    // General
    QGroupBox* gbInterface;
    QLabel* lblLanguage;
    QComboBox* cbLanguage;
    QCheckBox *cbShortPath, *cbConfirmSave, *cbAutoUpdate, *cbTimer;
    QPushButton* btnCheckNow;
    TSpinEdit* spinTimer;
    QLabel* lblMinutes;
    QGroupBox* gbOutput;
    QRadioButton *rbSameDir, *rbDefDir;
    QLineEdit* editDefDir;
    QToolButton* btnDefDir;
    QCheckBox *cbKeepSubDirs, *cbKeepTime;
    QGroupBox* gbMp3;
    class TNewFilesGroup* gbNewFiles;
    QCheckBox *cbKeepTagV2, *cbCompactTag, *cbKeepTagV1, *cbBRHigher, *cbCopyData;
    // Encoder
    QGroupBox* gbEncoder;
    QLabel* lblLamePath;
    QToolButton* btnLamePath;
    QLabel *lblQuality, *lblPriority, *lblJobs;
    QComboBox *cbQuality, *cbPriority;
    TSpinEdit* spinJobs;
    QGroupBox* gbParams;
    QLabel *lblCBR, *lblABR;
    QLineEdit *editLameParams_CBR, *editLameParams_ABR;
    QToolButton *btnLameHelp_CBR, *btnLameHelp_ABR, *btnLameCmdLine_CBR, *btnLameCmdLine_ABR;
    QCheckBox *cbNoB_CBR, *cbNoQ_CBR, *cbNoB_ABR, *cbNoQ_ABR;
    // Help
    QPlainTextEdit* memoHelp;
    // About
    QLabel *imgMorvane, *lblAppName, *lblVersion, *lblSubTitle, *lblWebSiteURL;
    QLabel *imgLame, *lblLame, *lblLameDesc, *lblLameUrl;
    QLabel *imgQt, *lblConnectedBy, *lblConnectedUrl;
    QPushButton *btnOK, *btnCancel;

    // The flag boxes with the Flags bit each one carries, in their fixed order.
    static constexpr int FlagBoxCount = 15;
    std::array<QCheckBox*, FlagBoxCount> FlagBoxes;
    static const std::array<quint32, FlagBoxCount> FlagBoxBits;

public Q_SLOTS:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateEnabling();
    bool FormCloseQuery();
    void Fail(int msg, const QString& path);
    void SelectDefDir();
    void SelectLamePath();
    void ShowLameHelp();
    void ShowCmdLine(int mode);
    void LanguageChanged(int index);

    TReporter* Reporter;
    TSonabelTextForm* TextForm;
};
