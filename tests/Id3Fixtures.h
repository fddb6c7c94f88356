#pragma once
// ID3v2 tags and frames built byte by byte, shared by the tag tests.

#include <QByteArray>
#include <QString>

namespace Id3Fixtures {

// A literal with every byte, embedded zero bytes included.
template <size_t N> QByteArray B(const char (&s)[N]) {
    return QByteArray(s, N - 1);
}

// The four 7-bit size bytes of an ID3v2 header.
QByteArray SyncSafe(quint32 n);
// "ID3", major, revision 0, flags, 7-bit body size (without header and footer),
// body; when flag 0x10, a footer repeating the header with "3DI".
QByteArray Tag(quint8 major, quint8 flags, const QByteArray& body);
// Major 3 and 4 frames: 4-byte id, size (32-bit big-endian for 3, 7-bit for 4),
// two flag bytes, data. Major 2: 3-byte id, 24-bit big-endian size, data.
QByteArray Frame(int major, const QByteArray& id, const QByteArray& data);
// The interpreter that carries mutagen: the one named by mid3v2's first line;
// empty when mid3v2 is missing.
QString MutagenPython();

} // namespace Id3Fixtures
