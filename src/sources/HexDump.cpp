#include "sources/HexDump.h"

#include "formats/MulDiv.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"

#include <QFile>
#include <QFileInfo>

QString FormatDumpLine(int count, int width, qint64 offset, const QByteArray& bytes, bool showAscii,
                       bool showOffset, qint64 base) {
    QString line;
    if (showOffset)
        line += QStringLiteral("%1: ").arg(offset - base, 8, 16, QLatin1Char('0')).toUpper();
    for (int i = 0; i < count; ++i)
        line += QStringLiteral("%1 ").arg(quint8(bytes[i]), 2, 16, QLatin1Char('0')).toUpper();
    const int missing = std::max(0, width - count);
    line += QString(3 * missing, QLatin1Char(' '));
    if (showAscii) {
        line += QLatin1Char(' ');
        for (int i = 0; i < count; ++i)
            line += quint8(bytes[i]) < 32 ? QChar('.') : QChar(quint8(bytes[i]));
        line += QString(missing, QLatin1Char(' '));
    }
    return line;
}

namespace {

void Show(TReporter* reporter, TMsgId text) {
    if (reporter)
        reporter->ShowInfo(Msg(text));
}

} // namespace

void HexDump(const QString& path, qint64 offset, qint64 size, const TDumpProgress& progress,
             QStringList* lines, bool showAscii, bool showOffset, bool relativeOffsets,
             int bytesPerLine, TReporter* reporter) {
    if (!lines)
        return;
    lines->clear();
    if (!QFileInfo::exists(path)) {
        Show(reporter, msgDumpFileNotFound);
        return;
    }
    QFile file(path);
    if (bytesPerLine < 1 || !file.open(QIODevice::ReadOnly)) {
        Show(reporter, msgDumpReadError);
        return;
    }
    const qint64 start = std::max<qint64>(0, offset);
    const qint64 length = size < 0 ? file.size() : size;
    if (!file.seek(start)) {
        Show(reporter, msgDumpReadError);
        return;
    }
    if (progress)
        progress(1, length, 1);
    const qint64 base = relativeOffsets ? start : 0;
    qint64 position = 0;
    int tenths = 0;
    QByteArray buffer(bytesPerLine, '\0');
    // Each read must be whole: a frame reaching past the end of the file stops
    // the dump there, as a short read is an input error.
    auto readWhole = [&](int count) {
        if (file.read(buffer.data(), count) == count)
            return true;
        Show(reporter, msgDumpReadError);
        return false;
    };
    while (position + bytesPerLine <= length) {
        if (!readWhole(bytesPerLine))
            return;
        lines->append(FormatDumpLine(bytesPerLine, bytesPerLine, start + position, buffer,
                                     showAscii, showOffset, base));
        position += bytesPerLine;
        if (progress) {
            const int reached = MulDiv(10, qint32(position), qint32(length));
            if (reached > tenths) {
                tenths = reached;
                progress(1, length, position);
            }
        }
    }
    const int rest = int(length - position);
    if (rest > 0) {
        if (!readWhole(rest))
            return;
        lines->append(FormatDumpLine(rest, bytesPerLine, start + position, buffer, showAscii,
                                     showOffset, base));
        if (progress)
            progress(1, length, length);
    }
}
