#pragma once
// One tab of the options window: it builds its own controls, writes their
// texts, and copies the settings into them and back. A new option group goes
// into the page it belongs to (or a page of its own) and needs nothing else.

#include "gui/Named.h"

#include <QWidget>

struct TSettings;

class TOptionsPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void ApplyLanguage() = 0;
    // Every control from the settings; nothing is written back.
    virtual void Load(const TSettings& s) = 0;
    // The controls into the settings, when the window is closed with OK.
    virtual void Store(TSettings& s) const = 0;
};
