#pragma once
// Gives a new widget or action its object name, which tests and style sheets
// find it by, in the expression that creates it.

#include <QLatin1String>

template <class W> W* Named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}
