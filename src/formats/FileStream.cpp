#include "FileStream.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::atomic<qint64> TFileStream::BytesReadFromDisk{0};

namespace {
// Streams are short-lived: reusing the last read-ahead buffer spares a fresh
// allocation, and its page faults, for every file analysed.
thread_local QByteArray SpareBuffer;
} // namespace

EFOpenError::EFOpenError(const QString& fileName)
    : ESonabelError(TErrorId::FileOpen, {QFileInfo(fileName).absoluteFilePath()}) {}

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
    if (fileName.isEmpty())
        throw EFOpenError(fileName);
    if (qm == (QIODevice::Unbuffered | QIODevice::ReadOnly)) {
        // Opened without blocking and judged by what was opened: a pipe with
        // no writer or a device would otherwise hold the caller forever.
        const int fd =
            ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
            !File.open(fd, qm, QFileDevice::AutoCloseHandle)) {
            if (fd >= 0)
                ::close(fd);
            throw EFOpenError(fileName);
        }
    } else {
        if (!File.open(qm))
            throw EFOpenError(fileName);
        // A folder opens for reading on Linux but is no stream.
        struct stat st {};
        if (::fstat(File.handle(), &st) != 0 || S_ISDIR(st.st_mode))
            throw EFOpenError(fileName);
    }
    Buf.swap(SpareBuffer);
    if (Buf.size() < ReadAheadSize)
        Buf.resize(ReadAheadSize);
}

TFileStream::~TFileStream() {
    if (Buf.size() > SpareBuffer.size())
        SpareBuffer.swap(Buf);
}

// Positioned reads: one system call per fetch, no seek before it.
qint64 TFileStream::PRead(char* data, qint64 count, qint64 pos) {
    qint64 done = 0;
    while (done < count) {
        const ssize_t n = ::pread(File.handle(), data + done, size_t(count - done), pos + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    if (done > 0)
        BytesReadFromDisk += done;
    return done > 0 ? done : 0;
}

bool TFileStream::Fill(qint64 pos) {
    // A forward skip of less than a buffer past the end still counts as sequential.
    const bool sequential =
        BufLen > 0 && pos >= BufStart + BufLen / 2 && pos < BufStart + BufLen + ReadAhead;
    ReadAhead = sequential ? std::min(ReadAhead * 2, MaxReadAheadSize) : ReadAheadSize;
    if (Buf.size() < ReadAhead)
        Buf.resize(ReadAhead);
    BufLen = 0;
    const qint64 n = PRead(Buf.data(), ReadAhead, pos);
    if (n <= 0)
        return false;
    BufStart = pos;
    BufLen = n;
    return true;
}

bool TFileStream::BufferToEnd(qint64 from) {
    const qint64 size = Size();
    if (from < 0 || from > size)
        return false;
    // Bytes buffered up to `from` are kept, so only the rest is fetched.
    const bool keep = BufLen > 0 && from >= BufStart && from <= BufStart + BufLen;
    const qint64 start = keep ? BufStart : from;
    const qint64 have = keep ? std::min(BufLen, size - start) : 0;
    const qint64 need = size - start;
    if (have == need)
        return true;
    if (need > WholeReadLimit)
        return false;
    if (Buf.size() < need) {
        // The whole limit at once: the spare buffer then serves every later file
        // without a new allocation; pages are only touched as they are read.
        QByteArray bigger(std::max(need, WholeReadLimit), Qt::Uninitialized);
        std::memcpy(bigger.data(), Buf.constData(), size_t(have));
        Buf.swap(bigger);
    }
    const qint64 n = PRead(Buf.data() + have, need - have, start + have);
    BufStart = start;
    BufLen = have + n;
    return BufLen == need;
}

qint64 TFileStream::ReadSlow(void* buffer, qint64 count) {
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
        if (want >= MaxReadAheadSize) {
            // Large block copies bypass the read-ahead buffer.
            const qint64 n = PRead(out + done, want, Pos);
            if (n <= 0)
                break;
            done += n;
            Pos += n;
            continue;
        }
        if (!Fill(Pos))
            break;
    }
    return done;
}

const uchar* TFileStream::BufferedSlow(qint64& count) {
    if (Pos < 0 || !Fill(Pos)) {
        count = 0;
        return nullptr;
    }
    count = BufStart + BufLen - Pos;
    return reinterpret_cast<const uchar*>(Buf.constData()) + (Pos - BufStart);
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
        throw EReadError();
}

void TFileStream::WriteBuffer(const void* buffer, qint64 count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError();
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
        throw EWriteError();
    if (Pos > size)
        Pos = size;
}

void TFileStream::Flush() {
    File.flush();
}
