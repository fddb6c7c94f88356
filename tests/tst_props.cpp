// The properties window and its hex dump: a lame-encoded MP3 with built ID3v2.3/ID3v1.1 tags,
// and WAV headers.

#include "GuiCheck.h"
#include "Id3Fixtures.h"
#include "RecordingReporter.h"
#include "TestTable.h"
#include "TestUtil.h"
#include "gui/SonabelPropsF.h"
#include "settings/Settings.h"
#include "sources/HexDump.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestUtil;
using namespace Id3Fixtures;
using TestTable::Columns;
using TestTable::Row;

namespace {

// A WAV whose header claims avgBytesPerSec, so any duration is a few bytes away.
QByteArray Wav(quint32 avgBytesPerSec, quint32 dataSize) {
    return "RIFF" + Le32(36 + dataSize) + "WAVE" + // RIFF size, form type
           "fmt " + Le32(16) + Le16(1) + Le16(1) + // PCM, mono
           Le32(8000) + Le32(avgBytesPerSec) +     // samples per second, bytes per second
           Le16(1) + Le16(8) +                     // block align, bits per sample
           "data" + Le32(dataSize) + QByteArray(int(dataSize), '\x80');
}

QByteArray TagV1() {
    return "TAG" + B("V1 Title").leftJustified(30, '\0') // 3: title
           + B("A&B").leftJustified(30, '\0')            // 33: artist
           + B("Alb").leftJustified(30, '\0')            // 63: album
           + B("2001")                                   // 93: year
           + B("c").leftJustified(28, '\0')              // 97: comment
           + B("\0\x07\x11");                            // 125: marker 0, track 7, genre 17
}

// Frame data at: TIT2 20, TPE1 41, TALB 60, COMM 77, WOAR 100, TPE2 126, PRIV 137;
// 25 bytes of padding from 6138 to the end of the tag at 6163.
QByteArray TagV2() {
    return Tag(3, 0,
               Frame(3, "TIT2", B("\x03\xC3\x89t\xC3\xA9 2024")) + // UTF-8
                   Frame(3, "TPE1", B("\0Art & Co")) +             //
                   Frame(3, "TALB",
                         B("\x01\xFF\xFE"
                           "\xE9\0t\0")) +                   // UTF-16 with BOM
                   Frame(3, "COMM", B("\0eng\0Nice one")) +  // language, description, text
                   Frame(3, "WOAR", B("http://a.example")) + // URL: no encoding byte
                   Frame(3, "TPE2", B("\0")) +               // encoding byte only
                   Frame(3, "PRIV", QByteArray(6001, 'x')) +
                   QByteArray(25, '\0'));
}

} // namespace

class TestProps : public QObject {
    Q_OBJECT
    TOwners Owners;
    QTemporaryDir Dir;
    QString Mp3;
    TRecordingReporter Reporter;
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = Dir.filePath(name);
        return WriteFile(path, bytes) ? path : QString();
    }
private Q_SLOTS:

    void initTestCase() {
        SetLanguage(0, false);
        const QString wav = Write("tone.wav", PcmWav(44100, 2, 2.0));
        const QString encoded = Dir.filePath("plain.mp3");
        QVERIFY(Lame(wav, encoded, {"-b", "128"}));
        Mp3 = Write("tagged.mp3", TagV2() + ReadFile(encoded) + TagV1());
        QVERIFY(!Mp3.isEmpty());
    }

    void formatDumpLine_data() {
        Columns<QString, QString>({"result", "line"});
        // count, width, offset, bytes, text column, offset column, base
        Row("tag start", FormatDumpLine(4, 4, 0, B("ID3\x03"), true, false, 0),
            "49 44 33 03  ID3.");
        Row("short line padded", FormatDumpLine(2, 4, 0, B("A\x1F"), true, false, 0),
            "41 1F        A.  ");
        Row("offset from base, no text",
            FormatDumpLine(3, 4, 0x1234, B("\xFF\0\x7F"), false, true, 0x34),
            "00001200: FF 00 7F    ");
        Row("byte 32 and Latin-1", FormatDumpLine(2, 2, 0, B(" \xE9"), true, false, 0),
            "20 E9   \u00E9");
    }

    void formatDumpLine() {
        QFETCH(QString, result);
        QTEST(result, "line");
    }

    // Over the ten bytes "0123456789", with offsets shown.
    void hexDump_data() {
        Columns<QString, qint64, qint64, bool, QStringList, QStringList>(
            {"file", "offset", "size", "relative", "lines", "infos"});
        using L = QStringList;
        const L whole{"00000000: 30 31 32 33  0123", "00000004: 34 35 36 37  4567",
                      "00000008: 38 39        89  "};
        Row("whole file from a negative offset", "digits", qint64(-5), qint64(-1), false, whole,
            L{});
        Row("relative offsets", "digits", qint64(3), qint64(4), true,
            L{"00000000: 33 34 35 36  3456"}, L{});
        Row("past the end keeps what was read", "digits", qint64(6), qint64(8), false,
            L{"00000006: 36 37 38 39  6789"}, L{"Read Error."});
        Row("nothing to dump", "digits", qint64(2), qint64(0), false, L{}, L{});
        Row("missing file", "missing", qint64(0), qint64(-1), false, L{}, L{"File not found."});
    }

    void hexDump() {
        QFETCH(QString, file);
        QFETCH(qint64, offset);
        QFETCH(qint64, size);
        QFETCH(bool, relative);
        if (file == "digits")
            QVERIFY(WriteFile(Dir.filePath(file), "0123456789"));
        QStringList lines{"stale line"};
        Reporter.Clear();
        HexDump(Dir.filePath(file), offset, size, {}, &lines, true, true, relative, 4, &Reporter);
        QTEST(lines, "lines");
        QTEST(Reporter.Infos, "infos");
    }

    // Bar positions: the start, whenever the (rounded) tenths grow, the end of a short last line.
    void hexDumpProgress_data() {
        Columns<int, QList<qint64>>({"fileSize", "positions"});
        Row("100 bytes", 100, QList<qint64>{1, 8, 16, 28, 36, 48, 56, 68, 76, 88, 96});
        QTest::newRow("6 bytes") << 6 << QList<qint64>{1, 4, 6};
    }

    void hexDumpProgress() {
        QFETCH(int, fileSize);
        const QString path = Write("progress", QByteArray(fileSize, 'p'));
        QList<qint64> positions;
        QStringList lines;
        // A bar of the wrong range shows as -1.
        const auto progress = [&](qint64 minimum, qint64 maximum, qint64 position) {
            positions << (minimum == 1 && maximum == fileSize ? position : -1);
        };
        HexDump(path, 0, -1, progress, &lines, false, false, false, 4, &Reporter);
        QTEST(positions, "positions");
    }

    // The labels of both pages for the tagged MP3 ("-" for a hidden label).
    void taggedMp3() {
        TSonabelPropsForm form(&Reporter);
        form.ApplyLanguage();
        form.LoadFile(Mp3);
        QStringList seen;
        for (const char* name : {"lbl1FileName", "lbl1Properties", "lbl1SongName", "lbl1Artist",
                                 "lbl1Album", "lbl1Year", "lbl1Comment", "lbl1Genre", "leg1Track",
                                 "lbl1Track", "lbl1Note", "lbl2Note"}) {
            const auto* label = form.findChild<QLabel*>(name);
            seen << QString(name) + "=" + (!label ? "?" : label->isHidden() ? "-" : label->text());
        }
        QCOMPARE(seen, (QStringList{"lbl1FileName=tagged.mp3",
                                    "lbl1Properties=MPEG-1 Layer III 128 kbit/s, 44100 Hz, 0:00:02",
                                    "lbl1SongName=V1 Title", "lbl1Artist=A&B", "lbl1Album=Alb",
                                    "lbl1Year=2001", "lbl1Comment=c", "lbl1Genre=17 : Rock",
                                    "leg1Track=Track:", "lbl1Track=7",
                                    "lbl1Note=", "lbl2Note=Frames: 7, empty entries: 2"}));

        // Frame rows, the usual-frames memo, and dumps of selected frames.
        QStringList rows;
        for (int r = 0; r < form.TagListView->rowCount(); ++r) {
            const auto cell = [&](int c) { return form.TagListView->item(r, c)->text(); };
            rows << cell(0) + ' ' + cell(1) + ' ' + cell(2);
        }
        QCOMPARE(rows, QStringList({"TIT2 21 10", "TPE1 42 8", "TALB 61 6", "COMM 78 12",
                                    "WOAR 100 16", "TPE2 127 0", "PRIV 138 6000"}));
        QCOMPARE(form.memoTagV2->toPlainText().split('\n'),
                 QStringList({"ID3v2.3 tag, 6163 bytes", "Title : " + QString::fromUtf8("Été 2024"),
                              "Artist : Art & Co", "Album : " + QString::fromUtf8("ét"),
                              "Comment : Nice one", "Artist web page : http://a.example"}));
        // Shown read-only without a caret.
        for (QPlainTextEdit* memo : {form.memoTagV2, form.memoDump})
            QVERIFY(!(memo->textInteractionFlags() &
                      (Qt::TextEditable | Qt::TextSelectableByKeyboard)));

        Reporter.Clear();
        auto select = [&](int row) {
            form.TagListView->setCurrentCell(row, 0);
            return form.memoDump->toPlainText();
        };
        auto colour = [&] { return form.memoDump->palette().color(QPalette::Text); };
        QCOMPARE(select(3), "65 6E 67 00  eng.\n4E 69 63 65  Nice\n20 6F 6E 65   one");
        QCOMPARE(colour(), QColor(0, 255, 0));
        QCOMPARE(select(5), "");
        const QString big = select(6);
        QVERIFY(big.count('\n') + 1 == 1250 && big.startsWith("78 78 78 78  xxxx\n"));
        QCOMPARE(colour(), QColor(255, 0, 0));
        QCOMPARE(Reporter.Infos, QStringList{"Only the first 5000 bytes of this frame are shown."});
        select(3);
        QCOMPARE(colour(), QColor(0, 255, 0));
        select(6);
        TSonabelPropsForm other(&Reporter); // once per run, not per window
        other.LoadFile(Mp3);
        other.TagListView->setCurrentCell(6, 0);
        QCOMPARE(Reporter.Infos.size(), 1);

        // Opening the ID3v2 page puts the focus in the usual-frames memo.
        form.show();
        form.PageControl->setCurrentWidget(form.sheetID3V2);
        QCOMPARE(form.focusWidget(), form.memoTagV2);

        // Shown modally again: the page stays, nothing is dumped yet, the button closes.
        QTimer::singleShot(0, form.BitBtn1, &QPushButton::click);
        form.ShowProperties(Mp3);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.PageControl->currentWidget(), form.sheetID3V2);
        QVERIFY(form.LastDumpedIndex == -1 && form.memoDump->toPlainText().isEmpty());
    }

    // WAV files: no format name, no tags; h:mm:ss with seconds rounded half to even.
    void wavFile_data() {
        Columns<quint32, quint32, QString>({"bytesPerSecond", "dataSize", "properties"});
        QTest::newRow("1 s") << 16000u << 16000u << "128 kbit/s WAV, 8000 Hz, 0:00:01";
        QTest::newRow("3,723,400 ms") << 100u << 372340u << "1 kbit/s WAV, 8000 Hz, 1:02:03";
        QTest::newRow("2.5 s down") << 100u << 250u << "1 kbit/s WAV, 8000 Hz, 0:00:02";
        QTest::newRow("3.5 s up") << 100u << 350u << "1 kbit/s WAV, 8000 Hz, 0:00:04";
    }

    void wavFile() {
        QFETCH(quint32, bytesPerSecond);
        QFETCH(quint32, dataSize);
        TSonabelPropsForm form(&Reporter);
        form.LoadFile(Mp3); // what a WAV must clear
        form.LoadFile(Write("take.WAV", Wav(bytesPerSecond, dataSize)));
        QTEST(form.lbl1Properties->text(), "properties");
        QCOMPARE((QStringList{form.lbl1Note->text(), form.lbl2Note->text(),
                              form.lbl1SongName->text() + form.lbl1Artist->text() +
                                  form.lbl1Genre->text()}),
                 (QStringList{"This file has no ID3v1 tag.", "This file has no ID3v2 tag.", ""}));
        QVERIFY(!form.leg1SongName->isHidden());
        for (QWidget* w :
             QWidgetList{form.leg1Artist, form.leg1Genre, form.leg1Track, form.lbl1Track,
                         form.TagListView, form.memoDump, form.memoTagV2})
            QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    }

    // Both pages of the tagged MP3, and a WAV's general page with its hidden rows.
    void windowInLanguages() {
        TSonabelPropsForm form(&Reporter);
        const QString wav = Write("tone.wav", Wav(16000, 16000));
        const std::tuple<QString, QWidget*, QString> views[] = {
            {Mp3, form.sheetGeneral, "props_general"},
            {Mp3, form.sheetID3V2, "props_id3v2"},
            {wav, form.sheetGeneral, "props_wav"}};
        for (const auto& [file, page, name] : views) {
            form.PageControl->setCurrentWidget(page);
            GuiCheck::CheckInLanguages(&form, name, [&] {
                form.ApplyLanguage();
                form.LoadFile(file);
                form.TagListView->setCurrentCell(3, 0);
            });
        }
    }
};

QTEST_MAIN(TestProps)
#include "tst_props.moc"
