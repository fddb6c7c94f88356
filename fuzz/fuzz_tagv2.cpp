// The ID3v2 frame walk and the routines that read its index back: fuzzed tag
// bytes followed by valid MPEG frames, so most inputs reach the walk.

#include "FuzzUtil.h"

#include "formats/ID3v2.h"
#include "formats/MP3Stream.h"
#include "formats/TagTransfer.h"

#include <QStringList>

using FuzzUtil::Fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    bytes += FuzzUtil::ValidFrames(8);
    const QString path = FuzzUtil::WriteScratch("tagged.mp3", bytes);
    try {
        TMP3ReadStream reader(path, fmOpenRead, roFrameIndex);
        const TMP3Info& info = reader.Info;
        const QStringList lines =
            reader.FrameIndex.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        if (!reader.FrameIndex.isEmpty() && !reader.FrameIndex.endsWith(QStringLiteral("\r\n")))
            Fail("index line without its line end");
        qint64 previous = 0;
        int read = 0;
        for (const QString& line : lines) {
            try {
                const TFrameEntry e = ParseFrameEntry(line);
                if (e.Offset <= previous || e.Offset > info.TagV2Size)
                    Fail("walk went backwards or left the tag");
                previous = e.Offset;
                const bool padding = IsPaddingEntry(line);
                if (padding != (e.Id.isEmpty() && e.Size == 0))
                    Fail("padding test disagrees with the entry");
                // Reading every frame of a long padding run adds nothing.
                if (read++ < 32) {
                    const QByteArray bytes = ReadFrameData(path, e.Offset, e.Size);
                    if (bytes.size() > e.Size)
                        Fail("frame data longer than the frame");
                    const QString text = DecodeFrameText(e.Id, bytes, QLatin1Char('/'));
                    if (text.size() > bytes.size() || text.contains(QChar(0)))
                        Fail("frame text longer than its bytes or holding a zero");
                }
            } catch (const EConvertError&) {
            }
        }
        try {
            const qint64 kept = KeptTagLength(reader.FrameIndex);
            if (kept < 0)
                Fail("negative kept length");
        } catch (const EConvertError&) {
        }
    } catch (const ESonabelError&) {
    }
    // Removing the leading tag leaves exactly what followed it.
    try {
        const TMP3Info before = GetMP3Info(path, 0);
        const QByteArray original = FuzzUtil::ReadScratch(path);
        const qint64 removed = StripLeadingTagV2(path);
        const QByteArray after = FuzzUtil::ReadScratch(path);
        if (removed < 0 || removed > original.size() || after != original.mid(removed))
            Fail("strip did not remove exactly the leading bytes");
        if (before.BitRate != 0 && removed != before.TagV2Size)
            Fail("strip removed another length than the reader's tag size");
    } catch (const ESonabelError&) {
    }
    return 0;
}
