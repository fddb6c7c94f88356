#include "gui/SonabelDirF.h"

#include "gui/LanguageTexts.h"
#include "gui/Named.h"
#include "gui/NumEditLabels.h"
#include "messages/Reporting.h"
#include "settings/Settings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <limits>

namespace {

// The folder as the file system knows it, with a trailing '/', so that a
// prefix test only matches whole folder names.
QString FolderKey(const QString& path) {
    const QFileInfo info(path);
    QString key =
        info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    if (!key.endsWith(u'/'))
        key += u'/';
    return key;
}

} // namespace

TShellTreeView::TShellTreeView(QWidget* parent) : QTreeView(parent) {
    Model = new QFileSystemModel(this);
    Model->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    Model->setReadOnly(false);
    Model->setRootPath(QDir::rootPath());
    setModel(Model);
    for (int column = 1; column < Model->columnCount(); ++column)
        hideColumn(column);
    header()->hide();
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // A click or a typed letter must never rename a folder on disk: keys search,
    // and renaming is RenameSelected's alone.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Folders are listed in the background and rows arrive and get sorted
    // after a move: keep the selection in view until the user scrolls.
    KeepInView = new QTimer(this);
    KeepInView->setSingleShot(true);
    KeepInView->setInterval(0);
    connect(KeepInView, &QTimer::timeout, this, [this] {
        if (FollowSelection && currentIndex().isValid() && state() != EditingState)
            scrollTo(currentIndex());
    });
    connect(Model, &QAbstractItemModel::rowsInserted, KeepInView, qOverload<>(&QTimer::start));
    connect(Model, &QAbstractItemModel::layoutChanged, KeepInView, qOverload<>(&QTimer::start));
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this] { FollowSelection = false; });
    connect(Model, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
        LoadedFolders.insert(path);
        if (path == Pending.first) {
            const auto [parent, name] = std::exchange(Pending, {});
            MakeFolder(parent, name);
        }
        KeepInView->start();
    });
}

bool TShellTreeView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Wheel || event->type() == QEvent::MouseButtonPress)
        FollowSelection = false;
    return QTreeView::viewportEvent(event);
}

void TShellTreeView::keyPressEvent(QKeyEvent* event) {
    FollowSelection = false;
    if (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier &&
        state() != EditingState) {
        RenameSelected();
        return;
    }
    QTreeView::keyPressEvent(event);
}

bool TShellTreeView::RenameSelected() {
    if (!currentIndex().isValid())
        return false;
    scrollTo(currentIndex());
    return edit(currentIndex(), AllEditTriggers, nullptr);
}

QString TShellTreeView::SelectedFolder() const {
    return currentIndex().isValid() ? Model->filePath(currentIndex()) : QString();
}

bool TShellTreeView::MoveTo(const QString& path) {
    const QModelIndex index = Model->index(path);
    if (!index.isValid())
        return false;
    setCurrentIndex(index);
    scrollTo(index);
    FollowSelection = true;
    return true;
}

bool TShellTreeView::NewFolder(const QString& baseName) {
    const QModelIndex parent = currentIndex();
    if (!parent.isValid())
        return false;
    expand(parent);
    // A folder made while its parent is still being listed would be dropped
    // again by the listing (and its name editor with it): wait for the list.
    const QString path = Model->filePath(parent);
    if (LoadedFolders.contains(path))
        MakeFolder(path, baseName);
    else
        Pending = {path, baseName};
    return true;
}

void TShellTreeView::MakeFolder(const QString& parentPath, const QString& baseName) {
    const QModelIndex parent = Model->index(parentPath);
    if (!parent.isValid())
        return;
    const QDir folder(parentPath);
    QModelIndex made;
    // A taken name is never reused: the next free "name (n)" is made instead.
    for (int n = 1; n < 1000; ++n) {
        const QString name = n == 1 ? baseName : QStringLiteral("%1 (%2)").arg(baseName).arg(n);
        if (QFileInfo::exists(folder.filePath(name)))
            continue;
        made = Model->mkdir(parent, name);
        break;
    }
    if (!made.isValid())
        return;
    setCurrentIndex(made);
    scrollTo(made);
    edit(made);
}

bool TShellTreeView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool wasEditing = state() == EditingState;
    if (!QTreeView::edit(index, trigger, event))
        return false;
    if (!wasEditing && state() == EditingState) {
        EditedPath = Model->filePath(index);
        Q_EMIT OnEditingStart();
    }
    return true;
}

void TShellTreeView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // The rename has been committed by now; select the folder under its new
    // name, or its old one when the rename was refused.
    const auto* line = qobject_cast<QLineEdit*>(editor);
    const QString renamed = line ? QFileInfo(EditedPath).dir().filePath(line->text()) : EditedPath;
    QTreeView::closeEditor(editor, hint);
    if (!MoveTo(renamed))
        MoveTo(EditedPath);
    EditedPath.clear();
    Q_EMIT OnEditingEnd();
}

TSonabelDirForm::TSonabelDirForm(TReporter* reporter, QWidget* parent)
    : QDialog(parent), Reporter(reporter) {
    setObjectName(QStringLiteral("SonabelDirForm"));
    setMinimumSize(SmallestSize);
    // Room for the tree above the filter.
    resize(400, 500);

    panTreeView = Named(new QWidget(this), "panTreeView");
    panComboBox = Named(new QLineEdit(panTreeView), "panComboBox");
    panComboBox->setClearButtonEnabled(true);
    panComboBox->installEventFilter(this);
    ShellTreeView = Named(new TShellTreeView(panTreeView), "ShellTreeView");
    auto* tree = new QVBoxLayout(panTreeView);
    tree->setContentsMargins(0, 0, 0, 0);
    tree->addWidget(panComboBox);
    tree->addWidget(ShellTreeView, 1);

    panMessage = Named(new QWidget(this), "panMessage");
    lblGeneralMessage = Named(new QLabel(panMessage), "lblGeneralMessage");
    lblGeneralMessage->setWordWrap(true);
    lblGeneralMessage->setAlignment(Qt::AlignCenter);
    (new QVBoxLayout(panMessage))->addWidget(lblGeneralMessage);

    CreateFilterGroup();

    btnNewFolder = Named(new QPushButton(this), "btnNewFolder");
    btnOK = Named(new QPushButton(this), "btnOK");
    btnCancel = Named(new QPushButton(this), "btnCancel");
    // Only btnOK is ever the default button; a focused button must not take
    // Enter away from a folder name being edited.
    for (QPushButton* b : {btnNewFolder, btnOK, btnCancel})
        b->setAutoDefault(false);
    actNewFolder = Named(new QAction(ShellTreeView), "actNewFolder");
    actRename = Named(new QAction(ShellTreeView), "actRename");
    // Shown in the menu; the tree's own F2 handling does the work.
    actRename->setShortcut(QKeySequence(Qt::Key_F2));
    actRename->setShortcutContext(Qt::WidgetShortcut);
    ShellTreeView->addActions({actNewFolder, actRename});
    ShellTreeView->setContextMenuPolicy(Qt::ActionsContextMenu);
    btnOK->setDefault(true);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(btnNewFolder);
    bottom->addStretch(1);
    bottom->addWidget(btnOK);
    bottom->addWidget(btnCancel);

    auto* form = new QVBoxLayout(this);
    form->addWidget(panTreeView, 1);
    form->addWidget(panMessage, 1);
    form->addWidget(gbParams);
    form->addLayout(bottom);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnNewFolder, &QPushButton::clicked, this, &TSonabelDirForm::NewFolderClick);
    connect(actNewFolder, &QAction::triggered, this, &TSonabelDirForm::NewFolderClick);
    connect(actRename, &QAction::triggered, ShellTreeView, &TShellTreeView::RenameSelected);
    for (QCheckBox* box : {cbMP3, cbBRM, cbSZM})
        connect(box, &QCheckBox::clicked, this, &TSonabelDirForm::UpdateFilterControls);
    connect(ShellTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TSonabelDirForm::ShowSelectedPath);
    connect(ShellTreeView, &TShellTreeView::OnEditingStart, this,
            [this] { btnOK->setDefault(false); });
    // A rename keeps the same node selected: show its new path.
    connect(ShellTreeView, &TShellTreeView::OnEditingEnd, this, [this] {
        btnOK->setDefault(true);
        ShowSelectedPath();
    });

    ShellTreeView->MoveTo(QDir::homePath());
    Folder = ShellTreeView->SelectedFolder();
    ApplyLanguage();
}

// The scan filter: which files a folder scan takes.
void TSonabelDirForm::CreateFilterGroup() {
    gbParams = Named(new QGroupBox(this), "gbParams");
    const std::pair<QCheckBox**, const char*> boxes[] = {
        {&cbMP3, "cbMP3"}, {&cbCBR, "cbCBR"}, {&cbVBR, "cbVBR"},
        {&cbBRM, "cbBRM"}, {&cbSZM, "cbSZM"}, {&cbWAV, "cbWAV"},
        {&cbMP2, "cbMP2"}, {&cbMP1, "cbMP1"}, {&cbRec, "cbRec"}};
    for (const auto& [box, name] : boxes)
        *box = Named(new QCheckBox(gbParams), name);
    FilterBoxes = {cbMP1, cbMP2, cbMP3, cbWAV, cbRec, cbBRM, cbCBR, cbVBR, cbSZM};
    const quint32 bits[] = {dfMP1,        dfMP2, dfMP3, dfWAV,    dfRecurse,
                            dfBitRateMin, dfCBR, dfVBR, dfSizeMin};
    for (size_t i = 0; i < FilterBoxes.size(); ++i)
        FilterBoxes[i]->setProperty("Tag", bits[i]);
    comboBRM = Named(new QComboBox(gbParams), "comboBRM");
    comboBRM->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (size_t i = 0; i < BitRateTable.size(); ++i)
        comboBRM->addItem(QString());
    editSZM = Named(new TIntegerEdit(gbParams), "editSZM");
    editSZM->SetMinValue(0);
    editSZM->SetMaxValue(std::numeric_limits<qint32>::max());
    editSZM->setFixedWidth(editSZM->fontMetrics().horizontalAdvance(QStringLiteral("2147483647")) +
                           16);

    // The CBR/VBR, bit-rate and size conditions are the MP3 files' own:
    // they sit indented under cbMP3.
    const int indent = 20;
    auto* params = new QVBoxLayout(gbParams);
    auto* rates = new QHBoxLayout;
    rates->addSpacing(indent);
    rates->addWidget(cbCBR);
    rates->addWidget(cbVBR);
    rates->addStretch(1);
    auto* brm = new QHBoxLayout;
    brm->addSpacing(indent);
    brm->addWidget(cbBRM);
    brm->addWidget(comboBRM);
    brm->addStretch(1);
    auto* szm = new QHBoxLayout;
    szm->addSpacing(indent);
    szm->addWidget(cbSZM);
    szm->addWidget(editSZM);
    szm->addStretch(1);
    auto* others = new QHBoxLayout;
    others->addWidget(cbWAV);
    others->addWidget(cbMP2);
    others->addWidget(cbMP1);
    others->addStretch(1);
    params->addWidget(cbMP3);
    for (QLayout* row : {rates, brm, szm, others})
        params->addLayout(row);
    params->addWidget(cbRec);
}

void TSonabelDirForm::ApplyLanguage() {
    SetCaption(gbParams, msgDirFilterGroup);
    SetCaption(cbMP3, msgDirMP3);
    SetCaption(cbCBR, msgDirCBR, msgDirCBRHint);
    SetCaption(cbVBR, msgDirVBR, msgDirVBRHint);
    SetCaption(cbBRM, msgDirBRM, msgDirBRMHint);
    SetCaption(cbSZM, msgDirSZM, msgDirSZMHint);
    SetCaption(cbWAV, msgDirWAV);
    SetCaption(cbMP2, msgDirMP2);
    SetCaption(cbMP1, msgDirMP1);
    SetCaption(cbRec, msgDirRec, msgDirRecHint);
    SetHint(comboBRM, msgDirBRMHint);
    SetHint(editSZM, msgDirSZMHint);
    for (int i = 0; i < comboBRM->count(); ++i)
        comboBRM->setItemText(i, MsgFmt(msgDirBitRateItem, {BitRateTable[size_t(i)]}));
    SetHint(ShellTreeView, msgDirTreeHint);
    SetCaption(lblGeneralMessage, msgDirDropExplanation);
    SetCaption(btnNewFolder, msgDirNewFolder, msgDirNewFolderHint);
    actNewFolder->setText(Msg(msgDirNewFolder));
    actRename->setText(Msg(msgDirRename));
    actRename->setToolTip(Msg(msgDirRenameHint));
    SetHint(panComboBox, msgDirPathHint);
    panComboBox->setPlaceholderText(Msg(msgDirPathHint));
    SetCaption(btnOK, msgDirOK);
    SetCaption(btnCancel, msgDirCancel);
    ApplyModeTexts();
}

void TSonabelDirForm::ApplyModeTexts() {
    const bool choosing = Mode == TDirMode::SelectFolder;
    SetHint(btnOK, choosing ? msgDirChooseOKHint : msgDirScanOKHint);
    SetHint(btnCancel, choosing ? msgDirChooseCancelHint : msgDirScanCancelHint);
    setWindowTitle(
        Msg(Mode == TDirMode::ScanFolder && !FolderGiven ? msgDirTitleFilter : msgDirTitleChoose));
}

bool TSonabelDirForm::SelectFolder(QString& folder) {
    Mode = TDirMode::SelectFolder;
    btnNewFolder->show();
    actNewFolder->setVisible(true);
    CheckDestFolder = false;
    gbParams->hide();
    ApplyModeTexts();
    Folder = folder;
    if (exec() != Accepted)
        return false;
    folder = Folder;
    return true;
}

bool TSonabelDirForm::ChooseScanFolder(QString& folder) {
    Mode = TDirMode::ScanFolder;
    btnNewFolder->hide();
    actNewFolder->setVisible(false);
    CheckDestFolder = (Settings().Flags & flDestFolder) != 0;
    gbParams->show();
    LoadFilter();
    FolderGiven = !folder.isEmpty();
    ApplyModeTexts();
    Folder = folder;
    if (exec() != Accepted)
        return false;
    folder = Folder;
    StoreFilter();
    return true;
}

bool TSonabelDirForm::ChooseScanFilter() {
    FilterOnly = true;
    const QSize size = this->size();
    resize(SmallestSize);
    QString none;
    const bool accepted = ChooseScanFolder(none);
    resize(size);
    FilterOnly = false;
    return accepted;
}

void TSonabelDirForm::LoadFilter() {
    const quint32 flags = Settings().DirFlags;
    for (QCheckBox* box : FilterBoxes)
        box->setChecked((flags & box->property("Tag").toUInt()) != 0);
    const int index = int(flags & dfMinBitRateIndex);
    comboBRM->setCurrentIndex(index < comboBRM->count() ? index : 0);
    comboBRM->setEnabled(cbBRM->isChecked());
    editSZM->SetValue(std::max(Settings().DirSizeMin, 0));
}

void TSonabelDirForm::StoreFilter() {
    quint32 flags = (Settings().DirFlags & ~dfMinBitRateIndex) | quint32(comboBRM->currentIndex());
    for (QCheckBox* box : FilterBoxes) {
        const quint32 bit = box->property("Tag").toUInt();
        flags = box->isChecked() ? flags | bit : flags & ~bit;
    }
    auto edit = Preferences().Edit();
    edit->DirFlags = flags;
    edit->DirSizeMin = editSZM->Value();
}

void TSonabelDirForm::UpdateFilterControls() {
    if (!isVisible())
        return;
    const bool mp3 = cbMP3->isChecked();
    for (QWidget* w : {cbCBR, cbVBR, cbBRM, cbSZM})
        w->setEnabled(mp3);
    comboBRM->setEnabled(mp3 && cbBRM->isChecked());
    editSZM->setEnabled(mp3 && cbSZM->isChecked());
}

void TSonabelDirForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    panMessage->hide();
    panTreeView->hide();
    // The tree is moved once the window is on screen and the event queue idle.
    QTimer::singleShot(0, this, &TSonabelDirForm::PrepareShown);
}

void TSonabelDirForm::PrepareShown() {
    if (!isVisible())
        return;
    if (FilterOnly) {
        SetCaption(lblGeneralMessage, msgDirDropExplanation);
        panMessage->show();
    } else {
        panTreeView->show();
        ShellTreeView->setFocus();
        if (!QFileInfo(Folder).isDir() || !ShellTreeView->MoveTo(Folder))
            Folder = ShellTreeView->SelectedFolder();
        ShowSelectedPath();
    }
    // The tree and the filter together may need more than the smallest size.
    layout()->activate();
    const QSize smallest = SmallestSize.expandedTo(layout()->minimumSize());
    if (smallest != minimumSize())
        setMinimumSize(smallest);
    if (ShellTreeView->currentIndex().isValid() && !FilterOnly)
        ShellTreeView->scrollTo(ShellTreeView->currentIndex());
    UpdateFilterControls();
    Q_EMIT OnReady();
}

void TSonabelDirForm::ShowSelectedPath() {
    panComboBox->setText(ShellTreeView->SelectedFolder());
    panComboBox->setCursorPosition(0);
}

bool TSonabelDirForm::GoToTypedPath() {
    const QString typed = panComboBox->text().trimmed();
    if (typed.isEmpty() || typed == ShellTreeView->SelectedFolder())
        return true;
    const bool home = typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/"));
    const QString path =
        QDir::cleanPath(QDir::fromNativeSeparators(home ? QDir::homePath() + typed.mid(1) : typed));
    if (QFileInfo(path).isDir() && ShellTreeView->MoveTo(QFileInfo(path).absoluteFilePath())) {
        ShellTreeView->setFocus();
        return true;
    }
    const QString text = MsgFmt(msgDirNoSuchFolder, {QDir::toNativeSeparators(typed)});
    if (Reporter)
        Reporter->ShowInfo(text);
    else
        QMessageBox::information(this, windowTitle(), text);
    return false;
}

bool TSonabelDirForm::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the path field goes to the folder typed; it does not close the window.
    if (watched == panComboBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            GoToTypedPath();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TSonabelDirForm::NewFolderClick() {
    if (ShellTreeView->NewFolder(Msg(msgDirNewFolderName)))
        return;
    if (Reporter)
        Reporter->ShowInfo(Msg(msgDirSelectFirst));
    else
        QMessageBox::information(this, windowTitle(), Msg(msgDirSelectFirst));
}

bool TSonabelDirForm::ScanIncludesDestDir() const {
    return FolderKey(Settings().DestDir).startsWith(FolderKey(Folder));
}

void TSonabelDirForm::done(int result) {
    if (!FilterOnly) {
        // A path typed but not yet entered is the one meant.
        if (result == Accepted && panComboBox->isModified() && !GoToTypedPath())
            return;
        if (ShellTreeView->currentIndex().isValid())
            Folder = ShellTreeView->SelectedFolder();
        if (result == Accepted && cbRec->isChecked() && CheckDestFolder && ScanIncludesDestDir()) {
            const unsigned buttons = mbYes | mbNo;
            const QString text = Msg(msgDirRecursionWarning);
            const bool yes =
                Reporter
                    ? Reporter->AskUser(text, TDialogType::Warning, buttons) == TModalResult::Yes
                    : QMessageBox::warning(this, windowTitle(), text,
                                           QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
            if (!yes)
                return;
        }
    }
    QDialog::done(result);
}

void TSonabelDirForm::mouseDoubleClickEvent(QMouseEvent* event) {
    // Only the window's own surface; a double click a control passed on is not OK.
    if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint())) {
        accept();
        return;
    }
    QDialog::mouseDoubleClickEvent(event);
}
