#pragma once
// How much audio a decoder really gets from an MPEG file. The stream analysis
// derives a constant-rate file's length from its byte count, which counts a
// zero-filled or junk tail as audio; this walks the frames themselves.

#include <QString>

// Milliseconds of the whole frames of the file's first frame's version, layer
// and sampling rate that chain to a neighbour; 0 when none is found.
int DecodableDurationMs(const QString& fileName);
