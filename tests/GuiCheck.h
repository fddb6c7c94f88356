#pragma once
// Looks at a window as a user would, in every language: grabs it to a PNG in
// the build folder and lists what would look broken (a blank picture, sibling
// controls on top of each other, controls outside their parent, captions
// wider or taller than their control).

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace GuiCheck {

// Saves the window's picture as <build>/tests/grabs/<name>.png; returns the
// path, or an empty string when the picture could not be written.
QString Grab(QWidget* window, const QString& name);
// Shows the window in each language (applyLanguage writes its texts), lets
// the layouts settle, grabs "<name>_ENG.png" / "<name>_FRN.png" and fails the
// running test with every problem found, prefixed by the language code; every
// page of a tab widget is looked at, only the current one is grabbed.
void CheckInLanguages(QWidget* window, const QString& name,
                      const std::function<void()>& applyLanguage);

} // namespace GuiCheck
