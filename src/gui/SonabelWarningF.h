#pragma once
// The pre-run warning: a message, the files it is about and what to do with
// them (stop, leave the listed files out, or process everything).

#include "batch/BatchView.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class TSonabelWarningForm : public QDialog {
    Q_OBJECT
public:
    explicit TSonabelWarningForm(QWidget* parent = nullptr);

    void ApplyLanguage();
    // Fills the window, shows it modally and returns the choice; closing it
    // any other way than by btnValidate counts as Abort.
    TWarningAnswer ShowWarningList(const QString& caption, const QString& message,
                                   const QStringList& items, bool goodFilesEnabled,
                                   bool allFilesEnabled);
    // The filling alone: the caption, message and list, Abort selected.
    void Prepare(const QString& caption, const QString& message, const QStringList& items,
                 bool goodFilesEnabled, bool allFilesEnabled);
    // The choice the window closed with.
    TWarningAnswer Answer() const;

    QLabel* Image;
    QLabel* lblMessage;
    QPlainTextEdit* Memo;
    QGroupBox* gbChoice;
    QRadioButton* rbAbort;
    QRadioButton* rbGoodFiles;
    QRadioButton* rbAllFiles;
    QPushButton* btnValidate;
};
