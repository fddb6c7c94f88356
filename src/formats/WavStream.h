#pragma once
// RIFF WAVE reader: walks the chunks to find the format and the audio data.

#include "FileStream.h"

struct TWAVInfo {
    qint32 DataStart = 0;
    qint32 DataSize = 0;
    qint32 DataEnd = 0;
    qint32 FileSize = 0;
    qint32 Duration = 0; // ms
    qint32 BitRate = 0;  // kbit/s
    qint32 SampleRate = 0;
    qint32 FormatTag = 0; // 1 = PCM
    qint32 Channels = 0;
    qint32 AvgBytesPerSec = 0;
    qint32 BlockAlign = 0;
    // WAVE_FORMAT_EXTENSIBLE only: the format code its sub-format GUID carries
    // (1 for PCM); 0 for other files or an unknown GUID.
    qint32 SubFormat = 0;

    bool operator==(const TWAVInfo&) const = default;
};

inline constexpr qint32 WavFormatPCM = 1;
inline constexpr qint32 WavFormatExtensible = 0xFFFE;

// PCM, either by its format tag or, in an extensible file, by its sub-format
// (most recorders write 24-bit and multichannel PCM that way).
inline bool IsPcmWav(const TWAVInfo& info) {
    return info.FormatTag == WavFormatPCM ||
           (info.FormatTag == WavFormatExtensible && info.SubFormat == WavFormatPCM);
}

class TWAVReadStream : public TFileStream {
public:
    // Opens and analyses; throws EFOpenError for anything but a sound RIFF WAVE file.
    TWAVReadStream(const QString& fileName, quint16 mode);

    TWAVInfo Info;

private:
    void Analyse();
};

// Never throws; an unusable file, or one without audio data, gives all zeros.
void GetWAVInfo(const QString& fileName, TWAVInfo& info);
TWAVInfo GetWAVInfo(const QString& fileName);
