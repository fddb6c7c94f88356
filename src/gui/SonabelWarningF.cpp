#include "gui/SonabelWarningF.h"

#include "gui/LanguageTexts.h"
#include "gui/Named.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

TSonabelWarningForm::TSonabelWarningForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SonabelWarningForm"));
    resize(460, 360);

    Image = Named(new QLabel(this), "Image");
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    Image->setPixmap(style()
                         ->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this)
                         .pixmap(iconSize, iconSize));
    Image->setFixedSize(iconSize, iconSize);

    lblMessage = Named(new QLabel(this), "lblMessage");
    lblMessage->setWordWrap(true);
    lblMessage->setTextFormat(Qt::PlainText);
    lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Memo = Named(new QPlainTextEdit(this), "Memo");
    Memo->setReadOnly(true);
    // Selectable with the mouse only, so the read-only list shows no caret.
    Memo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Memo->setLineWrapMode(QPlainTextEdit::NoWrap);

    gbChoice = Named(new QGroupBox(this), "gbChoice");
    rbAbort = Named(new QRadioButton(gbChoice), "rbAbort");
    rbGoodFiles = Named(new QRadioButton(gbChoice), "rbGoodFiles");
    rbAllFiles = Named(new QRadioButton(gbChoice), "rbAllFiles");
    auto* choices = new QVBoxLayout(gbChoice);
    for (QRadioButton* rb : {rbAbort, rbGoodFiles, rbAllFiles})
        choices->addWidget(rb);

    btnValidate = Named(new QPushButton(this), "btnValidate");
    btnValidate->setDefault(true);
    connect(btnValidate, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(Image, 0, Qt::AlignTop);
    top->addWidget(lblMessage, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(gbChoice, 1);
    bottom->addWidget(btnValidate, 0, Qt::AlignBottom);
    auto* form = new QVBoxLayout(this);
    form->addLayout(top);
    form->addWidget(Memo, 1);
    form->addLayout(bottom);

    rbAbort->setChecked(true);
    ApplyLanguage();
}

void TSonabelWarningForm::ApplyLanguage() {
    SetCaption(gbChoice, msgWarnGroup);
    SetCaption(rbAbort, msgWarnAbort, msgWarnAbortHint);
    SetCaption(rbGoodFiles, msgWarnGoodFiles, msgWarnGoodFilesHint);
    SetCaption(rbAllFiles, msgWarnAllFiles, msgWarnAllFilesHint);
    SetCaption(btnValidate, msgWarnValidate, msgWarnValidateHint);
    SetHint(Memo, msgWarnListHint);
}

void TSonabelWarningForm::Prepare(const QString& caption, const QString& message,
                                  const QStringList& items, bool goodFilesEnabled,
                                  bool allFilesEnabled) {
    setWindowTitle(caption);
    lblMessage->setText(message);
    Memo->setPlainText(items.join(u'\n'));
    rbAbort->setChecked(true);
    rbGoodFiles->setEnabled(goodFilesEnabled);
    rbAllFiles->setEnabled(allFilesEnabled);
    btnValidate->setFocus();
}

TWarningAnswer TSonabelWarningForm::ShowWarningList(const QString& caption, const QString& message,
                                                    const QStringList& items, bool goodFilesEnabled,
                                                    bool allFilesEnabled) {
    Prepare(caption, message, items, goodFilesEnabled, allFilesEnabled);
    exec();
    return Answer();
}

TWarningAnswer TSonabelWarningForm::Answer() const {
    // A disabled choice can still be checked from code; it never counts.
    if (result() != QDialog::Accepted)
        return TWarningAnswer::Abort;
    if (rbGoodFiles->isChecked() && rbGoodFiles->isEnabled())
        return TWarningAnswer::GoodFilesOnly;
    if (rbAllFiles->isChecked() && rbAllFiles->isEnabled())
        return TWarningAnswer::AllFiles;
    return TWarningAnswer::Abort;
}
