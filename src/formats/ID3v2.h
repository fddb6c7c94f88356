#pragma once
// ID3v2 tag: the frame index built by the MPEG reader, its entries, the length
// a compacting copy keeps, raw frame text and the 7-bit size field.

#include "FileStream.h"

#include <QString>
#include <array>

class TMP3ReadStream;

// Raised when an index line's offset or size is not a decimal number.
class EConvertError : public ESonabelError {
public:
    using ESonabelError::ESonabelError;
};

namespace TagV2Layout {
inline constexpr int HeaderLength = 10;       // "ID3", major, revision, flags, size
inline constexpr int FlagsOffset = 5;         //
inline constexpr int SizeOffset = 6;          // 4 bytes, 7 significant bits each
inline constexpr quint8 FlagExtended = 0x40;  // extended header follows the header
inline constexpr quint8 FlagFooter = 0x10;    // "3DI" footer closes the tag
inline constexpr int FrameHeaderLength = 10;  // major 3+: id(4) size(4) flags(2)
inline constexpr int FrameHeaderLengthV2 = 6; // major 2: id(3) size(3)
} // namespace TagV2Layout

struct TFrameEntry {
    QString Id;
    qint32 Offset = 0; // file offset of the frame data
    qint32 Size = 0;   // data size from the frame header
};

// Walks the ID3v2 frames of a stream whose Info is filled; one "%s@%d~%d\r\n"
// line per frame header met, padding included.
QString BuildFrameIndex(TMP3ReadStream& stream);

// Splits a line at its first "@" and first "~"; EConvertError when the offset or
// size is not a decimal number.
TFrameEntry ParseFrameEntry(const QString& line);
// Empty identifier and size 0.
bool IsPaddingEntry(const QString& line);
// Tag length up to the end of the last frame before the first padding entry;
// 0 without lines or when the first line is padding.
qint64 KeptTagLength(const QString& frameIndex);

// The frame's data bytes, up to the end of the file; empty when unreadable.
// Never throws.
QByteArray ReadFrameData(const QString& fileName, qint64 offset, qint64 size);
// False for the URL frames (W..., except the user-defined WXXX/WXX), whose
// data is a bare Latin-1 address.
bool FrameHasEncodingByte(const QString& id);
// A frame's text as a reader means it: data starts with the encoding byte
// (0 Latin-1, 1 UTF-16 with byte order mark, 2 UTF-16BE, 3 UTF-8) unless the
// frame has none; the comment and lyrics frames' language code is left out.
// The text's fields (description, values) are joined by separator, empty
// ones dropped. Any bytes give some text; nothing throws.
QString DecodeFrameText(const QString& id, QByteArrayView data, QChar separator);

// Size bits 21-27, 14-20, 7-13 and 0-6, each in the low 7 bits of its byte.
std::array<quint8, 4> EncodeTagV2Size(quint32 size);
// Writes size into the tag header's size field (offset 6) of stream.
void WriteTagV2Size(TFileStream& stream, quint32 size);
