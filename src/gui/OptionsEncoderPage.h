#pragma once
// The options window's encoder tab: which encoder, its quality and priority,
// how many run at once, and the parameter templates of both modes.

#include "gui/OptionsPage.h"

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QToolButton;
class TSpinEdit;

class TOptionsEncoderPage : public TOptionsPage {
    Q_OBJECT
public:
    explicit TOptionsEncoderPage(QWidget* parent = nullptr);
    void ApplyLanguage() override;
    void Load(const TSettings& s) override;
    void Store(TSettings& s) const override;

    // The encoder's command for a source, as the batch would start it with
    // the choices on screen: program, arguments, and the niceness that
    // carries the priority.
    QString CommandLinePreview(int mode) const;
    void SetLamePath(const QString& path);
    QString LamePath() const;

    QGroupBox* gbEncoder;
    QLabel* lblLamePath;
    QToolButton* btnLamePath;
    QLabel *lblQuality, *lblPriority, *lblJobs;
    QComboBox *cbQuality, *cbPriority;
    TSpinEdit* spinJobs;
    QGroupBox* gbParams;
    // Indexed by mode: 0 CBR, 1 ABR.
    std::array<QLabel*, 2> lblMode;
    std::array<QLineEdit*, 2> editLameParams;
    std::array<QToolButton*, 2> btnLameHelp, btnLameCmdLine;
    std::array<QCheckBox*, 2> cbNoB, cbNoQ;

Q_SIGNALS:
    void LamePathRequested();
    void LameHelpRequested();
    void CommandLineRequested(int mode);

private:
    QGroupBox* NewEncoderGroup();
    QGroupBox* NewParamsGroup();
};
