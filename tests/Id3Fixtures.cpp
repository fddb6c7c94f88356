#include "Id3Fixtures.h"

#include "TestUtil.h"

#include <QFile>
#include <QStandardPaths>
#include <QStringList>

namespace Id3Fixtures {

QByteArray SyncSafe(quint32 n) {
    // Written out here rather than by the reader's encoder, so a fault there shows.
    const char b[4] = {char(n >> 21 & 0x7F), char(n >> 14 & 0x7F), char(n >> 7 & 0x7F),
                       char(n & 0x7F)};
    return QByteArray(b, 4);
}

QByteArray Tag(quint8 major, quint8 flags, const QByteArray& body) {
    const QByteArray h = char(major) + QByteArray(1, '\0') + char(flags) + SyncSafe(body.size());
    return "ID3" + h + body + (flags & 0x10 ? "3DI" + h : QByteArray());
}

QByteArray Frame(int major, const QByteArray& id, const QByteArray& data) {
    const quint32 n = quint32(data.size());
    if (major == 2)
        return id + TestUtil::Be32(n).mid(1) + data;
    return id + (major == 3 ? TestUtil::Be32(n) : SyncSafe(n)) + QByteArray(2, '\0') + data;
}

QString MutagenPython() {
    QFile f(QStandardPaths::findExecutable("mid3v2"));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray first = f.readLine().trimmed();
    return first.startsWith("#!") ? QString::fromLocal8Bit(first.mid(2)).split(' ').first()
                                  : QString();
}

} // namespace Id3Fixtures
