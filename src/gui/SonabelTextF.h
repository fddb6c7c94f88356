#pragma once
// A plain text viewer: the encoder's own help text, read-only on black.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class TSonabelTextForm : public QDialog {
    Q_OBJECT

public:
    explicit TSonabelTextForm(QWidget* parent = nullptr);

    // Centres the viewer on its owner and shows it modally.
    void ShowText(const QString& title, const QStringList& lines);
    void ApplyLanguage();

    QPlainTextEdit* memoText;
    QPushButton* BitBtn1;

protected:
    void showEvent(QShowEvent* event) override;
};
