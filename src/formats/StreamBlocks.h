#pragma once
// Copying, appending and moving blocks of bytes inside or between streams,
// through one buffer per call.

#include "FileStream.h"

#include <functional>

// Receives the number of bytes already moved.
using TProgressCallback = std::function<void(qint64)>;

inline constexpr qint64 BlockBufferSize = 65536;

// Appends count bytes of fill at the end of the stream; nothing for count <= 0.
void DTAppendToStream(TFileStream& stream, quint8 fill, qint64 count, qint64 bufferSize);

// Copies count bytes (the rest of the source for count <= 0); negative offsets
// count as 0. Writing past the destination's end extends it.
void DTCopyStreamBlock(TFileStream& source, TFileStream& dest, qint64 sourceOffset,
                       qint64 destOffset, qint64 count, qint64 bufferSize);

// Creates (or replaces) dest holding count bytes of source from sourceOffset.
void DTCopyFileBlock(const QString& source, const QString& dest, qint64 sourceOffset, qint64 count,
                     qint64 bufferSize);

// Moves count bytes (the rest of the stream for count <= 0) from oldOffset so
// that they start at newOffset; up or down by the direction of the move.
void DTMoveBlockInStream(TFileStream& stream, bool allowGrow, qint64 oldOffset, qint64 newOffset,
                         qint64 count, const TProgressCallback& progress, qint64 bufferSize);
// Towards the end; copies backwards so overlapping blocks are safe. Grows the
// stream with zeros when allowed, else raises EWriteError before writing.
void DTMoveBlockUpInStream(TFileStream& stream, bool allowGrow, qint64 oldOffset, qint64 newOffset,
                           qint64 count, const TProgressCallback& progress, qint64 bufferSize);
// Towards the start; copies forwards. The stream keeps its size.
void DTMoveBlockDownInStream(TFileStream& stream, qint64 oldOffset, qint64 newOffset, qint64 count,
                             const TProgressCallback& progress, qint64 bufferSize);
