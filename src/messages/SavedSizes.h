#pragma once
// Sizes and durations as the end of a run shows them, in the current language.

#include <QString>

// Bytes in KB below 1 MB, MB below 1 GB, then GB (units of 1024); one decimal
// below 10 of the unit, none above.
QString SizeText(qint64 bytes);
// "before 980 KB, after 119 KB (88 % smaller)"; larger when the outputs grew.
QString SavedSizesText(qint64 sourceBytes, qint64 outputBytes);
// Seconds, minutes and seconds, or hours and minutes.
QString DurationText(qint64 ms);
