#include "ID3v2.h"

#include "MP3Stream.h"

#include <QStringList>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace TagV2Layout;

constexpr quint32 Be32(const quint8* b) {
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | b[3];
}
constexpr quint32 Be24(const quint8* b) {
    return quint32(b[0]) << 16 | quint32(b[1]) << 8 | b[2];
}
// byte0 * 2^21 + byte1 * 2^14 + byte2 * 2^7 + byte3; top bits are not masked.
constexpr quint32 SevenBit32(const quint8* b) {
    return quint32(b[0]) * (1u << 21) + quint32(b[1]) * (1u << 14) + quint32(b[2]) * (1u << 7) +
           b[3];
}

// The identifier is its bytes up to the first zero byte.
QByteArray Identifier(const quint8* b, int length) {
    const auto* text = reinterpret_cast<const char*>(b);
    return QByteArray(text, qsizetype(strnlen(text, size_t(length))));
}

void AppendLine(QByteArray& index, const QByteArray& id, qint64 offset, qint64 size) {
    index += id;
    index += '@';
    index += QByteArray::number(offset);
    index += '~';
    index += QByteArray::number(size);
    index += "\r\n";
}

// Where the first frame header lies. An extended header is skipped so its bytes
// are not taken for a frame: version 3 stores a size that excludes its own four
// bytes, version 4 and later a 7-bit size that includes them.
qint64 FirstFramePosition(TMP3ReadStream& stream) {
    const TMP3Info& info = stream.Info;
    qint64 pos = HeaderLength;
    if (info.TagV2Major < 3 || !(info.TagV2Flags & FlagExtended))
        return pos;
    quint8 b[4] = {};
    stream.Seek(pos);
    stream.Read(b, 4);
    if (info.TagV2Major == 3)
        return pos + 4 + qint64(Be32(b));
    return pos + qint64(SevenBit32(b));
}

void WalkFrames(TMP3ReadStream& stream, QByteArray& index) {
    const TMP3Info& info = stream.Info;
    const qint64 tagEnd = info.TagV2Size;
    if (info.TagV2Major >= 3) {
        qint64 pos = FirstFramePosition(stream);
        while (pos <= tagEnd - FrameHeaderLength) {
            quint8 h[FrameHeaderLength] = {};
            stream.Seek(pos);
            stream.Read(h, FrameHeaderLength);
            const quint32 size = info.TagV2Major == 3 ? Be32(h + 4) : SevenBit32(h + 4);
            // Offsets and sizes of the index are signed 32-bit.
            if (size > quint32(INT32_MAX))
                break;
            pos += FrameHeaderLength;
            // A footer is met as if it were a frame; its size field ends the walk.
            if (std::memcmp(h, "3DI", 3) != 0)
                AppendLine(index, Identifier(h, 4), pos, size);
            pos += size;
        }
    } else if (info.TagV2Major == 2) {
        qint64 pos = HeaderLength;
        while (pos <= tagEnd - FrameHeaderLengthV2) {
            quint8 h[FrameHeaderLengthV2] = {};
            stream.Seek(pos);
            stream.Read(h, FrameHeaderLengthV2);
            pos += FrameHeaderLengthV2;
            AppendLine(index, Identifier(h, 3), pos, Be24(h + 3));
            pos += Be24(h + 3);
        }
    }
}

// A decimal number as the runtime's integer conversion reads it: optional sign,
// digits, 32-bit range.
qint32 ToInt(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || text.isEmpty() || text.front().isSpace() || text.back().isSpace())
        throw EConvertError(TErrorId::NotAnInteger, {text});
    return value;
}

} // namespace

QString BuildFrameIndex(TMP3ReadStream& stream) {
    QByteArray index;
    if (stream.Info.TagV2Size >= 1)
        WalkFrames(stream, index);
    return QString::fromLatin1(index);
}

TFrameEntry ParseFrameEntry(const QString& line) {
    const qsizetype at = line.indexOf(QLatin1Char('@'));
    const qsizetype tilde = line.indexOf(QLatin1Char('~'));
    TFrameEntry entry;
    entry.Id = line.left(std::max<qsizetype>(at, 0));
    // A missing separator leaves an empty (and so invalid) number.
    const QString offset = at >= 0 && tilde > at ? line.mid(at + 1, tilde - at - 1) : QString();
    const QString size = tilde >= 0 ? line.mid(tilde + 1) : QString();
    entry.Offset = ToInt(offset);
    entry.Size = ToInt(size);
    return entry;
}

bool IsPaddingEntry(const QString& line) {
    const TFrameEntry entry = ParseFrameEntry(line);
    return entry.Id.isEmpty() && entry.Size == 0;
}

qint64 KeptTagLength(const QString& frameIndex) {
    const QStringList lines = frameIndex.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    qsizetype i = 0;
    while (i < lines.size() && !IsPaddingEntry(lines[i]))
        ++i;
    if (i == 0)
        return 0;
    const TFrameEntry last = ParseFrameEntry(lines[i - 1]);
    return qint64(last.Offset) + last.Size;
}

QByteArray ReadFrameData(const QString& fileName, qint64 offset, qint64 size) {
    if (size <= 0 || offset < 0)
        return QByteArray();
    try {
        TFileStream file(fileName, fmOpenRead);
        // Whatever the frame claims, the buffer never outgrows the file.
        const qint64 length = std::min(size, std::max<qint64>(0, file.Size() - offset));
        if (length <= 0)
            return QByteArray();
        QByteArray buffer(qsizetype(length), '\0');
        file.Seek(offset);
        file.Read(buffer.data(), length);
        return buffer;
    } catch (...) {
        return QByteArray();
    }
}

bool FrameHasEncodingByte(const QString& id) {
    return !id.startsWith(u'W') || id == QLatin1String("WXXX") || id == QLatin1String("WXX");
}

namespace {

enum : quint8 { EncLatin1 = 0, EncUtf16 = 1, EncUtf16BE = 2, EncUtf8 = 3 };

// One UTF-16 field; its own byte order mark wins, else the order given.
QString DecodeUtf16(QByteArrayView bytes, bool& bigEndian) {
    if (bytes.size() >= 2) {
        const auto b0 = quint8(bytes[0]), b1 = quint8(bytes[1]);
        if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
            bigEndian = b0 == 0xFE;
            bytes = bytes.sliced(2);
        }
    }
    std::u16string units;
    units.reserve(size_t(bytes.size() / 2));
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto hi = quint8(bytes[bigEndian ? i : i + 1]);
        const auto lo = quint8(bytes[bigEndian ? i + 1 : i]);
        units.push_back(char16_t((hi << 8) | lo));
    }
    // Lone surrogates become replacement characters.
    return QString::fromUtf16(units.data(), qsizetype(units.size()));
}

// The fields of a text, split at the encoding's terminator (two zero bytes on a
// character boundary for UTF-16, one zero byte otherwise).
QStringList DecodeFields(QByteArrayView bytes, quint8 encoding) {
    QStringList fields;
    const bool wide = encoding == EncUtf16 || encoding == EncUtf16BE;
    // Without a mark, UTF-16 text is most often written little-endian.
    bool bigEndian = encoding == EncUtf16BE;
    const qsizetype step = wide ? 2 : 1;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); i += step) {
        const bool end = i + step > bytes.size();
        if (!end && (bytes[i] != '\0' || (wide && bytes[i + 1] != '\0')))
            continue;
        const QByteArrayView field = bytes.sliced(start, (end ? bytes.size() : i) - start);
        if (wide)
            fields << DecodeUtf16(field, bigEndian);
        else if (encoding == EncUtf8)
            fields << QString::fromUtf8(field);
        else
            fields << QString::fromLatin1(field);
        start = i + step;
        if (end)
            break;
    }
    return fields;
}

bool HasLanguageCode(const QString& id) {
    static constexpr const char* withLanguage[] = {"COMM", "COM", "USLT", "ULT"};
    return std::any_of(std::begin(withLanguage), std::end(withLanguage),
                       [&](const char* known) { return id == QLatin1String(known); });
}

} // namespace

QString DecodeFrameText(const QString& id, QByteArrayView data, QChar separator) {
    quint8 encoding = EncLatin1;
    if (FrameHasEncodingByte(id) && !data.isEmpty()) {
        encoding = quint8(data[0]);
        data = data.sliced(1);
        if (encoding > EncUtf8) // unknown: shown as the bytes are
            encoding = EncLatin1;
    }
    if (HasLanguageCode(id))
        data = data.sliced(std::min<qsizetype>(3, data.size()));
    QStringList fields = DecodeFields(data, encoding);
    fields.removeAll(QString());
    return fields.join(separator);
}

std::array<quint8, 4> EncodeTagV2Size(quint32 size) {
    return {quint8((size >> 21) & 0x7F), quint8((size >> 14) & 0x7F), quint8((size >> 7) & 0x7F),
            quint8(size & 0x7F)};
}

void WriteTagV2Size(TFileStream& stream, quint32 size) {
    const std::array<quint8, 4> bytes = EncodeTagV2Size(size);
    stream.Seek(SizeOffset);
    stream.WriteBuffer(bytes.data(), qint64(bytes.size()));
}
