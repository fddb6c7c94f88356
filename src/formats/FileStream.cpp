#include "FileStream.h"

#include <QFileInfo>
#include <cstring>

std::atomic<qint64> TFileStream::BytesReadFromDisk{0};

QString FileOpenErrorText(const QString& fileName) {
    return QStringLiteral("Impossible d'ouvrir le fichier %1")
        .arg(QFileInfo(fileName).absoluteFilePath());
}

TFileStream::TFileStream(const QString& fileName, quint16 mode) : Name(fileName), File(fileName) {
    QIODevice::OpenMode qm = QIODevice::Unbuffered;
    if (mode == fmCreate)
        qm |= QIODevice::ReadWrite | QIODevice::Truncate;
    else if ((mode & 3) == fmOpenReadWrite)
        qm |= QIODevice::ReadWrite | QIODevice::ExistingOnly;
    else if ((mode & 3) == fmOpenWrite)
        qm |= QIODevice::WriteOnly | QIODevice::ExistingOnly;
    else
        qm |= QIODevice::ReadOnly;
    // A folder opens as a QFile on Linux but is no stream.
    if (fileName.isEmpty() || QFileInfo(fileName).isDir() || !File.open(qm))
        throw EFOpenError(FileOpenErrorText(fileName));
    Buf.resize(ReadAheadSize);
}

TFileStream::~TFileStream() = default;

bool TFileStream::Fill(qint64 pos) {
    BufLen = 0;
    if (!File.seek(pos))
        return false;
    const qint64 n = File.read(Buf.data(), ReadAheadSize);
    if (n <= 0)
        return false;
    BytesReadFromDisk += n;
    BufStart = pos;
    BufLen = n;
    return true;
}

qint64 TFileStream::Read(void* buffer, qint64 count) {
    if (count <= 0 || Pos < 0)
        return 0;
    auto* out = static_cast<char*>(buffer);
    qint64 done = 0;
    while (done < count) {
        const qint64 want = count - done;
        if (Pos >= BufStart && Pos < BufStart + BufLen) {
            const qint64 n = std::min(want, BufStart + BufLen - Pos);
            std::memcpy(out + done, Buf.constData() + (Pos - BufStart), size_t(n));
            done += n;
            Pos += n;
            continue;
        }
        if (want >= ReadAheadSize) {
            // Large block copies bypass the read-ahead buffer.
            if (!File.seek(Pos))
                break;
            const qint64 n = File.read(out + done, want);
            if (n <= 0)
                break;
            BytesReadFromDisk += n;
            done += n;
            Pos += n;
            continue;
        }
        if (!Fill(Pos))
            break;
    }
    return done;
}

qint64 TFileStream::Write(const void* buffer, qint64 count) {
    if (count <= 0 || Pos < 0)
        return 0;
    DropBuffer();
    if (!File.seek(Pos))
        return 0;
    const qint64 n = File.write(static_cast<const char*>(buffer), count);
    if (n <= 0)
        return 0;
    Pos += n;
    return n;
}

void TFileStream::ReadBuffer(void* buffer, qint64 count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError(QString::fromUtf8(ReadErrorText));
}

void TFileStream::WriteBuffer(const void* buffer, qint64 count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError(QString::fromUtf8(WriteErrorText));
}

qint64 TFileStream::Seek(qint64 offset, TSeekOrigin origin) {
    switch (origin) {
    case soBeginning:
        Pos = offset;
        break;
    case soCurrent:
        Pos += offset;
        break;
    case soEnd:
        Pos = Size() + offset;
        break;
    }
    return Pos;
}

qint64 TFileStream::Size() const {
    return File.size();
}

void TFileStream::SetSize(qint64 size) {
    DropBuffer();
    if (!File.resize(size))
        throw EWriteError(QString::fromUtf8(WriteErrorText));
    if (Pos > size)
        Pos = size;
}

void TFileStream::Flush() {
    File.flush();
}
