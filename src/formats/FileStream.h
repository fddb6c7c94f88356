#pragma once
// A file stream with the open modes of the stored design and a read-ahead
// buffer, so byte-by-byte header searches do not cost a system call per byte.

#include "SonabelErrors.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <atomic>
#include <cstring>

enum TFileMode : quint16 {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmCreate = 0xFF00,
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TFileStream {
public:
    // Throws EFOpenError when the file cannot be opened or created.
    TFileStream(const QString& fileName, quint16 mode);
    virtual ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    // Reads up to count bytes; fewer at the end of the file, never throws for that.
    qint64 Read(void* buffer, qint64 count) {
        // Fast path: the whole request lies in the read-ahead buffer.
        if (count > 0 && Pos >= BufStart && Pos + count <= BufStart + BufLen) {
            std::memcpy(buffer, Buf.constData() + (Pos - BufStart), size_t(count));
            Pos += count;
            return count;
        }
        return ReadSlow(buffer, count);
    }
    qint64 Write(const void* buffer, qint64 count);
    // The bytes buffered from the current position on, filling the buffer when
    // the position lies outside it; count is 0 at the end of the file.
    const uchar* Buffered(qint64& count) {
        if (Pos >= BufStart && Pos < BufStart + BufLen) {
            count = BufStart + BufLen - Pos;
            return reinterpret_cast<const uchar*>(Buf.constData()) + (Pos - BufStart);
        }
        return BufferedSlow(count);
    }
    // Buffers everything from `from` to the end of the file in one read, keeping
    // bytes already buffered just before it. False when that would take more
    // than WholeReadLimit bytes (nothing is read then) or the file ended early.
    bool BufferToEnd(qint64 from);
    // Exact variants: EReadError / EWriteError when fewer bytes move.
    void ReadBuffer(void* buffer, qint64 count);
    void WriteBuffer(const void* buffer, qint64 count);

    qint64 Seek(qint64 offset, TSeekOrigin origin = soBeginning);
    qint64 Position() const { return Pos; }
    void SetPosition(qint64 pos) { Pos = pos; }
    qint64 Size() const;
    // Truncates or extends the file; the position is kept (clamped to the new size).
    void SetSize(qint64 size);
    void Flush();

    const QString& FileName() const { return Name; }

    // Bytes fetched from disk by all streams since start-up (benchmarks read it).
    static qint64 TotalBytesRead() { return BytesReadFromDisk.load(); }

    // The read-ahead starts small, so a sampled analysis fetches little, and
    // doubles while reads stay sequential, so a full walk costs few calls.
    static constexpr qint64 ReadAheadSize = 16 * 1024;
    static constexpr qint64 MaxReadAheadSize = 128 * 1024;
    // A walk over every frame reads files up to this size in one go.
    static constexpr qint64 WholeReadLimit = 4 * 1024 * 1024;

private:
    qint64 ReadSlow(void* buffer, qint64 count);
    const uchar* BufferedSlow(qint64& count);
    bool Fill(qint64 pos);
    qint64 PRead(char* data, qint64 count, qint64 pos);
    void DropBuffer() { BufLen = 0; }

    QString Name;
    QFile File;
    qint64 Pos = 0;
    QByteArray Buf;
    qint64 BufStart = 0;
    qint64 BufLen = 0;
    qint64 ReadAhead = ReadAheadSize;
    static std::atomic<qint64> BytesReadFromDisk;
};
