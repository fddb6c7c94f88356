// WAV chunk walk and the integer list behind its chunk index.

#include "TestUtil.h"
#include "formats/IntegerList.h"
#include "formats/WavStream.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace TestUtil;

namespace {

// "fmt " chunk: format tag, channels, rate, bytes/s, block align, bits/sample.
QByteArray FmtChunk(quint16 tag, quint16 channels, quint32 rate, quint32 bytesPerSec, quint16 align,
                    quint32 chunkSize = 16) {
    QByteArray c("fmt ");
    c += Le32(chunkSize);
    c += Le16(tag);
    c += Le16(channels);
    c += Le32(rate);
    c += Le32(bytesPerSec);
    c += Le16(align);
    c += Le16(16);
    c += QByteArray(int(chunkSize) - 16, '\0');
    return c;
}

QByteArray Chunk(const char* id, const QByteArray& data, bool pad = true) {
    QByteArray c(id, 4);
    c += Le32(quint32(data.size()));
    c += data;
    if (pad && (data.size() & 1))
        c += '\0';
    return c;
}

// RIFF header around the chunks; sizeDelta skews the declared RIFF size.
QByteArray Riff(const QByteArray& chunks, int sizeDelta = 0) {
    QByteArray w("RIFF");
    w += Le32(quint32(4 + chunks.size() + sizeDelta));
    w += "WAVE";
    w += chunks;
    return w;
}

const QByteArray Fmt44k = FmtChunk(1, 2, 44100, 176400, 4);

} // namespace

Q_DECLARE_METATYPE(TWAVInfo)

class TestWav : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void accepted_data();
    void accepted();
    void rejected_data();
    void rejected();
    void dataWithoutFmt();
    void chunkIndex();
    void extensible_data();
    void extensible();
    void realFiles_data();
    void realFiles();
    void integerListSorted_data();
    void integerListSorted();
    void integerListLimits();

private:
    QTemporaryDir Dir;
    QString Write(const QByteArray& bytes) {
        const QString path = Dir.filePath(QStringLiteral("t.wav"));
        if (!WriteFile(path, bytes))
            qFatal("cannot write fixture");
        return path;
    }
};

void TestWav::accepted_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("dataStart");
    QTest::addColumn<int>("dataSize");
    QTest::addColumn<int>("bitRate");
    QTest::addColumn<int>("duration");

    QTest::newRow("CD audio, 10 s") << Riff(Fmt44k + Chunk("data", QByteArray(1764000, '\0'))) << 44
                                    << 1764000 << 1411 << 10000;
    // An odd chunk before the data is followed by one pad byte.
    QTest::newRow("odd chunk padded")
        << Riff(Chunk("LIST", "abc") + Fmt44k + Chunk("data", QByteArray(1000, '\0')))
        << 12 + 12 + 24 + 8 << 1000 << 1411 << 6;
    QTest::newRow("long fmt chunk, only 16 bytes read")
        << Riff(FmtChunk(1, 1, 8000, 16000, 2, 18) + Chunk("data", QByteArray(16000, '\0')))
        << 12 + 26 + 8 << 16000 << 128 << 1000;
    QTest::newRow("later data chunk overrides")
        << Riff(Fmt44k + Chunk("data", QByteArray(10, '\0')) + Chunk("data", QByteArray(400, '\0')))
        << 12 + 24 + 18 + 8 << 400 << 1411 << 2;
    // 22050 bytes/s / 125 = 176.4 -> 176; 1000 bytes -> 45.35 ms -> 45.
    QTest::newRow("mono 11 kHz") << Riff(FmtChunk(1, 1, 11025, 22050, 2) +
                                         Chunk("data", QByteArray(1000, '\0')))
                                 << 44 << 1000 << 176 << 45;
    // An odd data chunk as the last one, its pad byte present.
    QTest::newRow("odd last chunk with pad")
        << Riff(Fmt44k + Chunk("data", QByteArray(3, '\0'))) << 44 << 3 << 1411 << 0;
}

void TestWav::accepted() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, dataStart);
    QFETCH(int, dataSize);
    QFETCH(int, bitRate);
    QFETCH(int, duration);
    const TWAVInfo info = GetWAVInfo(Write(bytes));
    QCOMPARE(info.DataStart, dataStart);
    QCOMPARE(info.DataSize, dataSize);
    QCOMPARE(info.DataEnd, dataStart + dataSize);
    QCOMPARE(info.FileSize, int(bytes.size()));
    QCOMPARE(info.BitRate, bitRate);
    QCOMPARE(info.Duration, duration);
}

void TestWav::rejected_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray data = Chunk("data", QByteArray(100, '\0'));
    QTest::newRow("a byte appended") << Riff(Fmt44k + data) + QByteArray(1, '\0');
    QTest::newRow("RIFF size one short") << Riff(Fmt44k + data, -1);
    QTest::newRow("RIFX") << QByteArray("RIFX") + Riff(Fmt44k + data).mid(4);
    QTest::newRow("riff lower case") << QByteArray("riff") + Riff(Fmt44k + data).mid(4);
    QTest::newRow("form type AVI ") << Riff(Fmt44k + data).replace(8, 4, "AVI ");
    QTest::newRow("odd last chunk without pad") << Riff(Fmt44k + Chunk("data", "abc", false));
    QTest::newRow("data larger than the file")
        << Riff(Fmt44k + QByteArray("data") + Le32(5000) + QByteArray(100, '\0'));
    QTest::newRow("chunk size F8 FF FF FF")
        << Riff(Fmt44k + QByteArray("junk\xF8\xFF\xFF\xFF", 8) + data);
    QTest::newRow("fmt but no data") << Riff(Fmt44k);
    QTest::newRow("empty data") << Riff(Fmt44k + Chunk("data", QByteArray()));
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("an MP3 name on text") << QByteArray("hello world, this is not audio");
}

void TestWav::rejected() {
    QFETCH(QByteArray, bytes);
    QCOMPARE(GetWAVInfo(Write(bytes)), TWAVInfo());
}

// Without a format chunk the reader reports BitRate 0 and Duration -1; callers
// treat the file as unusable because of the bit rate.
void TestWav::dataWithoutFmt() {
    const TWAVInfo info = GetWAVInfo(Write(Riff(Chunk("data", QByteArray(100, '\0')))));
    QCOMPARE(info.DataSize, 100);
    QCOMPARE(info.BitRate, 0);
    QCOMPARE(info.Duration, -1);
}

void TestWav::chunkIndex() {
    const QString path =
        Write(Riff(Chunk("LIST", "x") + Fmt44k + Chunk("data", QByteArray(8, '\0'))));
    TWAVReadStream s(path, fmOpenRead);
    QCOMPARE(s.ChunkIds, (QStringList{"LIST", "fmt ", "data"}));
    QCOMPARE(s.ChunkSizes.Count(), 3);
    QCOMPARE(s.ChunkSizes[0], 1);
    QCOMPARE(s.ChunkOffsets[1], 12 + 10 + 8);
    QCOMPARE(s.ChunkOffsets[2], 12 + 10 + 24 + 8);
}

void TestWav::extensible_data() {
    QTest::addColumn<QByteArray>("fmt");
    QTest::addColumn<int>("subFormat");
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
    QTest::newRow("PCM sub-format") << head + tail(1, base) << 1;
    QTest::newRow("float sub-format") << head + tail(3, base) << 3;
    QTest::newRow("foreign GUID") << head + tail(1, QByteArray(12, '\x11')) << 0;
    QTest::newRow("extensible tag, 16-byte chunk") << FmtChunk(0xFFFE, 2, 44100, 264600, 6) << 0;
}

void TestWav::extensible() {
    QFETCH(QByteArray, fmt);
    QFETCH(int, subFormat);
    const TWAVInfo info = GetWAVInfo(Write(Riff(fmt + Chunk("data", QByteArray(600, '\0')))));
    QCOMPARE(info.FormatTag, WavFormatExtensible);
    QCOMPARE(info.SubFormat, subFormat);
    QCOMPARE(IsPcmWav(info), subFormat == WavFormatPCM);
    QCOMPARE(info.BitRate, 2117); // 264600 / 125 = 2116.8
}

void TestWav::realFiles_data() {
    QTest::addColumn<QStringList>("soxArgs");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bitRate");
    QTest::addColumn<int>("formatTag");
    QTest::newRow("sox 48 kHz stereo 16-bit")
        << QStringList{"-r", "48000", "-c", "2", "-b", "16"} << 48000 << 2 << 1536 << 1;
    QTest::newRow("sox 22050 mono 8-bit")
        << QStringList{"-r", "22050", "-c", "1", "-b", "8"} << 22050 << 1 << 176 << 1;
    QTest::newRow("sox 24-bit, extensible")
        << QStringList{"-r", "44100", "-c", "2", "-b", "24", "-e", "signed"} << 44100 << 2 << 2117
        << 0xFFFE;
}

void TestWav::realFiles() {
    QFETCH(QStringList, soxArgs);
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(int, bitRate);
    QFETCH(int, formatTag);
    const QString path = Dir.filePath(QStringLiteral("sox.wav"));
    QVERIFY(
        Run("sox", QStringList{"-n"} + soxArgs + QStringList{path, "synth", "2", "sine", "440"}));
    const TWAVInfo info = GetWAVInfo(path);
    QCOMPARE(info.FormatTag, formatTag);
    QVERIFY(IsPcmWav(info));
    QCOMPARE(info.SampleRate, sampleRate);
    QCOMPARE(info.Channels, channels);
    QCOMPARE(info.BitRate, bitRate);
    QCOMPARE(info.Duration, 2000);
    QCOMPARE(info.DataEnd, info.FileSize);
}

void TestWav::integerListSorted_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<int>>("adds");
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<QList<int>>("contents");
    QTest::newRow("unsorted appends")
        << 0 << QList<int>{5, 1, 5} << QList<int>{0, 1, 2} << QList<int>{5, 1, 5};
    QTest::newRow("ascending unique refuses a second 7")
        << 2 << QList<int>{3, 7, 7, 5} << QList<int>{0, 1, -1, 1} << QList<int>{3, 5, 7};
    QTest::newRow("ascending keeps duplicates")
        << 1 << QList<int>{4, 2, 4, 9, 1} << QList<int>{0, 0, 1, 3, 0} << QList<int>{1, 2, 4, 4, 9};
    QTest::newRow("descending unique")
        << 4 << QList<int>{3, 7, 5, 7, 1} << QList<int>{0, 0, 1, -1, 3} << QList<int>{7, 5, 3, 1};
    QTest::newRow("descending duplicates")
        << 3 << QList<int>{2, 8, 2, 5} << QList<int>{0, 0, 1, 1} << QList<int>{8, 5, 2, 2};
}

void TestWav::integerListSorted() {
    QFETCH(int, mode);
    QFETCH(QList<int>, adds);
    QFETCH(QList<int>, indexes);
    QFETCH(QList<int>, contents);
    TIntegerList list(static_cast<TIntegerListSort>(mode));
    for (int i = 0; i < adds.size(); ++i)
        QCOMPARE(list.Add(adds[i]), indexes[i]);
    QCOMPARE(list.Count(), int(contents.size()));
    for (int i = 0; i < contents.size(); ++i)
        QCOMPARE(list[i], contents[i]);
}

void TestWav::integerListLimits() {
    TIntegerList list;
    // Growth: 4 while the capacity is at most 8, then 16, then a quarter above 64.
    QList<int> capacities;
    for (int i = 0; i < 200; ++i) {
        if (list.Count() == list.Capacity())
            capacities.append(list.Capacity());
        list.Add(i);
    }
    QCOMPARE(capacities, (QList<int>{0, 4, 8, 12, 28, 44, 60, 76, 95, 118, 147, 183}));
    QVERIFY_THROWS_EXCEPTION(EListError, list.SetCapacity(10));
    QVERIFY_THROWS_EXCEPTION(EListError, list.SetCount(-1));
    QVERIFY_THROWS_EXCEPTION(EListError, list.SetCount(TIntegerList::MaxListSize));
    QVERIFY_THROWS_EXCEPTION(EListError, list.SetCapacity(TIntegerList::MaxListSize));
    list.SetCount(205);
    QCOMPARE(list[204], 0); // raised counts are zero-filled
    list.Clear();
    QCOMPARE(list.Count(), 0);
    QCOMPARE(list.Capacity(), 0);
}

QTEST_GUILESS_MAIN(TestWav)
#include "tst_wav.moc"
