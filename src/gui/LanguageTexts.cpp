#include "gui/LanguageTexts.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

void SetHint(QWidget* widget, int hint) {
    widget->setToolTip(hint == NoHint ? QString() : Msg(TMsgId(hint)));
}

void SetCaption(QLabel* label, TMsgId caption, int hint) {
    label->setText(Msg(caption));
    SetHint(label, hint);
}

void SetCaption(QAbstractButton* button, TMsgId caption, int hint) {
    button->setText(Msg(caption));
    SetHint(button, hint);
}

void SetCaption(QGroupBox* group, TMsgId caption, int hint) {
    group->setTitle(Msg(caption));
    SetHint(group, hint);
}
