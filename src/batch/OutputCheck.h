#pragma once
// Whether an encoded output holds the whole of its source: a decoder that
// gives up early leaves a valid but short file, which must not pass as done.

#include <QString>

// Encoder delay and padding move an output's length by a few frames.
inline constexpr int OutputSlackMs = 150;
// Durations of variable-bit-rate streams come from byte counts and the mean
// bit rate, so they are estimates: this share of the source is allowed too.
inline constexpr int VbrSlackPercent = 5;

// Empty when the output is long enough or the source's duration is unknown
// (0 or less); otherwise the reason, giving both durations in seconds.
QString CheckOutputDuration(int sourceMs, bool sourceVbr, int outputMs, bool outputVbr);
