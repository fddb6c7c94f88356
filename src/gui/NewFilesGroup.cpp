#include "gui/NewFilesGroup.h"

#include "messages/Messages.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

TNewFilesGroup::TNewFilesGroup(QWidget* parent)
    : QWidget(parent), cbSkipDone(new QCheckBox(this)), cbReplace(new QCheckBox(this)),
      lblReplaceBeside(new QLabel(this)) {
    setObjectName(QStringLiteral("gbNewFiles"));
    cbSkipDone->setObjectName(QStringLiteral("cbSkipDone"));
    cbReplace->setObjectName(QStringLiteral("cbReplace"));
    lblReplaceBeside->setObjectName(QStringLiteral("lblReplaceBeside"));
    lblReplaceBeside->setWordWrap(true);
    lblReplaceBeside->setVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(cbSkipDone);
    layout->addWidget(cbReplace);
    layout->addWidget(lblReplaceBeside);
    // The output folder choice does not apply while sources are replaced.
    connect(cbReplace, &QCheckBox::toggled, lblReplaceBeside, &QLabel::setVisible);
    ApplyLanguage();
}

void TNewFilesGroup::ApplyLanguage() {
    cbSkipDone->setText(Msg(msgOptSkipDone));
    cbSkipDone->setToolTip(Msg(msgOptSkipDoneHint));
    cbReplace->setText(Msg(msgOptReplace));
    cbReplace->setToolTip(Msg(msgOptReplaceHint));
    lblReplaceBeside->setText(Msg(msgOptReplaceBeside));
}

void TNewFilesGroup::Load(const TSettings& s) {
    cbSkipDone->setChecked(s.SkipDone);
    cbReplace->setChecked(s.ReplaceSources);
    lblReplaceBeside->setVisible(s.ReplaceSources);
}

void TNewFilesGroup::Store(TSettings& s) const {
    s.SkipDone = cbSkipDone->isChecked();
    s.ReplaceSources = cbReplace->isChecked();
}
