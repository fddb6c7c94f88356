#pragma once
// How every window writes its language texts: each ApplyLanguage() is a list
// of these calls, one per control, all reading the message table.

#include "messages/Messages.h"

#include <QString>

class QAbstractButton;
class QGroupBox;
class QLabel;
class QWidget;

// No hint: the control's tool tip is emptied.
inline constexpr int NoHint = -1;

void SetCaption(QLabel* label, TMsgId caption, int hint = NoHint);
void SetCaption(QAbstractButton* button, TMsgId caption, int hint = NoHint);
void SetCaption(QGroupBox* group, TMsgId caption, int hint = NoHint);
void SetHint(QWidget* widget, int hint);

// Qt's own texts (the standard buttons of message boxes, file dialogs) in the
// language of that index of the language table, when Qt's translations are
// installed; English otherwise.
void ApplyToolkitLanguage(int languageIndex);

class QKeySequence;
// A window-wide key that presses the button while it is enabled; its hint,
// rewritten by each language change, is followed by the key (AddKeyToHint).
void BindButtonKey(QAbstractButton* button, const QKeySequence& key);
void AddKeyToHint(QAbstractButton* button, const QKeySequence& key);
// A caption without its mnemonic marks, for accessible names.
QString PlainCaption(TMsgId caption);
