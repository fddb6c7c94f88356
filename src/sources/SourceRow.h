#pragma once
// One source of the list: what was learnt of the file when it was added, and
// what the current settings make of it, as UpdateList last judged.

#include "formats/SourceType.h"

#include <QString>

struct TSourceRow {
    QString Path;       // full path of the source, as given
    QString PathKey;    // duplicate-detection key (SourcePathKey)
    QString BaseFolder; // folder given to AddFolder, with a trailing '/'; empty for single files
    TSourceType Type = SourceUnusable;
    bool VBR = false;
    qint64 FileBytes = 0;
    int BitRate = 0;       // kbit/s
    int SampleRate = 0;    // Hz; the encoder caps low rates' bit rate
    qint64 AudioBytes = 0; // MPEG audio between the tags, or WAV data
    qint64 TagV1Bytes = 0; // 128 or 0
    qint64 TagV2Bytes = 0; // whole ID3v2 tag, 0 if none

    // UpdateList's judgement; no output path means none was made yet.
    int EstimatedKB = 0;
    QString OutputPath;
    bool WillProcess = true; // the output folder passed the write test
    bool Done = false;       // the source is converted already
    QString DoneStamp;       // the output's path, size and time when Done was judged

    // File size in KiB, rounded half to even.
    qint64 SizeKB() const;
};

// A bit rate as the list and the properties window show it: WAV, VBR or CBR.
QString BitRateText(TSourceType type, bool vbr, int bitRate);
