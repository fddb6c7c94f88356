#include "TestUtil.h"
#include "formats/FileStream.h"
#include "formats/MulDiv.h"

#include <QTemporaryDir>
#include <QtTest>

class TestHelpers : public QObject {
    Q_OBJECT
private Q_SLOTS:

    void mulDiv_data() {
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("expected");
        // 128 kbit/s MPEG-1 Layer III at 44100 Hz: 417.96 rounds up, not down.
        QTest::newRow("418-byte frame") << MulDiv(144000, 128, 44100) << 418;
        QTest::newRow("1 kHz tone, 10 s") << MulDiv(1764000, 1000, 176400) << 10000;
        QTest::newRow("half rounds away") << MulDiv(5, 1, 2) << 3;
        QTest::newRow("negative half away") << MulDiv(-5, 1, 2) << -3;
        QTest::newRow("negative divisor") << MulDiv(7, 1, -2) << -4;
        QTest::newRow("zero divisor") << MulDiv(10, 10, 0) << -1;
        QTest::newRow("64-bit intermediate") << MulDiv(2000000000, 1000, 1000000) << 2000000;
        QTest::newRow("overflowing result") << MulDiv(2000000000, 4, 2) << -1;
    }

    void mulDiv() {
        QFETCH(int, result);
        QTEST(result, "expected");
    }

    void roundHalfEven_data() {
        QTest::addColumn<qint64>("result");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("2.5") << RoundHalfEven(2.5) << qint64(2);
        QTest::newRow("3.5") << RoundHalfEven(3.5) << qint64(4);
        QTest::newRow("1411.2 (176400/125)") << RoundHalfEven(1411.2) << qint64(1411);
        QTest::newRow("-2.5") << RoundHalfEven(-2.5) << qint64(-2);
        QTest::newRow("127.6") << RoundHalfEven(127.6) << qint64(128);
    }

    void roundHalfEven() {
        QFETCH(qint64, result);
        QTEST(result, "expected");
    }

    void streamErrors() {
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
        QCOMPARE((QList<qint64>{w.Size(), w.Position()}), (QList<qint64>{3, 3}));

        TFileStream r(dir.filePath("f.bin"), fmOpenRead);
        try {
            r.WriteBuffer("x", 1);
            QFAIL("writing a read-only stream must throw");
        } catch (const EWriteError& e) {
            QCOMPARE(e.Message, QStringLiteral("Erreur d'écriture dans le flux"));
        }
    }

    // Seeks and reads across read-ahead boundaries return the file's bytes, also after a write.
    void readAheadMatchesFile() {
        QTemporaryDir dir;
        QByteArray bytes(3 * TFileStream::ReadAheadSize + 123, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char((i * 7919) >> 3);
        const QString path = dir.filePath("r.bin");
        QVERIFY(TestUtil::WriteFile(path, bytes));
        TFileStream s(path, fmOpenReadWrite);
        const qint64 ahead = TFileStream::ReadAheadSize;
        const QList<qint64> offsets{0, 5, ahead - 2, 100, bytes.size() - 3, ahead * 2 + 1, 1};
        const QList<qint64> lengths{1, 4, 8, ahead + 10, 10, 3, 40000};
        for (int i = 0; i < offsets.size(); ++i) {
            const qint64 offset = offsets[i], length = lengths[i];
            QByteArray got(length, '\0');
            s.Seek(offset);
            const qint64 n = s.Read(got.data(), length);
            got.resize(n);
            QCOMPARE(got, bytes.mid(offset, length));
            QCOMPARE(s.Position(), offset + n);
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
};

QTEST_GUILESS_MAIN(TestHelpers)
#include "tst_helpers.moc"
