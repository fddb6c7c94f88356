// Stream block routines, the tag transfer between MPEG files, removing a
// leading ID3v2 tag, and the tag keys of sonabel-cli info.

#include "TestUtil.h"
#include "formats/ID3v2.h"
#include "formats/MP3Stream.h"
#include "formats/StreamBlocks.h"
#include "formats/TagTransfer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestUtil;

namespace {

template <size_t N> QByteArray B(const char (&s)[N]) {
    return QByteArray(s, N - 1);
}

// Bytes 0, 1, 2, ... (mod 251), so any misplaced byte shows.
QByteArray Counting(int n, int start = 0) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char((start + i) % 251);
    return b;
}

QByteArray SyncSafe(quint32 n) {
    const std::array<quint8, 4> b = EncodeTagV2Size(n);
    return QByteArray(reinterpret_cast<const char*>(b.data()), 4);
}
// "ID3", major, revision 0, flags, 7-bit body size; a footer when flag 0x10.
QByteArray Tag(quint8 major, quint8 flags, const QByteArray& body) {
    QByteArray t = QByteArray("ID3") + char(major) + '\0' + char(flags) +
                   SyncSafe(quint32(body.size())) + body;
    if (flags & 0x10)
        t += QByteArray("3DI") + char(major) + '\0' + char(flags) + SyncSafe(quint32(body.size()));
    return t;
}
// Major 3 frame: id, 32-bit big-endian size, two flag bytes, data.
QByteArray Frame3(const QByteArray& id, const QByteArray& data) {
    return id + Be32(quint32(data.size())) + QByteArray(2, '\0') + data;
}
QByteArray Frame4(const QByteArray& id, const QByteArray& data) {
    return id + SyncSafe(quint32(data.size())) + QByteArray(2, '\0') + data;
}
// MPEG-1 Layer III frames at 44100 Hz: 128 kbit/s frames are 418 bytes long,
// 160 kbit/s (header 0xFFFBA000) frames 522.
QByteArray Audio(int count, quint32 header = 0xFFFB9000, int length = 418) {
    QByteArray f = Be32(header) + QByteArray(length - 4, '\x55');
    return f.repeated(count);
}
QByteArray TagV1(const QByteArray& title) {
    return QByteArray("TAG") + title.leftJustified(30, '\0', true) + QByteArray(94, ' ') + '\x11';
}

// The two frames every built source tag carries.
QByteArray TwoFrames3() {
    return Frame3("TIT2", B("\0Source title")) + Frame3("TPE1", B("\0Someone"));
}

QString MutagenPython() {
    QFile f(QStandardPaths::findExecutable("mid3v2"));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray first = f.readLine().trimmed();
    return first.startsWith("#!") ? QString::fromLocal8Bit(first.mid(2)).split(' ').first()
                                  : QString();
}

enum MoveRoutine { InStream, Up, Down };

} // namespace

class TestTagTransfer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void moveBlock_data();
    void moveBlock();
    void moveProgress_data();
    void moveProgress();
    void appendToStream_data();
    void appendToStream();
    void copyStreamBlock_data();
    void copyStreamBlock();
    void copyFileBlock();
    void transferTags_data();
    void transferTags();
    void transferRefusesNonMpeg();
    void transferToLameOutput();
    void transferCheckedByMutagen_data();
    void transferCheckedByMutagen();
    void stripLeadingTag_data();
    void stripLeadingTag();
    void stripLameTag();
    void cliShowsTags();

private:
    QTemporaryDir Dir;
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = Dir.filePath(name);
        return WriteFile(path, bytes) ? path : QString();
    }
};

void TestTagTransfer::moveBlock_data() {
    QTest::addColumn<int>("routine");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("allowGrow");
    QTest::addColumn<qint64>("oldOffset");
    QTest::addColumn<qint64>("newOffset");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("bufferSize");
    QTest::addColumn<QByteArray>("after"); // empty: the call raises `error`
    QTest::addColumn<QString>("error");

    const QByteArray ten = "0123456789";
    QTest::newRow("up [0,10) to 4, grows to 14")
        << int(InStream) << ten << true << qint64(0) << qint64(4) << qint64(10) << qint64(65536)
        << QByteArray("01230123456789") << "";
    QTest::newRow("up without growing")
        << int(InStream) << ten << false << qint64(0) << qint64(4) << qint64(10) << qint64(65536)
        << QByteArray() << "Erreur d'écriture dans le flux";
    QTest::newRow("down 4 to 0, rest of stream")
        << int(InStream) << QByteArray("01230123456789") << false << qint64(4) << qint64(0)
        << qint64(0) << qint64(65536) << QByteArray("01234567896789") << "";
    // Small buffers over overlapping blocks: copying in the wrong direction
    // would repeat the first chunk.
    QTest::newRow("up, overlapping, 3-byte buffer")
        << int(Up) << ten << false << qint64(0) << qint64(2) << qint64(8) << qint64(3)
        << QByteArray("0101234567") << "";
    QTest::newRow("down, overlapping, 3-byte buffer")
        << int(Down) << ten << false << qint64(2) << qint64(0) << qint64(8) << qint64(3)
        << QByteArray("2345678989") << "";
    QTest::newRow("up inside, no growth needed")
        << int(Up) << ten << false << qint64(1) << qint64(6) << qint64(3) << qint64(65536)
        << QByteArray("0123451239") << "";
    QTest::newRow("same offsets: nothing") << int(Up) << ten << false << qint64(3) << qint64(3)
                                           << qint64(0) << qint64(65536) << ten << "";
    QTest::newRow("negative offsets clamp to 0")
        << int(Up) << ten << true << qint64(-5) << qint64(-1) << qint64(0) << qint64(65536) << ten
        << "";
    QTest::newRow("up called downwards")
        << int(Up) << ten << true << qint64(4) << qint64(0) << qint64(2) << qint64(65536)
        << QByteArray() << "DTMoveBlockUpInStream : AnOldOffset > ANewOffset";
    QTest::newRow("down called upwards")
        << int(Down) << ten << true << qint64(0) << qint64(4) << qint64(2) << qint64(65536)
        << QByteArray() << "DTMoveBlockDownInStream : AnOldOffset < ANewOffset";
    // A block reaching past the end is refused before the stream grows.
    QTest::newRow("up, block past the end")
        << int(Up) << ten << true << qint64(5) << qint64(8) << qint64(9) << qint64(65536)
        << QByteArray() << "Erreur de lecture du flux";
    QTest::newRow("down, block past the end")
        << int(Down) << ten << true << qint64(5) << qint64(1) << qint64(9) << qint64(65536)
        << QByteArray() << "Erreur de lecture du flux";
    QTest::newRow("zero buffer") << int(Up) << ten << true << qint64(0) << qint64(4) << qint64(2)
                                 << qint64(0) << QByteArray()
                                 << "DTMoveBlockUpInStream : ABufferSize <= 0";
}

void TestTagTransfer::moveBlock() {
    QFETCH(int, routine);
    QFETCH(QByteArray, before);
    QFETCH(bool, allowGrow);
    QFETCH(qint64, oldOffset);
    QFETCH(qint64, newOffset);
    QFETCH(qint64, count);
    QFETCH(qint64, bufferSize);
    QFETCH(QByteArray, after);
    QFETCH(QString, error);
    const QString path = Write("move.bin", before);
    QString raised;
    {
        TFileStream s(path, fmOpenReadWrite);
        try {
            if (routine == InStream)
                DTMoveBlockInStream(s, allowGrow, oldOffset, newOffset, count, nullptr, bufferSize);
            else if (routine == Up)
                DTMoveBlockUpInStream(s, allowGrow, oldOffset, newOffset, count, nullptr,
                                      bufferSize);
            else
                DTMoveBlockDownInStream(s, oldOffset, newOffset, count, nullptr, bufferSize);
        } catch (const ESonabelError& e) {
            raised = e.Message;
        }
    }
    QCOMPARE(raised, error);
    // A refused move writes nothing.
    QCOMPARE(ReadFile(path), error.isEmpty() ? after : before);
}

void TestTagTransfer::moveProgress_data() {
    QTest::addColumn<bool>("up");
    QTest::newRow("up") << true;
    QTest::newRow("down") << false;
}

void TestTagTransfer::moveProgress() {
    QFETCH(bool, up);
    const QByteArray original = Counting(160000);
    const QString path = Write("progress.bin", original);
    QList<qint64> calls;
    {
        TFileStream s(path, fmOpenReadWrite);
        const auto record = [&calls](qint64 done) { calls << done; };
        if (up)
            DTMoveBlockInStream(s, true, 0, 10000, 150000, record, 65536);
        else
            DTMoveBlockInStream(s, false, 10000, 0, 150000, record, 65536);
    }
    QCOMPARE(calls, (QList<qint64>{0, 65536, 131072, 150000}));
    const QByteArray now = ReadFile(path);
    QCOMPARE(now.size(), original.size());
    if (up)
        QCOMPARE(now.mid(10000), original.left(150000));
    else
        QCOMPARE(now, original.mid(10000) + original.mid(150000));
}

void TestTagTransfer::appendToStream_data() {
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("bufferSize");
    QTest::newRow("nothing for 0") << qint64(0) << qint64(65536);
    QTest::newRow("nothing for negative") << qint64(-4) << qint64(65536);
    QTest::newRow("128 bytes") << qint64(128) << qint64(65536);
    QTest::newRow("several chunks") << qint64(70000) << qint64(65536);
    QTest::newRow("tiny buffer") << qint64(10) << qint64(3);
}

void TestTagTransfer::appendToStream() {
    QFETCH(qint64, count);
    QFETCH(qint64, bufferSize);
    const QString path = Write("append.bin", "head");
    {
        TFileStream s(path, fmOpenReadWrite);
        s.Seek(1); // the position does not matter: bytes go at the end
        DTAppendToStream(s, 0xAB, count, bufferSize);
    }
    QCOMPARE(ReadFile(path), QByteArray("head") + QByteArray(qMax<qint64>(count, 0), '\xAB'));
}

void TestTagTransfer::copyStreamBlock_data() {
    QTest::addColumn<qint64>("sourceOffset");
    QTest::addColumn<qint64>("destOffset");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QByteArray>("after"); // empty: EReadError
    QTest::newRow("middle over the start")
        << qint64(3) << qint64(0) << qint64(4) << QByteArray("3456efgh");
    QTest::newRow("count 0: rest of the source")
        << qint64(6) << qint64(2) << qint64(0) << QByteArray("ab6789gh");
    QTest::newRow("negative offsets count as 0")
        << qint64(-2) << qint64(-9) << qint64(3) << QByteArray("012defgh");
    QTest::newRow("past the destination extends it")
        << qint64(0) << qint64(8) << qint64(10) << QByteArray("abcdefgh0123456789");
    QTest::newRow("short source: read error")
        << qint64(5) << qint64(0) << qint64(6) << QByteArray();
}

void TestTagTransfer::copyStreamBlock() {
    QFETCH(qint64, sourceOffset);
    QFETCH(qint64, destOffset);
    QFETCH(qint64, count);
    QFETCH(QByteArray, after);
    const QString from = Write("from.bin", "0123456789");
    const QString to = Write("to.bin", "abcdefgh");
    TFileStream source(from, fmOpenRead);
    TFileStream dest(to, fmOpenReadWrite);
    if (after.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(
            EReadError, DTCopyStreamBlock(source, dest, sourceOffset, destOffset, count, 4));
        return;
    }
    DTCopyStreamBlock(source, dest, sourceOffset, destOffset, count, 4); // several chunks
    QCOMPARE(ReadFile(to), after);
}

void TestTagTransfer::copyFileBlock() {
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

void TestTagTransfer::transferTags_data() {
    QTest::addColumn<QByteArray>("sourceTag"); // ID3v2 bytes before the audio
    QTest::addColumn<bool>("sourceV1");
    QTest::addColumn<QByteArray>("destHead"); // ID3v2 bytes of the destination
    QTest::addColumn<bool>("destV1");
    QTest::addColumn<bool>("keepV1");
    QTest::addColumn<bool>("keepV2");
    QTest::addColumn<bool>("compact");
    QTest::addColumn<QByteArray>("expectedTag"); // what the destination starts with
    QTest::addColumn<bool>("expectV1");

    const QByteArray frames = TwoFrames3();
    const QByteArray padded = Tag(3, 0, frames + QByteArray(1000, '\0'));
    // The compacted copy: header with size field frames.size(), frames only.
    const QByteArray compacted = Tag(3, 0, frames);
    const QByteArray destTag = Tag(3, 0, Frame3("TIT2", B("\0Mine")));

    QTest::newRow("both tags, whole")
        << padded << true << QByteArray() << false << true << true << false << padded << true;
    QTest::newRow("compact drops 1,000 bytes of padding")
        << padded << true << QByteArray() << false << true << true << true << compacted << true;
    QTest::newRow("compact without padding: unchanged")
        << compacted << false << QByteArray() << false << false << true << true << compacted
        << false;
    QTest::newRow("compact, first entry padding: no tag")
        << Tag(3, 0, QByteArray(40, '\0') + frames) << false << QByteArray() << false << true
        << true << true << QByteArray() << false;
    QTest::newRow("destination keeps its own ID3v2")
        << padded << true << destTag << false << true << true << false << destTag << true;
    QTest::newRow("destination keeps its own ID3v1")
        << padded << true << QByteArray() << true << true << true << false << padded << false;
    QTest::newRow("KeepV1 only") << padded << true << QByteArray() << false << true << false
                                 << false << QByteArray() << true;
    QTest::newRow("KeepV2 only") << padded << true << QByteArray() << false << false << true
                                 << false << padded << false;
    QTest::newRow("neither") << padded << true << QByteArray() << false << false << false << true
                             << QByteArray() << false;
    QTest::newRow("source without tags") << QByteArray() << false << QByteArray() << false << true
                                         << true << true << QByteArray() << false;
    // With a footer, the whole copy keeps it and its flag; the compacted copy
    // drops it and clears the flag so the audio starts right after the frames.
    const QByteArray footerFrames = Frame4("TIT2", B("\x03Title")) + Frame4("TPE1", B("\x03Me"));
    const QByteArray footed = Tag(4, 0x10, footerFrames + QByteArray(30, '\0'));
    QTest::newRow("footer, whole")
        << footed << false << QByteArray() << false << false << true << false << footed << false;
    QTest::newRow("footer, compacted: flag cleared")
        << footed << false << QByteArray() << false << false << true << true
        << Tag(4, 0, footerFrames) << false;
    QTest::newRow("footer without padding, compacted")
        << Tag(4, 0x10, footerFrames) << false << QByteArray() << false << false << true << true
        << Tag(4, 0, footerFrames) << false;
    // The extended header is kept in front of the frames it precedes.
    const QByteArray extended = Be32(6) + QByteArray(6, '\0') + frames;
    QTest::newRow("extended header, compacted")
        << Tag(3, 0x40, extended + QByteArray(500, '\0')) << false << QByteArray() << false << false
        << true << true << Tag(3, 0x40, extended) << false;
    // A frame claiming more than the tag holds: the whole tag is the most copied.
    const QByteArray overrun = Tag(3, 0, frames + QByteArray("TXXX") + Be32(100000) + B("\0\0"));
    QTest::newRow("frame past the tag, compacted: whole tag")
        << overrun << false << QByteArray() << false << false << true << true << overrun << false;
}

void TestTagTransfer::transferTags() {
    QFETCH(QByteArray, sourceTag);
    QFETCH(bool, sourceV1);
    QFETCH(QByteArray, destHead);
    QFETCH(bool, destV1);
    QFETCH(bool, keepV1);
    QFETCH(bool, keepV2);
    QFETCH(bool, compact);
    QFETCH(QByteArray, expectedTag);
    QFETCH(bool, expectV1);

    const QByteArray v1 = TagV1("Source v1");
    const QByteArray source = sourceTag + Audio(12) + (sourceV1 ? v1 : QByteArray());
    // The destination's audio differs from the source's (160 kbit/s frames).
    const QByteArray dest =
        destHead + Audio(7, 0xFFFBA000, 522) + (destV1 ? TagV1("Mine") : QByteArray());
    const QString from = Write("source.mp3", source);
    const QString to = Write("dest.mp3", dest);

    TransferTags(from, to, keepV1, keepV2, compact);

    QCOMPARE(ReadFile(from), source);
    const QByteArray result = ReadFile(to);
    const bool newV2 = !destHead.isEmpty() ? false : !expectedTag.isEmpty();
    const QByteArray expected =
        (newV2 ? expectedTag : QByteArray()) + dest + (expectV1 ? v1 : QByteArray());
    QCOMPARE(result.size(), expected.size());
    QCOMPARE(result, expected);

    // The reader places the audio of the new file right after its tag.
    const TMP3Info info = GetMP3Info(to);
    QCOMPARE(info.TagV2Size, newV2 ? expectedTag.size() : destHead.size());
    QCOMPARE(info.BitRate, 160);
    QCOMPARE(info.TagV1Size, (expectV1 || destV1) ? 128 : 0);
}

void TestTagTransfer::transferRefusesNonMpeg() {
    const QByteArray good = Tag(3, 0, TwoFrames3()) + Audio(5) + TagV1("x");
    const QString mpeg = Write("good.mp3", good);
    const QString text =
        Write("text.mp3", QByteArray("just some text, no frames here").repeated(10));
    QVERIFY_THROWS_EXCEPTION(EFOpenError, TransferTags(text, mpeg, true, true, true));
    QVERIFY_THROWS_EXCEPTION(EFOpenError, TransferTags(mpeg, text, true, true, true));
    QVERIFY_THROWS_EXCEPTION(EFOpenError,
                             TransferTags(mpeg, Dir.filePath("missing.mp3"), true, true, true));
    QCOMPARE(ReadFile(mpeg), good);
    QCOMPARE(ReadFile(text), QByteArray("just some text, no frames here").repeated(10));
}

// The batch's path: a copied audio block of a real lame file gets its tags back.
void TestTagTransfer::transferToLameOutput() {
    const QString wav = Write("tone.wav", PcmWav(44100, 2, 1.0));
    const QString plain = Dir.filePath("plain.mp3");
    QVERIFY(Lame(wav, plain, {"-b", "128"}));
    const QByteArray tag = Tag(3, 0, TwoFrames3() + QByteArray(300, '\0'));
    const QByteArray v1 = TagV1("Lame v1");
    const QString source = Write("tagged.mp3", tag + ReadFile(plain) + v1);
    const TMP3Info in = GetMP3Info(source);
    QCOMPARE(in.BitRate, 128);

    const QString copy = Dir.filePath("copy.mp3");
    DTCopyFileBlock(source, copy, in.AudioStart, in.AudioSize, 65536);
    QCOMPARE(ReadFile(copy), ReadFile(plain));
    TransferTags(source, copy, true, true, false);
    QCOMPARE(ReadFile(copy), ReadFile(source));

    const QString compacted = Dir.filePath("compacted.mp3");
    DTCopyFileBlock(source, compacted, in.AudioStart, in.AudioSize, 65536);
    TransferTags(source, compacted, true, true, true);
    const TMP3Info out = GetMP3Info(compacted);
    QCOMPARE(out.TagV2Size, in.TagV2Size - 300);
    QCOMPARE(out.AudioSize, in.AudioSize);
    QCOMPARE(out.BitRate, in.BitRate);
    QCOMPARE(out.FrameCount, in.FrameCount);
}

void TestTagTransfer::transferCheckedByMutagen_data() {
    QTest::addColumn<bool>("compact");
    QTest::addColumn<int>("version");
    QTest::newRow("2.4 whole") << false << 4;
    QTest::newRow("2.4 compacted") << true << 4;
    QTest::newRow("2.3 compacted") << true << 3;
}

// A tool we did not write tags the source and reads both files back: the
// destination's tags list identically, its frames are the source's bytes and
// the encoded audio between the tags is untouched.
void TestTagTransfer::transferCheckedByMutagen() {
    QFETCH(bool, compact);
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
    QVERIFY(Run("mid3v2",
                {"-t", "Title", "-a", "Artist", "-A", "Album", "-y", "2001", "-c",
                 "Desc:A comment:eng", "-T", "4/12", "-g", "Jazz", "--TCOM", "Composer", source}));
    // An ID3v1 tag too, and the version asked for.
    QVERIFY(Run(python, {"-c",
                         "import sys; from mutagen.id3 import ID3; t = ID3(sys.argv[1]); v = "
                         "int(sys.argv[2])\n"
                         "if v == 3: t.update_to_v23()\n"
                         "t.save(v1=2, v2_version=v)",
                         source, QString::number(version)}));
    const QByteArray audio = ReadFile(dest);
    const QByteArray src = ReadFile(source);
    TMP3Info in;
    QString index;
    GetMP3Info(source, roFrameIndex, in, nullptr, &index);
    QCOMPARE(in.TagV2Major, version);
    QCOMPARE(in.TagV1Size, 128);

    TransferTags(source, dest, true, true, compact);

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
    const qint64 kept = compact ? KeptTagLength(index) : in.TagV2Size;
    QVERIFY(kept > 10);
    if (compact)
        QVERIFY(kept < in.TagV2Size); // mutagen pads its tags
    QCOMPARE(out.size(), kept + audio.size() + 128);
    QCOMPARE(out.mid(10, kept - 10), src.mid(10, kept - 10)); // frames
    QCOMPARE(out.mid(kept, audio.size()), audio);             // audio
    QCOMPARE(out.right(128), src.right(128));                 // ID3v1
    const TMP3Info now = GetMP3Info(dest);
    QCOMPARE(now.TagV2Size, kept);
    QCOMPARE(now.BitRate, 64);
}

void TestTagTransfer::stripLeadingTag_data() {
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("rest");
    QTest::addColumn<qint64>("removed");
    const QByteArray audio = Audio(3);
    const QByteArray tag = Tag(3, 0, TwoFrames3() + QByteArray(64, '\0'));
    QTest::newRow("ID3v2.3 with padding") << tag << audio << qint64(tag.size());
    const QByteArray footed = Tag(4, 0x10, Frame4("TIT2", B("\x03T")));
    QTest::newRow("footer removed too") << footed << audio << qint64(footed.size());
    QTest::newRow("no tag") << QByteArray() << audio << qint64(0);
    QTest::newRow("whole file is a tag") << tag << QByteArray() << qint64(tag.size());
    // A size field claiming more than the file leaves it alone.
    QTest::newRow("tag larger than the file")
        << QByteArray("ID3\x03\0\0\x00\x00\x7F\x7F", 10) << audio << qint64(0);
    QTest::newRow("\"ID3\" without a whole header")
        << QByteArray("ID3\x03") << QByteArray() << qint64(0);
}

void TestTagTransfer::stripLeadingTag() {
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, rest);
    QFETCH(qint64, removed);
    const QString path = Write("strip.mp3", head + rest);
    QCOMPARE(StripLeadingTagV2(path), removed);
    QCOMPARE(ReadFile(path), removed ? rest : head + rest);
}

// lame itself writes an ID3v2 tag when given tag fields: removing it leaves the
// file lame writes without them.
void TestTagTransfer::stripLameTag() {
    const QString wav = Write("strip.wav", PcmWav(22050, 1, 0.5));
    const QString plain = Dir.filePath("plain.mp3");
    const QString tagged = Dir.filePath("tagged.mp3");
    QVERIFY(Lame(wav, plain, {"-b", "64"}));
    QVERIFY(Lame(wav, tagged, {"-b", "64", "--id3v2-only", "--tt", "Title", "--ta", "Artist"}));
    const TMP3Info before = GetMP3Info(tagged);
    QVERIFY(before.TagV2Size > 0);
    QCOMPARE(StripLeadingTagV2(tagged), qint64(before.TagV2Size));
    const TMP3Info after = GetMP3Info(tagged);
    QCOMPARE(after.TagV2Size, 0);
    QCOMPARE(after.AudioSize, before.AudioSize);
    QCOMPARE(after.BitRate, 64);
    // The audio is lame's; only the tag-dependent Xing/LAME header bytes may differ.
    QCOMPARE(ReadFile(tagged).size(), ReadFile(plain).size());
}

void TestTagTransfer::cliShowsTags() {
    QByteArray v1 = TagV1("Caf\xE9");
    v1[97] = 'N';     // comment
    v1[125] = '\0';   // track marker
    v1[126] = '\x05'; // track 5
    const QByteArray tag = Tag(3, 0, TwoFrames3() + QByteArray(20, '\0'));
    const QString both = Write("both.mp3", tag + Audio(5) + v1);
    const QString none = Write("none.mp3", Audio(5));

    QProcess p;
    p.start(QStringLiteral(SONABEL_CLI_PATH), {"info", both, none});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), 0);
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    const QJsonObject second = QJsonDocument::fromJson(lines[1]).object();

    QString index;
    TMP3Info info;
    GetMP3Info(both, roFrameIndex, info, nullptr, &index);
    QStringList expected = index.split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(expected.first(), QStringLiteral("TIT2@20~13"));
    QCOMPARE(first["frameIndex"].toVariant().toStringList(), expected);
    QCOMPARE(first["mp3"].toObject().size(), 16); // the analysis keys stay as they were
    const QJsonObject t = first["tagV1"].toObject();
    QCOMPARE(t["title"].toString(), QStringLiteral("Caf\u00E9"));
    QCOMPARE(t["artist"].toString(), QString(30, ' '));
    QCOMPARE(t["comment"].toString(), QStringLiteral("N") + QString(27, ' '));
    QCOMPARE(t["track"].toInt(), 5);
    QCOMPARE(t["genre"].toInt(), 17);
    QCOMPARE(t["year"].toString(), QStringLiteral("    "));
    QVERIFY(t["album"].isString());

    QVERIFY(second["frameIndex"].isArray());
    QVERIFY(second["frameIndex"].toArray().isEmpty());
    QVERIFY(!second.contains("tagV1"));
}

QTEST_GUILESS_MAIN(TestTagTransfer)
#include "tst_tagtransfer.moc"
