#include "MP3Stream.h"

#include "MulDiv.h"

#include <QFile>
#include <QtEndian>
#include <cstring>

const std::array<const char*, 4> MPEGVersionNames = {"MPEG-2.5", "", "MPEG-2", "MPEG-1"};
const std::array<const char*, 4> MPEGLayerNames = {"", "Layer III", "Layer II", "Layer I"};

namespace {

// Bit rates in kbit/s by layer and bit-rate index 0..15 (0: free format, 15: invalid).
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
// Both by version (0 = 2.5, 1 reserved, 2 = MPEG-2, 3 = MPEG-1), so any decoded
// header indexes it directly.
constexpr auto BitRates = [] {
    std::array<std::array<std::array<int, 16>, 4>, 4> t{};
    for (int layer = 1; layer < 4; ++layer) {
        for (int i = 0; i < 16; ++i) {
            t[0][layer][i] = t[2][layer][i] = BitRatesV2[layer][i];
            t[3][layer][i] = BitRatesV1[layer][i];
        }
    }
    return t;
}();
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

// Sync bits, the first frame's version and layer, and a bit-rate index that is
// neither free format (0) nor invalid (15).
inline bool NextFrameTest(quint32 h, quint32 expected) {
    // Bitwise and, not &&: one branch on the result instead of one per part.
    return ((h & (MpegHeader::SyncMask | MpegHeader::VersionLayerMask)) ==
            (MpegHeader::SyncMask | expected)) &
           (unsigned(MpegHeader::BitRateIndex(h)) - 1 < 14);
}

inline quint32 BigEndian32(const uchar* d) {
    return quint32(d[0]) << 24 | quint32(d[1]) << 16 | quint32(d[2]) << 8 | d[3];
}

} // namespace

int MpegBitRate(int version, int layer, int bitRateIndex) {
    if (version < 0 || version > 3 || version == 1 || layer < 1 || layer > 3 || bitRateIndex < 0 ||
        bitRateIndex > 15)
        return 0;
    return BitRates[size_t(version)][size_t(layer)][size_t(bitRateIndex)];
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
    return BigEndian32(b);
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

void TMP3ReadStream::PrepareNextFrameSizes() {
    for (size_t bits = 0; bits < NextFrameSizes.size(); ++bits) {
        const quint32 h = quint32(bits) << MpegHeader::PaddingShift;
        const int bitRate = MpegBitRate(Info.Version, Info.Layer, MpegHeader::BitRateIndex(h));
        NextFrameSizes[bits] = {bitRate, MpegFrameLength(Info.Version, Info.Layer, bitRate,
                                                         Info.SampleRate, MpegHeader::Padding(h))};
    }
}

bool TMP3ReadStream::FindNextFrame() {
    // A header counts only when it starts at least 7 bytes before AudioEnd.
    const qint64 lastStart = qint64(Info.AudioEnd) - 7;
    bool found = false;
    // Fast path: scan the buffered bytes in place; fall back to the byte-wise
    // search where the buffer ends before a decision.
    qint64 available = 0;
    const qint64 start = Position();
    if (const uchar* d = Buffered(available)) {
        // Candidate starts: all four bytes buffered, none past lastStart.
        const qint64 candidates = std::min(available - 3, lastStart - start + 1);
        qint64 i = 0;
        for (; i < candidates; ++i) {
            // Every header starts with a byte of sync bits only.
            if (d[i] == 0xFF && NextFrameTest(BigEndian32(d + i), Expected)) {
                Header = BigEndian32(d + i);
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
            if (NextFrameTest(Header, Expected)) {
                found = true;
                break;
            }
            Header = Header << 8 | ReadByte();
        }
    }
    FrameLength = FrameBitRate = 0;
    if (!found)
        return false;
    const TFrameSize& size = NextFrameSizes[(Header >> MpegHeader::PaddingShift) & 0x7F];
    FrameOffset = Position() - 4;
    FrameBitRate = size.BitRate;
    FrameLength = size.Length;
    ++Info.FrameCount;
    BitRateSum += size.BitRate;
    return true;
}

// The walk of a variable stream, frame after frame for as long as each next
// header lies at the first or second byte searched and all of it is buffered:
// the same frames FindNextFrame would find, with the state in registers, so
// the chain from one header to the next is a few instructions long. Returns
// at the first frame that needs the full search, or at the last frame count.
void TMP3ReadStream::WalkBuffered() {
    SetPosition(FrameOffset + FrameLength - 1);
    qint64 available = 0;
    const uchar* d = Buffered(available);
    if (!d)
        return;
    const qint64 base = Position();
    // Last search start whose two candidates may count as headers and whose
    // eight bytes read below are buffered.
    const qint64 lastSearch = std::min(qint64(Info.AudioEnd) - 8, base + available - 8);
    qint64 search = base, offset = FrameOffset, count = Info.FrameCount, sum = BitRateSum;
    quint32 header = Header;
    TFrameSize size{FrameBitRate, FrameLength};
    // Each header's position depends on the last one, so each load waits on
    // the cache: asking for the bytes ahead early overlaps those waits.
    qint64 prefetched = std::max(PrefetchedTo, base);
    const qint64 prefetchEnd = base + available;
    while (search <= lastSearch && count < INT32_MAX) {
        for (const qint64 to = std::min(search + PrefetchDistance, prefetchEnd); prefetched < to;
             prefetched += 64)
            __builtin_prefetch(d + (prefetched - base));
        const uchar* p = d + (search - base);
        const quint64 v = qFromBigEndian<quint64>(p);
        const quint32 h0 = quint32(v >> 32), h1 = quint32(v >> 24);
        // Both candidates' sizes are looked up alongside their tests, keeping the
        // table load off the path from one header to the next.
        const TFrameSize& size0 = NextFrameSizes[p[2] >> 1];
        const TFrameSize& size1 = NextFrameSizes[p[3] >> 1];
        const bool at0 = NextFrameTest(h0, Expected);
        if (!(at0 | NextFrameTest(h1, Expected)))
            break;
        header = at0 ? h0 : h1;
        offset = search + (at0 ? 0 : 1);
        size = at0 ? size0 : size1;
        ++count;
        sum += size.BitRate;
        search = offset + size.Length - 1;
    }
    Header = header;
    FrameOffset = offset;
    FrameBitRate = size.BitRate;
    FrameLength = size.Length;
    Info.FrameCount = qint32(count);
    BitRateSum = sum;
    PrefetchedTo = prefetched;
    SetPosition(offset + 4);
}

void TMP3ReadStream::Analyse(quint8 options) {
    const qint64 fileSize = Size();
    if (fileSize >= MaxStreamFileSize)
        throw EFOpenError(FileName());
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
        throw EFOpenError(FileName());
    Seek(Info.AudioStart);
    Info.FrameCount = 0;
    BitRateSum = 0;
    Info.VBR = false;

    if (!FindFirstFrame())
        throw EFOpenError(FileName());
    Info.SampleRate = FrameSampleRate;
    PrepareNextFrameSizes();
    int referenceBitRate = FrameBitRate;
    const qint64 first = FrameOffset;

    for (int offset : {13, 21, 36}) {
        if (ReadMagic(first + offset, "Xing", 4, ' '))
            Info.VBR = true;
    }
    // A variable stream is walked to its end, visiting every frame: from here on
    // the walk runs in memory when the rest of the file is small enough.
    if (Info.VBR) {
        BufferToEnd(first);
        Seek(first + FrameLength - 1);
        Info.FrameCount = 0;
        BitRateSum = 0;
        if (!FindNextFrame())
            throw EFOpenError(FileName());
        referenceBitRate = FrameBitRate;
    }

    for (;;) {
        if (Info.VBR) {
            WalkBuffered();
            if (Info.FrameCount == INT32_MAX)
                break;
        }
        SetPosition(FrameOffset + FrameLength - 1);
        if (!FindNextFrame())
            break;
        if (!Info.VBR && FrameBitRate != referenceBitRate) {
            Info.VBR = true;
            BufferToEnd(FrameOffset);
        }
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
