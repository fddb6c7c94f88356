#include "MP3Stream.h"

#include "MulDiv.h"

#include <QFile>
#include <cstring>

const std::array<const char*, 4> MPEGVersionNames = {"MPEG-2.5", "", "MPEG-2", "MPEG-1"};
const std::array<const char*, 4> MPEGLayerNames = {"", "Layer III", "Layer II", "Layer I"};

namespace {

// Bit rates in kbit/s by bit-rate index 0..15 (0: free format, 15: invalid).
constexpr int BitRatesV1[4][16] = {
    {},                                                                        // reserved layer
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},     // Layer III
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},    // Layer II
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}, // Layer I
};
// MPEG-2 and MPEG-2.5 (lower sampling frequencies).
constexpr int BitRatesV2[4][16] = {
    {},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
};
// Hz by version (0 = 2.5, 1 reserved, 2 = MPEG-2, 3 = MPEG-1) and index 0..3.
constexpr int SampleRates[4][4] = {
    {11025, 12000, 8000, 0},
    {0, 0, 0, 0},
    {22050, 24000, 16000, 0},
    {44100, 48000, 32000, 0},
};

constexpr int LayerI = 3;
constexpr int LayerII = 2;
constexpr int MpegV1 = 3;

bool SyncTest(quint32 h) {
    return (h & MpegHeader::SyncMask) == MpegHeader::SyncMask && MpegHeader::BitRateIndex(h) != 15;
}

} // namespace

int MpegBitRate(int version, int layer, int bitRateIndex) {
    if (version < 0 || version > 3 || version == 1 || layer < 1 || layer > 3 || bitRateIndex < 0 ||
        bitRateIndex > 15)
        return 0;
    return version == MpegV1 ? BitRatesV1[layer][bitRateIndex] : BitRatesV2[layer][bitRateIndex];
}

int MpegSampleRate(int version, int sampleRateIndex) {
    if (version < 0 || version > 3 || sampleRateIndex < 0 || sampleRateIndex > 3)
        return 0;
    return SampleRates[version][sampleRateIndex];
}

int MpegFrameLength(int version, int layer, int bitRate, int sampleRate, int padding) {
    if (layer == LayerI)
        return (padding + MulDiv(12000, bitRate, sampleRate)) * 4;
    const int coefficient = (layer == LayerII || version == MpegV1) ? 144 : 72;
    return MulDiv(coefficient * 1000, bitRate, sampleRate) + padding;
}

TMP3ReadStream::TMP3ReadStream(const QString& fileName, quint16 mode, quint8 options)
    : TFileStream(fileName, mode), TagV1Data(TagV1Length, '\0') {
    try {
        Analyse(options);
    } catch (...) {
        Info = TMP3Info();
        throw;
    }
}

// The magic tests take the bytes read up to the first zero byte as a text and
// compare it exactly.
bool TMP3ReadStream::ReadMagic(qint64 offset, const char* magic, int length, char fill) {
    char buf[8];
    std::memset(buf, fill, sizeof buf);
    Seek(offset);
    Read(buf, length);
    const int textLength = int(strnlen(buf, size_t(length)));
    return textLength == int(std::strlen(magic)) &&
           std::memcmp(buf, magic, size_t(textLength)) == 0;
}

quint8 TMP3ReadStream::ReadByte() {
    quint8 b = 0;
    Read(&b, 1);
    return b;
}

quint32 TMP3ReadStream::ReadHeader() {
    quint8 b[4] = {0, 0, 0, 0};
    Read(b, 4);
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | b[3];
}

void TMP3ReadStream::CountFrame(int bitRate, int length) {
    FrameOffset = Position() - 4;
    FrameBitRate = bitRate;
    FrameLength = length;
    ++Info.FrameCount;
    BitRateSum += bitRate;
}

bool TMP3ReadStream::FindFirstFrame() {
    Header = ReadHeader();
    while (Position() < Info.AudioEnd && !SyncTest(Header))
        Header = Header << 8 | ReadByte();
    FrameLength = FrameBitRate = FrameSampleRate = 0;
    if (!SyncTest(Header))
        return false;
    const int version = MpegHeader::Version(Header);
    const int layer = MpegHeader::Layer(Header);
    Expected = Header & MpegHeader::VersionLayerMask;
    const int bitRate = MpegBitRate(version, layer, MpegHeader::BitRateIndex(Header));
    const int sampleRate = MpegSampleRate(version, MpegHeader::SampleRateIndex(Header));
    if (bitRate == 0 || sampleRate == 0)
        return false;
    Info.Version = version;
    Info.Layer = layer;
    FrameSampleRate = sampleRate;
    CountFrame(bitRate,
               MpegFrameLength(version, layer, bitRate, sampleRate, MpegHeader::Padding(Header)));
    return true;
}

bool TMP3ReadStream::FindNextFrame() {
    auto passes = [this](quint32 h) {
        const int index = MpegHeader::BitRateIndex(h);
        return (h & MpegHeader::SyncMask) == MpegHeader::SyncMask &&
               (h & MpegHeader::VersionLayerMask) == Expected && index != 15 && index != 0;
    };
    // A header counts only when it starts at least 7 bytes before AudioEnd.
    const qint64 lastStart = qint64(Info.AudioEnd) - 7;
    bool found = false;
    // Fast path: scan the buffered bytes in place; fall back to the byte-wise
    // search where the buffer ends before a decision.
    qint64 available = 0;
    const qint64 start = Position();
    if (const uchar* d = Buffered(available)) {
        qint64 i = 0;
        for (; i + 4 <= available && start + i <= lastStart; ++i) {
            const quint32 h =
                quint32(d[i]) << 24 | quint32(d[i + 1]) << 16 | quint32(d[i + 2]) << 8 | d[i + 3];
            if (passes(h)) {
                Header = h;
                found = true;
                break;
            }
        }
        // Past the header found, or past the last allowed start: nothing more to find.
        SetPosition(found || start + i > lastStart ? start + i + 4 : start + i);
    }
    if (!found && Position() <= lastStart) {
        Header = ReadHeader();
        while (Position() <= qint64(Info.AudioEnd) - 3) {
            if (passes(Header)) {
                found = true;
                break;
            }
            Header = Header << 8 | ReadByte();
        }
    }
    FrameLength = FrameBitRate = 0;
    if (!found)
        return false;
    const int index = MpegHeader::BitRateIndex(Header);
    const int padding = MpegHeader::Padding(Header);
    int& length = NextFrameLengths[size_t(index)][size_t(padding)];
    if (length == 0)
        length =
            MpegFrameLength(Info.Version, Info.Layer, MpegBitRate(Info.Version, Info.Layer, index),
                            Info.SampleRate, padding);
    // The frame length is known only for valid indexes, and so is the bit rate.
    FrameOffset = Position() - 4;
    FrameBitRate = MpegBitRate(Info.Version, Info.Layer, index);
    FrameLength = length;
    ++Info.FrameCount;
    BitRateSum += FrameBitRate;
    return true;
}

void TMP3ReadStream::Analyse(quint8 options) {
    const qint64 fileSize = Size();
    if (fileSize >= MaxStreamFileSize)
        throw EFOpenError(FileOpenErrorText(FileName()));
    Info.FileSize = qint32(fileSize);
    Info.AudioStart = 0;
    Info.AudioEnd = Info.AudioSize = Info.FileSize;

    if (Info.FileSize >= TagV1Length && ReadMagic(Info.FileSize - TagV1Length, "TAG", 3, '\0')) {
        Info.TagV1Size = TagV1Length;
        Info.AudioEnd -= TagV1Length;
        Info.AudioSize -= TagV1Length;
    }

    if (ReadMagic(0, "ID3", 3, '\0')) {
        quint8 head[7] = {}; // major, revision, flags, four size bytes
        Seek(3);
        Read(head, sizeof head);
        Info.TagV2Major = head[0];
        Info.TagV2Revision = head[1];
        Info.TagV2Flags = head[2];
        // The size bytes are combined without masking their top bit.
        quint32 size = 0;
        for (int i = 3; i < 7; ++i)
            size = size << 7 | head[i];
        Info.TagV2Size = qint32(size) + ((Info.TagV2Flags & 0x10) ? 20 : 10);
        Info.AudioStart = Info.TagV2Size;
    }

    Info.AudioSize = Info.AudioEnd - Info.AudioStart;
    // An ID3v2 tag reaching into the ID3v1 tag (or past the end) leaves no room
    // for a frame; a "frame" read there would give a negative audio size.
    if (Info.AudioSize < 4)
        throw EFOpenError(FileOpenErrorText(FileName()));
    Seek(Info.AudioStart);
    Info.FrameCount = 0;
    BitRateSum = 0;
    Info.VBR = false;

    if (!FindFirstFrame())
        throw EFOpenError(FileOpenErrorText(FileName()));
    Info.SampleRate = FrameSampleRate;
    int referenceBitRate = FrameBitRate;
    const qint64 first = FrameOffset;

    for (int offset : {13, 21, 36}) {
        if (ReadMagic(first + offset, "Xing", 4, ' '))
            Info.VBR = true;
    }
    if (Info.VBR) {
        Seek(first + FrameLength - 1);
        Info.FrameCount = 0;
        BitRateSum = 0;
        if (!FindNextFrame())
            throw EFOpenError(FileOpenErrorText(FileName()));
        referenceBitRate = FrameBitRate;
    }

    for (;;) {
        SetPosition(FrameOffset + FrameLength - 1);
        if (!FindNextFrame())
            break;
        if (FrameBitRate != referenceBitRate)
            Info.VBR = true;
        if ((Info.FrameCount == 100 && !Info.VBR) || Info.FrameCount == INT32_MAX)
            break;
    }

    Info.BitRate = qint32(RoundHalfEven(double(BitRateSum) / Info.FrameCount));
    Info.Duration = MulDiv(Info.AudioSize, 8, Info.BitRate);

    if (Info.TagV1Size == TagV1Length && (options & roTagV1)) {
        Seek(Info.FileSize - TagV1Length);
        Read(TagV1Data.data(), TagV1Length);
    }
    FrameIndex.clear();
    if (options & roFrameIndex)
        FrameIndex = BuildFrameIndex(*this);
    Seek(Info.AudioStart);
}

void GetMP3Info(const QString& fileName, quint8 options, TMP3Info& info, QByteArray* tagV1Data,
                QString* frameIndex) {
    info = TMP3Info();
    if (tagV1Data)
        *tagV1Data = QByteArray(TagV1Length, '\0');
    if (frameIndex)
        frameIndex->clear();
    try {
        TMP3ReadStream reader(fileName, fmOpenRead, options);
        info = reader.Info;
        if (tagV1Data && (options & roTagV1))
            *tagV1Data = reader.TagV1Data;
        if (frameIndex && (options & roFrameIndex))
            *frameIndex = reader.FrameIndex;
    } catch (...) {
        info = TMP3Info();
    }
}

TMP3Info GetMP3Info(const QString& fileName, quint8 options) {
    TMP3Info info;
    GetMP3Info(fileName, options, info);
    return info;
}

int GetMpegChannels(const QString& fileName) {
    const TMP3Info info = GetMP3Info(fileName);
    if (info.BitRate == 0)
        return 0;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(info.AudioStart))
        return 0;
    // Leading junk is rarely long; the first mebibyte is plenty.
    const QByteArray bytes = file.read(qMin<qint64>(info.AudioSize, qint64(1) << 20));
    quint32 h = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        h = (h << 8) | quint8(bytes.at(i));
        if (i < 3 || !SyncTest(h) || MpegHeader::Version(h) != info.Version ||
            MpegHeader::Layer(h) != info.Layer ||
            MpegBitRate(info.Version, info.Layer, MpegHeader::BitRateIndex(h)) == 0 ||
            MpegSampleRate(info.Version, MpegHeader::SampleRateIndex(h)) == 0)
            continue;
        constexpr int ChannelModeShift = 6;
        constexpr quint32 SingleChannel = 3;
        return ((h >> ChannelModeShift) & 3) == SingleChannel ? 1 : 2;
    }
    return 0;
}
