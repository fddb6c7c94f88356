#include "formats/FileStream.h"
#include "formats/MulDiv.h"

#include <QTemporaryDir>
#include <QtTest>

class TestHelpers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void mulDiv_data();
    void mulDiv();
    void roundHalfEven_data();
    void roundHalfEven();
    void streamErrors();
    void readAheadMatchesFile();
};

void TestHelpers::mulDiv_data() {
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("expected");
    // 128 kbit/s MPEG-1 Layer III at 44100 Hz: 417.96 rounds up, not down.
    QTest::newRow("418-byte frame") << 144000 << 128 << 44100 << 418;
    QTest::newRow("1 kHz tone, 10 s") << 1764000 << 1000 << 176400 << 10000;
    QTest::newRow("half rounds away") << 5 << 1 << 2 << 3;
    QTest::newRow("negative half away") << -5 << 1 << 2 << -3;
    QTest::newRow("negative divisor") << 7 << 1 << -2 << -4;
    QTest::newRow("zero divisor") << 10 << 10 << 0 << -1;
    QTest::newRow("64-bit intermediate") << 2000000000 << 1000 << 1000000 << 2000000;
    QTest::newRow("overflowing result") << 2000000000 << 4 << 2 << -1;
}

void TestHelpers::mulDiv() {
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, expected);
    QCOMPARE(MulDiv(a, b, c), expected);
}

void TestHelpers::roundHalfEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("2.5") << 2.5 << qint64(2);
    QTest::newRow("3.5") << 3.5 << qint64(4);
    QTest::newRow("1411.2 (176400/125)") << 1411.2 << qint64(1411);
    QTest::newRow("-2.5") << -2.5 << qint64(-2);
    QTest::newRow("127.6") << 127.6 << qint64(128);
}

void TestHelpers::roundHalfEven() {
    QFETCH(double, value);
    QFETCH(qint64, expected);
    QCOMPARE(RoundHalfEven(value), expected);
}

void TestHelpers::streamErrors() {
    QTemporaryDir dir;
    const QString missing = dir.filePath("nope.bin");
    try {
        TFileStream s(missing, fmOpenRead);
        QFAIL("opening a missing file must throw");
    } catch (const EFOpenError& e) {
        QCOMPARE(e.Message, QStringLiteral("Impossible d'ouvrir le fichier ") + missing);
    }
    QVERIFY_THROWS_EXCEPTION(EFOpenError, TFileStream(dir.path(), fmOpenRead));

    TFileStream w(dir.filePath("f.bin"), fmCreate);
    w.WriteBuffer("abcdef", 6);
    QCOMPARE(w.Size(), qint64(6));
    w.Seek(4);
    char buf[4];
    QCOMPARE(w.Read(buf, 4), qint64(2)); // short read at the end is no error
    w.Seek(4);
    try {
        w.ReadBuffer(buf, 4);
        QFAIL("a short exact read must throw");
    } catch (const EReadError& e) {
        QCOMPARE(e.Message, QStringLiteral("Erreur de lecture du flux"));
    }
    w.SetSize(3);
    QCOMPARE(w.Size(), qint64(3));
    QCOMPARE(w.Position(), qint64(3));

    TFileStream r(dir.filePath("f.bin"), fmOpenRead);
    try {
        r.WriteBuffer("x", 1);
        QFAIL("writing a read-only stream must throw");
    } catch (const EWriteError& e) {
        QCOMPARE(e.Message, QStringLiteral("Erreur d'écriture dans le flux"));
    }
}

// Random seeks and reads across read-ahead boundaries return the file's bytes,
// also after a write through the same stream.
void TestHelpers::readAheadMatchesFile() {
    QTemporaryDir dir;
    QByteArray bytes(3 * TFileStream::ReadAheadSize + 123, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7919) >> 3);
    const QString path = dir.filePath("r.bin");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    TFileStream s(path, fmOpenReadWrite);
    const qint64 offsets[] = {0,
                              5,
                              TFileStream::ReadAheadSize - 2,
                              100,
                              bytes.size() - 3,
                              TFileStream::ReadAheadSize * 2 + 1,
                              1};
    const qint64 lengths[] = {1, 4, 8, TFileStream::ReadAheadSize + 10, 10, 3, 40000};
    for (int i = 0; i < 7; ++i) {
        QByteArray got(lengths[i], '\0');
        s.Seek(offsets[i]);
        const qint64 n = s.Read(got.data(), lengths[i]);
        got.resize(n);
        QCOMPARE(got, bytes.mid(offsets[i], lengths[i]));
        QCOMPARE(s.Position(), offsets[i] + n);
    }
    s.Seek(10);
    s.Read(nullptr, 0);
    char c = 0;
    s.Read(&c, 1); // loads the buffer
    s.Seek(11);
    s.WriteBuffer("Z", 1);
    s.Seek(11);
    s.Read(&c, 1);
    QCOMPARE(c, 'Z');
}

QTEST_GUILESS_MAIN(TestHelpers)
#include "tst_helpers.moc"
