#include "gui/SonabelF.h"

#include "batch/Batch.h"
#include "batch/BatchSourceList.h"
#include "encoder/EncoderFacts.h"
#include "encoder/FilePaths.h"
#include "encoder/ProcessRunner.h"
#include "gui/DragListView.h"
#include "gui/LanguageTexts.h"
#include "gui/LogView.h"
#include "gui/MainBatchView.h"
#include "gui/MainDialogs.h"
#include "gui/MainReporter.h"
#include "gui/MainStartUp.h"
#include "gui/RunFeedback.h"
#include "gui/RunNotifier.h"
#include "gui/SourceAdder.h"
#include "gui/SourceListPanel.h"
#include "gui/StatusPanels.h"
#include "messages/RunState.h"
#include "messages/Sonabel_L.h"
#include "settings/SettingsStore.h"
#include "sources/SourceList.h"
#include "update/UpdateCheck.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <utility>

TSonabelMainForm::TSonabelMainForm(std::unique_ptr<TRegFile> store,
                                   std::unique_ptr<TPowerOff> powerOff,
                                   std::unique_ptr<TWindowPrompts> prompts,
                                   std::unique_ptr<TRunNotifier> notifier, QWidget* parent)
    : QMainWindow(parent), Store(std::move(store)), PowerOffService(std::move(powerOff)),
      Prompts(std::move(prompts)), Notifier(std::move(notifier)) {
    setObjectName(MainFormName);
    if (!Store)
        Store = std::make_unique<TRegFile>(QStringLiteral("RegFile"), QStringLiteral("Morvane"),
                                           QStringLiteral("Sonabel"), nullptr);
    if (!PowerOffService)
        PowerOffService = std::make_unique<TLogindPowerOff>();
    if (!Prompts)
        Prompts = std::make_unique<TDialogPrompts>(*this);
    if (!Notifier)
        Notifier = std::make_unique<TDesktopNotifier>();
    AppDir = IncludeTrailingSlash(QCoreApplication::applicationDirPath());
    SourceList = new TSourceList(nullptr, this);
    BatchSource = std::make_unique<TSourceListBatchSource>(*SourceList);
    ComposePanels();
    WindowReporter = std::make_unique<TMainReporter>(*LogView, *StatusPanels, *Prompts);
    FollowRunState(TRunState::Current(), *WindowReporter, this);
    // The banner of each new encoder goes to the log once it has been read.
    connect(&TEncoderFacts::Current(), &TEncoderFacts::changed, this, [this] {
        if (LameVersion() == LoggedVersion)
            return;
        LoggedVersion = LameVersion();
        if (!LoggedVersion.isEmpty())
            WindowReporter->LogLine(LoggedVersion);
    });
    SourceList->SetReporter(WindowReporter.get());
    SourceAdder = new TSourceAdder(*SourceList, *Prompts, *WindowReporter, this);
    Connect();
}

TSonabelMainForm::~TSonabelMainForm() {
    SetApplyLanguageHook({});
    // The batch refers to the view and the source; it goes first.
    delete BatchRun;
    BatchRun = nullptr;
    delete Feedback;
    Feedback = nullptr;
    if (auto* dialogPrompts = dynamic_cast<TDialogPrompts*>(Prompts.get()))
        dialogPrompts->SetDialogs(nullptr);
    delete MainDialogs;
    MainDialogs = nullptr;
}

void TSonabelMainForm::ComposePanels() {
    setMinimumSize(640, 420);
    resize(640, 420);
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("pnlMain"));
    setCentralWidget(central);
    SourceListPanel = new TSourceListPanel(*SourceList, central);
    LogView = new TLogView(central);
    RunPanel = new TRunPanel(central);
    StatusPanels = new TStatusPanels(this);
    setStatusBar(StatusPanels);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(LogView, 1);
    bottom->addWidget(RunPanel);
    auto* form = new QVBoxLayout(central);
    form->setContentsMargins(6, 6, 6, 2);
    form->setSpacing(4);
    form->addWidget(SourceListPanel, 1);
    form->addLayout(bottom);
    SetTabOrder();
}

// Top to bottom, left to right: the list and its buttons, the log, then the
// run's settings and its buttons.
void TSonabelMainForm::SetTabOrder() {
    QList<QWidget*> order = SourceListPanel->TabOrder();
    order << LogView << RunPanel->TabOrder();
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TSonabelMainForm::Connect() {
    connect(SourceListPanel, &TSourceListPanel::AddFilesClicked, SourceAdder,
            &TSourceAdder::AddFiles);
    connect(SourceListPanel, &TSourceListPanel::AddDirClicked, SourceAdder,
            &TSourceAdder::AddFolder);
    connect(SourceListPanel, &TSourceListPanel::RemoveClicked, this,
            &TSonabelMainForm::btnRemoveFilesClick);
    connect(SourceListPanel, &TSourceListPanel::ClearClicked, this,
            &TSonabelMainForm::btnClearListClick);
    connect(SourceListPanel, &TSourceListPanel::PropertiesRequested, this,
            &TSonabelMainForm::PropertiesClick);
    TDragListView* view = SourceListPanel->View();
    connect(view, &TDragListView::OnAddFilesBegin, SourceAdder, &TSourceAdder::DropBegin);
    connect(view, &TDragListView::OnAddFile, SourceAdder,
            [this](QObject*, const QString& name) { SourceAdder->DropPath(name); });
    connect(view, &TDragListView::OnAddFilesEnd, SourceAdder, &TSourceAdder::DropEnd);
    connect(SourceAdder, &TSourceAdder::BusyChanged, this, &TSonabelMainForm::SetBusy);
    connect(SourceList, &TSourceList::TotalsChanged, StatusPanels, [this] {
        StatusPanels->SetTotals(SourceList->TotalSizeText(), SourceList->TotalEstimatedText());
    });
    connect(RunPanel, &TRunPanel::SettingsChanged, this, &TSonabelMainForm::SomethingChange);
    // The boxes show the settings whoever changes them (a run clears the power-off).
    connect(&Preferences(), &TPreferences::changed, RunPanel,
            [this] { RunPanel->ShowSettings(Settings()); });
    connect(RunPanel, &TRunPanel::ShutDownToggled, this, [](bool on) {
        auto edit = Preferences().Edit();
        edit->Flags = on ? edit->Flags | flShutDown : edit->Flags & ~flShutDown;
    });
    connect(RunPanel, &TRunPanel::OptionsClicked, this, &TSonabelMainForm::btnOptionsClick);
    connect(RunPanel, &TRunPanel::GoClicked, this, &TSonabelMainForm::btnGOClick);
    connect(RunPanel, &TRunPanel::WebSiteClicked, this, [this] {
        Prompts->OpenUrl(QUrl(QStringLiteral("https://") + ProductWebSite + QLatin1Char('/')));
    });
}

void TSonabelMainForm::CreateForms() {
    MainDialogs = new TMainDialogs(*this, *WindowReporter, *Store);
    if (auto* dialogPrompts = dynamic_cast<TDialogPrompts*>(Prompts.get()))
        dialogPrompts->SetDialogs(MainDialogs);
    if (MainDialogs->UpdateCheck)
        connect(MainDialogs->UpdateCheck, &TUpdateCheck::Finished, this, [this] {
            if (RunState == rsUpdateCheck)
                SetState(rsIdle);
        });
    BatchView = std::make_unique<TMainBatchView>(
        *this, *RunPanel, *SourceListPanel, *LogView, *WindowReporter,
        [this](TBusy busy) { SetBusy(busy); }, *MainDialogs->WarningForm,
        *MainDialogs->ShutDownForm);
    BatchRun = new TBatch(*BatchSource, *BatchView, *WindowReporter, *PowerOffService, this);
    BatchView->Follow(*BatchRun);
    Feedback = new TRunFeedback(*BatchRun, *SourceList, *WindowReporter, *Notifier, *this, this);
    connect(RunPanel, &TRunPanel::TotalProgressChanged, Feedback, &TRunFeedback::SetProgress);
    connect(Feedback, &TRunFeedback::OutputFolderChanged, StatusPanels,
            &TStatusPanels::SetOutputFolder);
    // A run stopped by closing the window lets the window go once it has ended.
    connect(BatchRun, &TBatch::runFinished, this, [this](const TRunSummary& summary) {
        // What a stopped run leaves on the bars and the clock says nothing true.
        if (summary.Stopped)
            RunPanel->ResetProgress();
        if (CloseWhenDone)
            QTimer::singleShot(0, this, &QWidget::close);
    });
}

bool TSonabelMainForm::FormCreate() {
    // The same version text as the About page.
    setWindowTitle(QStringLiteral("%1 %2").arg(AppTitle, QStringLiteral(SONABEL_VERSION)));
    TSettings s = Settings();
    s.AppDir = AppDir;
    TSettingsEnv env;
    env.DefaultLanguage = DefaultLanguageIndex();
    LoadSettings(*Store, s, env);
    Preferences().Set(s);
    RunPanel->ShowSettings(s);
    SetState(rsIdle);
    ::SetLanguage(s.Language, false);
    s = Settings();
    if (!LocateEncoder(s, AppDir, *Prompts, *WindowReporter))
        return false;
    Preferences().Set(s);
    SourceList->UpdateList(false);
    SetApplyLanguageHook([this] { ApplyLanguage(); });
    Created = true;
    return true;
}

void TSonabelMainForm::ApplyLanguage() {
    ApplyToolkitLanguage(CurrentLanguageIndex());
    // Every panel and every dialog writes its own texts on this event.
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(this, &change);
    SetState(RunState);
}

void TSonabelMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (Shown)
        return;
    Shown = true;
    ApplyLanguage();
    TPlacement p = PlacementOf(*this);
    Store->LoadPlacement(MainFormName, p, true);
    RestorePlacement(*this, p);
    QTimer::singleShot(0, this, &TSonabelMainForm::FirstIdle);
}

void TSonabelMainForm::FirstIdle() {
    const TSettings& s = Settings();
    // A build without an update host has no check to ask about.
    if (MainDialogs->UpdateCheck && !(s.Flags & flUpdateAsked)) {
        const bool yes =
            WindowReporter->AskUser(Msg(msgAutoUpdateQuestion), TDialogType::Confirmation,
                                    mbYes | mbNo) == TModalResult::Yes;
        Preferences().Edit()->Flags =
            (yes ? s.Flags | flAutoUpdate : s.Flags & ~flAutoUpdate) | flUpdateAsked;
        Store->WriteInteger(QString(), QStringLiteral("Flags"), qint32(s.Flags));
        Store->Flush();
    }
    // After the question, so that two questions never stand on each other.
    if (!StartPaths.isEmpty())
        AddDroppedPaths(std::exchange(StartPaths, {}));
    TUpdateCheck* check = MainDialogs ? MainDialogs->UpdateCheck : nullptr;
    if ((s.Flags & flAutoUpdate) && check && RunState == rsIdle) {
        SetState(rsUpdateCheck);
        check->CheckForUpdate(false);
        if (!check->Running() && RunState == rsUpdateCheck)
            SetState(rsIdle);
    }
}

void TSonabelMainForm::AddDroppedPaths(const QStringList& paths) {
    SourceAdder->AddDroppedPaths(paths);
}

void TSonabelMainForm::UpdateList() {
    SourceList->UpdateList(false);
}

void TSonabelMainForm::SetState(quint8 state) {
    WindowReporter->SetState(state);
}

void TSonabelMainForm::SetBusy(TBusy busy) {
    SourceListPanel->SetControlsEnabled(busy == TBusy::None);
    RunPanel->SetBusy(busy);
    if (busy == TBusy::Scan)
        RunPanel->SetGoButton(true);
    else if (busy == TBusy::None && !(BatchRun && BatchRun->IsRunning()))
        RunPanel->SetGoButton(false);
    if (busy == TBusy::None && CloseWhenDone)
        QTimer::singleShot(0, this, &QWidget::close);
}

void TSonabelMainForm::btnRemoveFilesClick() {
    const QList<int> rows = SourceListPanel->SelectedRows();
    const int next = SourceList->RemoveSelectedRows(rows);
    if (next >= 0)
        SourceListPanel->SelectRow(next);
    else if (!rows.isEmpty())
        SourceListPanel->ClearSelection();
    SourceListPanel->View()->setFocus();
}

void TSonabelMainForm::btnClearListClick() {
    SourceList->ClearList();
    RunPanel->ResetProgress();
}

void TSonabelMainForm::PropertiesClick() {
    if (!SourceListPanel->View()->isEnabled())
        return;
    const int row = SourceListPanel->CurrentRow();
    if (row < 0)
        WindowReporter->ShowInfo(Msg(msgNoFileForProperties));
    else
        Prompts->ShowProperties(SourceList->Row(row).Path);
}

void TSonabelMainForm::SomethingChange() {
    {
        auto edit = Preferences().Edit();
        edit->BitRateIndex = RunPanel->BitRateIndex();
        edit->EncodingMode = RunPanel->Mode();
    }
    SourceList->UpdateList(false);
}

void TSonabelMainForm::btnOptionsClick() {
    SetState(rsOptions);
    if (Prompts->ExecuteOptions())
        SourceList->UpdateList(false);
    SourceListPanel->SizeColumns();
    SetState(rsIdle);
}

void TSonabelMainForm::btnGOClick() {
    if (!BatchRun)
        return;
    // During a scan the button is the scan's stop button, even while the list
    // is still empty.
    if (SourceAdder->Busy())
        BatchRun->ConfirmStopScan();
    else
        BatchRun->btnGOClick();
}

void TSonabelMainForm::closeEvent(QCloseEvent* event) {
    // A scan lets events run: the list must outlive it, so the scan is told
    // to stop and the close comes back when it has.
    if (SourceAdder->Busy()) {
        SetState(rsStopRequested);
        CloseWhenDone = true;
        event->ignore();
        return;
    }
    if (BatchRun && BatchRun->IsRunning()) {
        if (RunState == rsBatch && !ConfirmStopEncoding(*WindowReporter)) {
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
    request.MainPlacement = PlacementOf(*this);
    request.ConfirmQuestion = Msg(msgSaveSettingsQuestion);
    request.PowerOffClosing = RunState == rsPowerOff;
    TSettingsEnv env;
    env.DefaultLanguage = Settings().DefaultLanguage;
    SaveSettings(*Store, Settings(), request, *WindowReporter, env);
}
