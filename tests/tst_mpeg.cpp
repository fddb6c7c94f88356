// MPEG stream analysis: frames built byte by byte for the edge cases, real lame
// files for the everyday ones.

#include "Id3Fixtures.h"
#include "TestTable.h"
#include "TestUtil.h"
#include "formats/MP3Stream.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace TestUtil;
using TestTable::Columns;
using TestTable::Row;

namespace {

// Frame headers, big-endian:
//   FF Fx: 11 sync bits, version (bits 19-20), layer (17-18), protection bit
//   third byte: bit-rate index (high nibble), sampling-rate index (2 bits), padding, private
//   fourth byte: channel mode and the rest (not examined)
constexpr quint32 V1L3_128 = 0xFFFB9000;    // MPEG-1 (11) Layer III (01), 128 kbit/s (9), 44100 (0)
constexpr quint32 V1L3_160 = 0xFFFBA000;    // same, 160 kbit/s (index 10)
constexpr quint32 V1L1_32_48k = 0xFFFF1400; // MPEG-1 Layer I (11), 32 kbit/s (1), 48000 (01)
constexpr quint32 V25L3_8_8k = 0xFFE31800;  // MPEG-2.5 (00) Layer III, 8 kbit/s (1), 8000 (10)
constexpr quint32 Reserved = 0xFFEB9000;    // version bits 01: reserved
constexpr quint32 FreeFormat = 0xFFFB0000;  // bit-rate index 0
constexpr quint32 BadRate = 0xFFFB9C00;     // sampling-rate index 3
constexpr quint32 PaddingBit = 0x00000200;

// One frame: the header followed by zero bytes up to the frame length.
QByteArray Frame(quint32 header, int length) {
    return Be32(header) + QByteArray(length - 4, '\0');
}

QByteArray Frames(quint32 header, int length, int count) {
    return Frame(header, length).repeated(count);
}

// A frame carrying the "Xing" magic at the given offset.
QByteArray XingFrame(int offset) {
    QByteArray f = Frame(V1L3_128, 418);
    f.replace(offset, 4, "Xing");
    return f;
}

// ID3v2.3 header: "ID3", major, revision, flags, four 7-bit size bytes.
QByteArray Id3v2Header(quint8 flags, int bodySize) {
    return QByteArray("ID3\x03\x00", 5) + char(flags) + Id3Fixtures::SyncSafe(bodySize);
}

QByteArray Id3v1Tag() {
    return "TAG" + QByteArray(125, '\0');
}

} // namespace

Q_DECLARE_METATYPE(TMP3Info)

class TestMpeg : public QObject {
    Q_OBJECT
    QTemporaryDir Dir;
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = Dir.filePath(name);
        if (!WriteFile(path, bytes))
            qFatal("cannot write fixture");
        return path;
    }
private Q_SLOTS:
    void builtStreams_data() {
        Columns<QByteArray, int, int, bool>({"bytes", "frameCount", "bitRate", "vbr"});
        const QByteArray f128 = Frame(V1L3_128, 418), f160 = Frame(V1L3_160, 522);

        Row("CBR, 40 frames: all counted", f128.repeated(40), 40, 128, false);
        Row("CBR, 5000 frames: sampled over 100", f128.repeated(5000), 100, 128, false);
        Row("padded 419-byte frames", Frames(V1L3_128 | PaddingBit, 419, 150), 100, 128, false);
        // 128 then 160 then 149 x 128: walked to the end, mean 128.2 -> 128.
        Row("second frame differs: full walk", f128 + f160 + f128.repeated(149), 151, 128, true);
        // 1 x 128 + 3 x 160: mean 152.
        Row("VBR mean is rounded", f128 + f160.repeated(3), 4, 152, true);
        // Junk inside a varying stream: the walk searches past it and goes on.
        Row("VBR with junk between frames", f128 + f160 + QByteArray("junk!") + f128.repeated(10),
            12, 131, true);
        // Too large to be read in one go: walked through the read-ahead buffer.
        const int pairs = int(TFileStream::WholeReadLimit / (418 + 522)) + 64;
        Row("VBR over the one-read limit", (f128 + f160).repeated(pairs), 2 * pairs, 144, true);
        Row("Xing at 36, not counted", XingFrame(36) + f128.repeated(120), 120, 128, true);
        Row("Xing at 13 counts the same", XingFrame(13) + f128.repeated(10), 10, 128, true);
        Row("Xing at 21", XingFrame(21) + f160.repeated(7), 7, 160, true);
        Row("garbage before the first frame is skipped",
            QByteArray("\x00\xFF\x12junk!", 8) + f128.repeated(30), 30, 128, false);
        // The last header starts 7 bytes before the end: found (5 frames + the stub).
        Row("header 7 bytes before the end is found",
            f128.repeated(5) + Be32(V1L3_128) + QByteArray(3, '\0'), 6, 128, false);
        Row("header 6 bytes before the end is not",
            f128.repeated(5) + Be32(V1L3_128) + QByteArray(2, '\0'), 5, 128, false);
        Row("Layer I, 32 kbit/s, 48 kHz", Frames(V1L1_32_48k, 32, 50), 50, 32, false);
        Row("MPEG-2.5 L3, 8 kbit/s, 8 kHz", Frames(V25L3_8_8k, 72, 60), 60, 8, false);
    }

    void builtStreams() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, bitRate);
        const TMP3Info info = GetMP3Info(Write(QStringLiteral("built.mp3"), bytes));
        QTEST(info.FrameCount, "frameCount");
        QTEST(info.VBR, "vbr");
        const int size = int(bytes.size()); // all audio, played at the mean rate, rounded
        QCOMPARE(
            (QList<int>{info.BitRate, info.FileSize, info.AudioSize, info.Duration}),
            (QList<int>{bitRate, size, size, int((qint64(size) * 16 + bitRate) / (2 * bitRate))}));
    }

    void tagsMoveAudio_data() {
        Columns<QByteArray, int, int, int>({"bytes", "audioStart", "audioEnd", "tagV1Size"});

        const QByteArray audio = Frames(V1L3_128, 418, 20);
        Row("ID3v2 without footer: size + 10",
            Id3v2Header(0x00, 300) + QByteArray(300, '\0') + audio, 310, 310 + 8360, 0);
        Row("ID3v2 with footer flag: size + 20",
            Id3v2Header(0x10, 300) + QByteArray(310, '\0') + audio, 320, 320 + 8360, 0);
        Row("ID3v1 at the end", audio + Id3v1Tag(), 0, 8360, 128);
        Row("both tags", Id3v2Header(0, 20) + QByteArray(20, '\0') + audio + Id3v1Tag(), 30,
            30 + 8360, 128);
        // Only the three magic bytes count, whatever follows.
        Row("TAG with garbage after it", audio + QByteArray("TAG") + QByteArray(125, '\xFF'), 0,
            8360, 128);
    }

    void tagsMoveAudio() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, audioStart);
        QFETCH(int, audioEnd);
        const TMP3Info i = GetMP3Info(Write(QStringLiteral("tags.mp3"), bytes));
        QTEST(i.TagV1Size, "tagV1Size");
        QCOMPARE((QList<int>{i.AudioStart, i.TagV2Size, i.AudioEnd, i.AudioSize, i.FrameCount,
                             i.BitRate}),
                 (QList<int>{audioStart, audioStart, audioEnd, audioEnd - audioStart, 20, 128}));
    }

    void rejected_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = Frames(V1L3_128, 418, 20);
        Row("reserved version first, valid frames after", Frame(Reserved, 418) + good);
        Row("free format first", Frame(FreeFormat, 418) + good);
        Row("sampling-rate index 3 first", Frame(BadRate, 418) + good);
        Row("reserved layer first", Frame(0xFFF99000, 418) + good);
        Row("text file", QByteArray("Just some words, no audio here at all.\n").repeated(20));
        Row("empty file", QByteArray());
        Row("Xing frame with nothing after it", XingFrame(36));
        // A tiny file under 128 bytes is not tested for "TAG" and has no frame.
        Row("short TAG file", QByteArray("TAG"));
        // The ID3v2 size points into the ID3v1 tag, whose bytes hold a valid header.
        Row("ID3v2 tag reaching into the ID3v1 tag",
            Id3v2Header(0, 8360 + 3) + Frames(V1L3_128, 418, 20) + QByteArray("TAG") +
                Be32(V1L3_128) + QByteArray(121, '\0'));
    }

    void rejected() {
        QFETCH(QByteArray, bytes);
        const QString path = Write(QStringLiteral("bad.mp3"), bytes);
        QCOMPARE(GetMP3Info(path), TMP3Info());
        try {
            TMP3ReadStream s(path, fmOpenRead, 0);
            QFAIL("the reader must refuse the file");
        } catch (const EFOpenError& e) {
            QCOMPARE(e.Args, QVariantList{path});
        }
    }

    void lameFiles_data() {
        Columns<QStringList, int, int, int, bool>(
            {"lameArgs", "sampleRate", "bitRate", "version", "vbr"});

        using L = QStringList;
        Row("CBR 128", L{"-b", "128"}, 44100, 128, 3, false);
        Row("CBR 320", L{"-b", "320"}, 44100, 320, 3, false);
        // lame moves 32 kbit/s down to MPEG-2 by itself.
        Row("CBR 32 mono", L{"-b", "32", "-m", "m"}, 22050, 32, 2, false);
        Row("MPEG-2, 22.05 kHz", L{"-b", "64", "--resample", "22.05"}, 22050, 64, 2, false);
        Row("MPEG-2.5, 8 kHz mono", L{"-b", "16", "--resample", "8", "-m", "m"}, 8000, 16, 0,
            false);
        Row("VBR -V 4", L{"-V", "4"}, 44100, -1, 3, true);
    }

    void lameFiles() {
        QFETCH(QStringList, lameArgs);
        QFETCH(int, sampleRate);
        QFETCH(int, bitRate);
        QFETCH(int, version);
        QFETCH(bool, vbr);
        const QString wav = Write(QStringLiteral("src.wav"), PcmWav(44100, 2, 6.0));
        const QString mp3 = Dir.filePath(QStringLiteral("lame.mp3"));
        QVERIFY(Lame(wav, mp3, lameArgs));
        const TMP3Info info = GetMP3Info(mp3, roTagV1);
        QCOMPARE((QList<int>{info.SampleRate, info.Version, info.Layer, info.VBR, info.FileSize}),
                 (QList<int>{sampleRate, version, 1, vbr, int(QFileInfo(mp3).size())}));
        if (bitRate > 0)
            QCOMPARE(info.BitRate, bitRate);
        else
            QVERIFY(info.BitRate > 8 && info.BitRate < 320);
        // A constant stream is sampled; a variable one walked to its end.
        const int samplesPerFrame = version == 3 ? 1152 : 576;
        const int totalFrames = int(6.0 * sampleRate / samplesPerFrame);
        if (vbr || totalFrames < 100)
            QVERIFY2(qAbs(info.FrameCount - totalFrames) <= 3,
                     qPrintable(QString::number(info.FrameCount)));
        else
            QCOMPARE(info.FrameCount, 100);
        // Playing time within 5% of the six seconds encoded.
        QVERIFY2(qAbs(info.Duration - 6000) < 300, qPrintable(QString::number(info.Duration)));
    }

    // Version, layer, bit rate, sampling rate and padding give the length.
    void frameLengths_data() {
        Columns<int, int>({"length", "expected"});
        Row("MPEG-1 L3 128/44100", MpegFrameLength(3, 1, 128, 44100, 0), 418);
        Row("MPEG-1 L3 128/44100 padded", MpegFrameLength(3, 1, 128, 44100, 1), 419);
        Row("MPEG-1 L1 32/48000", MpegFrameLength(3, 3, 32, 48000, 0), 32);
        Row("MPEG-1 L1 padded adds 4", MpegFrameLength(3, 3, 32, 48000, 1), 36);
        Row("MPEG-2.5 L3 8/8000", MpegFrameLength(0, 1, 8, 8000, 0), 72);
        Row("MPEG-2 L2 uses 144", MpegFrameLength(2, 2, 64, 24000, 0), 384);
        Row("MPEG-2 L3 uses 72", MpegFrameLength(2, 1, 64, 24000, 0), 192);
    }

    void frameLengths() {
        QFETCH(int, length);
        QTEST(length, "expected");
    }

    void tagV1Capture() {
        QByteArray tag = Id3v1Tag();
        tag.replace(3, 5, "Title");
        const QString path = Write(QStringLiteral("v1.mp3"), Frames(V1L3_128, 418, 10) + tag);
        TMP3Info info;
        QByteArray raw;
        GetMP3Info(path, 0, info, &raw);
        QCOMPARE(raw, QByteArray(128, '\0')); // not kept without the option
        GetMP3Info(path, roTagV1, info, &raw);
        QCOMPARE(raw, tag);
        // The reader stands at the audio once built.
        TMP3ReadStream s(path, fmOpenRead, roTagV1);
        QCOMPARE(s.Position(), qint64(s.Info.AudioStart));
    }

    // Offsets are 32-bit in the stored formats: a file of 2 GiB is refused rather
    // than mis-measured. The file is sparse, so it costs no disk space.
    void hugeFileRefused() {
        const QString path = Write(QStringLiteral("huge.mp3"), Frames(V1L3_128, 418, 200));
        QFile f(path);
        QVERIFY(f.resize(MaxStreamFileSize));
        f.close();
        QCOMPARE(GetMP3Info(path), TMP3Info());
        QVERIFY(f.resize(MaxStreamFileSize - 1));
        f.close();
        QCOMPARE(GetMP3Info(path).BitRate, 128);
    }
};

QTEST_GUILESS_MAIN(TestMpeg)
#include "tst_mpeg.moc"
