#pragma once
// The main window's start-up steps that are not about its parts: finding the
// encoder, and where the window stands on the screen from one session to the
// next.

#include "settings/RegFile.h"

#include <QString>

class QWidget;
class TReporter;
class TWindowPrompts;
struct TSettings;

// The stored path, else one in the program folder or the PATH, else the user
// is asked to find it. False when the user gave up.
bool LocateEncoder(TSettings& settings, const QString& appDir, TWindowPrompts& prompts,
                   TReporter& reporter);

// The placement is the client area's (the window manager's frame is left
// out), so what was saved is where the window comes back, to the pixel.
TPlacement PlacementOf(const QWidget& window);
void RestorePlacement(QWidget& window, const TPlacement& placement);
