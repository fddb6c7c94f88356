#pragma once
// How long a run took, as its end shows it, in the current language.

#include <QString>

// Seconds, minutes and seconds, or hours and minutes.
QString DurationText(qint64 ms);
