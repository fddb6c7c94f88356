#include "TagTransfer.h"

#include "ID3v2.h"
#include "MP3Stream.h"
#include "StreamBlocks.h"

#include <cstring>
#include <memory>

namespace {

constexpr qint64 MaxTagV2BodySize = 0x0FFFFFFF;

bool StartsWithID3(TFileStream& stream) {
    char magic[3] = {};
    stream.Seek(0);
    return stream.Read(magic, 3) == 3 && std::memcmp(magic, "ID3", 3) == 0;
}

void TransferTagV1(TMP3ReadStream& source, TMP3ReadStream& dest) {
    DTAppendToStream(dest, 0, TagV1Length, BlockBufferSize);
    DTCopyStreamBlock(source, dest, source.Size() - TagV1Length, dest.Size() - TagV1Length,
                      TagV1Length, BlockBufferSize);
}

void TransferTagV2(TMP3ReadStream& source, TMP3ReadStream& dest, bool compact) {
    const qint64 tagSize = source.Info.TagV2Size;
    qint64 length = tagSize;
    // A frame whose size points past the tag would make the kept length larger
    // than the tag itself; the whole tag is then the most that is copied.
    if (StartsWithID3(source) && compact) {
        try {
            length = std::min(KeptTagLength(source.FrameIndex), tagSize);
        } catch (const EConvertError&) {
            // A frame identifier holding "@" or "~" cannot be read back from
            // the index: the whole tag is copied rather than the file lost.
            length = tagSize;
        }
    }
    // The size field holds 28 bits; a longer compacted tag is copied whole.
    if (length != tagSize && length - TagV2Layout::HeaderLength > MaxTagV2BodySize)
        length = tagSize;
    if (length <= 0)
        return;
    DTMoveBlockInStream(dest, true, 0, length, dest.Size(), nullptr, BlockBufferSize);
    DTCopyStreamBlock(source, dest, 0, 0, length, BlockBufferSize);
    if (length != tagSize) {
        WriteTagV2Size(dest, quint32(length - TagV2Layout::HeaderLength));
        // The footer lies past the kept frames and is not copied: clear its flag
        // so the audio of the new file starts right after the tag.
        if (source.Info.TagV2Flags & TagV2Layout::FlagFooter) {
            const quint8 flags = quint8(source.Info.TagV2Flags & ~TagV2Layout::FlagFooter);
            dest.Seek(TagV2Layout::FlagsOffset);
            dest.WriteBuffer(&flags, 1);
        }
    }
}

} // namespace

void TransferTags(const QString& source, const QString& dest, bool keepV1, bool keepV2,
                  bool compact) {
    if (!keepV1 && !keepV2)
        return;
    auto in = std::make_unique<TMP3ReadStream>(source, fmOpenRead, roTagV1 | roFrameIndex);
    auto out = std::make_unique<TMP3ReadStream>(dest, fmOpenReadWrite, 0);
    // The ID3v1 tag goes first so that it moves up with the rest of the file.
    if (keepV1 && in->Info.TagV1Size > 0 && out->Info.TagV1Size == 0)
        TransferTagV1(*in, *out);
    if (keepV2 && in->Info.TagV2Size > 0 && out->Info.TagV2Size == 0)
        TransferTagV2(*in, *out, compact);
}

qint64 StripLeadingTagV2(const QString& path) {
    TFileStream stream(path, fmOpenReadWrite);
    quint8 header[TagV2Layout::HeaderLength] = {};
    if (!StartsWithID3(stream))
        return 0;
    stream.Seek(0);
    if (stream.Read(header, sizeof header) != qint64(sizeof header))
        return 0;
    quint32 bodySize = 0;
    for (int i = TagV2Layout::SizeOffset; i < TagV2Layout::HeaderLength; ++i)
        bodySize = bodySize << 7 | header[i];
    const qint64 tagSize =
        qint64(bodySize) + TagV2Layout::HeaderLength +
        ((header[TagV2Layout::FlagsOffset] & TagV2Layout::FlagFooter) ? TagV2Layout::HeaderLength
                                                                      : 0);
    const qint64 fileSize = stream.Size();
    if (tagSize > fileSize)
        return 0;
    if (tagSize < fileSize)
        DTMoveBlockDownInStream(stream, tagSize, 0, fileSize - tagSize, nullptr, BlockBufferSize);
    stream.SetSize(fileSize - tagSize);
    return tagSize;
}
