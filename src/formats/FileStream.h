#pragma once
// A file stream with the open modes of the stored design and a read-ahead
// buffer, so byte-by-byte header searches do not cost a system call per byte.

#include "SonabelErrors.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <atomic>

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
    qint64 Read(void* buffer, qint64 count);
    qint64 Write(const void* buffer, qint64 count);
    // Exact variants: EReadError / EWriteError when fewer bytes move.
    void ReadBuffer(void* buffer, qint64 count);
    void WriteBuffer(const void* buffer, qint64 count);

    qint64 Seek(qint64 offset, TSeekOrigin origin = soBeginning);
    qint64 Position() const { return Pos; }
    void SetPosition(qint64 pos) { Seek(pos, soBeginning); }
    qint64 Size() const;
    // Truncates or extends the file; the position is kept (clamped to the new size).
    void SetSize(qint64 size);
    void Flush();

    const QString& FileName() const { return Name; }

    // Bytes fetched from disk by all streams since start-up (benchmarks read it).
    static qint64 TotalBytesRead() { return BytesReadFromDisk.load(); }

    static constexpr qint64 ReadAheadSize = 16 * 1024;

private:
    bool Fill(qint64 pos);
    void DropBuffer() { BufLen = 0; }

    QString Name;
    QFile File;
    qint64 Pos = 0;
    QByteArray Buf;
    qint64 BufStart = 0;
    qint64 BufLen = 0;
    static std::atomic<qint64> BytesReadFromDisk;
};
