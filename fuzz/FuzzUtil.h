#pragma once
// Helpers shared by the fuzz targets: the readers take file names, so each
// input is written to a scratch file of this process first.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace FuzzUtil {

// Writes bytes to <scratch folder>/<name> and returns its path.
QString WriteScratch(const char* name, const QByteArray& bytes);
QString WriteScratch(const char* name, const uint8_t* data, size_t size);
QByteArray ReadScratch(const QString& path);

// A run of valid MPEG-1 Layer III frames (128 kbit/s, 44100 Hz, 418 bytes each),
// appended after fuzzed tag bytes so the reader accepts most inputs.
QByteArray ValidFrames(int count);

// Stops the process with a message; libFuzzer keeps the input as a crash.
[[noreturn]] void Fail(const char* what);

} // namespace FuzzUtil
