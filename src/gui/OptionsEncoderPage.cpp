#include "gui/OptionsEncoderPage.h"

#include "encoder/EncoderFacts.h"
#include "encoder/ProcessRunner.h"
#include "encoder/SonabelMisc.h"
#include "gui/LanguageTexts.h"
#include "gui/Spin.h"
#include "messages/FormatMsg.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Object names end in the mode's name: "editLameParams_CBR".
const char* const ModeNames[2] = {"_CBR", "_ABR"};

template <class W> W* NamedFor(W* widget, const char* name, int mode) {
    widget->setObjectName(QLatin1String(name) + QLatin1String(ModeNames[mode]));
    return widget;
}

} // namespace

TOptionsEncoderPage::TOptionsEncoderPage(QWidget* parent) : TOptionsPage(parent) {
    setObjectName(QStringLiteral("sheetEncoder"));
    auto* page = new QVBoxLayout(this);
    page->addWidget(NewEncoderGroup());
    page->addWidget(NewParamsGroup());
    page->addStretch(1);
    connect(btnLamePath, &QToolButton::clicked, this, &TOptionsEncoderPage::LamePathRequested);
    for (int mode = 0; mode < 2; ++mode) {
        connect(btnLameHelp[mode], &QToolButton::clicked, this,
                &TOptionsEncoderPage::LameHelpRequested);
        connect(btnLameCmdLine[mode], &QToolButton::clicked, this,
                [this, mode] { Q_EMIT CommandLineRequested(mode); });
    }
}

QGroupBox* TOptionsEncoderPage::NewEncoderGroup() {
    gbEncoder = Named(new QGroupBox(this), "gbEncoder");
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
    auto* grid = new QGridLayout(gbEncoder);
    auto* lamePath = new QHBoxLayout;
    lamePath->addWidget(lblLamePath, 1);
    lamePath->addWidget(btnLamePath);
    grid->addLayout(lamePath, 0, 0, 1, 3);
    const std::pair<QLabel*, QWidget*> rows[] = {
        {lblQuality, cbQuality}, {lblPriority, cbPriority}, {lblJobs, spinJobs}};
    int row = 1;
    for (const auto& [label, control] : rows) {
        label->setBuddy(control);
        grid->addWidget(label, row, 0);
        grid->addWidget(control, row++, 1);
    }
    grid->setColumnStretch(2, 1);
    return gbEncoder;
}

QGroupBox* TOptionsEncoderPage::NewParamsGroup() {
    gbParams = Named(new QGroupBox(this), "gbParams");
    auto* column = new QVBoxLayout(gbParams);
    for (int mode = 0; mode < 2; ++mode) {
        if (mode > 0)
            column->addSpacing(6);
        lblMode[mode] = Named(new QLabel(gbParams), mode == 0 ? "lblCBR" : "lblABR");
        editLameParams[mode] = NamedFor(new QLineEdit(gbParams), "editLameParams", mode);
        lblMode[mode]->setBuddy(editLameParams[mode]);
        btnLameHelp[mode] = NamedFor(new QToolButton(gbParams), "btnLameHelp", mode);
        btnLameHelp[mode]->setText(QStringLiteral("?"));
        btnLameCmdLine[mode] = NamedFor(new QToolButton(gbParams), "btnLameCmdLine", mode);
        btnLameCmdLine[mode]->setText(QStringLiteral("T"));
        cbNoB[mode] = NamedFor(new QCheckBox(gbParams), "cbNoB", mode);
        cbNoQ[mode] = NamedFor(new QCheckBox(gbParams), "cbNoQ", mode);
        column->addWidget(lblMode[mode]);
        auto* line = new QHBoxLayout;
        line->addWidget(editLameParams[mode], 1);
        line->addWidget(btnLameHelp[mode]);
        line->addWidget(btnLameCmdLine[mode]);
        column->addLayout(line);
        column->addWidget(cbNoB[mode]);
        column->addWidget(cbNoQ[mode]);
    }
    return gbParams;
}

void TOptionsEncoderPage::ApplyLanguage() {
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
    for (int mode = 0; mode < 2; ++mode) {
        SetCaption(lblMode[mode], mode == 0 ? msgModeCBR : msgModeABR);
        SetHint(editLameParams[mode], msgOptParamsHint);
        SetCaption(cbNoB[mode], msgOptNoB, msgOptNoBHint);
        SetCaption(cbNoQ[mode], msgOptNoQ, msgOptNoQHint);
        SetHint(btnLameHelp[mode], msgOptLameHelpHint);
        SetHint(btnLameCmdLine[mode], msgOptCmdLineHint);
    }
}

void TOptionsEncoderPage::Load(const TSettings& s) {
    for (int mode = 0; mode < 2; ++mode)
        editLameParams[mode]->setText(s.LameParamsByMode[mode]);
    cbQuality->setCurrentIndex(qMin(s.Quality(), cbQuality->count() - 1));
    cbPriority->setCurrentIndex(PriorityIndex(s.Flags));
    SetLamePath(s.LamePath);
    spinJobs->SetValue(s.Jobs);
}

void TOptionsEncoderPage::Store(TSettings& s) const {
    for (int mode = 0; mode < 2; ++mode)
        s.LameParamsByMode[mode] = editLameParams[mode]->text();
    s.LamePath = LamePath();
    s.Flags = SetPriorityIndex((s.Flags & ~flQualityMask) | quint32(cbQuality->currentIndex()),
                               cbPriority->currentIndex());
    s.Jobs = spinJobs->Value();
}

void TOptionsEncoderPage::SetLamePath(const QString& path) {
    lblLamePath->setText(path);
    lblLamePath->setToolTip(path);
}

QString TOptionsEncoderPage::LamePath() const {
    return lblLamePath->text();
}

QString TOptionsEncoderPage::CommandLinePreview(int mode) const {
    const QString params = BuildLameParams(
        editLameParams[mode]->text(), mode, cbNoB[mode]->isChecked(), cbPriority->currentIndex(),
        cbQuality->currentIndex(), TargetBitRate, cbNoQ[mode]->isChecked());
    // Built as the batch builds it, for a WAV source, which takes no input option: the
    // priority leaves the arguments for the niceness.
    const TPriorityTranslation run = TranslatePriority(
        BuildLameArgumentList(SourceWAV, params, Msg(msgCmdLineInput), Msg(msgCmdLineOutput)));
    QString shown =
        QString::fromLatin1(LameExeName) + QLatin1Char(' ') + JoinCommandLine(run.Arguments);
    if (run.Niceness)
        shown += QLatin1Char('\n') + MsgFmt(msgCmdLineNiceness, {*run.Niceness});
    return shown;
}
