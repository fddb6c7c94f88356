#include "StreamBlocks.h"

#include <algorithm>
#include <vector>

namespace {

void CheckBufferSize(const char* routine, qint64 bufferSize) {
    if (bufferSize <= 0)
        throw EArgumentError(routine, "ABufferSize <= 0");
}

// One buffer per call, never larger than the bytes it will carry.
std::vector<char> MakeBuffer(qint64 bufferSize, qint64 total) {
    return std::vector<char>(size_t(std::max<qint64>(1, std::min(bufferSize, total))));
}

// A block that does not lie wholly inside the stream cannot be read; refusing it
// up front keeps a failed move from leaving a half-written stream.
void CheckBlockInside(TFileStream& stream, qint64 offset, qint64 length) {
    if (offset + length > stream.Size())
        throw EReadError();
}

void Report(const TProgressCallback& progress, qint64 done) {
    if (progress)
        progress(done);
}

} // namespace

void DTAppendToStream(TFileStream& stream, quint8 fill, qint64 count, qint64 bufferSize) {
    if (count <= 0)
        return;
    CheckBufferSize("DTAppendToStream", bufferSize);
    std::vector<char> buffer = MakeBuffer(bufferSize, count);
    std::fill(buffer.begin(), buffer.end(), char(fill));
    stream.Seek(0, soEnd);
    for (qint64 remaining = count; remaining > 0;) {
        const qint64 chunk = std::min<qint64>(remaining, qint64(buffer.size()));
        stream.WriteBuffer(buffer.data(), chunk);
        remaining -= chunk;
    }
}

void DTCopyStreamBlock(TFileStream& source, TFileStream& dest, qint64 sourceOffset,
                       qint64 destOffset, qint64 count, qint64 bufferSize) {
    sourceOffset = std::max<qint64>(sourceOffset, 0);
    destOffset = std::max<qint64>(destOffset, 0);
    if (count <= 0)
        count = source.Size() - sourceOffset;
    if (count <= 0)
        return;
    CheckBufferSize("DTCopyStreamBlock", bufferSize);
    std::vector<char> buffer = MakeBuffer(bufferSize, count);
    source.Seek(sourceOffset);
    dest.Seek(destOffset);
    for (qint64 remaining = count; remaining > 0;) {
        const qint64 chunk = std::min<qint64>(remaining, qint64(buffer.size()));
        source.ReadBuffer(buffer.data(), chunk);
        dest.WriteBuffer(buffer.data(), chunk);
        remaining -= chunk;
    }
}

void DTCopyFileBlock(const QString& source, const QString& dest, qint64 sourceOffset, qint64 count,
                     qint64 bufferSize) {
    TFileStream in(source, fmOpenRead);
    TFileStream out(dest, fmCreate);
    DTCopyStreamBlock(in, out, sourceOffset, 0, count, bufferSize);
}

void DTMoveBlockInStream(TFileStream& stream, bool allowGrow, qint64 oldOffset, qint64 newOffset,
                         qint64 count, const TProgressCallback& progress, qint64 bufferSize) {
    if (newOffset > oldOffset)
        DTMoveBlockUpInStream(stream, allowGrow, oldOffset, newOffset, count, progress, bufferSize);
    else
        DTMoveBlockDownInStream(stream, oldOffset, newOffset, count, progress, bufferSize);
}

void DTMoveBlockUpInStream(TFileStream& stream, bool allowGrow, qint64 oldOffset, qint64 newOffset,
                           qint64 count, const TProgressCallback& progress, qint64 bufferSize) {
    if (oldOffset == newOffset)
        return;
    const qint64 oldPos = std::max<qint64>(oldOffset, 0);
    const qint64 newPos = std::max<qint64>(newOffset, 0);
    if (oldOffset > newOffset)
        throw EArgumentError("DTMoveBlockUpInStream", "AnOldOffset > ANewOffset");
    CheckBufferSize("DTMoveBlockUpInStream", bufferSize);
    const qint64 size = stream.Size();
    const qint64 length = count > 0 ? count : size - oldPos;
    if (length <= 0) {
        Report(progress, 0);
        return;
    }
    CheckBlockInside(stream, oldPos, length);
    const qint64 growth = newPos + length - size;
    if (growth > 0) {
        if (!allowGrow)
            throw EWriteError();
        DTAppendToStream(stream, 0, growth, BlockBufferSize);
    }
    std::vector<char> buffer = MakeBuffer(bufferSize, length);
    qint64 sourceEnd = oldPos + length;
    qint64 destEnd = newPos + length;
    for (qint64 remaining = length; remaining > 0;) {
        Report(progress, length - remaining);
        const qint64 chunk = std::min<qint64>(remaining, qint64(buffer.size()));
        sourceEnd -= chunk;
        destEnd -= chunk;
        stream.Seek(sourceEnd);
        stream.ReadBuffer(buffer.data(), chunk);
        stream.Seek(destEnd);
        stream.WriteBuffer(buffer.data(), chunk);
        remaining -= chunk;
    }
    Report(progress, length);
}

void DTMoveBlockDownInStream(TFileStream& stream, qint64 oldOffset, qint64 newOffset, qint64 count,
                             const TProgressCallback& progress, qint64 bufferSize) {
    if (oldOffset == newOffset)
        return;
    const qint64 oldPos = std::max<qint64>(oldOffset, 0);
    const qint64 newPos = std::max<qint64>(newOffset, 0);
    if (oldOffset < newOffset)
        throw EArgumentError("DTMoveBlockDownInStream", "AnOldOffset < ANewOffset");
    CheckBufferSize("DTMoveBlockDownInStream", bufferSize);
    const qint64 length = count > 0 ? count : stream.Size() - oldPos;
    if (length <= 0) {
        Report(progress, 0);
        return;
    }
    CheckBlockInside(stream, oldPos, length);
    std::vector<char> buffer = MakeBuffer(bufferSize, length);
    qint64 sourcePos = oldPos;
    qint64 destPos = newPos;
    for (qint64 remaining = length; remaining > 0;) {
        Report(progress, length - remaining);
        const qint64 chunk = std::min<qint64>(remaining, qint64(buffer.size()));
        stream.Seek(sourcePos);
        stream.ReadBuffer(buffer.data(), chunk);
        stream.Seek(destPos);
        stream.WriteBuffer(buffer.data(), chunk);
        sourcePos += chunk;
        destPos += chunk;
        remaining -= chunk;
    }
    Report(progress, length);
}
