// Frame-text decoding over arbitrary bytes: the first input byte picks the
// frame kind (text, comment, URL, user-defined), the rest is the frame data.

#include "FuzzUtil.h"

#include "formats/ID3v2.h"

using FuzzUtil::Fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    static const char* const ids[] = {"TIT2", "TT2", "COMM", "COM", "USLT", "WOAR", "WXXX", "TXXX"};
    const QString id = QLatin1String(ids[data[0] % (sizeof ids / sizeof *ids)]);
    const QByteArrayView frame(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const QString text = DecodeFrameText(id, frame, QLatin1Char('/'));
    // Every character comes from at least one byte, separators from terminators.
    if (text.size() > frame.size())
        Fail("more characters than bytes");
    if (text.contains(QChar(0)))
        Fail("a terminator reached the text");
    if (text.startsWith(QLatin1Char('/')) && !frame.contains('/'))
        Fail("an empty field was kept");
    return 0;
}
