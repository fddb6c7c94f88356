#include "gui/SonabelF.h"

#include "batch/Batch.h"
#include "batch/BatchSourceList.h"
#include "batch/PowerOff.h"
#include "encoder/ProcessRunner.h"
#include "encoder/SonabelMisc.h"
#include "gui/DragListView.h"
#include "gui/LanguageTexts.h"
#include "gui/Led.h"
#include "gui/SonabelDirF.h"
#include "gui/SonabelDownloadF.h"
#include "gui/SonabelOptionsF.h"
#include "gui/SonabelPropsF.h"
#include "gui/SonabelShutDownF.h"
#include "gui/SonabelTextF.h"
#include "gui/SonabelWarningF.h"
#include "gui/WindowBatchView.h"
#include "messages/RunState.h"
#include "messages/Sonabel_L.h"
#include "settings/SettingsStore.h"
#include "sources/SourceList.h"
#include "update/UpdateCheck.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

const QString WebSiteHost = DefaultUpdateHost;

template <class W> W* Named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(QLatin1String(name), QApplication::style()->standardIcon(fallback));
}

QToolButton* NewListButton(const char* name, const char* theme, QStyle::StandardPixmap fallback,
                           QWidget* parent) {
    auto* button = Named(new QToolButton(parent), name);
    button->setIcon(ThemeIcon(theme, fallback));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    return button;
}

// The maker's mark: a small sound wave in a disc, drawn rather than shipped.
QPixmap LogoPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x8c));
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    QPainterPath wave;
    const double mid = size / 2.0;
    wave.moveTo(size * 0.18, mid);
    wave.cubicTo(size * 0.32, mid - size * 0.36, size * 0.42, mid - size * 0.36, mid, mid);
    wave.cubicTo(size * 0.58, mid + size * 0.36, size * 0.68, mid + size * 0.36, size * 0.82, mid);
    p.setPen(QPen(QColor(0x9c, 0xff, 0x5a), size / 10.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    return pixmap;
}

// The window's parts as the batch sees them; the warning and countdown
// windows are the desktop program's shared ones.
class TMainBatchView : public TWindowBatchView {
public:
    TMainBatchView(TSonabelMainForm& form, TSonabelWarningForm& warning, TSonabelShutDown& shutDown)
        : TWindowBatchView(warning, shutDown, &form), Form(form) {}

    void SetFileProgress(int position, int maximum) override {
        SetBar(Form.progFile, position, maximum);
    }
    void SetTotalProgress(int position, int maximum) override {
        SetBar(Form.progTotal, position, maximum);
    }
    void SetTimeText(const QString& text) override { Form.SetTimeText(text); }
    void SetLed(bool lit) override { Form.Led->SetLit(lit); }
    void SetGoButtonStart() override { Form.SetGoButton(false); }
    void SetGoButtonStop() override { Form.SetGoButton(true); }
    void DisableControls() override {
        Form.DisableControls({Form.memoInfo, Form.Led, Form.btnGO, Form.statusBar(),
                              Form.cbShutDown, Form.legTime, Form.lblTime, Form.lblWebSiteURL});
    }
    void EnableControls() override { Form.EnableControls(); }
    void SetCurrentRow(int row) override {
        const QModelIndex index = Form.ListView->model()->index(row, 0);
        Form.ListView->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        Form.ListView->scrollTo(index);
    }
    void ClearLog() override { Form.memoInfo->clear(); }
    // A countdown that ends without switching off leaves the window idle again.
    void PowerOffCountdown(int seconds, std::function<void(bool confirmed)> done) override {
        QPointer<TSonabelMainForm> form(&Form);
        TWindowBatchView::PowerOffCountdown(seconds, [form, done](bool confirmed) {
            done(confirmed);
            if (form && form->isVisible() && RunState == rsPowerOff)
                form->SetState(rsIdle);
        });
    }
    void Repaint() override { Form.repaint(); }

private:
    static void SetBar(QProgressBar* bar, int position, int maximum) {
        // A bar with no range would show a busy animation instead of a value.
        maximum = qMax(maximum, 1);
        bar->setMaximum(maximum);
        bar->setValue(qBound(0, position, maximum));
    }

    TSonabelMainForm& Form;
};

} // namespace

TSonabelMainForm::TSonabelMainForm(std::unique_ptr<TRegFile> store,
                                   std::unique_ptr<TPowerOff> powerOff, QWidget* parent)
    : QMainWindow(parent), Store(std::move(store)), PowerOffService(std::move(powerOff)) {
    setObjectName(MainFormName);
    if (!Store)
        Store = std::make_unique<TRegFile>(QStringLiteral("RegFile"), QStringLiteral("Morvane"),
                                           QStringLiteral("Sonabel"), this);
    if (!PowerOffService)
        PowerOffService = std::make_unique<TLogindPowerOff>();
    AppDir = IncludeTrailingSlash(QCoreApplication::applicationDirPath());
    SourceList = new TSourceList(this, this);
    BatchSource = std::make_unique<TSourceListBatchSource>(*SourceList);

    MessageBox = [this](const QString& text, TDialogType type, unsigned buttons) {
        return ShowMessageBox(text, type, buttons);
    };
    ChooseFiles = [this](const QString& start) {
        QFileDialog dialog(this, Msg(msgOpenFilesTitle), start, Msg(msgOpenFilesFilter));
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setDefaultSuffix(QStringLiteral("mp3"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
    };
    ChooseEncoder = [this](const QString& current) {
        QFileDialog dialog(this, Msg(msgOpenLameTitle), QFileInfo(current).absolutePath(),
                           Msg(msgOpenLameFilter));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.selectFile(QString::fromLatin1(LameExeName));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    ChooseScanFolder = [this](QString& folder) {
        return DirForm && DirForm->ChooseScanFolder(folder);
    };
    ChooseScanFilter = [this] { return DirForm && DirForm->ChooseScanFilter(); };
    ExecuteOptions = [this] { return OptionForm && OptionForm->ExecuteOptions(); };
    ShowProperties = [this](const QString& path) {
        if (PropsForm)
            PropsForm->ShowProperties(path);
    };
    OpenUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    CreateComponents();
}

TSonabelMainForm::~TSonabelMainForm() {
    SetApplyLanguageHook({});
    // The batch refers to the view and the source; it goes first.
    delete BatchRun;
    BatchRun = nullptr;
    delete UpdateCheck;
    UpdateCheck = nullptr;
}

void TSonabelMainForm::CreateComponents() {
    setMinimumSize(640, 420);
    resize(640, 420);
    auto* central = Named(new QWidget(this), "pnlMain");
    setCentralWidget(central);

    ListView = Named(new TDragListView(central), "ListView");
    ListView->setModel(SourceList);
    for (int c = 0; c < TSourceList::ColumnCount; ++c)
        ListView->setColumnWidth(c, TSourceList::ColumnWidths[size_t(c)]);
    ListView->horizontalHeader()->setStretchLastSection(false);
    ListView->setContextMenuPolicy(Qt::CustomContextMenu);
    ListView->viewport()->installEventFilter(this);

    popupListView = Named(new QMenu(this), "popupListView");
    itemProperties = popupListView->addAction(QString());
    itemProperties->setObjectName(QStringLiteral("itemProperties"));
    itemProperties->setShortcut(QKeySequence(Qt::Key_F1));
    itemRemove = popupListView->addAction(QString());
    itemRemove->setObjectName(QStringLiteral("itemRemove"));
    itemRemove->setShortcut(QKeySequence(QKeySequence::Delete));
    // The shortcuts work from the whole window, not only while the menu is open.
    addAction(itemProperties);
    addAction(itemRemove);

    btnAddFiles = NewListButton("btnAddFiles", "list-add", QStyle::SP_FileIcon, central);
    btnAddDir = NewListButton("btnAddDir", "folder-open", QStyle::SP_DirOpenIcon, central);
    btnRemoveFiles =
        NewListButton("btnRemoveFiles", "list-remove", QStyle::SP_DialogDiscardButton, central);
    btnClearList = NewListButton("btnClearList", "edit-clear", QStyle::SP_TrashIcon, central);

    memoInfo = Named(new QPlainTextEdit(central), "memoInfo");
    memoInfo->setReadOnly(true);
    // Selectable with the mouse only, so the read-only log shows no caret.
    memoInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    memoInfo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoInfo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QPalette log = memoInfo->palette();
    for (const QPalette::ColorGroup group :
         {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        log.setColor(group, QPalette::Base, Qt::black);
        log.setColor(group, QPalette::Text, QColor(0, 255, 0));
    }
    memoInfo->setPalette(log);

    lblCurrFile = Named(new QLabel(central), "lblCurrFile");
    lblTotal = Named(new QLabel(central), "lblTotal");
    legTime = Named(new QLabel(central), "legTime");
    lblTime = Named(new QLabel(central), "lblTime");
    Led = Named(new TLED(central), "Led");
    Led->SetColor(lcYellow);
    progFile = Named(new QProgressBar(central), "progFile");
    progTotal = Named(new QProgressBar(central), "progTotal");
    for (QProgressBar* bar : {progFile, progTotal}) {
        bar->setTextVisible(false);
        bar->setRange(0, 1);
        bar->setValue(0);
        bar->setFixedHeight(14);
        // Disabled during a run like the rest, yet still read like a live bar.
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Disabled, QPalette::Highlight,
                         palette.color(QPalette::Active, QPalette::Highlight));
        bar->setPalette(palette);
    }

    cbShutDown = Named(new QCheckBox(central), "cbShutDown");
    cbBitrate = Named(new QComboBox(central), "cbBitrate");
    QFont bold = cbBitrate->font();
    bold.setBold(true);
    cbBitrate->setFont(bold);
    for (size_t i = 0; i < BitRateTable.size(); ++i)
        cbBitrate->addItem(QString());
    rbCBR = Named(new QRadioButton(central), "rbCBR");
    rbABR = Named(new QRadioButton(central), "rbABR");
    btnOptions = NewListButton("btnOptions", "preferences-system",
                               QStyle::SP_FileDialogDetailedView, central);
    btnGO = Named(new QPushButton(central), "btnGO");
    QFont big(QStringLiteral("Arial"));
    big.setPixelSize(21);
    big.setBold(true);
    btnGO->setFont(big);
    btnGO->setIconSize(QSize(22, 22));
    btnGO->setMinimumHeight(40);

    imgMorvane = Named(new QLabel(central), "imgMorvane");
    imgMorvane->setPixmap(LogoPixmap(28));
    lblWebSiteURL = Named(new QLabel(WebSiteHost, central), "lblWebSiteURL");
    QFont link = lblWebSiteURL->font();
    link.setUnderline(true);
    lblWebSiteURL->setFont(link);
    QPalette blue = lblWebSiteURL->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    lblWebSiteURL->setPalette(blue);
    for (QLabel* clickable : {imgMorvane, lblWebSiteURL}) {
        clickable->setCursor(Qt::PointingHandCursor);
        clickable->installEventFilter(this);
    }

    // Status bar: the state, the two totals and an empty end panel.
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(false);
    const char* panelNames[] = {"StatusPanel0", "StatusPanel1", "StatusPanel2", "StatusPanel3"};
    for (size_t i = 0; i < StatusPanels.size(); ++i)
        StatusPanels[i] = Named(new QLabel(statusBar()), panelNames[i]);
    statusBar()->addWidget(StatusPanels[0], 1);
    for (size_t i = 1; i < StatusPanels.size(); ++i) {
        StatusPanels[i]->setFixedWidth(i == 3 ? 20 : 120);
        StatusPanels[i]->setAlignment(Qt::AlignCenter);
        statusBar()->addPermanentWidget(StatusPanels[i]);
    }

    // Layout: the list on top, its buttons under it, then the log beside the
    // progress area and the run's settings.
    auto* listButtons = new QHBoxLayout;
    listButtons->setSpacing(2);
    for (QToolButton* b : {btnAddFiles, btnAddDir, btnRemoveFiles, btnClearList})
        listButtons->addWidget(b);
    listButtons->addStretch(1);

    auto* logColumn = new QVBoxLayout;
    logColumn->addWidget(memoInfo, 1);
    logColumn->addWidget(cbShutDown);

    auto* progress = new QGridLayout;
    progress->setHorizontalSpacing(6);
    progress->addWidget(lblCurrFile, 0, 0);
    progress->addWidget(progFile, 0, 1);
    progress->addWidget(lblTotal, 1, 0);
    progress->addWidget(progTotal, 1, 1);
    progress->addWidget(Led, 1, 2, Qt::AlignCenter);
    progress->addWidget(legTime, 2, 0);
    progress->addWidget(lblTime, 2, 1, 1, 2);
    progress->setColumnStretch(1, 1);

    auto* site = new QHBoxLayout;
    site->addStretch(1);
    site->addWidget(imgMorvane);
    site->addWidget(lblWebSiteURL);

    auto* modes = new QGridLayout;
    modes->addWidget(cbBitrate, 0, 0, 2, 1, Qt::AlignVCenter);
    modes->addWidget(rbCBR, 0, 1);
    modes->addWidget(rbABR, 1, 1);
    modes->setColumnStretch(0, 1);
    cbBitrate->setMinimumContentsLength(10);

    auto* commands = new QHBoxLayout;
    commands->addWidget(btnOptions);
    commands->addWidget(btnGO, 1);

    auto* runColumn = new QVBoxLayout;
    runColumn->setContentsMargins(0, 0, 0, 0);
    runColumn->addLayout(progress);
    runColumn->addStretch(1);
    runColumn->addLayout(site);
    runColumn->addLayout(modes);
    runColumn->addLayout(commands);

    auto* bottom = new QHBoxLayout;
    bottom->addLayout(logColumn, 1);
    bottom->addLayout(runColumn);

    auto* form = new QVBoxLayout(central);
    form->setContentsMargins(6, 6, 6, 2);
    form->setSpacing(4);
    form->addWidget(ListView, 1);
    form->addLayout(listButtons);
    form->addLayout(bottom);
    memoInfo->setFixedHeight(170);
    memoInfo->setMinimumWidth(220);
    progFile->setMinimumWidth(140);

    // Keys for the buttons; a caption would replace a button's own shortcut,
    // so they live on the window and press only an enabled button.
    const std::pair<QAbstractButton*, QKeySequence> keys[] = {
        {btnAddFiles, QKeySequence(Qt::CTRL | Qt::Key_O)},
        {btnAddDir, QKeySequence(Qt::CTRL | Qt::Key_D)},
        {btnOptions, QKeySequence(Qt::CTRL | Qt::Key_Comma)},
        {btnGO, QKeySequence(Qt::CTRL | Qt::Key_Return)},
        {btnGO, QKeySequence(Qt::CTRL | Qt::Key_Enter)},
    };
    for (const auto& [button, key] : keys) {
        ButtonKeys.append({button, key});
        auto* action = new QAction(this);
        action->setShortcut(key);
        connect(action, &QAction::triggered, button, [button = button] {
            if (button->isEnabled())
                button->click();
        });
        addAction(action);
    }

    Controls = {ListView,    btnAddFiles, btnAddDir,     btnRemoveFiles, btnClearList, memoInfo,
                lblCurrFile, lblTotal,    legTime,       lblTime,        Led,          progFile,
                progTotal,   cbShutDown,  cbBitrate,     rbCBR,          rbABR,        btnOptions,
                btnGO,       imgMorvane,  lblWebSiteURL, statusBar()};

    connect(btnAddFiles, &QToolButton::clicked, this, &TSonabelMainForm::btnAddFilesClick);
    connect(btnAddDir, &QToolButton::clicked, this, &TSonabelMainForm::btnAddDirClick);
    connect(btnRemoveFiles, &QToolButton::clicked, this, &TSonabelMainForm::btnRemoveFilesClick);
    connect(btnClearList, &QToolButton::clicked, this, &TSonabelMainForm::btnClearListClick);
    connect(btnOptions, &QToolButton::clicked, this, &TSonabelMainForm::btnOptionsClick);
    connect(btnGO, &QPushButton::clicked, this, &TSonabelMainForm::btnGOClick);
    connect(cbShutDown, &QCheckBox::clicked, this, &TSonabelMainForm::cbShutDownClick);
    connect(cbBitrate, &QComboBox::activated, this, &TSonabelMainForm::SomethingChange);
    connect(rbCBR, &QRadioButton::clicked, this, &TSonabelMainForm::SomethingChange);
    connect(rbABR, &QRadioButton::clicked, this, &TSonabelMainForm::SomethingChange);
    connect(itemProperties, &QAction::triggered, this, &TSonabelMainForm::PropertiesClick);
    connect(itemRemove, &QAction::triggered, this, [this] {
        if (ListView->isEnabled())
            btnRemoveFilesClick();
    });
    connect(ListView, &QAbstractItemView::doubleClicked, this, &TSonabelMainForm::PropertiesClick);
    connect(ListView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        popupListView->popup(ListView->viewport()->mapToGlobal(at));
    });
    connect(ListView, &TDragListView::OnAddFilesBegin, this, &TSonabelMainForm::OnAddFilesBegin);
    connect(ListView, &TDragListView::OnAddFile, this,
            [this](QObject*, const QString& name) { OnAddFile(name); });
    connect(ListView, &TDragListView::OnAddFilesEnd, this, &TSonabelMainForm::OnAddFilesEnd);
    connect(SourceList, &TSourceList::AddFilesBegin, this,
            [] { QApplication::setOverrideCursor(Qt::WaitCursor); });
    connect(SourceList, &TSourceList::AddFilesEnd, this,
            [] { QApplication::restoreOverrideCursor(); });
    connect(SourceList, &TSourceList::ScanBegin, this, &TSonabelMainForm::ScanBegin);
    connect(SourceList, &TSourceList::ScanEnd, this, &TSonabelMainForm::ScanEnd);
    connect(SourceList, &TSourceList::TotalsChanged, this, &TSonabelMainForm::ShowTotals);
}

void TSonabelMainForm::CreateForms() {
    // The options window shows its texts in the viewer, which therefore comes first.
    TextForm = new TSonabelTextForm(this);
    OptionForm = new TSonabelOptionForm(this, TextForm, this);
    DirForm = new TSonabelDirForm(this, this);
    PropsForm = new TSonabelPropsForm(this, this);
    WarningForm = new TSonabelWarningForm(this);
    DownloadForm = new TSonabelDownloadForm(this);
    ShutDownForm = new TSonabelShutDown(this);
    UpdateCheck = new TUpdateCheck(Settings(), *Store, *this, *DownloadForm, this);
    connect(UpdateCheck, &TUpdateCheck::Finished, this, [this] {
        if (RunState == rsUpdateCheck)
            SetState(rsIdle);
    });
    OptionForm->UpdateCheck = UpdateCheck;
    // The output folder is picked in the folder window, like any other folder.
    OptionForm->ChooseFolder = [this](const QString& start) {
        QString folder = start;
        return DirForm->SelectFolder(folder) ? folder : QString();
    };
    BatchView = std::make_unique<TMainBatchView>(*this, *WarningForm, *ShutDownForm);
    BatchRun = new TBatch(*BatchSource, *BatchView, *this, *PowerOffService, this);
    // A run stopped by closing the window lets the window go once it has ended.
    connect(BatchRun, &TBatch::runFinished, this, [this] {
        if (CloseWhenDone)
            QTimer::singleShot(0, this, &QWidget::close);
    });
}

bool TSonabelMainForm::FormCreate() {
    setWindowTitle(QStringLiteral("%1 %2").arg(AppTitle, VersionText(ProgramVersionNumber())));
    TSettings& s = Settings();
    s.AppDir = AppDir;
    TSettingsEnv env;
    env.DefaultLanguage = DefaultLanguageIndex();
    LoadSettings(*Store, s, env);
    cbBitrate->setCurrentIndex(s.BitRateIndex);
    (s.EncodingMode == 0 ? rbCBR : rbABR)->setChecked(true);
    cbShutDown->setChecked(s.Flags & flShutDown);
    RunState = rsIdle;
    ::SetLanguage(s.Language, false);

    // The encoder: the stored path, else one in the program folder or the PATH,
    // else the user is asked to find it.
    if (!QFileInfo(s.LamePath).isFile()) {
        const QString found = FindEncoder(AppDir);
        s.LamePath = found.isEmpty() ? AppDir + QLatin1String(LameExeName) : found;
    }
    while (!QFileInfo(s.LamePath).isFile()) {
        const QString program =
            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        if (AskUser(MsgFmt(msgLameMissingQuestion, {s.LamePath, program}), TDialogType::Warning,
                    mbYes | mbNo) != TModalResult::Yes)
            return false;
        const QString chosen = ChooseEncoder(s.LamePath);
        if (chosen.isEmpty())
            return false;
        if (IsEncoderFileName(chosen))
            s.LamePath = chosen;
        else
            ShowInfoFmt(msgLameWrongFile, {chosen, QString::fromLatin1(LameExeName)});
    }
    // Reads the encoder's banner into the log, then the empty list's totals.
    SourceList->UpdateList(false);
    SetApplyLanguageHook([this] { ApplyLanguage(); });
    Created = true;
    return true;
}

void TSonabelMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (Shown)
        return;
    Shown = true;
    ApplyLanguage();
    LoadPlacement();
    centralWidget()->layout()->activate();
    FormResize();
    QTimer::singleShot(0, this, &TSonabelMainForm::FirstIdle);
}

void TSonabelMainForm::LoadPlacement() {
    TPlacement p;
    p.Width = width();
    p.Height = height();
    p.Left = x();
    p.Top = y();
    Store->LoadPlacement(MainFormName, p, true);
    if (p.State == wsMaximized) {
        setWindowState(windowState() | Qt::WindowMaximized);
        return;
    }
    resize(qMax(p.Width, minimumWidth()), qMax(p.Height, minimumHeight()));
    // A place on a screen that is no longer there would hide the window.
    if (QGuiApplication::screenAt(QPoint(p.Left + 40, p.Top + 20)))
        move(p.Left, p.Top);
}

void TSonabelMainForm::FirstIdle() {
    TSettings& s = Settings();
    if (!(s.Flags & flUpdateAsked)) {
        if (AskUser(Msg(msgAutoUpdateQuestion), TDialogType::Confirmation, mbYes | mbNo) ==
            TModalResult::Yes)
            s.Flags |= flAutoUpdate;
        else
            s.Flags &= ~flAutoUpdate;
        s.Flags |= flUpdateAsked;
        Store->WriteInteger(QString(), QStringLiteral("Flags"), qint32(s.Flags));
        Store->Flush();
    }
    // After the question, so that two questions never stand on each other.
    if (!StartPaths.isEmpty())
        AddDroppedPaths(std::exchange(StartPaths, {}));
    if ((s.Flags & flAutoUpdate) && UpdateCheck && RunState == rsIdle) {
        SetState(rsUpdateCheck);
        UpdateCheck->CheckForUpdate(false);
        if (!UpdateCheck->Running() && RunState == rsUpdateCheck)
            SetState(rsIdle);
    }
}

void TSonabelMainForm::ApplyLanguage() {
    ApplyToolkitLanguage(CurrentLanguageIndex());
    SetHint(ListView, msgHintListView);
    Q_EMIT SourceList->headerDataChanged(Qt::Horizontal, 0, TSourceList::ColumnCount - 1);
    const std::pair<QToolButton*, std::pair<TMsgId, TMsgId>> buttons[] = {
        {btnAddFiles, {msgBtnAddFiles, msgHintAddFiles}},
        {btnAddDir, {msgBtnAddDir, msgHintAddDir}},
        {btnRemoveFiles, {msgBtnRemoveFiles, msgHintRemoveFiles}},
        {btnClearList, {msgBtnClearList, msgHintClearList}},
        {btnOptions, {msgBtnOptions, msgHintOptions}},
    };
    for (const auto& [button, texts] : buttons) {
        SetCaption(button, texts.first, texts.second);
        button->setAccessibleName(Msg(texts.first));
    }
    itemProperties->setText(Msg(msgItemProperties));
    itemRemove->setText(Msg(msgItemRemove));

    const int rate = cbBitrate->currentIndex();
    for (int i = 0; i < cbBitrate->count(); ++i)
        cbBitrate->setItemText(i, MsgFmt(msgBitRateItem, {BitRateTable[size_t(i)]}));
    cbBitrate->setCurrentIndex(rate);
    SetHint(cbBitrate, msgHintBitrate);
    cbBitrate->setAccessibleName(Msg(msgHintBitrate));
    SetCaption(rbCBR, msgModeCBR, msgHintCBR);
    SetCaption(rbABR, msgModeABR, msgHintABR);
    SetCaption(cbShutDown, msgShutDownCaption, msgHintShutDown);
    SetCaption(lblCurrFile, msgLblCurrFile);
    SetCaption(lblTotal, msgLblTotal);
    SetCaption(legTime, msgLegTime, msgHintTime);
    SetHint(lblTime, msgHintTime);
    if (TimeIsPlaceholder)
        lblTime->setText(Msg(msgTimePlaceholder));
    SetHint(progFile, msgHintProgFile);
    SetHint(progTotal, msgHintProgTotal);
    SetHint(memoInfo, msgHintMemoInfo);
    SetHint(Led, msgHintLed);
    SetHint(statusBar(), msgHintStatusBar);
    SetHint(imgMorvane, msgWebSiteHint);
    SetHint(lblWebSiteURL, msgWebSiteHint);
    SetGoButton(GoIsStop);
    ShowKeysInHints();
    ShowTotals();
    SizeColumns();

    // The two progress captions share the width of the longer one.
    const int width = qMax(lblCurrFile->sizeHint().width(), lblTotal->sizeHint().width());
    lblCurrFile->setFixedWidth(width);
    lblTotal->setFixedWidth(width);

    if (OptionForm)
        OptionForm->ApplyLanguage();
    if (DirForm)
        DirForm->ApplyLanguage();
    if (TextForm)
        TextForm->ApplyLanguage();
    if (PropsForm)
        PropsForm->ApplyLanguage();
    if (WarningForm)
        WarningForm->ApplyLanguage();
    if (DownloadForm)
        DownloadForm->ApplyLanguage();
    if (ShutDownForm)
        ShutDownForm->ApplyLanguage();
    SetState(RunState);
}

void TSonabelMainForm::SizeColumns() {
    // The designed widths, or more when this font and language need it; the
    // file column takes what is left.
    QHeaderView* header = ListView->horizontalHeader();
    const QFontMetrics metrics(ListView->font());
    const QString samples[] = {MsgFmt(msgBitRateWAV, {1411}), QStringLiteral("9999999"),
                               QStringLiteral("9999999")};
    for (int c = 1; c < TSourceList::ColumnCount; ++c) {
        const int text = metrics.horizontalAdvance(samples[c - 1]) + 12;
        ListView->setColumnWidth(
            c, std::max({TSourceList::ColumnWidths[size_t(c)], text, header->sectionSizeHint(c)}));
    }
    LastListWidth = -1;
    FormResize();
}

void TSonabelMainForm::SetGoButton(bool stop) {
    GoIsStop = stop;
    btnGO->setText(Msg(stop ? msgGoStop : msgGoStart));
    btnGO->setAccessibleName(btnGO->text());
    SetHint(btnGO, msgHintGO);
    ShowKeysInHints();
    btnGO->setIcon(stop ? ThemeIcon("process-stop", QStyle::SP_DialogCancelButton)
                        : ThemeIcon("dialog-ok", QStyle::SP_DialogOkButton));
}

void TSonabelMainForm::ShowKeysInHints() {
    // The first key of each button; the hint is rewritten before each call.
    for (const auto& [button, key] : std::as_const(ButtonKeys)) {
        if (!button->toolTip().endsWith(QLatin1Char(')')))
            button->setToolTip(QStringLiteral("%1 (%2)").arg(
                button->toolTip(), key.toString(QKeySequence::NativeText)));
    }
}

void TSonabelMainForm::SetTimeText(const QString& text) {
    lblTime->setText(text);
    TimeIsPlaceholder = text == Msg(msgTimePlaceholder);
}

void TSonabelMainForm::ShowTotals() {
    StatusPanels[1]->setText(SourceList->TotalSizeText());
    StatusPanels[2]->setText(SourceList->TotalEstimatedText());
}

void TSonabelMainForm::DisableControls(const QList<QWidget*>& except) {
    for (QWidget* control : std::as_const(Controls))
        if (!except.contains(control))
            control->setEnabled(false);
    update();
}

void TSonabelMainForm::EnableControls() {
    for (QWidget* control : std::as_const(Controls))
        control->setEnabled(true);
    update();
}

// --- Reporting ---------------------------------------------------------------

void TSonabelMainForm::LogLine(const QString& text) {
    memoInfo->appendPlainText(text);
    memoInfo->verticalScrollBar()->setValue(memoInfo->verticalScrollBar()->maximum());
}

void TSonabelMainForm::ReplaceLastLogLine(const QString& text) {
    if (memoInfo->document()->isEmpty()) {
        LogLine(text);
        return;
    }
    QTextCursor cursor(memoInfo->document());
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(text);
}

void TSonabelMainForm::SetStatusText(const QString& text) {
    StatusPanels[0]->setText(text);
}

TModalResult TSonabelMainForm::AskUser(const QString& message, TDialogType type, unsigned buttons,
                                       int /*helpContext*/) {
    return MessageBox(message, type, buttons);
}

void TSonabelMainForm::ShowInfo(const QString& text) {
    MessageBox(text, TDialogType::Information, mbOK);
}

TModalResult TSonabelMainForm::ShowMessageBox(const QString& text, TDialogType type,
                                              unsigned buttons) {
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (type) {
    case TDialogType::Warning:
        icon = QMessageBox::Warning;
        break;
    case TDialogType::Confirmation:
        icon = QMessageBox::Question;
        break;
    case TDialogType::Error:
        icon = QMessageBox::Critical;
        break;
    case TDialogType::Information:
        break;
    }
    QMessageBox::StandardButtons standard;
    if (buttons & mbYes)
        standard |= QMessageBox::Yes;
    if (buttons & mbNo)
        standard |= QMessageBox::No;
    if (buttons & mbOK)
        standard |= QMessageBox::Ok;
    if (buttons & mbCancel)
        standard |= QMessageBox::Cancel;
    QMessageBox box(icon, AppTitle, text, standard, isVisible() ? this : nullptr);
    // A question asked while files are added must not show the wait cursor.
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.exec();
    if (waiting)
        QApplication::restoreOverrideCursor();
    switch (answer) {
    case QMessageBox::Yes:
        return TModalResult::Yes;
    case QMessageBox::No:
        return TModalResult::No;
    case QMessageBox::Ok:
        return TModalResult::OK;
    case QMessageBox::Cancel:
        return TModalResult::Cancel;
    default:
        return (buttons & mbNo) ? TModalResult::No : TModalResult::Cancel;
    }
}

// --- The list ----------------------------------------------------------------

QString TSonabelMainForm::StartFolder() const {
    const QString& last = Settings().LastDir;
    return last.isEmpty() ? GetShellFolder(QStringLiteral("My Music")) : last;
}

void TSonabelMainForm::btnAddFilesClick() {
    SetState(rsAddingFiles);
    const QStringList names = ChooseFiles(StartFolder());
    if (names.isEmpty()) {
        SourceList->UpdateList(false);
        return;
    }
    SourceList->BeginAddFiles();
    for (const QString& name : names)
        SourceList->AddSourceFile(name);
    SourceList->EndAddFiles();
}

void TSonabelMainForm::btnAddDirClick() {
    SetState(rsFolderScan);
    QString folder = StartFolder();
    // The folder window comes before the wait cursor.
    if (ChooseScanFolder(folder)) {
        SourceList->BeginAddFiles();
        SourceList->AddFolder(folder);
        SourceList->EndAddFiles();
    } else {
        SourceList->UpdateList(false);
    }
}

void TSonabelMainForm::OnAddFilesBegin() {
    SourceList->BeginAddFiles();
    DropFirstFolder = true;
    DropContinue = true;
    DropStopped = false;
    DropSlice.start();
}

void TSonabelMainForm::OnAddFile(const QString& name) {
    const QFileInfo info(name);
    if (info.isFile()) {
        if (DropStopped)
            return;
        SourceList->AddSourceFile(name);
        LetDropBreathe();
        return;
    }
    if (!info.isDir() || !DropContinue || DropStopped)
        return;
    if (DropFirstFolder) {
        SetState(rsFolderScan);
        DropFirstFolder = false;
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        DropContinue = ChooseScanFilter();
        QApplication::restoreOverrideCursor();
    }
    if (DropContinue) {
        SourceList->AddFolder(name);
        // A stop asked during that scan holds for the rest of the drop too.
        if (RunState == rsStopRequested)
            DropContinue = false;
    }
}

// Thousands of dropped files take longer than a frame: the window paints
// now and then meanwhile, with every control but the log disabled, and a
// close waits for the drop to end, as during a scan.
void TSonabelMainForm::LetDropBreathe() {
    if (DropSlice.elapsed() < DropSliceMs)
        return;
    // A folder scan of the same drop enables the controls when it ends.
    if (!LongDrop || !Scanning) {
        LongDrop = true;
        Scanning = true;
        DisableControls({memoInfo, Led, statusBar()});
    }
    QCoreApplication::processEvents();
    if (RunState == rsStopRequested)
        DropStopped = true;
    DropSlice.restart();
}

void TSonabelMainForm::OnAddFilesEnd() {
    // Recomputing a whole library's rows takes seconds too: it breathes as the adding did.
    SourceList->SetBreather([this] { LetDropBreathe(); });
    SourceList->EndAddFiles();
    SourceList->SetBreather({});
    if (LongDrop) {
        LongDrop = false;
        Scanning = false;
        EnableControls();
        if (CloseWhenDone)
            QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TSonabelMainForm::AddDroppedPaths(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    OnAddFilesBegin();
    for (const QString& path : paths)
        OnAddFile(QFileInfo(path).absoluteFilePath());
    OnAddFilesEnd();
}

void TSonabelMainForm::ScanBegin() {
    Scanning = true;
    DisableControls({memoInfo, Led, btnGO, statusBar()});
    SetGoButton(true);
}

void TSonabelMainForm::ScanEnd() {
    Scanning = false;
    EnableControls();
    SetGoButton(false);
    if (CloseWhenDone)
        QTimer::singleShot(0, this, &QWidget::close);
}

void TSonabelMainForm::btnRemoveFilesClick() {
    QList<int> rows;
    for (const QModelIndex& index : ListView->selectionModel()->selectedRows())
        rows.append(index.row());
    const int next = SourceList->RemoveSelectedRows(rows);
    if (next >= 0)
        ListView->selectionModel()->setCurrentIndex(SourceList->index(next, 0),
                                                    QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
    else if (!rows.isEmpty())
        ListView->selectionModel()->clear();
    ListView->setFocus();
}

void TSonabelMainForm::btnClearListClick() {
    SourceList->ClearList();
    FormResize();
}

void TSonabelMainForm::PropertiesClick() {
    if (!ListView->isEnabled())
        return;
    const int row = ListView->currentIndex().row();
    if (row < 0) {
        ShowInfo(Msg(msgNoFileForProperties));
        return;
    }
    ShowProperties(SourceList->GetCell(row, TCell::Path));
}

// --- Settings on the window --------------------------------------------------

void TSonabelMainForm::SomethingChange() {
    TSettings& s = Settings();
    s.BitRateIndex = qMax(0, cbBitrate->currentIndex());
    s.EncodingMode = rbABR->isChecked() ? 1 : 0;
    SourceList->UpdateList(false);
}

void TSonabelMainForm::cbShutDownClick() {
    if (cbShutDown->isChecked())
        Settings().Flags |= flShutDown;
    else
        Settings().Flags &= ~flShutDown;
}

void TSonabelMainForm::btnOptionsClick() {
    SetState(rsOptions);
    if (ExecuteOptions())
        SourceList->UpdateList(false);
    FormResize();
    SetState(rsIdle);
}

void TSonabelMainForm::btnGOClick() {
    if (!BatchRun)
        return;
    // During a scan the button is the scan's stop button, even while the list
    // is still empty.
    if (Scanning)
        BatchRun->ConfirmStopScan();
    else
        BatchRun->btnGOClick();
}

// --- Window events -----------------------------------------------------------

void TSonabelMainForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TSonabelMainForm::FormResize() {
    // Before the first show the list has no real width yet.
    if (!isVisible())
        return;
    // Only the file column follows the list's width; the others keep theirs.
    const int width = ListView->viewport()->width();
    if (LastListWidth < 0) {
        int others = 0;
        for (int c = 1; c < TSourceList::ColumnCount; ++c)
            others += ListView->columnWidth(c);
        ListView->setColumnWidth(0, qMax(100, width - others));
    } else if (width != LastListWidth) {
        ListView->setColumnWidth(0, qMax(100, ListView->columnWidth(0) + width - LastListWidth));
    }
    LastListWidth = width;
}

bool TSonabelMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListView->viewport() && event->type() == QEvent::Resize)
        FormResize();
    if ((watched == imgMorvane || watched == lblWebSiteURL) &&
        event->type() == QEvent::MouseButtonRelease) {
        OpenUrl(QUrl(QStringLiteral("https://") + WebSiteHost + QLatin1Char('/')));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TSonabelMainForm::closeEvent(QCloseEvent* event) {
    // A scan lets events run: the list must outlive it, so the scan is told
    // to stop and the close comes back when it has.
    if (Scanning) {
        RunState = rsStopRequested;
        CloseWhenDone = true;
        event->ignore();
        return;
    }
    if (BatchRun && BatchRun->IsRunning()) {
        if (RunState == rsBatch && !ConfirmStopEncoding(*this)) {
            event->ignore();
            return;
        }
        // The stopped run ends its encoders and deletes its partial outputs first.
        if (RunState == rsStopRequested && BatchRun->IsRunning()) {
            CloseWhenDone = true;
            event->ignore();
            return;
        }
    }
    SaveSettingsOnClose();
    event->accept();
}

void TSonabelMainForm::SaveSettingsOnClose() {
    if (!Created)
        return;
    TSaveRequest request;
    // Left and Top are where the frame starts, as move() takes them, so the
    // window does not creep by its frame width from one session to the next.
    const QPoint frame = geometry().topLeft() - pos();
    const QRect normal =
        isMaximized() && normalGeometry().isValid() ? normalGeometry() : geometry();
    request.MainPlacement.State = isMaximized() ? wsMaximized : wsNormal;
    request.MainPlacement.Width = normal.width();
    request.MainPlacement.Height = normal.height();
    request.MainPlacement.Left = normal.x() - frame.x();
    request.MainPlacement.Top = normal.y() - frame.y();
    request.ConfirmQuestion = Msg(msgSaveSettingsQuestion);
    request.PowerOffClosing = RunState == rsPowerOff;
    TSettingsEnv env;
    env.DefaultLanguage = Settings().DefaultLanguage;
    SaveSettings(*Store, Settings(), request, *this, env);
}
