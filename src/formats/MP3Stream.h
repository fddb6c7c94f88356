#pragma once
// MPEG audio stream analysis: where the audio lies between the ID3 tags, which
// version and layer it is, its average bit rate, playing time and VBR flag.

#include "FileStream.h"

#include <QByteArray>
#include <QString>
#include <array>

struct TMP3Info {
    qint32 AudioStart = 0;
    qint32 AudioSize = 0;
    qint32 AudioEnd = 0;
    qint32 FileSize = 0;
    qint32 Duration = 0;   // ms
    qint32 BitRate = 0;    // kbit/s, average over the counted frames
    qint32 SampleRate = 0; // Hz, of the first frame found
    qint32 Version = 0;    // 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1
    qint32 Layer = 0;      // 1 Layer III, 2 Layer II, 3 Layer I
    bool VBR = false;
    qint32 TagV1Size = 0;
    qint32 TagV2Size = 0;
    qint32 TagV2Major = 0;
    qint32 TagV2Revision = 0;
    qint32 TagV2Flags = 0;
    qint32 FrameCount = 0;

    bool operator==(const TMP3Info&) const = default;
};

// Reader options.
inline constexpr quint8 roTagV1 = 1;      // keep the raw ID3v1 tag in TagV1Data
inline constexpr quint8 roFrameIndex = 2; // build the ID3v2 FrameIndex

inline constexpr int TagV1Length = 128;
// Files this large are refused: the stored formats hold 32-bit offsets.
inline constexpr qint64 MaxStreamFileSize = qint64(1) << 31;

extern const std::array<const char*, 4> MPEGVersionNames;
extern const std::array<const char*, 4> MPEGLayerNames;

// Header field decoding of the 32-bit big-endian frame header.
namespace MpegHeader {
inline constexpr quint32 SyncMask = 0xFFE00000;         // bits 21-31
inline constexpr quint32 VersionLayerMask = 0x001E0000; // bits 17-20
inline constexpr int VersionShift = 19;                 // 0x00180000
inline constexpr int LayerShift = 17;                   // 0x00060000
inline constexpr int BitRateShift = 12;                 // 0x0000F000
inline constexpr int SampleRateShift = 10;              // 0x00000C00
inline constexpr int PaddingShift = 9;                  // 0x00000200
inline constexpr int Version(quint32 h) {
    return int((h >> VersionShift) & 3);
}
inline constexpr int Layer(quint32 h) {
    return int((h >> LayerShift) & 3);
}
inline constexpr int BitRateIndex(quint32 h) {
    return int((h >> BitRateShift) & 15);
}
inline constexpr int SampleRateIndex(quint32 h) {
    return int((h >> SampleRateShift) & 3);
}
inline constexpr int Padding(quint32 h) {
    return int((h >> PaddingShift) & 1);
}
} // namespace MpegHeader

// kbit/s by version, layer and bit-rate index; 0 for free format, index 15 and reserved.
int MpegBitRate(int version, int layer, int bitRateIndex);
// Hz by version and sampling-rate index; 0 for index 3 and the reserved version.
int MpegSampleRate(int version, int sampleRateIndex);
// Frame length in bytes from bit rate (kbit/s), sampling rate (Hz) and padding bit.
int MpegFrameLength(int version, int layer, int bitRate, int sampleRate, int padding);

class TMP3ReadStream : public TFileStream {
public:
    // Opens and analyses; throws EFOpenError when no usable stream is found.
    TMP3ReadStream(const QString& fileName, quint16 mode, quint8 options);

    TMP3Info Info;
    QByteArray TagV1Data; // 128 raw bytes, zero unless kept
    QString FrameIndex;   // one line per ID3v2 frame, when built

private:
    void Analyse(quint8 options);
    bool ReadMagic(qint64 offset, const char* magic, int length, char fill);
    quint32 ReadHeader();
    quint8 ReadByte();
    bool FindFirstFrame();
    bool FindNextFrame();
    void CountFrame(int bitRate, int length);

    quint32 Header = 0;
    quint32 Expected = 0; // version and layer bits of the first frame
    qint64 FrameOffset = 0;
    int FrameBitRate = 0;
    int FrameSampleRate = 0;
    int FrameLength = 0;
    qint64 BitRateSum = 0;
    // Later frames use the first frame's version, layer and sampling rate, so
    // their bit rate and length depend only on the bit-rate index and padding:
    // looked up per frame by header bits 9-15 (the third header byte without
    // its lowest bit), computed once per file.
    struct TFrameSize {
        int BitRate = 0;
        int Length = 0;
    };
    std::array<TFrameSize, 128> NextFrameSizes{};
    void PrepareNextFrameSizes();
    void WalkBuffered();
    // How far ahead of the walk the buffered bytes are asked into the cache.
    static constexpr qint64 PrefetchDistance = 4096;
    qint64 PrefetchedTo = 0;
};

// Never throws: an unusable file leaves Info all zero, TagV1Data zero, FrameIndex empty.
void GetMP3Info(const QString& fileName, quint8 options, TMP3Info& info,
                QByteArray* tagV1Data = nullptr, QString* frameIndex = nullptr);
TMP3Info GetMP3Info(const QString& fileName, quint8 options = 0);

// Builds the ID3v2 frame index of a stream whose Info is filled.
QString BuildFrameIndex(TMP3ReadStream& stream);

// Channels of the first valid frame of the stream's version and layer, read
// from the header's channel mode: 1 for mono, 2 otherwise, 0 when none is found.
int GetMpegChannels(const QString& fileName);
