// The update server's reply parser over arbitrary bytes, as the network hands them.

#include "FuzzUtil.h"

#include "update/UpdateCheck.h"

using FuzzUtil::Fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    constexpr qint32 current = 1234;
    const TUpdateInfo info = ParseUpdateInfo(text, current);
    if (info.Comment.contains(QStringLiteral("||")))
        Fail("a line-break marker was left in the comment");
    for (const QString* value : {&info.DownUrl, &info.FileName})
        if (value->contains(QLatin1Char('\n')) || value->contains(QLatin1Char('\r')))
            Fail("a single-line value spans lines");
    if (!text.contains(QLatin1String("version"), Qt::CaseInsensitive) && info.Version != current)
        Fail("a version without a version key");
    // The offered version's text is always some number.
    if (VersionText(info.Version).isEmpty())
        Fail("no version text");
    return 0;
}
