#include "MulDiv.h"

#include <cmath>

qint32 MulDiv(qint32 a, qint32 b, qint32 c) {
    if (c == 0)
        return -1;
    const qint64 num = qint64(a) * qint64(b);
    const bool negative = (num < 0) != (c < 0);
    const quint64 an = num < 0 ? quint64(-num) : quint64(num);
    const quint64 ac = c < 0 ? quint64(-qint64(c)) : quint64(c);
    quint64 q = an / ac;
    if ((an % ac) * 2 >= ac)
        ++q;
    const qint64 r = negative ? -qint64(q) : qint64(q);
    // Out-of-range results are reported as -1, as the system call does.
    if (r > INT32_MAX || r < INT32_MIN)
        return -1;
    return qint32(r);
}

qint64 RoundHalfEven(double value) {
    return qint64(std::nearbyint(value)); // default rounding mode is to-nearest-even
}
