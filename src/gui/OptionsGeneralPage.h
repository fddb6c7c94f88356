#pragma once
// The options window's first tab: the program's behaviour, where outputs go,
// and what an MP3 output keeps of its source.

#include "gui/OptionsPage.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class TSpinEdit;

class TOptionsGeneralPage : public TOptionsPage {
    Q_OBJECT
public:
    explicit TOptionsGeneralPage(QWidget* parent = nullptr);
    void ApplyLanguage() override;
    void Load(const TSettings& s) override;
    void Store(TSettings& s) const override;
    // Shows or hides everything that speaks of the update check.
    void SetUpdateCheckShown(bool shown);

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

    // The delay is edited in whole minutes.
    static constexpr int MinDelayMinutes = 1;
    static constexpr int MaxDelayMinutes = 30000;

private:
    QGroupBox* NewInterfaceGroup();
    QGroupBox* NewOutputGroup();
    QGroupBox* NewMp3Group();
    void UpdateEnabling();
};
