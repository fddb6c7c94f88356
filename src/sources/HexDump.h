#pragma once
// A hex and text dump of a stretch of a file, one line per group of bytes, as
// shown by the properties window for a selected tag frame.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class TReporter;

// A progress bar the dump may drive: its range, then its position.
using TDumpProgress = std::function<void(qint64 minimum, qint64 maximum, qint64 position)>;

// One dump line: the offset (when shown, relative to base) as 8 hex digits and
// ": ", count bytes as hex pairs padded to width, then the bytes as text.
QString FormatDumpLine(int count, int width, qint64 offset, const QByteArray& bytes, bool showAscii,
                       bool showOffset, qint64 base);

// Replaces lines by the dump of size bytes from offset (offset < 0 means 0,
// size < 0 up to the end of the file). the file-not-found and read-error texts go
// to the reporter; the lines written before a read error stay.
void HexDump(const QString& path, qint64 offset, qint64 size, const TDumpProgress& progress,
             QStringList* lines, bool showAscii, bool showOffset, bool relativeOffsets,
             int bytesPerLine, TReporter* reporter);
