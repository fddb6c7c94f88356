#include "gui/SonabelOptionsF.h"

#include "encoder/EncoderFacts.h"
#include "gui/LanguageTexts.h"
#include "gui/OptionsAboutPage.h"
#include "gui/OptionsEncoderPage.h"
#include "gui/OptionsGeneralPage.h"
#include "gui/SonabelTextF.h"
#include "messages/FormatMsg.h"
#include "messages/Reporting.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"
#include "update/UpdateCheck.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

const std::array<quint32, TSonabelOptionForm::FlagBoxCount> TSonabelOptionForm::FlagBoxBits = {
    flKeepTagV1, flKeepTagV2,   flBRHigher,   flShortPath,  flCopyData,
    flKeepTime,  flConfirmSave, flNoB_CBR,    flNoQ_CBR,    flNoB_ABR,
    flNoQ_ABR,   flKeepSubDirs, flCompactTag, flAutoUpdate, flDelayedStart};

bool IsValidFolderName(const QString& path) {
    if (path.trimmed().isEmpty())
        return false;
    QString rest = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (rest.isEmpty())
        return false;
    // A drive part ("C:") may hold the one colon a name may not.
    if (rest.size() >= 2 && rest.at(1) == QLatin1Char(':') && rest.at(0).isLetter())
        rest.remove(0, 2);
    // '/' separates folders here; every other character Windows refuses is refused.
    static const QString forbidden = QStringLiteral("\"*:<>?|");
    for (const QChar c : rest)
        if (forbidden.contains(c) || c.unicode() < 0x20)
            return false;
    return true;
}

TSonabelOptionForm::TSonabelOptionForm(TReporter* reporter, TSonabelTextForm* textForm,
                                       QWidget* parent)
    : QDialog(parent), Reporter(reporter), TextForm(textForm) {
    setObjectName(QStringLiteral("SonabelOptionForm"));
    PageControl = Named(new QTabWidget(this), "PageControl");
    sheetGeneral = new TOptionsGeneralPage;
    sheetEncoder = new TOptionsEncoderPage;
    sheetHelp = new TOptionsHelpPage;
    sheetAbout = new TOptionsAboutPage;
    for (TOptionsPage* page : Pages())
        PageControl->addTab(page, QString());

    btnOK = Named(new QPushButton(this), "btnOK");
    btnOK->setDefault(true);
    btnCancel = Named(new QPushButton(this), "btnCancel");
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnOK);
    bottom->addWidget(btnCancel);
    auto* form = new QVBoxLayout(this);
    form->addWidget(PageControl, 1);
    form->addLayout(bottom);

    const TOptionsGeneralPage& g = *sheetGeneral;
    const TOptionsEncoderPage& e = *sheetEncoder;
    FlagBoxes = {g.cbKeepTagV1, g.cbKeepTagV2,   g.cbBRHigher,   g.cbShortPath,  g.cbCopyData,
                 g.cbKeepTime,  g.cbConfirmSave, e.cbNoB[0],     e.cbNoQ[0],     e.cbNoB[1],
                 e.cbNoQ[1],    g.cbKeepSubDirs, g.cbCompactTag, g.cbAutoUpdate, g.cbTimer};

    ChooseFolder = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, QString(), start);
    };
    ChooseEncoder = [this](const QString& current) {
        QFileDialog dialog(this, Msg(msgOpenLameTitle), current, Msg(msgOpenLameFilter));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        dialog.selectFile(current.isEmpty() ? QString::fromLatin1(LameExeName) : current);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    };
    OpenUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    ConnectPages();
    PageControl->setCurrentIndex(0);
    ApplyLanguage();
}

std::array<TOptionsPage*, 4> TSonabelOptionForm::Pages() const {
    return {sheetGeneral, sheetEncoder, sheetHelp, sheetAbout};
}

void TSonabelOptionForm::ConnectPages() {
    connect(btnOK, &QPushButton::clicked, this, &TSonabelOptionForm::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TSonabelOptionForm::reject);
    connect(PageControl, &QTabWidget::currentChanged, this, &TSonabelOptionForm::FocusHelp);
    connect(sheetGeneral->btnDefDir, &QToolButton::clicked, this,
            &TSonabelOptionForm::SelectDefDir);
    connect(sheetGeneral->cbLanguage, &QComboBox::activated, this,
            &TSonabelOptionForm::LanguageChanged);
    connect(sheetGeneral->btnCheckNow, &QPushButton::clicked, this, [this] {
        update();
        if (UpdateCheck)
            UpdateCheck->CheckForUpdate(true);
    });
    connect(sheetEncoder, &TOptionsEncoderPage::LamePathRequested, this,
            &TSonabelOptionForm::SelectLamePath);
    connect(sheetEncoder, &TOptionsEncoderPage::LameHelpRequested, this,
            &TSonabelOptionForm::ShowLameHelp);
    connect(sheetEncoder, &TOptionsEncoderPage::CommandLineRequested, this,
            [this](int mode) { Reporter->ShowInfo(sheetEncoder->CommandLinePreview(mode)); });
    connect(sheetAbout, &TOptionsAboutPage::UrlActivated, this, [this](const QUrl& url) {
        if (OpenUrl)
            OpenUrl(url);
    });
}

void TSonabelOptionForm::FocusHelp() {
    if (PageControl->currentWidget() == sheetHelp)
        sheetHelp->memoHelp->setFocus();
}

void TSonabelOptionForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FocusHelp(); // the page shown last stays selected
}

void TSonabelOptionForm::ApplyLanguage() {
    setWindowTitle(MsgFmt(msgOptTitle, {AppTitle}));
    const TMsgId titles[] = {msgOptPageGeneral, msgOptPageEncoder, msgOptPageHelp, msgOptPageAbout};
    for (int i = 0; i < PageControl->count(); ++i)
        PageControl->setTabText(i, Msg(titles[i]));
    for (TOptionsPage* page : Pages())
        page->ApplyLanguage();
    SetCaption(btnOK, msgCaptionOK, msgOptOKHint);
    SetCaption(btnCancel, msgCaptionCancel, msgOptCancelHint);
}

bool TSonabelOptionForm::ExecuteOptions() {
    LoadControls();
    return exec() == QDialog::Accepted;
}

void TSonabelOptionForm::LoadControls() {
    const TSettings& s = Settings();
    FLanguageAtOpen = s.Language;
    constexpr int least = TOptionsGeneralPage::MinDelayMinutes * 60;
    constexpr int most = TOptionsGeneralPage::MaxDelayMinutes * 60;
    Preferences().Edit()->DelayS = qBound(least, s.DelayS, most);
    for (TOptionsPage* page : Pages())
        page->Load(s);
    ApplyLanguage(); // the example suffix follows the mode
    for (int i = 0; i < FlagBoxCount; ++i)
        FlagBoxes[i]->setChecked(s.Flags & FlagBoxBits[i]);
    sheetGeneral->SetUpdateCheckShown(UpdateCheck != nullptr);
}

void TSonabelOptionForm::StoreControls() {
    auto edit = Preferences().Edit();
    TSettings& s = *edit;
    for (TOptionsPage* page : Pages())
        page->Store(s);
    for (int i = 0; i < FlagBoxCount; ++i)
        s.Flags = FlagBoxes[i]->isChecked() ? s.Flags | FlagBoxBits[i] : s.Flags & ~FlagBoxBits[i];
}

void TSonabelOptionForm::accept() {
    if (!FormCloseQuery())
        return;
    StoreControls();
    QDialog::accept();
}

void TSonabelOptionForm::reject() {
    // The language showed at once; a cancel takes it back with the rest.
    if (Settings().Language != FLanguageAtOpen) {
        Preferences().Edit()->Language = FLanguageAtOpen;
        SetLanguage(FLanguageAtOpen, true);
    }
    QDialog::reject();
}

void TSonabelOptionForm::Fail(int msg, const QString& path) {
    Reporter->AskUser(MsgFmt(TMsgId(msg), {QDir::toNativeSeparators(path)}), TDialogType::Error,
                      mbOK);
}

bool TSonabelOptionForm::FormCloseQuery() {
    if (!sheetGeneral->rbDefDir->isChecked())
        return true;
    QLineEdit* edit = sheetGeneral->editDefDir;
    const QString text = edit->text().trimmed();
    const QString path =
        text.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(text).absoluteFilePath());
    edit->setText(path);
    if (!IsValidFolderName(path)) {
        Fail(msgOptInvalidFolder, path);
        return false;
    }
    const QFileInfo folder(path);
    if (!folder.isDir()) {
        if (Reporter->AskUser(MsgFmt(msgOptCreateFolder, {QDir::toNativeSeparators(path)}),
                              TDialogType::Confirmation, mbYes | mbNo) != TModalResult::Yes)
            return false;
        // A file of that name is the user's: never replaced, just refused.
        if (folder.exists() || folder.isSymLink() || !QDir().mkpath(path)) {
            Fail(msgOptCannotCreate, path);
            return false;
        }
    }
    if (!IsFolderWritable(path)) {
        Fail(msgOptNotWritable, path);
        return false;
    }
    return true;
}

void TSonabelOptionForm::SelectDefDir() {
    if (!ChooseFolder)
        return;
    const QString chosen = ChooseFolder(sheetGeneral->editDefDir->text());
    if (!chosen.isEmpty())
        sheetGeneral->editDefDir->setText(chosen);
}

void TSonabelOptionForm::SelectLamePath() {
    if (!ChooseEncoder)
        return;
    const QString chosen = ChooseEncoder(sheetEncoder->LamePath());
    if (chosen.isEmpty())
        return;
    if (!IsEncoderFileName(chosen)) {
        Reporter->AskUser(MsgFmt(msgLameWrongFile, {QDir::toNativeSeparators(chosen),
                                                    QString::fromLatin1(LameExeName)}),
                          TDialogType::Error, mbOK);
        return;
    }
    sheetEncoder->SetLamePath(chosen);
}

void TSonabelOptionForm::ShowLameHelp() {
    const QString title = FormatMsg(QStringLiteral("%s - %s"), {AppTitle, Msg(msgLameHelpTitle)});
    // Shown whatever the run gave, even nothing.
    TextForm->ShowText(title, ReadLameHelp(sheetEncoder->LamePath()));
}

void TSonabelOptionForm::LanguageChanged(int index) {
    if (index < 0 || index >= LanguageCount)
        return;
    Preferences().Edit()->Language = index;
    SetLanguage(index, true);
}
