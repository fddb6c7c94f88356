#include "gui/SonabelOptionsF.h"

#include "encoder/SonabelMisc.h"
#include "gui/LanguageTexts.h"
#include "gui/NewFilesGroup.h"
#include "gui/SonabelTextF.h"
#include "gui/Spin.h"
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
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

const std::array<quint32, TSonabelOptionForm::FlagBoxCount> TSonabelOptionForm::FlagBoxBits = {
    flKeepTagV1, flKeepTagV2,   flBRHigher,   flShortPath,  flCopyData,
    flKeepTime,  flConfirmSave, flNoB_CBR,    flNoQ_CBR,    flNoB_ABR,
    flNoQ_ABR,   flKeepSubDirs, flCompactTag, flAutoUpdate, flDelayedStart};

namespace {

const QString HttpPrefix = QStringLiteral("http://");
const QString QtWebSite = QStringLiteral("www.qt.io");
constexpr char UrlProperty[] = "sonabelUrl";
// The delay is edited in whole minutes.
constexpr int MinDelayMinutes = 1;
constexpr int MaxDelayMinutes = 30000;

template <class W> W* Named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QCheckBox* NewCheck(const char* name, QWidget* parent) {
    return Named(new QCheckBox(parent), name);
}

// A sub-option sits under the option it depends on.
QHBoxLayout* Indented(QWidget* widget) {
    auto* row = new QHBoxLayout;
    row->addSpacing(20);
    row->addWidget(widget, 1);
    return row;
}

QLabel* NewIcon(const char* name, QStyle::StandardPixmap icon, QWidget* parent) {
    auto* label = Named(new QLabel(parent), name);
    label->setPixmap(parent->style()->standardIcon(icon).pixmap(32, 32));
    label->setFixedSize(36, 36);
    label->setAlignment(Qt::AlignCenter);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

QLabel* NewLink(const char* name, QWidget* parent) {
    auto* label = Named(new QLabel(parent), name);
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    return label;
}

// The trailing text stays outside the underlined link.
void SetLink(QLabel* label, const QString& shown, const QString& url,
             const QString& trailing = QString()) {
    label->setText(QStringLiteral("<a href=\"%1\">%2</a>%3")
                       .arg(url.toHtmlEscaped(), shown.toHtmlEscaped(), trailing.toHtmlEscaped()));
    label->setProperty(UrlProperty, url);
}

} // namespace

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
    sheetGeneral = Named(new QWidget, "sheetGeneral");
    sheetEncoder = Named(new QWidget, "sheetEncoder");
    sheetHelp = Named(new QWidget, "sheetHelp");
    sheetAbout = Named(new QWidget, "sheetAbout");
    for (QWidget* sheet : {sheetGeneral, sheetEncoder, sheetHelp, sheetAbout})
        PageControl->addTab(sheet, QString());

    // General page.
    gbInterface = Named(new QGroupBox(sheetGeneral), "gbInterface");
    lblLanguage = Named(new QLabel(gbInterface), "lblLanguage");
    cbLanguage = Named(new QComboBox(gbInterface), "cbLanguage");
    for (int i = 0; i < LanguageCount; ++i)
        cbLanguage->addItem(LanguageListItem(i));
    lblLanguage->setBuddy(cbLanguage);
    cbShortPath = NewCheck("cbShortPath", gbInterface);
    cbConfirmSave = NewCheck("cbConfirmSave", gbInterface);
    cbAutoUpdate = NewCheck("cbAutoUpdate", gbInterface);
    btnCheckNow = Named(new QPushButton(gbInterface), "btnCheckNow");
    cbTimer = NewCheck("cbTimer", gbInterface);
    spinTimer = Named(new TSpinEdit(gbInterface), "spinTimer");
    spinTimer->SetRange(MinDelayMinutes, MaxDelayMinutes);
    lblMinutes = Named(new QLabel(gbInterface), "lblMinutes");
    auto* interface = new QGridLayout(gbInterface);
    auto* language = new QHBoxLayout;
    language->addWidget(lblLanguage);
    language->addWidget(cbLanguage);
    language->addStretch(1);
    interface->addLayout(language, 0, 0, 1, 2);
    interface->addWidget(cbShortPath, 1, 0, 1, 2);
    interface->addWidget(cbConfirmSave, 2, 0, 1, 2);
    interface->addWidget(cbAutoUpdate, 3, 0);
    interface->addWidget(btnCheckNow, 3, 1);
    auto* timer = new QHBoxLayout;
    timer->addWidget(cbTimer);
    timer->addWidget(spinTimer);
    timer->addWidget(lblMinutes);
    timer->addStretch(1);
    interface->addLayout(timer, 4, 0, 1, 2);
    interface->setColumnStretch(0, 1);

    gbOutput = Named(new QGroupBox(sheetGeneral), "gbOutput");
    rbSameDir = Named(new QRadioButton(gbOutput), "rbSameDir");
    rbDefDir = Named(new QRadioButton(gbOutput), "rbDefDir");
    editDefDir = Named(new QLineEdit(gbOutput), "editDefDir");
    btnDefDir = Named(new QToolButton(gbOutput), "btnDefDir");
    btnDefDir->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    cbKeepSubDirs = NewCheck("cbKeepSubDirs", gbOutput);
    cbKeepTime = NewCheck("cbKeepTime", gbOutput);
    auto* output = new QVBoxLayout(gbOutput);
    output->addWidget(rbSameDir);
    auto* defDir = new QHBoxLayout;
    defDir->addWidget(rbDefDir);
    defDir->addWidget(editDefDir, 1);
    defDir->addWidget(btnDefDir);
    output->addLayout(defDir);
    output->addLayout(Indented(cbKeepSubDirs));
    output->addWidget(cbKeepTime);

    gbMp3 = Named(new QGroupBox(sheetGeneral), "gbMp3");
    cbKeepTagV2 = NewCheck("cbKeepTagV2", gbMp3);
    cbCompactTag = NewCheck("cbCompactTag", gbMp3);
    cbKeepTagV1 = NewCheck("cbKeepTagV1", gbMp3);
    cbBRHigher = NewCheck("cbBRHigher", gbMp3);
    cbCopyData = NewCheck("cbCopyData", gbMp3);
    auto* mp3 = new QVBoxLayout(gbMp3);
    mp3->addWidget(cbKeepTagV2);
    mp3->addLayout(Indented(cbCompactTag));
    mp3->addWidget(cbKeepTagV1);
    mp3->addWidget(cbBRHigher);
    mp3->addWidget(cbCopyData);

    auto* general = new QVBoxLayout(sheetGeneral);
    general->addWidget(gbInterface);
    general->addWidget(gbOutput);
    general->addWidget(gbMp3);
    gbNewFiles = new TNewFilesGroup(sheetGeneral);
    general->addWidget(gbNewFiles);
    general->addStretch(1);

    // Encoder page.
    gbEncoder = Named(new QGroupBox(sheetEncoder), "gbEncoder");
    lblLamePath = Named(new QLabel(gbEncoder), "lblLamePath");
    lblLamePath->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    lblLamePath->setTextFormat(Qt::PlainText);
    // A long path must not widen the window; the hint shows it whole.
    lblLamePath->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    btnLamePath = Named(new QToolButton(gbEncoder), "btnLamePath");
    btnLamePath->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    lblQuality = Named(new QLabel(gbEncoder), "lblQuality");
    cbQuality = Named(new QComboBox(gbEncoder), "cbQuality");
    for (int i = 0; i <= msgQuality9 - msgQuality0; ++i)
        cbQuality->addItem(QString());
    lblPriority = Named(new QLabel(gbEncoder), "lblPriority");
    cbPriority = Named(new QComboBox(gbEncoder), "cbPriority");
    for (int i = 0; i <= msgPriority4 - msgPriority0; ++i)
        cbPriority->addItem(QString());
    lblJobs = Named(new QLabel(gbEncoder), "lblJobs");
    spinJobs = Named(new TSpinEdit(gbEncoder), "spinJobs");
    spinJobs->SetRange(1, MaxJobs);
    auto* encoder = new QGridLayout(gbEncoder);
    auto* lamePath = new QHBoxLayout;
    lamePath->addWidget(lblLamePath, 1);
    lamePath->addWidget(btnLamePath);
    encoder->addLayout(lamePath, 0, 0, 1, 3);
    const std::pair<QLabel*, QWidget*> rows[] = {
        {lblQuality, cbQuality}, {lblPriority, cbPriority}, {lblJobs, spinJobs}};
    int row = 1;
    for (const auto& [label, control] : rows) {
        label->setBuddy(control);
        encoder->addWidget(label, row, 0);
        encoder->addWidget(control, row++, 1);
    }
    encoder->setColumnStretch(2, 1);

    gbParams = Named(new QGroupBox(sheetEncoder), "gbParams");
    auto* params = new QVBoxLayout(gbParams);
    const auto modeRows = [&](const char* caption, QLabel*& label, const char* edit,
                              QLineEdit*& editor, const char* help, QToolButton*& helpButton,
                              const char* cmdLine, QToolButton*& cmdButton, const char* noB,
                              QCheckBox*& noBBox, const char* noQ, QCheckBox*& noQBox) {
        label = Named(new QLabel(gbParams), caption);
        editor = Named(new QLineEdit(gbParams), edit);
        label->setBuddy(editor);
        helpButton = Named(new QToolButton(gbParams), help);
        helpButton->setText(QStringLiteral("?"));
        cmdButton = Named(new QToolButton(gbParams), cmdLine);
        cmdButton->setText(QStringLiteral("T"));
        noBBox = NewCheck(noB, gbParams);
        noQBox = NewCheck(noQ, gbParams);
        params->addWidget(label);
        auto* line = new QHBoxLayout;
        line->addWidget(editor, 1);
        line->addWidget(helpButton);
        line->addWidget(cmdButton);
        params->addLayout(line);
        params->addWidget(noBBox);
        params->addWidget(noQBox);
    };
    modeRows("lblCBR", lblCBR, "editLameParams_CBR", editLameParams_CBR, "btnLameHelp_CBR",
             btnLameHelp_CBR, "btnLameCmdLine_CBR", btnLameCmdLine_CBR, "cbNoB_CBR", cbNoB_CBR,
             "cbNoQ_CBR", cbNoQ_CBR);
    params->addSpacing(6);
    modeRows("lblABR", lblABR, "editLameParams_ABR", editLameParams_ABR, "btnLameHelp_ABR",
             btnLameHelp_ABR, "btnLameCmdLine_ABR", btnLameCmdLine_ABR, "cbNoB_ABR", cbNoB_ABR,
             "cbNoQ_ABR", cbNoQ_ABR);

    auto* encoderPage = new QVBoxLayout(sheetEncoder);
    encoderPage->addWidget(gbEncoder);
    encoderPage->addWidget(gbParams);
    encoderPage->addStretch(1);

    // Help page.
    memoHelp = Named(new QPlainTextEdit(sheetHelp), "memoHelp");
    memoHelp->setReadOnly(true);
    // Selectable with the mouse only, so the read-only text shows no caret.
    memoHelp->setTextInteractionFlags(Qt::TextSelectableByMouse);
    memoHelp->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoHelp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette helpColours = memoHelp->palette();
    helpColours.setColor(QPalette::Base, Qt::black);
    helpColours.setColor(QPalette::Text, QColor(0xE0, 0xE0, 0xE0));
    memoHelp->setPalette(helpColours);
    (new QVBoxLayout(sheetHelp))->addWidget(memoHelp);

    // About page.
    imgMorvane = NewIcon("imgMorvane", QStyle::SP_ComputerIcon, sheetAbout);
    lblAppName = Named(new QLabel(AppTitle + QLatin1Char(' '), sheetAbout), "lblAppName");
    QFont big = lblAppName->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblAppName->setFont(big);
    lblVersion = Named(new QLabel(sheetAbout), "lblVersion");
    lblSubTitle = Named(new QLabel(sheetAbout), "lblSubTitle");
    lblWebSiteURL = NewLink("lblWebSiteURL", sheetAbout);
    SetLink(lblWebSiteURL, DefaultUpdateHost, HttpPrefix + DefaultUpdateHost);
    imgMorvane->setProperty(UrlProperty, HttpPrefix + DefaultUpdateHost);
    imgLame = NewIcon("imgLame", QStyle::SP_MediaVolume, sheetAbout);
    lblLame = Named(new QLabel(sheetAbout), "lblLame");
    lblLameDesc = Named(new QLabel(sheetAbout), "lblLameDesc");
    lblLameDesc->setTextFormat(Qt::PlainText);
    lblLameUrl = NewLink("lblLameUrl", sheetAbout);
    imgQt = NewIcon("imgQt", QStyle::SP_DriveNetIcon, sheetAbout);
    lblConnectedBy = Named(new QLabel(sheetAbout), "lblConnectedBy");
    lblConnectedUrl = NewLink("lblConnectedUrl", sheetAbout);
    SetLink(lblConnectedUrl, QtWebSite, HttpPrefix + QtWebSite);
    imgQt->setProperty(UrlProperty, HttpPrefix + QtWebSite);

    auto* about = new QGridLayout(sheetAbout);
    about->setColumnStretch(1, 1);
    auto* title = new QHBoxLayout;
    title->addWidget(lblAppName);
    title->addWidget(lblVersion, 0, Qt::AlignBottom);
    title->addStretch(1);
    about->addWidget(imgMorvane, 0, 0, 3, 1, Qt::AlignTop);
    about->addLayout(title, 0, 1);
    about->addWidget(lblSubTitle, 1, 1);
    about->addWidget(lblWebSiteURL, 2, 1);
    about->setRowMinimumHeight(3, 16);
    about->addWidget(imgLame, 4, 0, 3, 1, Qt::AlignTop);
    about->addWidget(lblLame, 4, 1);
    about->addWidget(lblLameDesc, 5, 1);
    about->addWidget(lblLameUrl, 6, 1);
    about->setRowMinimumHeight(7, 16);
    about->addWidget(imgQt, 8, 0, 2, 1, Qt::AlignTop);
    about->addWidget(lblConnectedBy, 8, 1);
    about->addWidget(lblConnectedUrl, 9, 1);
    about->setRowStretch(10, 1);
    for (QLabel* image : {imgMorvane, imgLame, imgQt})
        image->installEventFilter(this);
    for (QLabel* link : {lblWebSiteURL, lblLameUrl, lblConnectedUrl})
        connect(link, &QLabel::linkActivated, this, [this](const QString& url) {
            if (OpenUrl)
                OpenUrl(QUrl(url));
        });

    btnOK = Named(new QPushButton(this), "btnOK");
    btnOK->setDefault(true);
    btnCancel = Named(new QPushButton(this), "btnCancel");
    connect(btnOK, &QPushButton::clicked, this, &TSonabelOptionForm::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnOK);
    bottom->addWidget(btnCancel);
    auto* form = new QVBoxLayout(this);
    form->addWidget(PageControl, 1);
    form->addLayout(bottom);

    FlagBoxes = {cbKeepTagV1, cbKeepTagV2,   cbBRHigher,   cbShortPath,  cbCopyData,
                 cbKeepTime,  cbConfirmSave, cbNoB_CBR,    cbNoQ_CBR,    cbNoB_ABR,
                 cbNoQ_ABR,   cbKeepSubDirs, cbCompactTag, cbAutoUpdate, cbTimer};

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

    for (QAbstractButton* b :
         {static_cast<QAbstractButton*>(rbSameDir), static_cast<QAbstractButton*>(rbDefDir),
          static_cast<QAbstractButton*>(cbTimer), static_cast<QAbstractButton*>(cbKeepTagV2)})
        connect(b, &QAbstractButton::toggled, this, &TSonabelOptionForm::UpdateEnabling);
    connect(PageControl, &QTabWidget::currentChanged, this, &TSonabelOptionForm::UpdateEnabling);
    connect(btnDefDir, &QToolButton::clicked, this, &TSonabelOptionForm::SelectDefDir);
    connect(btnLamePath, &QToolButton::clicked, this, &TSonabelOptionForm::SelectLamePath);
    for (QToolButton* b : {btnLameHelp_CBR, btnLameHelp_ABR})
        connect(b, &QToolButton::clicked, this, &TSonabelOptionForm::ShowLameHelp);
    connect(btnLameCmdLine_CBR, &QToolButton::clicked, this, [this] { ShowCmdLine(0); });
    connect(btnLameCmdLine_ABR, &QToolButton::clicked, this, [this] { ShowCmdLine(1); });
    connect(cbLanguage, &QComboBox::activated, this, &TSonabelOptionForm::LanguageChanged);
    connect(btnCheckNow, &QPushButton::clicked, this, [this] {
        update();
        if (UpdateCheck)
            UpdateCheck->CheckForUpdate(true);
    });

    PageControl->setCurrentIndex(0);
    ApplyLanguage();
}

void TSonabelOptionForm::ApplyLanguage() {
    setWindowTitle(MsgFmt(msgOptTitle, {AppTitle}));
    const TMsgId pages[] = {msgOptPageGeneral, msgOptPageEncoder, msgOptPageHelp, msgOptPageAbout};
    for (int i = 0; i < PageControl->count(); ++i)
        PageControl->setTabText(i, Msg(pages[i]));
    SetCaption(gbInterface, msgOptGroupInterface);
    SetCaption(lblLanguage, msgOptLanguage, msgOptLanguageHint);
    SetHint(cbLanguage, msgOptLanguageHint);
    SetCaption(cbShortPath, msgOptShortPath, msgOptShortPathHint);
    SetCaption(cbConfirmSave, msgOptConfirmSave, msgOptConfirmSaveHint);
    SetCaption(cbAutoUpdate, msgOptAutoUpdate, msgOptAutoUpdateHint);
    SetCaption(btnCheckNow, msgOptCheckNow, msgOptCheckNowHint);
    SetCaption(cbTimer, msgOptTimer, msgOptTimerHint);
    SetHint(spinTimer, msgOptSpinTimerHint);
    SetCaption(lblMinutes, msgOptTimerMinutes);
    SetCaption(gbOutput, msgOptGroupOutput);
    // The example suffix follows the current mode and target bit rate.
    const QString suffix =
        QFileInfo(MakeOutputPath(QStringLiteral("/x"), QString(), QString(), TargetBitRate,
                                 Settings().EncodingMode, false, false))
            .completeBaseName()
            .mid(1);
    rbSameDir->setText(MsgFmt(msgOptSameDir, {suffix}));
    SetHint(rbSameDir, msgOptSameDirHint);
    SetCaption(rbDefDir, msgOptDefDir, msgOptDefDirHint);
    SetHint(editDefDir, msgOptEditDefDirHint);
    SetHint(btnDefDir, msgOptBtnDefDirHint);
    SetCaption(cbKeepSubDirs, msgOptKeepSubDirs, msgOptKeepSubDirsHint);
    SetCaption(cbKeepTime, msgOptKeepTime, msgOptKeepTimeHint);
    SetCaption(gbMp3, msgOptGroupMp3);
    SetCaption(cbKeepTagV2, msgOptKeepTagV2, msgOptKeepTagV2Hint);
    SetCaption(cbCompactTag, msgOptCompactTag, msgOptCompactTagHint);
    SetCaption(cbKeepTagV1, msgOptKeepTagV1, msgOptKeepTagV1Hint);
    SetCaption(cbBRHigher, msgOptBRHigher, msgOptBRHigherHint);
    SetCaption(cbCopyData, msgOptCopyData, msgOptCopyDataHint);
    gbNewFiles->ApplyLanguage();

    SetCaption(gbEncoder, msgOptGroupEncoder);
    SetHint(lblLamePath, msgOptLamePathHint);
    SetHint(btnLamePath, msgOptBtnLamePathHint);
    SetCaption(lblQuality, msgOptQuality, msgOptQualityHint);
    SetHint(cbQuality, msgOptQualityHint);
    for (int i = 0; i < cbQuality->count(); ++i)
        cbQuality->setItemText(i, Msg(TMsgId(msgQuality0 + i)));
    SetCaption(lblPriority, msgOptPriority, msgOptPriorityHint);
    SetHint(cbPriority, msgOptPriorityHint);
    for (int i = 0; i < cbPriority->count(); ++i)
        cbPriority->setItemText(i, Msg(TMsgId(msgPriority0 + i)));
    SetCaption(lblJobs, msgOptJobs, msgOptJobsHint);
    SetHint(spinJobs, msgOptJobsHint);
    SetCaption(gbParams, msgOptGroupParams);
    SetCaption(lblCBR, msgModeCBR);
    SetCaption(lblABR, msgModeABR);
    for (QWidget* w : {editLameParams_CBR, editLameParams_ABR})
        SetHint(w, msgOptParamsHint);
    for (QCheckBox* b : {cbNoB_CBR, cbNoB_ABR})
        SetCaption(b, msgOptNoB, msgOptNoBHint);
    for (QCheckBox* b : {cbNoQ_CBR, cbNoQ_ABR})
        SetCaption(b, msgOptNoQ, msgOptNoQHint);
    for (QWidget* w : {btnLameHelp_CBR, btnLameHelp_ABR})
        SetHint(w, msgOptLameHelpHint);
    for (QWidget* w : {btnLameCmdLine_CBR, btnLameCmdLine_ABR})
        SetHint(w, msgOptCmdLineHint);

    memoHelp->setPlainText(Msg(msgOptHelpText));

    lblVersion->setText(MsgFmt(msgOptVersion, {QStringLiteral(SONABEL_VERSION)}));
    SetCaption(lblSubTitle, msgOptSubTitle);
    for (QWidget* w : {static_cast<QWidget*>(imgMorvane), static_cast<QWidget*>(lblWebSiteURL)})
        SetHint(w, msgWebSiteHint);
    SetCaption(lblLame, msgOptLameBy);
    const QString lameHint =
        MsgFmt(msgOptLameSiteHint, {QStringLiteral("LAME"), HttpPrefix, LameWebSite});
    imgLame->setToolTip(lameHint);
    lblLameUrl->setToolTip(lameHint);
    SetCaption(lblConnectedBy, msgOptConnectedBy);
    for (QWidget* w : {imgQt, lblConnectedUrl})
        SetHint(w, msgOptConnectedHint);

    SetCaption(btnOK, msgCaptionOK, msgOptOKHint);
    SetCaption(btnCancel, msgCaptionCancel, msgOptCancelHint);
}

bool TSonabelOptionForm::ExecuteOptions() {
    LoadControls();
    return exec() == QDialog::Accepted;
}

void TSonabelOptionForm::LoadControls() {
    TSettings& s = Settings();
    cbLanguage->setCurrentIndex(s.Language);
    lblLameDesc->setText(LameVersion + QLatin1Char(' '));
    SetLink(lblLameUrl, LameWebSite, HttpPrefix + LameWebSite, QStringLiteral(" "));
    imgLame->setProperty(UrlProperty, HttpPrefix + LameWebSite);
    ApplyLanguage(); // the example suffix and the encoder's site hint
    editDefDir->setText(s.DestDir);
    editLameParams_CBR->setText(s.LameParams());
    editLameParams_ABR->setText(s.LameParamsABR());
    cbQuality->setCurrentIndex(qMin(s.Quality(), cbQuality->count() - 1));
    cbPriority->setCurrentIndex(PriorityIndex(s.Flags));
    lblLamePath->setText(s.LamePath);
    lblLamePath->setToolTip(s.LamePath);
    (s.Flags & flDestFolder ? rbDefDir : rbSameDir)->setChecked(true);
    for (int i = 0; i < FlagBoxCount; ++i)
        FlagBoxes[i]->setChecked(s.Flags & FlagBoxBits[i]);
    s.DelayS = qBound(MinDelayMinutes * 60, s.DelayS, MaxDelayMinutes * 60);
    spinTimer->SetValue(s.DelayS / 60);
    spinJobs->SetValue(s.Jobs);
    gbNewFiles->Load(s);
    UpdateEnabling();
}

void TSonabelOptionForm::StoreControls() {
    TSettings& s = Settings();
    s.DestDir = editDefDir->text();
    s.LameParams() = editLameParams_CBR->text();
    s.LameParamsABR() = editLameParams_ABR->text();
    quint32 flags = (s.Flags & ~flQualityMask) | quint32(cbQuality->currentIndex());
    s.LamePath = lblLamePath->text();
    flags = rbDefDir->isChecked() ? flags | flDestFolder : flags & ~flDestFolder;
    for (int i = 0; i < FlagBoxCount; ++i)
        flags = FlagBoxes[i]->isChecked() ? flags | FlagBoxBits[i] : flags & ~FlagBoxBits[i];
    s.Flags = SetPriorityIndex(flags, cbPriority->currentIndex());
    s.DelayS = spinTimer->Value() * 60;
    s.Jobs = spinJobs->Value();
    gbNewFiles->Store(s);
}

void TSonabelOptionForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    UpdateEnabling();
}

bool TSonabelOptionForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const QString url = watched->property(UrlProperty).toString();
        if (!url.isEmpty() && OpenUrl)
            OpenUrl(QUrl(url));
    }
    return QDialog::eventFilter(watched, event);
}

void TSonabelOptionForm::UpdateEnabling() {
    const bool defDir = rbDefDir->isChecked();
    editDefDir->setEnabled(defDir);
    btnDefDir->setEnabled(defDir);
    cbKeepSubDirs->setEnabled(defDir);
    cbCompactTag->setEnabled(cbKeepTagV2->isChecked());
    spinTimer->setEnabled(cbTimer->isChecked());
    if (PageControl->currentWidget() == sheetHelp)
        memoHelp->setFocus();
}

void TSonabelOptionForm::accept() {
    if (!FormCloseQuery())
        return;
    StoreControls();
    QDialog::accept();
}

void TSonabelOptionForm::Fail(int msg, const QString& path) {
    Reporter->AskUser(MsgFmt(TMsgId(msg), {QDir::toNativeSeparators(path)}), TDialogType::Error,
                      mbOK);
}

bool TSonabelOptionForm::FormCloseQuery() {
    if (!rbDefDir->isChecked())
        return true;
    const QString text = editDefDir->text().trimmed();
    const QString path =
        text.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(text).absoluteFilePath());
    editDefDir->setText(path);
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
    const QString chosen = ChooseFolder(editDefDir->text());
    if (!chosen.isEmpty())
        editDefDir->setText(chosen);
}

void TSonabelOptionForm::SelectLamePath() {
    if (!ChooseEncoder)
        return;
    const QString chosen = ChooseEncoder(lblLamePath->text());
    if (chosen.isEmpty())
        return;
    if (!IsEncoderFileName(chosen)) {
        Reporter->AskUser(MsgFmt(msgLameWrongFile, {QDir::toNativeSeparators(chosen),
                                                    QString::fromLatin1(LameExeName)}),
                          TDialogType::Error, mbOK);
        return;
    }
    lblLamePath->setText(chosen);
    lblLamePath->setToolTip(chosen);
}

void TSonabelOptionForm::ShowLameHelp() {
    const QString title = FormatMsg(QStringLiteral("%s - %s"), {AppTitle, Msg(msgLameHelpTitle)});
    // Shown whatever the run gave, even nothing.
    TextForm->ShowText(title, ReadLameHelp(lblLamePath->text()));
}

void TSonabelOptionForm::ShowCmdLine(int mode) {
    QLineEdit* edit = mode == 0 ? editLameParams_CBR : editLameParams_ABR;
    const bool noB = (mode == 0 ? cbNoB_CBR : cbNoB_ABR)->isChecked();
    const bool noQ = (mode == 0 ? cbNoQ_CBR : cbNoQ_ABR)->isChecked();
    const QString params = BuildLameParams(edit->text(), mode, noB, cbPriority->currentIndex(),
                                           cbQuality->currentIndex(), TargetBitRate, noQ);
    constexpr int WavSource = 3; // no input option
    Reporter->ShowInfo(
        QString::fromLatin1(LameExeName) +
        BuildLameArguments(WavSource, params, Msg(msgCmdLineInput), Msg(msgCmdLineOutput)));
}

void TSonabelOptionForm::LanguageChanged(int index) {
    if (index < 0 || index >= LanguageCount)
        return;
    Settings().Language = index;
    SetLanguage(index, true);
}
