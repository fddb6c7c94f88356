#include "gui/OptionsGeneralPage.h"
#include "gui/NewFilesGroup.h"

#include "encoder/OutputNaming.h"
#include "gui/LanguageTexts.h"
#include "gui/Spin.h"
#include "messages/FormatMsg.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

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

} // namespace

TOptionsGeneralPage::TOptionsGeneralPage(QWidget* parent) : TOptionsPage(parent) {
    setObjectName(QStringLiteral("sheetGeneral"));
    auto* page = new QVBoxLayout(this);
    page->addWidget(NewInterfaceGroup());
    page->addWidget(NewOutputGroup());
    page->addWidget(NewMp3Group());
    page->addStretch(1);
    for (QAbstractButton* b :
         {static_cast<QAbstractButton*>(rbSameDir), static_cast<QAbstractButton*>(rbDefDir),
          static_cast<QAbstractButton*>(cbTimer), static_cast<QAbstractButton*>(cbKeepTagV2)})
        connect(b, &QAbstractButton::toggled, this, &TOptionsGeneralPage::UpdateEnabling);
}

QGroupBox* TOptionsGeneralPage::NewInterfaceGroup() {
    gbInterface = Named(new QGroupBox(this), "gbInterface");
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
    auto* grid = new QGridLayout(gbInterface);
    auto* language = new QHBoxLayout;
    language->addWidget(lblLanguage);
    language->addWidget(cbLanguage);
    language->addStretch(1);
    grid->addLayout(language, 0, 0, 1, 2);
    grid->addWidget(cbShortPath, 1, 0, 1, 2);
    grid->addWidget(cbConfirmSave, 2, 0, 1, 2);
    grid->addWidget(cbAutoUpdate, 3, 0);
    grid->addWidget(btnCheckNow, 3, 1);
    auto* timer = new QHBoxLayout;
    timer->addWidget(cbTimer);
    timer->addWidget(spinTimer);
    timer->addWidget(lblMinutes);
    timer->addStretch(1);
    grid->addLayout(timer, 4, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    return gbInterface;
}

QGroupBox* TOptionsGeneralPage::NewOutputGroup() {
    gbOutput = Named(new QGroupBox(this), "gbOutput");
    rbSameDir = Named(new QRadioButton(gbOutput), "rbSameDir");
    rbDefDir = Named(new QRadioButton(gbOutput), "rbDefDir");
    editDefDir = Named(new QLineEdit(gbOutput), "editDefDir");
    btnDefDir = Named(new QToolButton(gbOutput), "btnDefDir");
    btnDefDir->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    cbKeepSubDirs = NewCheck("cbKeepSubDirs", gbOutput);
    cbKeepTime = NewCheck("cbKeepTime", gbOutput);
    auto* column = new QVBoxLayout(gbOutput);
    column->addWidget(rbSameDir);
    auto* defDir = new QHBoxLayout;
    defDir->addWidget(rbDefDir);
    defDir->addWidget(editDefDir, 1);
    defDir->addWidget(btnDefDir);
    column->addLayout(defDir);
    column->addLayout(Indented(cbKeepSubDirs));
    column->addWidget(cbKeepTime);
    gbNewFiles = new TNewFilesGroup(gbOutput);
    column->addWidget(gbNewFiles);
    return gbOutput;
}

QGroupBox* TOptionsGeneralPage::NewMp3Group() {
    gbMp3 = Named(new QGroupBox(this), "gbMp3");
    cbKeepTagV2 = NewCheck("cbKeepTagV2", gbMp3);
    cbCompactTag = NewCheck("cbCompactTag", gbMp3);
    cbKeepTagV1 = NewCheck("cbKeepTagV1", gbMp3);
    cbBRHigher = NewCheck("cbBRHigher", gbMp3);
    cbCopyData = NewCheck("cbCopyData", gbMp3);
    auto* column = new QVBoxLayout(gbMp3);
    column->addWidget(cbKeepTagV2);
    column->addLayout(Indented(cbCompactTag));
    column->addWidget(cbKeepTagV1);
    column->addWidget(cbBRHigher);
    column->addWidget(cbCopyData);
    return gbMp3;
}

void TOptionsGeneralPage::ApplyLanguage() {
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
}

void TOptionsGeneralPage::Load(const TSettings& s) {
    cbLanguage->setCurrentIndex(s.Language);
    editDefDir->setText(s.DestDir);
    (s.Flags & flDestFolder ? rbDefDir : rbSameDir)->setChecked(true);
    spinTimer->SetValue(qBound(MinDelayMinutes, s.DelayS / 60, MaxDelayMinutes));
    gbNewFiles->Load(s);
    UpdateEnabling();
}

void TOptionsGeneralPage::Store(TSettings& s) const {
    s.DestDir = editDefDir->text();
    s.Flags = rbDefDir->isChecked() ? s.Flags | flDestFolder : s.Flags & ~flDestFolder;
    s.DelayS = spinTimer->Value() * 60;
    gbNewFiles->Store(s);
}

void TOptionsGeneralPage::SetUpdateCheckShown(bool shown) {
    cbAutoUpdate->setVisible(shown);
    btnCheckNow->setVisible(shown);
}

void TOptionsGeneralPage::UpdateEnabling() {
    const bool defDir = rbDefDir->isChecked();
    editDefDir->setEnabled(defDir);
    btnDefDir->setEnabled(defDir);
    cbKeepSubDirs->setEnabled(defDir);
    cbCompactTag->setEnabled(cbKeepTagV2->isChecked());
    spinTimer->setEnabled(cbTimer->isChecked());
}
