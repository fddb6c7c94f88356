// sonabel-cli info, run as a process the way a script would use it.

#include "TestUtil.h"
#include "formats/MP3Stream.h"
#include "formats/WavStream.h"
#include "messages/ReasonTexts.h"
#include "messages/Sonabel_L.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using namespace TestUtil;

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

void TestCliInfo::commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("mention"); // on stdout for exit 0, else on stderr
    QTest::newRow("no command") << QStringList{} << 2 << "usage";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << "frobnicate";
    QTest::newRow("no path") << QStringList{"info"} << 2 << "path";
    QTest::newRow("unknown option") << QStringList{"info", "--loud", "x.mp3"} << 2 << "--loud";
    QTest::newRow("settings without file")
        << QStringList{"info", "--settings"} << 2 << "--settings";
    QTest::newRow("help") << QStringList{"--help"} << 0 << "commands: encoder, info, plan, run";
    QTest::newRow("version") << QStringList{"--version"} << 0
                             << "sonabel-cli " SONABEL_VERSION "\n";
    QTest::newRow("info version") << QStringList{"info", "--version"} << 0
                                  << "sonabel-cli " SONABEL_VERSION "\n";
    QTest::newRow("info help") << QStringList{"info", "--help", "x"} << 0
                               << "Usage: sonabel-cli info [options] PATH...";
    QTest::newRow("encoder help") << QStringList{"encoder", "-h"} << 0 << "--encoder <PATH>";
    QTest::newRow("plan help") << QStringList{"plan", "--help"} << 0 << "--recursive";
    QTest::newRow("run help") << QStringList{"run", "--help"} << 0 << "--no-keep-time";
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
}

QTEST_GUILESS_MAIN(TestCliInfo)
#include "tst_cli_info.moc"
