// WAV chunk walk.

#include "TestTable.h"
#include "TestUtil.h"
#include "formats/WavStream.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace TestUtil;
using TestTable::Columns;
using TestTable::Row;

namespace {

// "fmt " chunk: format tag, channels, rate, bytes/s, block align, bits/sample.
QByteArray FmtChunk(quint16 tag, quint16 channels, quint32 rate, quint32 bytesPerSec, quint16 align,
                    quint32 chunkSize = 16) {
    return "fmt " + Le32(chunkSize) + Le16(tag) + Le16(channels) + Le32(rate) + Le32(bytesPerSec) +
           Le16(align) + Le16(16) + QByteArray(int(chunkSize) - 16, '\0');
}

QByteArray Chunk(const char* id, const QByteArray& data, bool pad = true) {
    return QByteArray(id, 4) + Le32(quint32(data.size())) + data +
           QByteArray(pad && (data.size() & 1) ? 1 : 0, '\0');
}

// RIFF header around the chunks; sizeDelta skews the declared RIFF size.
QByteArray Riff(const QByteArray& chunks, int sizeDelta = 0) {
    return "RIFF" + Le32(quint32(4 + chunks.size() + sizeDelta)) + "WAVE" + chunks;
}

const QByteArray Fmt44k = FmtChunk(1, 2, 44100, 176400, 4);

} // namespace

Q_DECLARE_METATYPE(TWAVInfo)

class TestWav : public QObject {
    Q_OBJECT
    QTemporaryDir Dir;
    QString Write(const QByteArray& bytes) {
        const QString path = Dir.filePath(QStringLiteral("t.wav"));
        if (!WriteFile(path, bytes))
            qFatal("cannot write fixture");
        return path;
    }
private Q_SLOTS:

    void accepted_data() {
        // expected: data start, data size, bit rate, duration
        Columns<QByteArray, QList<int>>({"bytes", "expected"});
        using L = QList<int>;
        const auto data = [](int size) { return Chunk("data", QByteArray(size, '\0')); };

        Row("CD audio, 10 s", Riff(Fmt44k + data(1764000)), L{44, 1764000, 1411, 10000});
        // An odd chunk before the data is followed by one pad byte.
        Row("odd chunk padded", Riff(Chunk("LIST", "abc") + Fmt44k + data(1000)),
            L{12 + 12 + 24 + 8, 1000, 1411, 6});
        Row("long fmt chunk, only 16 bytes read",
            Riff(FmtChunk(1, 1, 8000, 16000, 2, 18) + data(16000)),
            L{12 + 26 + 8, 16000, 128, 1000});
        Row("later data chunk overrides", Riff(Fmt44k + data(10) + data(400)),
            L{12 + 24 + 18 + 8, 400, 1411, 2});
        // 22050 bytes/s / 125 = 176.4 -> 176; 1000 bytes -> 45.35 ms -> 45.
        Row("mono 11 kHz", Riff(FmtChunk(1, 1, 11025, 22050, 2) + data(1000)),
            L{44, 1000, 176, 45});
        // An odd data chunk as the last one, its pad byte present.
        Row("odd last chunk with pad", Riff(Fmt44k + data(3)), L{44, 3, 1411, 0});
        // Without a format chunk: bit rate 0 (callers refuse the file for it), duration -1.
        Row("data without fmt", Riff(data(100)), L{20, 100, 0, -1});
    }

    void accepted() {
        QFETCH(QByteArray, bytes);
        const TWAVInfo info = GetWAVInfo(Write(bytes));
        QTEST((QList<int>{info.DataStart, info.DataSize, info.BitRate, info.Duration}), "expected");
        QCOMPARE((QList<int>{info.DataEnd, info.FileSize}),
                 (QList<int>{info.DataStart + info.DataSize, int(bytes.size())}));
    }

    void rejected_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray data = Chunk("data", QByteArray(100, '\0'));
        Row("a byte appended", Riff(Fmt44k + data) + QByteArray(1, '\0'));
        Row("RIFF size one short", Riff(Fmt44k + data, -1));
        Row("RIFX", QByteArray("RIFX") + Riff(Fmt44k + data).mid(4));
        Row("riff lower case", QByteArray("riff") + Riff(Fmt44k + data).mid(4));
        Row("form type AVI ", Riff(Fmt44k + data).replace(8, 4, "AVI "));
        Row("odd last chunk without pad", Riff(Fmt44k + Chunk("data", "abc", false)));
        Row("data larger than the file",
            Riff(Fmt44k + QByteArray("data") + Le32(5000) + QByteArray(100, '\0')));
        Row("chunk size F8 FF FF FF", Riff(Fmt44k + QByteArray("junk\xF8\xFF\xFF\xFF", 8) + data));
        Row("fmt but no data", Riff(Fmt44k));
        Row("empty data", Riff(Fmt44k + Chunk("data", QByteArray())));
        Row("empty file", QByteArray());
        Row("an MP3 name on text", QByteArray("hello world, this is not audio"));
    }

    void rejected() {
        QFETCH(QByteArray, bytes);
        QCOMPARE(GetWAVInfo(Write(bytes)), TWAVInfo());
    }

    void extensible_data() {
        Columns<QByteArray, int>({"fmt", "subFormat"});
        // The 24 bytes after the first 16 of a 40-byte extensible "fmt " chunk.
        const auto tail = [](quint32 code, const QByteArray& guidTail) {
            return Le16(22)     // cbSize: 22 bytes follow
                   + Le16(24)   // valid bits per sample
                   + Le32(3)    // channel mask: front left and right
                   + Le32(code) // sub-format GUID, first 4 bytes: the format code
                   + guidTail;  // and the fixed 12 of the base GUID
        };
        const QByteArray base("\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 12);
        const QByteArray head = FmtChunk(0xFFFE, 2, 44100, 264600, 6, 40).left(8 + 16);
        Row("PCM sub-format", head + tail(1, base), 1);
        Row("float sub-format", head + tail(3, base), 3);
        Row("foreign GUID", head + tail(1, QByteArray(12, '\x11')), 0);
        Row("extensible tag, 16-byte chunk", FmtChunk(0xFFFE, 2, 44100, 264600, 6), 0);
    }

    void extensible() {
        QFETCH(QByteArray, fmt);
        QFETCH(int, subFormat);
        const TWAVInfo info = GetWAVInfo(Write(Riff(fmt + Chunk("data", QByteArray(600, '\0')))));
        // 264600 / 125 = 2116.8
        QCOMPARE((QList<int>{info.FormatTag, info.SubFormat, IsPcmWav(info), info.BitRate}),
                 (QList<int>{WavFormatExtensible, subFormat, subFormat == WavFormatPCM, 2117}));
    }

    void realFiles_data() {
        // expected: format tag, rate, channels, bit rate
        Columns<QString, QList<int>>({"soxArgs", "expected"});
        Row("sox 48 kHz stereo 16-bit", "-r 48000 -c 2 -b 16", QList<int>{1, 48000, 2, 1536});
        Row("sox 22050 mono 8-bit", "-r 22050 -c 1 -b 8", QList<int>{1, 22050, 1, 176});
        Row("sox 24-bit, extensible", "-r 44100 -c 2 -b 24 -e signed",
            QList<int>{0xFFFE, 44100, 2, 2117});
    }

    void realFiles() {
        QFETCH(QString, soxArgs);
        const QString path = Dir.filePath(QStringLiteral("sox.wav"));
        QVERIFY(Run("sox", QStringList{"-n"} + soxArgs.split(' ') +
                               QStringList{path, "synth", "2", "sine", "440"}));
        const TWAVInfo info = GetWAVInfo(path);
        QVERIFY(IsPcmWav(info));
        QTEST((QList<int>{info.FormatTag, info.SampleRate, info.Channels, info.BitRate}),
              "expected");
        QCOMPARE((QList<int>{info.Duration, info.DataEnd}), (QList<int>{2000, info.FileSize}));
    }
};

QTEST_GUILESS_MAIN(TestWav)
#include "tst_wav.moc"
