// Stream block routines, tag transfer between MPEG files, leading-tag removal, CLI tag keys.

#include "Id3Fixtures.h"
#include "TestTable.h"
#include "TestUtil.h"
#include "formats/ID3v2.h"
#include "formats/MP3Stream.h"
#include "formats/StreamBlocks.h"
#include "formats/TagTransfer.h"
#include "messages/ReasonTexts.h"
#include "settings/Settings.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestUtil;
using namespace Id3Fixtures;
using TestTable::Columns;

namespace {

// Bytes 0, 1, 2, ... (mod 251), so any misplaced byte shows.
QByteArray Counting(int n) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char(i % 251);
    return b;
}

// MPEG-1 Layer III 44.1 kHz frames: 128 kbit/s are 418 bytes, 160 kbit/s (0xFFFBA000) 522.
QByteArray Audio(int count, quint32 header = 0xFFFB9000, int length = 418) {
    return (Be32(header) + QByteArray(length - 4, '\x55')).repeated(count);
}
// "TAG", 30-byte title, blank artist/album/year/comment/track, genre 0x11 (17).
QByteArray TagV1(const QByteArray& title) {
    return QByteArray("TAG") + title.leftJustified(30, '\0', true) + QByteArray(94, ' ') + '\x11';
}

QByteArray TwoFrames3() {
    return Frame(3, "TIT2", B("\0Source title")) + Frame(3, "TPE1", B("\0Someone"));
}

enum MoveRoutine { InStream, Up, Down };
struct MoveRow {
    int Routine;
    QByteArray Before;
    bool AllowGrow;
    QList<qint64> Args; // old offset, new offset, count, buffer size
    QByteArray After;   // ignored when the call raises Error
    QString Error;
};
struct TransferRow {
    QByteArray SourceTag; // ID3v2 bytes; an ID3v1 tag comes with them
    QByteArray DestHead;  // ID3v2 bytes of the destination
    bool DestV1;
    QList<bool> Options;    // keep ID3v1, keep ID3v2, compact
    QByteArray ExpectedTag; // ID3v2 bytes put in front of the destination
    bool ExpectV1;
};

} // namespace
Q_DECLARE_METATYPE(MoveRow)
Q_DECLARE_METATYPE(TransferRow)

class TestTagTransfer : public QObject {
    Q_OBJECT
    TOwners Owners;
    QTemporaryDir Dir;
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = Dir.filePath(name);
        return WriteFile(path, bytes) ? path : QString();
    }
private Q_SLOTS:

    void moveBlock_data() {
        QTest::addColumn<MoveRow>("m");
        const auto row = [](const char* name, int routine, const QByteArray& before, bool grow,
                            QList<qint64> args, const QByteArray& after,
                            const QString& error = {}) {
            QTest::newRow(name) << MoveRow{routine, before, grow, args, after, error};
        };
        const QByteArray ten = "0123456789";
        const qint64 big = 65536;
        row("up [0,10) to 4, grows to 14", InStream, ten, true, {0, 4, 10, big}, "01230123456789");
        row("up without growing", InStream, ten, false, {0, 4, 10, big}, {}, "Stream write error");
        row("down 4 to 0, count 0: rest of stream", InStream, "01230123456789", false,
            {4, 0, 0, big}, "01234567896789");
        // Small buffers over overlapping blocks: copying in the wrong direction
        // would repeat the first chunk.
        row("up, overlapping, 3-byte buffer", Up, ten, false, {0, 2, 8, 3}, "0101234567");
        row("down, overlapping, 3-byte buffer", Down, ten, false, {2, 0, 8, 3}, "2345678989");
        row("negative offsets clamp to 0: nothing", Up, ten, true, {-5, -1, 0, big}, ten);
        row("up called downwards", Up, ten, true, {4, 0, 2, big}, {},
            "DTMoveBlockUpInStream: invalid arguments (AnOldOffset > ANewOffset)");
        row("down called upwards", Down, ten, true, {0, 4, 2, big}, {},
            "DTMoveBlockDownInStream: invalid arguments (AnOldOffset < ANewOffset)");
        // A block reaching past the end is refused before the stream grows.
        row("up, block past the end", Up, ten, true, {5, 8, 9, big}, {}, "Stream read error");
        row("down, block past the end", Down, ten, true, {5, 1, 9, big}, {}, "Stream read error");
        row("zero buffer", Up, ten, true, {0, 4, 2, 0}, {},
            "DTMoveBlockUpInStream: invalid arguments (ABufferSize <= 0)");
    }

    void moveBlock() {
        QFETCH(MoveRow, m);
        const QList<qint64>& a = m.Args;
        const QString path = Write("move.bin", m.Before);
        SetLanguage(0, false);
        QString raised;
        {
            TFileStream s(path, fmOpenReadWrite);
            try {
                if (m.Routine == InStream)
                    DTMoveBlockInStream(s, m.AllowGrow, a[0], a[1], a[2], nullptr, a[3]);
                else if (m.Routine == Up)
                    DTMoveBlockUpInStream(s, m.AllowGrow, a[0], a[1], a[2], nullptr, a[3]);
                else
                    DTMoveBlockDownInStream(s, a[0], a[1], a[2], nullptr, a[3]);
            } catch (const ESonabelError& e) {
                raised = ErrorText(e);
            }
        }
        QCOMPARE(raised, m.Error);
        QCOMPARE(ReadFile(path), m.Error.isEmpty() ? m.After : m.Before); // refused: untouched
    }

    void moveProgress_data() {
        QTest::addColumn<bool>("up");
        QTest::newRow("up") << true;
        QTest::newRow("down") << false;
    }

    // 150,000 bytes moved by 10,000 in 64 KiB chunks report 0, each chunk, and the end.
    void moveProgress() {
        QFETCH(bool, up);
        const QByteArray original = Counting(160000);
        const QString path = Write("progress.bin", original);
        QList<qint64> calls;
        {
            TFileStream s(path, fmOpenReadWrite);
            DTMoveBlockInStream(
                s, up, up ? 0 : 10000, up ? 10000 : 0, 150000, [&calls](qint64 n) { calls << n; },
                65536);
        }
        QCOMPARE(calls, (QList<qint64>{0, 65536, 131072, 150000}));
        QCOMPARE(ReadFile(path), up ? original.left(10000) + original.left(150000)
                                    : original.mid(10000) + original.mid(150000));
    }

    // Nothing for counts 0 and -4, then 70,000 bytes in 64 KiB chunks and 10 in
    // 3-byte chunks, always at the end whatever the position.
    void appendToStream() {
        const QString path = Write("append.bin", "head");
        {
            TFileStream s(path, fmOpenReadWrite);
            s.Seek(1);
            DTAppendToStream(s, 0xAB, 0, 65536);
            DTAppendToStream(s, 0xAB, -4, 65536);
            DTAppendToStream(s, 0xAB, 70000, 65536);
            DTAppendToStream(s, 0xCD, 10, 3);
        }
        QCOMPARE(ReadFile(path), "head" + QByteArray(70000, '\xAB') + QByteArray(10, '\xCD'));
    }

    // Source "0123456789", destination "abcdefgh"; source offset, destination offset, count.
    void copyStreamBlock_data() {
        Columns<QList<qint64>, QByteArray>({"args", "after"}); // after: empty: EReadError
        QTest::newRow("middle over the start") << QList<qint64>{3, 0, 4} << B("3456efgh");
        QTest::newRow("count 0: rest of the source") << QList<qint64>{6, 2, 0} << B("ab6789gh");
        QTest::newRow("negative offsets count as 0") << QList<qint64>{-2, -9, 3} << B("012defgh");
        QTest::newRow("past the destination extends it")
            << QList<qint64>{0, 8, 10} << B("abcdefgh0123456789");
        QTest::newRow("short source: read error") << QList<qint64>{5, 0, 6} << QByteArray();
    }

    void copyStreamBlock() {
        QFETCH(QList<qint64>, args);
        QFETCH(QByteArray, after);
        TFileStream source(Write("from.bin", "0123456789"), fmOpenRead);
        const QString to = Write("to.bin", "abcdefgh");
        TFileStream dest(to, fmOpenReadWrite);
        // Chunks of 4 bytes: several per copy.
        const auto copy = [&] { DTCopyStreamBlock(source, dest, args[0], args[1], args[2], 4); };
        if (after.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(EReadError, copy());
            return;
        }
        copy();
        QCOMPARE(ReadFile(to), after);
    }

    void copyFileBlock() {
        const QByteArray source = Tag(3, 0, TwoFrames3()) + Audio(5) + TagV1("t");
        const QString from = Write("whole.mp3", source);
        const QString to = Write("audio.mp3", QByteArray(100000, 'x')); // replaced, not overwritten
        const TMP3Info info = GetMP3Info(from);
        QVERIFY(info.BitRate > 0);
        DTCopyFileBlock(from, to, info.AudioStart, info.AudioSize, 65536);
        QCOMPARE(ReadFile(to), Audio(5));
        // A source that cannot be opened creates no destination.
        const QString never = Dir.filePath("never.mp3");
        QVERIFY_THROWS_EXCEPTION(EFOpenError,
                                 DTCopyFileBlock(Dir.filePath("missing.mp3"), never, 0, 0, 65536));
        QVERIFY(!QFile::exists(never));
    }

    void transferTags_data() {
        QTest::addColumn<TransferRow>("t");
        const auto row = [](const char* name, const TransferRow& t) { QTest::newRow(name) << t; };
        const QByteArray frames = TwoFrames3();
        const QByteArray padded = Tag(3, 0, frames + QByteArray(1000, '\0'));
        const QByteArray compact = Tag(3, 0, frames);
        row("compact drops padding", {padded, {}, false, {1, 1, 1}, compact, true});
        row("compact without padding: unchanged", {compact, {}, false, {0, 1, 1}, compact, false});
        row("compact, first entry padding: no tag",
            {Tag(3, 0, QByteArray(40, '\0') + frames), {}, false, {1, 1, 1}, {}, true});
        row("destination keeps its own ID3v2",
            {padded, Tag(3, 0, Frame(3, "TIT2", B("\0Mine"))), false, {1, 1, 0}, {}, true});
        row("destination keeps its own ID3v1", {padded, {}, true, {1, 1, 0}, padded, false});
        row("ID3v1 only", {padded, {}, false, {1, 0, 0}, {}, true});
        row("ID3v2 only", {padded, {}, false, {0, 1, 0}, padded, false});
        row("neither", {padded, {}, false, {0, 0, 1}, {}, false});
        row("source without tags", {{}, {}, false, {1, 1, 1}, {}, false});
        // A compacted copy drops the footer and its flag: the audio follows the frames.
        const QByteArray footFrames =
            Frame(4, "TIT2", B("\x03Title")) + Frame(4, "TPE1", B("\x03Me"));
        const QByteArray footed = Tag(4, 0x10, footFrames), footCompact = Tag(4, 0, footFrames);
        const QByteArray footPad = Tag(4, 0x10, footFrames + QByteArray(30, '\0'));
        row("footer, whole", {footPad, {}, false, {0, 1, 0}, footPad, false});
        row("footer compacted: flag cleared", {footPad, {}, false, {0, 1, 1}, footCompact, false});
        row("footer, no padding, compacted", {footed, {}, false, {0, 1, 1}, footCompact, false});
        // The extended header (size 6 and 6 flag bytes) stays in front of the frames.
        const QByteArray extended = Be32(6) + QByteArray(6, '\0') + frames;
        const QByteArray ext = Tag(3, 0x40, extended + QByteArray(500, '\0'));
        row("ext. header compacted", {ext, {}, false, {0, 1, 1}, Tag(3, 0x40, extended), false});
        // Compacted, but the whole tag is copied: a frame claims more than the tag holds, or an
        // identifier the frame index cannot be read back with.
        const QByteArray overrun = Tag(3, 0, frames + "TXXX" + Be32(100000) + B("\0\0"));
        row("frame past the tag", {overrun, {}, false, {0, 1, 1}, overrun, false});
        const QByteArray at = Tag(3, 0, Frame(3, "T@T2", B("\0x")) + frames + QByteArray(50, '\0'));
        row("\"@\" in a frame id", {at, {}, false, {0, 1, 1}, at, false});
        const QByteArray tilde =
            Tag(3, 0, frames + Frame(3, "T~T2", B("\0x")) + QByteArray(50, '\0'));
        row("\"~\" in a frame id", {tilde, {}, false, {0, 1, 1}, tilde, false});
    }

    void transferTags() {
        QFETCH(TransferRow, t);
        const QByteArray v1 = TagV1("Source v1");
        const QByteArray source = t.SourceTag + Audio(12) + (t.SourceTag.isEmpty() ? "" : v1);
        // The destination's audio differs from the source's (160 kbit/s frames).
        const QByteArray dest =
            t.DestHead + Audio(7, 0xFFFBA000, 522) + (t.DestV1 ? TagV1("Mine") : QByteArray());
        const QString from = Write("source.mp3", source), to = Write("dest.mp3", dest);
        TransferTags(from, to, t.Options[0], t.Options[1], t.Options[2]);
        QCOMPARE(ReadFile(from), source);
        QCOMPARE(ReadFile(to), t.ExpectedTag + dest + (t.ExpectV1 ? v1 : QByteArray()));
    }

    void transferRefusesNonMpeg() {
        const QByteArray good = Tag(3, 0, TwoFrames3()) + Audio(5) + TagV1("x");
        const QString mpeg = Write("good.mp3", good);
        const QByteArray words = QByteArray("just some text, no frames here").repeated(10);
        const QString text = Write("text.mp3", words);
        QVERIFY_THROWS_EXCEPTION(EFOpenError, TransferTags(text, mpeg, true, true, true));
        QVERIFY_THROWS_EXCEPTION(EFOpenError, TransferTags(mpeg, text, true, true, true));
        QVERIFY_THROWS_EXCEPTION(EFOpenError,
                                 TransferTags(mpeg, Dir.filePath("missing.mp3"), true, true, true));
        QCOMPARE(ReadFile(mpeg), good);
        QCOMPARE(ReadFile(text), words);
    }

    void transferCheckedByMutagen_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("2.4 compacted") << 4;
        QTest::newRow("2.3 compacted") << 3;
    }

    // An independent tool tags the source and lists both files: same tags, same frame bytes,
    // untouched audio. (The whole-tag copy is covered byte for byte by transferTags.)
    void transferCheckedByMutagen() {
        QFETCH(int, version);
        if (QStandardPaths::findExecutable("mid3v2").isEmpty())
            QSKIP("mid3v2 (python3-mutagen) is not installed");
        const QString python = MutagenPython();
        QVERIFY(!python.isEmpty());
        const QString wav = Write("tone.wav", PcmWav(44100, 2, 1.0, 660));
        const QString source = Dir.filePath("source.mp3");
        const QString dest = Dir.filePath("dest.mp3");
        QVERIFY(Lame(wav, source, {"-b", "128"}));
        QVERIFY(Lame(wav, dest, {"-b", "64"}));
        QVERIFY(Run("mid3v2", {"-t", "Title", "-a", "Artist", "-A", "Album", "-y", "2001", "-c",
                               "Desc:A comment:eng", "-T", "4/12", "-g", "Jazz", "--TCOM",
                               "Composer", source}));
        // An ID3v1 tag too, and the version asked for.
        QVERIFY(Run(python, {"-c",
                             "import sys; from mutagen.id3 import ID3; t = ID3(sys.argv[1]); v = "
                             "int(sys.argv[2])\n"
                             "if v == 3: t.update_to_v23()\n"
                             "t.save(v1=2, v2_version=v)",
                             source, QString::number(version)}));
        const QByteArray audio = ReadFile(dest), src = ReadFile(source);
        TMP3Info in;
        QString index;
        GetMP3Info(source, roFrameIndex, in, nullptr, &index);
        QCOMPARE(in.TagV2Major, version);
        QCOMPARE(in.TagV1Size, 128);

        TransferTags(source, dest, true, true, true);

        const auto listing = [](const QString& path) {
            QByteArray out;
            if (!Run("mid3v2", {"--list-raw", path}, 60000, &out))
                return QByteArray("mid3v2 failed");
            QList<QByteArray> lines = out.split('\n');
            lines.removeFirst(); // names the file
            return lines.join('\n');
        };
        const QByteArray theirs = listing(source);
        QVERIFY(theirs.contains("Composer"));
        QCOMPARE(listing(dest), theirs);

        const QByteArray out = ReadFile(dest);
        const qint64 kept = KeptTagLength(index);
        QVERIFY(kept > 10 && kept < in.TagV2Size); // mutagen pads its tags
        QCOMPARE(out.size(), kept + audio.size() + 128);
        QCOMPARE(out.mid(10, kept - 10), src.mid(10, kept - 10)); // frames
        QCOMPARE(out.mid(kept, audio.size()), audio);             // audio
        QCOMPARE(out.right(128), src.right(128));                 // ID3v1
        const TMP3Info now = GetMP3Info(dest);
        QCOMPARE(QList<qint64>({now.TagV2Size, now.BitRate}), QList<qint64>({kept, 64}));
    }

    void stripLeadingTag_data() {
        Columns<QByteArray, QByteArray, qint64>({"head", "rest", "removed"});
        const QByteArray audio = Audio(3);
        const QByteArray tag = Tag(3, 0, TwoFrames3() + QByteArray(64, '\0'));
        QTest::newRow("ID3v2.3 with padding") << tag << audio << qint64(tag.size());
        const QByteArray footed = Tag(4, 0x10, Frame(4, "TIT2", B("\x03T")));
        QTest::newRow("footer removed too") << footed << audio << qint64(footed.size());
        QTest::newRow("no tag") << QByteArray() << audio << qint64(0);
        QTest::newRow("whole file is a tag") << tag << QByteArray() << qint64(tag.size());
        // A size field claiming more than the file leaves it alone: "ID3", major 3,
        // revision 0, flags 0, size 0x3FFF.
        QTest::newRow("tag larger than the file")
            << QByteArray("ID3\x03\0\0\x00\x00\x7F\x7F", 10) << audio << qint64(0);
        QTest::newRow("\"ID3\" without a whole header")
            << QByteArray("ID3\x03") << QByteArray() << qint64(0);
    }

    void stripLeadingTag() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, rest);
        QFETCH(qint64, removed);
        const QString path = Write("strip.mp3", head + rest);
        QCOMPARE(StripLeadingTagV2(path), removed);
        QCOMPARE(ReadFile(path), removed ? rest : head + rest);
    }

    void cliShowsTags() {
        QByteArray v1 = TagV1("Caf\xE9");
        v1[97] = 'N';     // comment
        v1[125] = '\0';   // track marker
        v1[126] = '\x05'; // track 5
        const QByteArray tag = Tag(3, 0, TwoFrames3() + QByteArray(20, '\0'));
        const QString both = Write("both.mp3", tag + Audio(5) + v1);
        const QString none = Write("none.mp3", Audio(5));

        const TCliResult run = Cli({"info", both, none});
        QCOMPARE((QList<qsizetype>{run.Code, run.Records.size()}), (QList<qsizetype>{0, 2}));
        const QJsonObject first = run.Records[0], second = run.Records[1];

        // TIT2 (13 data bytes) and TPE1 (8) by data offset, then 20 bytes of padding
        // seen as two empty 10-byte frame headers.
        QCOMPARE(first["frameIndex"].toVariant().toStringList(),
                 QStringList({"TIT2@20~13", "TPE1@43~8", "@61~0", "@71~0"}));
        const QString blank(30, ' ');
        QCOMPARE(first["tagV1"].toObject(), QJsonObject({{"title", QStringLiteral("Caf\u00E9")},
                                                         {"artist", blank},
                                                         {"album", blank},
                                                         {"year", blank.left(4)},
                                                         {"comment", "N" + blank.left(27)},
                                                         {"track", 5},
                                                         {"genre", 17}}));
        QCOMPARE(second["frameIndex"], QJsonValue(QJsonArray()));
        QVERIFY(!second.contains("tagV1"));
    }
};

QTEST_GUILESS_MAIN(TestTagTransfer)
#include "tst_tagtransfer.moc"
