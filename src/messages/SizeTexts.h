#pragma once
// Sizes as the user reads them, and what a run saved, in the current language.

#include <QString>

// "604 KB", "12.50 MB", "1.20 GB" (units of 1024; the language's decimal mark).
QString SizeText(qint64 bytes);
// "1.20 GB of 2.10 GB saved (57 %)" from the sources' and the outputs' bytes;
// when the outputs are larger, how much larger. Empty when no source counted.
QString SavedSizesText(qint64 sourceBytes, qint64 outputBytes);
