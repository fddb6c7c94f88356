#pragma once
// The source list as the user handles it: the list view, its four buttons
// (add files, add folder, remove, clear), its context menu and the sizing of
// its columns. It shows the model and announces what the user asked for.

#include <QWidget>

class QAction;
class QMenu;
class QModelIndex;
class QToolButton;
class TDragListView;
class TSourceList;

class TSourceListPanel : public QWidget {
    Q_OBJECT

public:
    TSourceListPanel(TSourceList& list, QWidget* parent = nullptr);

    TDragListView* View() const { return ListView; }
    // The rows selected, in the model's numbers.
    QList<int> SelectedRows() const;
    // -1: nothing current.
    int CurrentRow() const;
    void SelectRow(int row);
    void ClearSelection();
    void SetControlsEnabled(bool enabled);
    // The designed widths, or more when the font and language need it.
    void SizeColumns();
    // The buttons that have window-wide keys, for the window to bind.
    QToolButton* AddFilesButton() const { return btnAddFiles; }
    QToolButton* AddDirButton() const { return btnAddDir; }
    QList<QWidget*> TabOrder() const;

Q_SIGNALS:
    void AddFilesClicked();
    void AddDirClicked();
    void RemoveClicked();
    void ClearClicked();
    void PropertiesRequested();

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyLanguage();
    void FitFileColumn();

    TSourceList& List;
    TDragListView* ListView;
    QMenu* popupListView;
    QAction *itemProperties, *itemRemove, *itemOpenOutput, *itemRemoveFinished;
    // The row the context menu was opened on.
    int MenuRow = -1;
    QToolButton *btnAddFiles, *btnAddDir, *btnRemoveFiles, *btnClearList;
    int LastListWidth = -1;
};
