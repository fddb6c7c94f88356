#include "WavStream.h"

#include "MP3Stream.h"
#include "MulDiv.h"

#include <QtEndian>
#include <cstring>

namespace {

// Offsets within the first 16 bytes of the "fmt " chunk.
constexpr int FmtFormatTag = 0;      // uint16 wFormatTag
constexpr int FmtChannels = 2;       // uint16 nChannels
constexpr int FmtSamplesPerSec = 4;  // uint32 nSamplesPerSec
constexpr int FmtAvgBytesPerSec = 8; // uint32 nAvgBytesPerSec
constexpr int FmtBlockAlign = 12;    // uint16 nBlockAlign
constexpr int FmtReadLength = 16;    // wBitsPerSample (bytes 14-15) is not used
// WAVE_FORMAT_EXTENSIBLE: cbSize, valid bits and channel mask, then the
// sub-format GUID, whose first 4 bytes are a format code and the other 12 fixed.
constexpr int FmtSubFormat = 24;
constexpr int FmtExtensibleLength = 40;
constexpr uchar SubFormatGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                         0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr int RiffHeaderLength = 12; // "RIFF", uint32 size, "WAVE"
constexpr int ChunkHeaderLength = 8; // 4-byte id, uint32 size

} // namespace

TWAVReadStream::TWAVReadStream(const QString& fileName, quint16 mode)
    : TFileStream(fileName, mode) {
    try {
        Analyse();
    } catch (...) {
        Info = TWAVInfo();
        throw;
    }
}

void TWAVReadStream::Analyse() {
    const qint64 fileSize = Size();
    if (fileSize >= MaxStreamFileSize)
        throw EFOpenError(FileName());
    Info.FileSize = qint32(fileSize);

    uchar riff[RiffHeaderLength] = {};
    Seek(0);
    Read(riff, RiffHeaderLength);
    if (std::memcmp(riff, "RIFF", 4) != 0 ||
        qint64(qFromLittleEndian<quint32>(riff + 4)) != fileSize - 8 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        throw EFOpenError(FileName());

    qint64 pos = RiffHeaderLength;
    while (pos < fileSize) {
        uchar head[ChunkHeaderLength] = {};
        Seek(pos);
        Read(head, ChunkHeaderLength);
        const qint64 dataOffset = Position();
        // Sizes are unsigned: a huge one simply runs past the end of the file.
        const qint64 size = qFromLittleEndian<quint32>(head + 4);
        const qint64 next = dataOffset + size + (size & 1);
        if (next > fileSize)
            throw EFOpenError(FileName());

        if (std::memcmp(head, "fmt ", 4) == 0) {
            uchar fmt[FmtExtensibleLength] = {};
            Read(fmt, size >= FmtExtensibleLength ? FmtExtensibleLength : FmtReadLength);
            Info.FormatTag = qFromLittleEndian<quint16>(fmt + FmtFormatTag);
            Info.Channels = qFromLittleEndian<quint16>(fmt + FmtChannels);
            Info.SampleRate = qint32(qFromLittleEndian<quint32>(fmt + FmtSamplesPerSec));
            Info.AvgBytesPerSec = qint32(qFromLittleEndian<quint32>(fmt + FmtAvgBytesPerSec));
            Info.BlockAlign = qFromLittleEndian<quint16>(fmt + FmtBlockAlign);
            Info.SubFormat = 0;
            if (Info.FormatTag == WavFormatExtensible && size >= FmtExtensibleLength &&
                std::memcmp(fmt + FmtSubFormat + 4, SubFormatGuidTail, 12) == 0)
                Info.SubFormat = qint32(qFromLittleEndian<quint32>(fmt + FmtSubFormat));
        } else if (std::memcmp(head, "data", 4) == 0) {
            Info.DataStart = qint32(dataOffset);
            Info.DataSize = qint32(size);
            Info.DataEnd = Info.DataStart + Info.DataSize;
        }
        pos = next;
    }

    Info.BitRate = qint32(RoundHalfEven(Info.AvgBytesPerSec / 125.0));
    Info.Duration = MulDiv(Info.DataSize, 1000, Info.AvgBytesPerSec);
}

void GetWAVInfo(const QString& fileName, TWAVInfo& info) {
    info = TWAVInfo();
    try {
        TWAVReadStream reader(fileName, fmOpenRead);
        info = reader.Info;
    } catch (...) {
        info = TWAVInfo();
    }
    if (info.DataSize == 0)
        info = TWAVInfo();
}

TWAVInfo GetWAVInfo(const QString& fileName) {
    TWAVInfo info;
    GetWAVInfo(fileName, info);
    return info;
}
