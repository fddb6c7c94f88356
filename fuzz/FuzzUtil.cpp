#include "FuzzUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace FuzzUtil {

namespace {

QString ScratchFolder() {
    // Memory-backed when the machine has it: every input is written once per run.
    static const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                    ? QStringLiteral("/dev/shm")
                                    : QDir::tempPath();
    static QTemporaryDir dir(base + QStringLiteral("/sonabel-fuzz-XXXXXX"));
    return dir.path();
}

} // namespace

QString WriteScratch(const char* name, const QByteArray& bytes) {
    const QString path = ScratchFolder() + QLatin1Char('/') + QLatin1String(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        Fail("cannot write the scratch file");
    return path;
}

QString WriteScratch(const char* name, const uint8_t* data, size_t size) {
    return WriteScratch(name, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
}

QByteArray ReadScratch(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray ValidFrames(int count) {
    QByteArray frame(418, '\0');
    frame[0] = char(0xFF); // sync
    frame[1] = char(0xFB); // sync, MPEG-1, Layer III, no CRC
    frame[2] = char(0x90); // 128 kbit/s, 44100 Hz, no padding
    frame[3] = char(0x00);
    return frame.repeated(count);
}

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

} // namespace FuzzUtil
