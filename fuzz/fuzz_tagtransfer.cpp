// TransferTags between two fuzzed files. Input: a flags byte (bit 0 KeepV1,
// bit 1 KeepV2, bit 2 Compact), a 16-bit big-endian length of the source part,
// then the source part and the destination part; valid MPEG frames follow each
// part so most inputs reach the transfer.

#include "FuzzUtil.h"

#include "formats/ID3v2.h"
#include "formats/MP3Stream.h"
#include "formats/TagTransfer.h"

using FuzzUtil::Fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const bool keepV1 = data[0] & 1, keepV2 = data[0] & 2, compact = data[0] & 4;
    const size_t sourceLength = std::min<size_t>(size - 3, size_t(data[1]) << 8 | data[2]);
    const QByteArray frames = FuzzUtil::ValidFrames(4);
    const QByteArray source =
        QByteArray(reinterpret_cast<const char*>(data + 3), qsizetype(sourceLength)) + frames;
    const QByteArray dest = QByteArray(reinterpret_cast<const char*>(data + 3 + sourceLength),
                                       qsizetype(size - 3 - sourceLength)) +
                            frames;
    const QString sourcePath = FuzzUtil::WriteScratch("source.mp3", source);
    const QString destPath = FuzzUtil::WriteScratch("dest.mp3", dest);
    const TMP3Info in = GetMP3Info(sourcePath, 0);
    const TMP3Info out = GetMP3Info(destPath, 0);
    try {
        TransferTags(sourcePath, destPath, keepV1, keepV2, compact);
    } catch (const EConvertError&) {
        // An identifier holding "@", "~" or a line break makes the index unreadable.
        return 0;
    } catch (const ESonabelError&) {
        if (in.BitRate != 0 && out.BitRate != 0 && (keepV1 || keepV2))
            Fail("transfer between two readable files failed");
        return 0;
    }
    if (FuzzUtil::ReadScratch(sourcePath) != source)
        Fail("source changed");
    const QByteArray result = FuzzUtil::ReadScratch(destPath);
    if (in.BitRate == 0 || out.BitRate == 0 || !(keepV1 || keepV2)) {
        if (result != dest)
            Fail("destination changed without a transfer");
        return 0;
    }
    const bool v1 = keepV1 && in.TagV1Size > 0 && out.TagV1Size == 0;
    const bool v2 = keepV2 && in.TagV2Size > 0 && out.TagV2Size == 0;
    const qint64 inserted = result.size() - dest.size() - (v1 ? TagV1Length : 0);
    if (inserted < 0 || inserted > in.TagV2Size || (!v2 && inserted != 0))
        Fail("destination grew by an unexpected length");
    // The old destination sits unchanged between the inserted and appended tags.
    if (result.mid(inserted, dest.size()) != dest)
        Fail("destination content changed");
    if (v1 && result.right(TagV1Length) != source.mid(source.size() - TagV1Length))
        Fail("ID3v1 tag not copied byte for byte");
    if (inserted > 0) {
        // Beyond the rewritten size and flags bytes, the tag is the source's prefix.
        if (result.left(5) != source.left(5) ||
            result.mid(10, inserted - 10) != source.mid(10, inserted - 10))
            Fail("ID3v2 tag not copied byte for byte");
        const TMP3Info now = GetMP3Info(destPath, 0);
        if (now.BitRate != 0 && now.TagV2Size != inserted)
            Fail("new tag's size does not match the bytes inserted");
    }
    return 0;
}
