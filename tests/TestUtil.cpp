#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QtEndian>
#include <cmath>

namespace TestUtil {

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool SetModified(const QString& path, const QDateTime& when) {
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.setFileTime(when, QFileDevice::FileModificationTime);
}

template <typename T> static QByteArray Bytes(T v) {
    return QByteArray(reinterpret_cast<const char*>(&v), sizeof v);
}

QByteArray Le16(quint16 v) {
    return Bytes(qToLittleEndian(v));
}

QByteArray Le32(quint32 v) {
    return Bytes(qToLittleEndian(v));
}

QByteArray Be32(quint32 v) {
    return Bytes(qToBigEndian(v));
}

QByteArray PcmWav(int sampleRate, int channels, double seconds, double toneHz) {
    const int frames = int(sampleRate * seconds);
    QByteArray data;
    data.reserve(frames * channels * 2);
    for (int i = 0; i < frames; ++i) {
        const auto s = qint16(std::lround(8000.0 * std::sin(2 * M_PI * toneHz * i / sampleRate)));
        for (int c = 0; c < channels; ++c)
            data += Le16(quint16(s));
    }
    const int blockAlign = channels * 2;
    // RIFF size (the file's less 8), 16-byte PCM "fmt " chunk, then the "data" chunk.
    return "RIFF" + Le32(quint32(36 + data.size())) + "WAVEfmt " + Le32(16) + Le16(1) +
           Le16(quint16(channels)) + Le32(quint32(sampleRate)) +
           Le32(quint32(sampleRate * blockAlign)) + Le16(quint16(blockAlign)) + Le16(16) + "data" +
           Le32(quint32(data.size())) + data;
}

bool Run(const QString& program, const QStringList& args, int timeoutMs, QByteArray* output) {
    const TCliResult r =
        RunCli(program, args, {}, QProcessEnvironment::systemEnvironment(), timeoutMs);
    if (output)
        *output = r.Out + r.Err;
    return r.Code == 0;
}

QString NewFolder(const QTemporaryDir& temp, const QString& name) {
    const QDir dir(temp.path());
    const QString path =
        temp.filePath(QStringLiteral("%1-%2")
                          .arg(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size())
                          .arg(name));
    return QDir().mkpath(path) ? path : QString();
}

QList<QJsonObject> JsonLines(const QByteArray& out) {
    QList<QJsonObject> records;
    for (const QByteArray& line : out.trimmed().split('\n'))
        records << QJsonDocument::fromJson(line).object();
    return records;
}

QStringList Values(const QList<QJsonObject>& records, const QString& key) {
    QStringList values;
    for (const QJsonObject& record : records)
        values << record.value(key).toString();
    return values;
}

TCliResult RunCli(const QString& program, const QStringList& args, const QByteArray& input,
                  const QProcessEnvironment& env, int timeoutMs) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    TCliResult r;
    if (!p.waitForFinished(timeoutMs))
        return r;
    r.Out = p.readAllStandardOutput();
    r.Err = p.readAllStandardError();
    r.Records = JsonLines(r.Out);
    r.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    return r;
}

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QStringList TempFilesIn(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden,
                                  QDir::Name);
}

bool Lame(const QString& wavPath, const QString& mp3Path, const QStringList& args) {
    return Run(QStringLiteral("lame"),
               QStringList{QStringLiteral("--quiet")} + args + QStringList{wavPath, mp3Path});
}

QString ToneWav(const QString& path, double seconds) {
    return WriteFile(path, PcmWav(44100, 2, seconds)) ? path : QString();
}

QString Script(const QString& folder, const QString& name, const QByteArray& body) {
    const QString path = QDir(folder).filePath(name);
    if (!WriteFile(path, "#!/bin/sh\n" + body))
        return QString();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QString ToneMp3(const QString& path, const QStringList& args, double seconds) {
    const QString wav = path + QStringLiteral(".tmp.wav");
    const bool ok = !ToneWav(wav, seconds).isEmpty() && Lame(wav, path, args);
    QFile::remove(wav);
    return ok ? path : QString();
}

} // namespace TestUtil
