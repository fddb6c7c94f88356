#include "formats/DecodableAudio.h"

#include "formats/MP3Stream.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr int LayerIII = 1;
constexpr int LayerI = 3;
constexpr int MpegV1 = 3;

struct TStreamKind {
    int Version = 0;
    int Layer = 0;
    int SampleRate = 0;
};

// The frame's length in bytes when the header belongs to the stream, else 0.
// Lengths are truncated as a decoder computes them, never rounded.
int FrameLength(quint32 h, const TStreamKind& kind) {
    if ((h & MpegHeader::SyncMask) != MpegHeader::SyncMask ||
        MpegHeader::Version(h) != kind.Version || MpegHeader::Layer(h) != kind.Layer ||
        MpegSampleRate(kind.Version, MpegHeader::SampleRateIndex(h)) != kind.SampleRate)
        return 0;
    const qint64 bitRate = MpegBitRate(kind.Version, kind.Layer, MpegHeader::BitRateIndex(h));
    if (bitRate <= 0)
        return 0;
    const int padding = MpegHeader::Padding(h);
    if (kind.Layer == LayerI)
        return int((12000 * bitRate / kind.SampleRate + padding) * 4);
    const int coefficient = (kind.Layer == LayerIII && kind.Version != MpegV1) ? 72 : 144;
    return int(coefficient * 1000 * bitRate / kind.SampleRate + padding);
}

int SamplesPerFrame(const TStreamKind& kind) {
    if (kind.Layer == LayerI)
        return 384;
    return (kind.Layer == LayerIII && kind.Version != MpegV1) ? 576 : 1152;
}

} // namespace

int DecodableDurationMs(const QString& fileName) {
    const TMP3Info info = GetMP3Info(fileName);
    if (info.BitRate == 0 || info.SampleRate <= 0)
        return 0;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() < info.AudioEnd)
        return 0;
    const uchar* data = file.map(0, info.AudioEnd);
    if (!data)
        return 0;
    const TStreamKind kind{info.Version, info.Layer, info.SampleRate};
    const qint64 end = info.AudioEnd;
    qint64 frames = 0;
    qint64 chainEnd = -1; // where the last counted frame ended
    for (qint64 p = info.AudioStart; p + 4 <= end;) {
        const int length = FrameLength(qFromBigEndian<quint32>(data + p), kind);
        if (length > 4 && p + length <= end) {
            const qint64 next = p + length;
            // A lone header-like pattern in junk is no frame: it must follow a
            // frame or lead to one (or end the audio exactly).
            const bool leads =
                next == end ||
                (next + 4 <= end && FrameLength(qFromBigEndian<quint32>(data + next), kind) > 0);
            if (p == chainEnd || leads) {
                ++frames;
                chainEnd = next;
                p = next;
                continue;
            }
        }
        ++p;
    }
    return int(frames * SamplesPerFrame(kind) * 1000 / kind.SampleRate);
}
