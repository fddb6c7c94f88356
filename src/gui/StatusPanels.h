#pragma once
// The status bar's four panels: the run state or a message, the total size of
// the listed files, the estimate after re-encoding, and an empty end panel.

#include <QStatusBar>
#include <array>

class QLabel;
class QToolButton;

class TStatusPanels : public QStatusBar {
    Q_OBJECT

public:
    explicit TStatusPanels(QWidget* parent = nullptr);

    void SetStateText(const QString& text);
    void SetTotals(const QString& size, const QString& estimate);
    QString Text(int panel) const;
    int PanelWidth(int panel) const;
    // After a run: a button that opens the folder; empty hides it.
    void SetOutputFolder(const QString& folder);
    const QString& OutputFolder() const { return Folder; }

protected:
    void changeEvent(QEvent* event) override;

private:
    std::array<QLabel*, 4> Panels;
    QToolButton* btnOpenOutput;
    QString Folder;
};
