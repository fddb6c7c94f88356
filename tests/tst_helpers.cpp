#include "TestTable.h"
#include "TestUtil.h"
#include "formats/FileStream.h"
#include "formats/MulDiv.h"
#include "messages/ReasonTexts.h"
#include "settings/Settings.h"

#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <vector>

using TestTable::Columns;
using TestTable::Row;

class TestHelpers : public QObject {
    Q_OBJECT
    TOwners Owners;
private Q_SLOTS:

    // MulDiv rounds half away from zero, RoundHalfEven half to even.
    void rounding_data() {
        Columns<int, int>({"result", "expected"});
        // 128 kbit/s MPEG-1 Layer III at 44100 Hz: 417.96 rounds up, not down.
        Row("418-byte frame", MulDiv(144000, 128, 44100), 418);
        Row("1 kHz tone, 10 s", MulDiv(1764000, 1000, 176400), 10000);
        Row("half rounds away", MulDiv(5, 1, 2), 3);
        Row("negative half away", MulDiv(-5, 1, 2), -3);
        Row("negative divisor", MulDiv(7, 1, -2), -4);
        Row("zero divisor", MulDiv(10, 10, 0), -1);
        Row("64-bit intermediate", MulDiv(2000000000, 1000, 1000000), 2000000);
        Row("overflowing result", MulDiv(2000000000, 4, 2), -1);
        Row("2.5", int(RoundHalfEven(2.5)), 2);
        Row("3.5", int(RoundHalfEven(3.5)), 4);
        Row("1411.2 (176400/125)", int(RoundHalfEven(1411.2)), 1411);
        Row("-2.5", int(RoundHalfEven(-2.5)), -2);
        Row("127.6", int(RoundHalfEven(127.6)), 128);
    }

    void rounding() {
        QFETCH(int, result);
        QTEST(result, "expected");
    }

    // An error carries no text: it is shown in the language current when shown.
    void streamErrors_data() {
        // reasons: open, read, write, as a failed file's reason
        Columns<int, QStringList>({"language", "reasons"});
        Row("English", 0,
            QStringList{"file error: Cannot open file %1", "file error: Stream read error",
                        "file error: Stream write error"});
        Row("French", 1,
            QStringList{"erreur de fichier\u00A0: Impossible d'ouvrir le fichier %1",
                        "erreur de fichier\u00A0: Erreur de lecture du flux",
                        "erreur de fichier\u00A0: Erreur d'écriture dans le flux"});
    }

    void streamErrors() {
        QFETCH(int, language);
        QFETCH(QStringList, reasons);
        SetLanguage(1 - language, false);
        QTemporaryDir dir;
        const QString missing = dir.filePath("nope.bin");
        std::vector<ESonabelError> errors;
        const auto keep = [&errors](const std::function<void()>& action) {
            try {
                action();
                QFAIL("the call must throw");
            } catch (const ESonabelError& e) {
                errors.push_back(e);
            }
        };
        keep([&] { TFileStream s(missing, fmOpenRead); });
        QVERIFY_THROWS_EXCEPTION(EFOpenError, TFileStream(dir.path(), fmOpenRead));

        TFileStream w(dir.filePath("f.bin"), fmCreate);
        w.WriteBuffer("abcdef", 6);
        QCOMPARE(w.Size(), qint64(6));
        w.Seek(4);
        char buf[4];
        QCOMPARE(w.Read(buf, 4), qint64(2)); // short read at the end is no error
        w.Seek(4);
        keep([&] { w.ReadBuffer(buf, 4); });
        w.SetSize(3);
        QCOMPARE((QList<qint64>{w.Size(), w.Position()}), (QList<qint64>{3, 3}));
        TFileStream r(dir.filePath("f.bin"), fmOpenRead);
        keep([&] { r.WriteBuffer("x", 1); });

        SetLanguage(language, false);
        QStringList shown;
        for (const ESonabelError& e : errors)
            shown << ReasonWithDetail(TReason::FileError, ErrorText(e));
        reasons[0] = reasons[0].arg(missing);
        QCOMPARE(shown, reasons);
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
