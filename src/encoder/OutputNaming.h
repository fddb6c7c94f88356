#pragma once
// Where an encoder's output goes: the planned name beside the source or in the
// output folder, the free name a run really writes, and the replacing name.

#include <QSet>
#include <QString>

// The bit rate the encoder writes when asked for targetBitRate: it caps
// low sampling rates' streams (64 kbit/s up to 12 kHz, 160 up to 24 kHz).
// A sampling rate of 0 (unknown) leaves the target.
int LameOutputBitRate(int targetBitRate, int sampleRate);

QString MakeOutputPath(const QString& path, const QString& baseFolder, const QString& destDir,
                       int bitRate, int mode, bool destFolder, bool keepSubDirs);
// The planned path when no file, folder or link (dangling ones too) has that
// name and the run has not reserved it, else the first free " (k).mp3" variant.
QString MakeUniqueOutputName(const QString& plannedPath, const QSet<QString>& reserved = {});

// Where an output goes when it replaces its source: an MP3 source's own name,
// else the source's name with ".mp3" (the caller makes it unique).
QString MakeReplaceOutputPath(const QString& path);
// True when a file name ends the way outputs are named: _C<rate>kbps or
// _A<rate>kbps, maybe a " (k)", then ".mp3".
bool HasOutputSuffix(const QString& path);
