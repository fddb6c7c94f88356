#pragma once
// The folder window: picks a folder from the folder tree, sets the folder
// filter (DirFlags, DirSizeMin), or both. One instance serves three uses.

#include <QDialog>
#include <QSet>
#include <QTreeView>
#include <array>

class QAction;
class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class TIntegerEdit;
class TReporter;

// The folder tree: folders only; typing searches, and a name is edited in
// place only when asked (F2 or the context menu's Rename). Says when a name
// edit starts and ends, and keeps the edited folder selected afterwards.
class TShellTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit TShellTreeView(QWidget* parent = nullptr);

    QString SelectedFolder() const;
    // Selects the folder, expanding its parents and scrolling it into view;
    // false when the tree does not show it.
    bool MoveTo(const QString& path);
    // Makes a new sub-folder of the selected one, named baseName or
    // "baseName (n)" when taken, and starts its name editing, as soon as the
    // selected folder is listed; false when no folder is selected.
    bool NewFolder(const QString& baseName);
    // Starts the name editing of the selected folder; false when none is.
    bool RenameSelected();

    QFileSystemModel* Model;
    using QTreeView::edit;

Q_SIGNALS:
    void OnEditingStart();
    void OnEditingEnd();

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void MakeFolder(const QString& parentPath, const QString& baseName);

    QString EditedPath;
    QSet<QString> LoadedFolders;
    std::pair<QString, QString> Pending; // parent path, base name
    QTimer* KeepInView;
    bool FollowSelection = false;
};

class TSonabelDirForm : public QDialog {
    Q_OBJECT

public:
    explicit TSonabelDirForm(TReporter* reporter, QWidget* parent = nullptr);

    // Each shows the window modally and returns true on OK; folder receives
    // the choice and the settings the filter only on OK.
    bool SelectFolder(QString& folder);
    bool ChooseScanFolder(QString& folder);
    // The filter alone, for dropped folders.
    bool ChooseScanFilter();

    void ApplyLanguage();
    void UpdateFilterControls();

    // The filter alone opens at this size.
    static constexpr QSize SmallestSize{400, 340};

    enum class TDirMode { SelectFolder, ScanFolder };

    // cbMP1, cbMP2, cbMP3, cbWAV, cbRec, cbBRM, cbCBR, cbVBR, cbSZM; each
    // carries its DirFlags bit in the "Tag" property.
    std::array<QCheckBox*, 9> FilterBoxes;
    bool CheckDestFolder = false;
    bool FilterOnly = false;
    QString Folder;
    TDirMode Mode = TDirMode::ScanFolder;

    QWidget* panTreeView;
    QLineEdit* panComboBox;
    TShellTreeView* ShellTreeView;
    QWidget* panMessage;
    QLabel* lblGeneralMessage;
    QGroupBox* gbParams;
    QCheckBox *cbMP3, *cbCBR, *cbVBR, *cbBRM, *cbSZM, *cbWAV, *cbMP2, *cbMP1, *cbRec;
    QComboBox* comboBRM;
    TIntegerEdit* editSZM;
    QPushButton *btnNewFolder, *btnOK, *btnCancel;
    // The tree's context menu; actRename is also F2.
    QAction *actNewFolder, *actRename;

Q_SIGNALS:
    // The deferred preparation after showing is done: the window is ready.
    void OnReady();

public Q_SLOTS:
    // Closing asks about a recursive scan that would include the output folder.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateFilterGroup();
    void ApplyModeTexts();
    void PrepareShown();
    void ShowSelectedPath();
    // Moves the tree to the folder typed in the path field.
    bool GoToTypedPath();
    void NewFolderClick();
    void LoadFilter();
    void StoreFilter();
    bool ScanIncludesDestDir() const;

    TReporter* Reporter;
    bool FolderGiven = true;
};
