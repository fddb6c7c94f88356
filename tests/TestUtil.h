#pragma once
// Fixtures shared by the test executables: WAV files written in code, real
// files produced by lame/ffmpeg/sox, and little-endian/big-endian builders.

#include "encoder/EncoderFacts.h"
#include "messages/RunState.h"
#include "settings/Settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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
// Sets a file's modification time; false on error.
bool SetModified(const QString& path, const QDateTime& when);

// A canonical 16-bit PCM WAV: RIFF header, 16-byte "fmt " chunk, "data" chunk
// holding a sine tone (so encoders have something to work with).
QByteArray PcmWav(int sampleRate, int channels, double seconds, double toneHz = 440.0);

// Runs a program, waits up to timeoutMs; true when it exited with status 0.
bool Run(const QString& program, const QStringList& args, int timeoutMs = 120000,
         QByteArray* output = nullptr);

// A new folder of its own below temp, its name numbered and ending in name.
QString NewFolder(const QTemporaryDir& temp, const QString& name);

// What a terminal program answered: the exit code (-1: still running at the
// time limit, -2: crashed), its output with one JSON object a line (an empty
// one for a line that is not an object), and its error text.
struct TCliResult {
    int Code = -1;
    QByteArray Out, Err;
    QList<QJsonObject> Records;
};
QList<QJsonObject> JsonLines(const QByteArray& out);
// Each record's value of key, as text ("" where it has none).
QStringList Values(const QList<QJsonObject>& records, const QString& key);
TCliResult RunCli(const QString& program, const QStringList& args, const QByteArray& input = {},
                  const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                  int timeoutMs = 120000);
#ifdef SONABEL_CLI_PATH
inline TCliResult Cli(const QStringList& args, const QByteArray& input = {},
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    return RunCli(QStringLiteral(SONABEL_CLI_PATH), args, input, env);
}
#endif

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
