#pragma once
// The options window: edits the settings record, which it copies into its
// tabs on opening and back only on OK, after checking the default folder.
// The language takes effect the moment it is chosen, and Cancel takes it back.

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QPushButton;
class QTabWidget;
class QUrl;
class TOptionsAboutPage;
class TOptionsEncoderPage;
class TOptionsGeneralPage;
class TOptionsHelpPage;
class TOptionsPage;
class TReporter;
class TSonabelTextForm;
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
    // Runs behind btnCheckNow; none (a build without update host): the update
    // controls are hidden.
    TUpdateCheck* UpdateCheck = nullptr;

    QTabWidget* PageControl;
    TOptionsGeneralPage* sheetGeneral;
    TOptionsEncoderPage* sheetEncoder;
    TOptionsHelpPage* sheetHelp;
    TOptionsAboutPage* sheetAbout;
    QPushButton *btnOK, *btnCancel;

    // The flag boxes of every tab with the Flags bit each one carries, in
    // their fixed order.
    static constexpr int FlagBoxCount = 15;
    std::array<QCheckBox*, FlagBoxCount> FlagBoxes;
    static const std::array<quint32, FlagBoxCount> FlagBoxBits;

public Q_SLOTS:
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::array<TOptionsPage*, 4> Pages() const;
    void FocusHelp();
    void ConnectPages();
    bool FormCloseQuery();
    void Fail(int msg, const QString& path);
    void SelectDefDir();
    void SelectLamePath();
    void ShowLameHelp();
    void LanguageChanged(int index);

    TReporter* Reporter;
    TSonabelTextForm* TextForm;
    int FLanguageAtOpen = 0;
};
