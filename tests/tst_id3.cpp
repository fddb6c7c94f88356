// ID3v1 fields and genres, the ID3v2 frame walk and its index: built tags and mutagen's.

#include "Id3Fixtures.h"
#include "TestTable.h"
#include "TestUtil.h"
#include "formats/ID3v1.h"
#include "formats/ID3v2.h"
#include "formats/MP3Stream.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestUtil;
using namespace Id3Fixtures;
using TestTable::Columns;

namespace {

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz frames of 418 bytes: an audio part the reader accepts.
QByteArray Audio() {
    return (Be32(0xFFFB9000) + QByteArray(414, '\0')).repeated(10);
}

QString Lines(const QStringList& lines) {
    return lines.isEmpty() ? QString()
                           : lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QStringList PaddingLines(int from, int to, int step) {
    QStringList l;
    for (int o = from; o <= to; o += step)
        l << QStringLiteral("@%1~0").arg(o);
    return l;
}

// Title at 3, artist at 33, album at 63 (blanks kept), year at 93, a 28-byte comment at 97,
// then the track marker (or comment), the track (or comment) and the genre.
QByteArray TagV1(const QByteArray& title, const QByteArray& comment, quint8 marker, quint8 track,
                 quint8 genre) {
    return "TAG" + title.leftJustified(30, '\0', true) +
           QByteArray("Artist").leftJustified(30, '\0') +
           QByteArray("Album   ").leftJustified(30, '\0') + "1999" +
           comment.leftJustified(28, '\0', true) + char(marker) + char(track) + char(genre);
}

} // namespace

class TestId3 : public QObject {
    Q_OBJECT
    QTemporaryDir Dir;
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = Dir.filePath(name);
        return WriteFile(path, bytes) ? path : QString();
    }
private Q_SLOTS:

    void tagV1Fields_data() {
        Columns<QByteArray, QStringList>({"tag", "fields"}); // fields: title, comment, track, genre
        const QByteArray full30 = "A title of exactly thirty ch.."; // 30 bytes, no zero
        QTest::newRow("30-byte title whole")
            << TagV1(full30, "c", 0, 0, 17) << QStringList{full30, "c", "0", "17"};
        QTest::newRow("title stops at zero") << TagV1(QByteArray("Short\0Hidden", 12), "c", 0, 0, 0)
                                             << QStringList{"Short", "c", "0", "0"};
        QTest::newRow("track 7, comment 28 bytes")
            << TagV1("t", "Twenty-eight characters long", 0, 7, 148)
            << QStringList{"t", "Twenty-eight characters long", "7", "148"};
        // Bytes 125 and 126 are comment text when the marker is not 0.
        QTest::newRow("30-byte comment, no track")
            << TagV1("t", "Comment of twenty-eight bytes", 'x', 'y', 2)
            << QStringList{"t", "Comment of twenty-eight bytexy", "0", "2"};
        QTest::newRow("Latin-1 bytes") << TagV1("Caf\xE9", "\xFF", 0, 255, 255)
                                       << QStringList{"Caf\u00E9", "\u00FF", "255", "255"};
    }

    void tagV1Fields() {
        QFETCH(QByteArray, tag);
        QFETCH(QStringList, fields);
        QCOMPARE(tag.size(), 128);
        const TTagV1Fields f = ReadTagV1Fields(tag);
        QCOMPARE((QStringList{f.Title, f.Comment, QString::number(f.Track),
                              QString::number(f.Genre), f.Artist, f.Album, f.Year}),
                 (fields + QStringList{"Artist", "Album   ", "1999"}));
    }

    void frameIndex_data() {
        Columns<QByteArray, QString, qint64>({"tag", "index", "kept"});
        const auto row = [](const char* name, const QByteArray& tag, const QStringList& index,
                            qint64 kept) { QTest::newRow(name) << tag << Lines(index) << kept; };
        const QByteArray t = Frame(3, "TIT2", B("\0T"));
        row("2.3 with 100 bytes of padding",
            Tag(3, 0,
                Frame(3, "TIT2", B("\0Hello world")) + Frame(3, "TPE1", B("\0Artist!")) +
                    QByteArray(100, '\0')),
            QStringList{"TIT2@20~12", "TPE1@42~8"} + PaddingLines(60, 150, 10), 50);
        row("2.3 padding only", Tag(3, 0, QByteArray(20, '\0')), PaddingLines(20, 30, 10), 0);
        // 7-bit frame sizes: 0x01 0x00 is 128, not 256.
        row("2.4 7-bit frame size",
            Tag(4, 0, Frame(4, "APIC", QByteArray(128, 'p')) + QByteArray(10, '\0')),
            {"APIC@20~128", "@158~0"}, 148);
        // TIT2: encoding 3 (UTF-8), "Title"; COMM: encoding 0, language "eng", no
        // description, "Nice".
        row("2.4 footer not listed",
            Tag(4, 0x10, Frame(4, "TIT2", B("\x03Title")) + Frame(4, "COMM", B("\0eng\0Nice"))),
            {"TIT2@20~6", "COMM@36~9"}, 45);
        row("2.2 frame of 300 bytes",
            Tag(2, 0,
                Frame(2, "TT2", QByteArray(300, 'x')) + Frame(2, "TP1", B("\0A")) +
                    QByteArray(12, '\0')),
            QStringList{"TT2@16~300", "TP1@322~2"} + PaddingLines(330, 340, 6), 324);
        row("major 1: no frames read", Tag(1, 0, t), {}, 0);
        row("identifier up to its zero byte", Tag(3, 0, Frame(3, B("TI\0X"), B("\0T"))),
            {"TI@20~2"}, 22);
        // A size running past the tag is listed and ends the walk.
        row("size past the tag", Tag(3, 0, t + "TPE1" + Be32(5000) + QByteArray(12, '\0')),
            {"TIT2@20~2", "TPE1@32~5000"}, 5032);
        // The extended header is skipped: version 3 stores 6 (its size without the
        // four size bytes), version 4 stores 10 (its whole length).
        row("2.3 extended header skipped",
            Tag(3, 0x40,
                Be32(6) + QByteArray(6, '\0') + Frame(3, "TALB", B("\0Album")) +
                    QByteArray(10, '\0')),
            {"TALB@30~6", "@46~0"}, 36);
        // 2.4 extended header: size, one flag byte, flags 0x10, four bytes of flag data.
        row("2.4 extended header skipped",
            Tag(4, 0x40, SyncSafe(10) + B("\x01\x10\0\0\0\0") + Frame(4, "TRCK", B("\0003"))),
            {"TRCK@30~2"}, 32);
        // 2^31 does not fit the index: the walk stops there, before any padding.
        row("2.3 size of 2^31 ends the walk",
            Tag(3, 0, t + "TXXX" + Be32(0x80000000) + QByteArray(20, '\0')), {"TIT2@20~2"}, 22);
        // The 2.2 frame walk does not know the extended-header flag (it means
        // compression there).
        row("2.2 flag 0x40 not an extended header", Tag(2, 0x40, Frame(2, "TT2", B("\0Two"))),
            {"TT2@16~4"}, 20);
    }

    void frameIndex() {
        QFETCH(QByteArray, tag);
        const QString path = Write("tagged.mp3", tag + Audio());
        TMP3ReadStream reader(path, fmOpenRead, roFrameIndex);
        QCOMPARE((QList<qint64>{reader.Info.TagV2Size, reader.Info.AudioStart, reader.Position()}),
                 QList<qint64>(3, tag.size()));
        QTEST(reader.FrameIndex, "index");
        QTEST(KeptTagLength(reader.FrameIndex), "kept");

        // Without the option no index is built.
        TMP3ReadStream plain(path, fmOpenRead, roTagV1);
        QVERIFY(plain.FrameIndex.isEmpty());
    }

    void parseFrameEntry_data() {
        // entry: id, offset, size, padding; empty: refused
        Columns<QString, QStringList>({"line", "entry"});
        QTest::newRow("frame") << "TIT2@20~12" << QStringList{"TIT2", "20", "12", "0"};
        QTest::newRow("padding") << "@60~0" << QStringList{"", "60", "0", "1"};
        QTest::newRow("empty frame with id") << "TXXX@30~0" << QStringList{"TXXX", "30", "0", "0"};
        QTest::newRow("no id, size 4") << "@30~4" << QStringList{"", "30", "4", "0"};
        QTest::newRow("large size")
            << "APIC@20~2147483647" << QStringList{"APIC", "20", "2147483647", "0"};
        for (const char* bad : {"T@X@20~1", "TIT2@20~", "TIT2", "TIT2@20~4294967296"})
            QTest::newRow(bad) << bad << QStringList();
    }

    void parseFrameEntry() {
        QFETCH(QString, line);
        QFETCH(QStringList, entry);
        if (entry.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(EConvertError, ParseFrameEntry(line));
            QVERIFY_THROWS_EXCEPTION(EConvertError, IsPaddingEntry(line));
            return;
        }
        const TFrameEntry e = ParseFrameEntry(line);
        QCOMPARE((QStringList{e.Id, QString::number(e.Offset), QString::number(e.Size),
                              QString::number(IsPaddingEntry(line))}),
                 entry);
    }

    // Cases the frame walk does not produce; the rest are checked with frameIndex.
    void keptTagLength() {
        // Frames after the first padding entry do not count.
        QCOMPARE(KeptTagLength(Lines({"TIT2@20~12", "TPE1@42~8", "@60~0", "X@70~9"})), qint64(50));
        // An empty frame is not padding when it has an identifier.
        QCOMPARE(KeptTagLength(Lines({"TIT2@20~2", "TXXX@32~0", "@42~0"})), qint64(32));
        // Offset plus size above 32 bits.
        QCOMPARE(KeptTagLength(Lines({"TIT2@2000000000~2000000000"})), qint64(4000000000));
    }

    void readFrameData_data() {
        Columns<QByteArray, qint64, QByteArray>({"data", "size", "read"}); // size: bytes asked for
        QTest::newRow("size 0") << QByteArray("abc") << qint64(0) << QByteArray();
        QTest::newRow("negative size") << QByteArray("abc") << qint64(-3) << QByteArray();
        QTest::newRow("only size bytes read") << QByteArray("abcdef") << qint64(3) << B("abc");
        // A frame claiming far more than the file holds reads what is there.
        QTest::newRow("size past the end") << B("\0xy") << qint64(2000000000) << B("\0xy");
    }

    void readFrameData() {
        QFETCH(QByteArray, data);
        QFETCH(qint64, size);
        // The frame data sits after 7 unrelated bytes, as it would after a header.
        const QString path = Write("frame.bin", QByteArray("ID3HEAD") + data);
        QTEST(ReadFrameData(path, 7, size), "read");
        QCOMPARE(ReadFrameData(Dir.filePath("missing.mp3"), 0, 10), QByteArray());
        QCOMPARE(ReadFrameData(Dir.path(), 0, 10), QByteArray()); // a folder
    }

    void decodeFrameText_data() {
        // data: from the encoding byte
        Columns<QString, QByteArray, QString>({"id", "data", "text"});
        const QString ete = QString::fromUtf8("L'été");
        QTest::newRow("Latin-1") << "TIT2" << B("\0L'\xE9t\xE9") << ete;
        QTest::newRow("UTF-16 LE mark, terminated")
            << "TIT2" << B("\x01\xFF\xFEL\0'\0\xE9\0t\0\xE9\0\0\0") << ete;
        QTest::newRow("UTF-16 BE mark") << "TT2" << B("\x01\xFE\xFF\0L\0'\0\xE9\0t\0\xE9") << ete;
        QTest::newRow("UTF-16BE") << "TALB" << B("\x02\0L\0'\0\xE9\0t\0\xE9") << ete;
        QTest::newRow("UTF-8") << "TPE1" << B("\x03L'\xC3\xA9t\xC3\xA9") << ete;
        QTest::newRow("UTF-8 values") << "TCON" << B("\x03Rock\0Jazz\0") << "Rock/Jazz";
        QTest::newRow("UTF-16 values, a mark each")
            << "TPE1" << B("\x01\xFF\376A\0\0\0\xFE\xFF\0B") << "A/B";
        QTest::newRow("surrogate pair")
            << "TIT2" << B("\x01\xFF\xFE\x3D\xD8\x00\xDE") << QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("odd UTF-16 byte dropped") << "TIT2" << B("\x01\xFF\376A\0B") << "A";
        QTest::newRow("comment, no description")
            << "COMM" << B("\001eng\xFF\xFE\0\0\xFF\376N\0i\0") << "Ni";
        QTest::newRow("comment with description") << "COM" << B("\0engdesc\0text") << "desc/text";
        QTest::newRow("URL has no encoding byte")
            << "WOAR" << B("\x01http://x\0") << "\u0001http://x";
        QTest::newRow("unknown encoding as Latin-1") << "TIT2" << B("\011abc") << "abc";
        QTest::newRow("encoding byte only") << "TPE2" << B("\x01") << "";
        QTest::newRow("short comment") << "COMM" << B("\0en") << "";
    }

    void decodeFrameText() {
        QFETCH(QString, id);
        QFETCH(QByteArray, data);
        QTEST(DecodeFrameText(id, data, QLatin1Char('/')), "text");
    }

    // 7 bits per byte, most significant first. Writing the field in place is
    // checked by the compacting tag transfer.
    void tagV2SizeField() {
        const auto bytes = [](quint32 n) {
            const std::array<quint8, 4> b = EncodeTagV2Size(n);
            return QByteArray(reinterpret_cast<const char*>(b.data()), 4);
        };
        QCOMPARE(bytes(300), B("\0\0\x02\x2C"));
        QCOMPARE(bytes((1u << 21) | (2u << 14) | (3u << 7) | 4u), B("\x01\x02\x03\x04"));
        QCOMPARE(bytes(0x0FFFFFFF), B("\x7F\x7F\x7F\x7F")); // the largest
    }

    void indexOfMutagenTag_data() {
        Columns<int, QByteArray>({"version", "encoding"}); // encoding: TIT2's first byte
        // mutagen stores 2.3 text as UTF-16 with a byte-order mark, 2.4 text as UTF-8.
        QTest::newRow("ID3v2.3") << 3 << QByteArray("\x01");
        QTest::newRow("ID3v2.4") << 4 << QByteArray("\x03");
    }

    // An independent tool's tag: our index lists its frames in order with their offsets, sizes
    // and text, and the kept length ends where its frames end.
    void indexOfMutagenTag() {
        QFETCH(int, version);
        const QString title = QString::fromUtf8("L'été");
        if (QStandardPaths::findExecutable("mid3v2").isEmpty())
            QSKIP("mid3v2 (python3-mutagen) is not installed");
        const QString python = MutagenPython();
        QVERIFY(!python.isEmpty());
        const QString wav = Write("tone.wav", PcmWav(22050, 1, 0.5));
        const QString mp3 = Dir.filePath("tagged.mp3");
        QVERIFY(Lame(wav, mp3, {"-b", "32"}));
        QVERIFY(Run("mid3v2", {"-t", title, "-a", "Artist", "-A", "Album", "-c", ":Nice:eng", "-T",
                               "3/9", mp3}));
        if (version == 3)
            QVERIFY(Run(python, {"-c",
                                 "import sys; from mutagen.id3 import ID3; t = ID3(sys.argv[1]); "
                                 "t.update_to_v23(); t.save(v2_version=3)",
                                 mp3}));
        // mutagen's frames in file order as index lines: id, data offset, data size
        // (32-bit for 2.3, 7 bits per byte for 2.4).
        QByteArray out;
        QVERIFY(Run(python,
                    {"-c",
                     "import sys; from mutagen.id3 import ID3\n"
                     "t = ID3(sys.argv[1]); b = open(sys.argv[1], 'rb').read(); v = t.version[1]\n"
                     "print(v)\n"
                     "for p in sorted(b.index(f.FrameID.encode(), 10) for f in t.values()):\n"
                     "    s = b[p+4:p+8]\n"
                     "    n = int.from_bytes(s, 'big') if v == 3 else "
                     "sum(x << 7 * (3 - i) for i, x in enumerate(s))\n"
                     "    print('%s@%d~%d' % (b[p:p+4].decode(), p + 10, n))",
                     mp3},
                    60000, &out));
        QStringList theirs = QString::fromLatin1(out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(theirs.takeFirst().trimmed().toInt(), version);
        QCOMPARE(theirs.size(), 5); // TIT2, TPE1, TALB, COMM, TRCK

        TMP3ReadStream reader(mp3, fmOpenRead, roFrameIndex);
        QCOMPARE(reader.Info.TagV2Major, version);
        const QStringList ours = reader.FrameIndex.split("\r\n", Qt::SkipEmptyParts);
        QStringList named;
        for (const QString& line : ours)
            if (!IsPaddingEntry(line))
                named << line;
        QCOMPARE(named, theirs);
        const TFrameEntry last = ParseFrameEntry(named.last());
        QCOMPARE(KeptTagLength(reader.FrameIndex), qint64(last.Offset) + last.Size);
        // mutagen pads its tags: the padding follows the frames.
        QVERIFY(ours.size() > named.size() && IsPaddingEntry(ours[named.size()]));

        const TFrameEntry entry = ParseFrameEntry(*std::find_if(
            named.begin(), named.end(), [](const QString& l) { return l.startsWith("TIT2@"); }));
        const QByteArray data = ReadFrameData(mp3, entry.Offset, entry.Size);
        QTEST(data.left(1), "encoding");
        QCOMPARE(DecodeFrameText("TIT2", data, QLatin1Char('/')), title);
    }
};

QTEST_GUILESS_MAIN(TestId3)
#include "tst_id3.moc"
