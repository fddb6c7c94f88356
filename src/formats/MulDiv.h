#pragma once
// The two rounding rules used throughout: MulDiv rounds halves away from zero,
// a floating value is rounded halves to even.

#include <QtGlobal>

// a * b / c with a 64-bit intermediate, rounded to nearest, halves away from zero;
// -1 when c is 0.
qint32 MulDiv(qint32 a, qint32 b, qint32 c);

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4).
qint64 RoundHalfEven(double value);
