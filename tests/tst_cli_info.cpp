// sonabel-cli info and every command's command line, run as a process the way a
// script would use it.

#include "TestTable.h"
#include "TestUtil.h"
#include "formats/MP3Stream.h"
#include "formats/WavStream.h"
#include "messages/ReasonTexts.h"
#include "messages/Sonabel_L.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using namespace TestUtil;
using TestTable::Columns;
using TestTable::Row;

class TestCliInfo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void printsOneRecordPerPath();
    void commandLine_data();
    void commandLine();
};

void TestCliInfo::printsOneRecordPerPath() {
    QTemporaryDir dir;
    const QString wav = dir.filePath("tone.wav");
    QVERIFY(WriteFile(wav, PcmWav(44100, 2, 3.0)));
    const QString mp3 = dir.filePath("Tone Ü.MP3"); // extension case does not matter
    QVERIFY(Lame(wav, mp3, {"-b", "96"}));
    const QString txt = dir.filePath("notes.txt"), broken = dir.filePath("broken.mp2");
    QVERIFY(WriteFile(txt, "hello") && WriteFile(broken, "not audio at all"));
    // Opening a pipe with no writer would wait forever: it is never read.
    const QString fifo = dir.filePath("pipe.mp3");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    const TCliResult run = Cli({"info", mp3, wav, txt, broken, fifo, dir.filePath("missing.wav")});
    QCOMPARE(run.Code, 0);
    const QList<QJsonObject> r = run.Records;
    QCOMPARE(r.size(), 6);
    QCOMPARE(r[0]["path"].toString(), mp3);
    const QJsonObject m = r[0]["mp3"].toObject();
    const TMP3Info info = GetMP3Info(mp3, roTagV1);
    QCOMPARE(QList<int>({int(m.size()), m["BitRate"].toInt(), m["FrameCount"].toInt(),
                         m["FileSize"].toInt(), m["Duration"].toInt()}),
             QList<int>({16, 96, info.FrameCount, info.FileSize, info.Duration}));
    const QJsonObject w = r[1]["wav"].toObject();
    QCOMPARE(QList<int>({int(w.size()), w["AvgBytesPerSec"].toInt(), w["DataSize"].toInt()}),
             QList<int>({11, 176400, GetWAVInfo(wav).DataSize}));
    QVERIFY(!r[2].contains("mp3") && !r[2].contains("wav"));
    // Read and found to be no audio: an all-zero record without a reason.
    const QJsonObject none = r[3]["mp3"].toObject();
    QCOMPARE(QList<int>({int(none.size()), none["BitRate"].toInt(), int(r[3].contains("reason"))}),
             QList<int>({16, 0, 0}));
    SetLanguage(0, false, 0); // the terminal program's texts are English
    QCOMPARE(r[4]["reason"].toString(), ReasonText(TReason::NotRegularFile));
    QVERIFY(!ReasonText(TReason::FileNotFound).isEmpty());
    QCOMPARE(r[5]["wav"].toObject()["FileSize"].toInt(), 0);
    QCOMPARE(r[5]["reason"].toString(), ReasonText(TReason::FileNotFound));
}

// Every command's usage: the help and version texts, and the errors in what a
// command line asks for (exit code 2) or in a file it names (1).
void TestCliInfo::commandLine_data() {
    // mention: on stdout for exit 0, else on stderr
    Columns<QStringList, int, QString>({"args", "exitCode", "mention"});
    using L = QStringList;
    Row("no command", L{}, 2, "usage");
    Row("unknown command", L{"frobnicate"}, 2, "frobnicate");
    Row("help", L{"--help"}, 0, "commands: encoder, info, plan, run");
    Row("version", L{"--version"}, 0, "sonabel-cli " SONABEL_VERSION "\n");
    Row("info: no path", L{"info"}, 2, "path");
    Row("info: unknown option", L{"info", "--loud", "x.mp3"}, 2, "--loud");
    Row("info: settings without file", L{"info", "--settings"}, 2, "--settings");
    Row("info: version", L{"info", "--version"}, 0, "sonabel-cli " SONABEL_VERSION "\n");
    Row("info: help", L{"info", "--help", "x"}, 0, "Usage: sonabel-cli info [options] PATH...");
    Row("encoder: help", L{"encoder", "-h"}, 0, "--encoder <PATH>");
    Row("encoder: unknown option", L{"encoder", "--fast"}, 2, "--fast");
    Row("encoder: missing", L{"encoder", "--encoder", "/no/lame"}, 1, "/no/lame");
    Row("plan: help", L{"plan", "--help"}, 0, "--recursive");
    Row("plan: unknown option", L{"plan", "--bogus", "x"}, 2, "--bogus");
    Row("plan: bit rate", L{"plan", "--bitrate", "100", "x"}, 2, "--bitrate");
    Row("plan: bit rate text", L{"plan", "--bitrate", "lots", "x"}, 2, "--bitrate");
    Row("plan: mode", L{"plan", "--mode", "vbr", "x"}, 2, "--mode");
    Row("plan: quality", L{"plan", "--quality", "10", "x"}, 2, "--quality");
    Row("plan: priority", L{"plan", "--priority", "-1", "x"}, 2, "--priority");
    Row("plan: missing value", L{"plan", "x", "--dest"}, 2, "--dest");
    Row("plan: no path", L{"plan", "--bitrate", "128"}, 2, "path");
    for (const char* shard : {"0/3", "4/3", "3", "a/b", "1/2/3"})
        QTest::addRow("plan: shard %s", shard) << L{"plan", "--shard", shard, "x"} << 2 << "K/N";
    Row("plan: missing settings", L{"plan", "--settings", "/no/none.ini", "/a/b.wav"}, 1,
        "/no/none.ini");
    Row("plan: missing list", L{"plan", "--files-from", "/no/l"}, 1, "/no/l");
    Row("run: help", L{"run", "--help"}, 0, "--no-keep-time");
    Row("run: no path", L{"run", "--json"}, 2, "path");
    Row("run: jobs 0", L{"run", "--jobs", "0", "x.wav"}, 2, "--jobs 0");
    Row("run: jobs 65", L{"run", "--jobs", "65", "x.wav"}, 2, "--jobs 65");
    Row("run: bad warning answer", L{"run", "--on-warning", "maybe", "x.wav"}, 2,
        "--on-warning maybe");
    Row("run: bad language", L{"run", "--lang", "DEU", "x.wav"}, 2, "DEU");
    Row("run: unknown option", L{"run", "--fast", "x.wav"}, 2, "--fast");
    Row("run: missing file", L{"run", "/no/such/file.wav"}, 2, "/no/such/file.wav");
    Row("run: bad bit rate", L{"run", "--bitrate=100", "x.wav"}, 2, "--bitrate");
    Row("run: value to a switch", L{"run", "--json=yes", "x.wav"}, 2, "--json");
    Row("run: unreadable settings", L{"run", "--settings", "/no/such.ini", "x.wav"}, 2,
        "/no/such.ini");
    Row("run: unreadable list", L{"run", "--files-from", "/no/such.list"}, 2, "/no/such.list");
    Row("run: missing file in a list", L{"run", "--files-from", "/dev/null", "/no/x.wav"}, 2,
        "/no/x.wav");
    Row("run: bad shard", L{"run", "--shard", "2/1", "x.wav"}, 2, "--shard 2/1");
}

void TestCliInfo::commandLine() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, mention);
    const TCliResult r = Cli(args);
    QCOMPARE(r.Code, exitCode);
    QVERIFY2((exitCode == 0 ? r.Err : r.Out).isEmpty(), (r.Out + r.Err).constData());
    QVERIFY2(QString::fromUtf8(exitCode == 0 ? r.Out : r.Err).contains(mention),
             (r.Out + r.Err).constData());
    // A command's own errors name the program first; without a command the usage is shown.
    QVERIFY(exitCode == 0 || args.isEmpty() || args[0] == "frobnicate" ||
            r.Err.startsWith("sonabel-cli: "));
}

QTEST_GUILESS_MAIN(TestCliInfo)
#include "tst_cli_info.moc"
