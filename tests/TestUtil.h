#pragma once
// Fixtures shared by the test executables: WAV files written in code, real
// files produced by lame/ffmpeg/sox, and little-endian/big-endian builders.

#include "encoder/EncoderFacts.h"
#include "messages/RunState.h"
#include "settings/Settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Fresh settings, run state and encoder facts, current while they live: a
// test makes them in init() instead of resetting the program's.
struct TOwners {
    TPreferences Preferences;
    TRunState RunState;
    TEncoderFacts EncoderFacts{Preferences};
};

namespace TestUtil {

// Writes bytes to a file; QFAIL-friendly: returns false on error.
bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

// A canonical 16-bit PCM WAV: RIFF header, 16-byte "fmt " chunk, "data" chunk
// holding a sine tone (so encoders have something to work with).
QByteArray PcmWav(int sampleRate, int channels, double seconds, double toneHz = 440.0);

// Runs a program, waits up to timeoutMs; true when it exited with status 0.
bool Run(const QString& program, const QStringList& args, int timeoutMs = 120000,
         QByteArray* output = nullptr);

// Every file of a folder, hidden ones too; and among them the program's
// temporary outputs (hidden, ending in ".part").
QStringList FilesIn(const QString& folder);
QStringList TempFilesIn(const QString& folder);

// Encodes wavPath with lame and the given extra arguments into mp3Path.
bool Lame(const QString& wavPath, const QString& mp3Path, const QStringList& args);
// A stereo 44.1 kHz tone written to path; the path, or empty when it could not be written.
QString ToneWav(const QString& path, double seconds = 1.0);
// An MP3 of a tone made by lame with the given arguments; the path, or empty.
QString ToneMp3(const QString& path, const QStringList& args, double seconds = 1.0);
// An executable shell script in folder; its path, or empty.
QString Script(const QString& folder, const QString& name, const QByteArray& body);

// Little-endian integer bytes, for building RIFF structures.
QByteArray Le16(quint16 v);
QByteArray Le32(quint32 v);
// Big-endian 32-bit bytes, for MPEG headers.
QByteArray Be32(quint32 v);

} // namespace TestUtil
