// sonabel-cli info, run as a process the way a script would use it.

#include "TestUtil.h"
#include "formats/MP3Stream.h"
#include "formats/WavStream.h"
#include "messages/ReasonTexts.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
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

private:
    int RunCli(const QStringList& args, QByteArray& out, QByteArray& err) {
        QProcess p;
        p.start(QStringLiteral(SONABEL_CLI_PATH), args);
        if (!p.waitForFinished(20000))
            return -1;
        out = p.readAllStandardOutput();
        err = p.readAllStandardError();
        return p.exitCode();
    }
};

void TestCliInfo::printsOneRecordPerPath() {
    QTemporaryDir dir;
    const QString wav = dir.filePath("tone.wav");
    QVERIFY(WriteFile(wav, PcmWav(44100, 2, 3.0)));
    const QString mp3 = dir.filePath("Tone Ü.MP3"); // extension case does not matter
    QVERIFY(Lame(wav, mp3, {"-b", "96"}));
    const QString txt = dir.filePath("notes.txt");
    QVERIFY(WriteFile(txt, "hello"));
    const QString broken = dir.filePath("broken.mp2");
    QVERIFY(WriteFile(broken, "not audio at all"));
    // Opening a pipe with no writer would wait forever: it is never read.
    const QString fifo = dir.filePath("pipe.mp3");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString missing = dir.filePath("missing.wav");

    QByteArray out, err;
    QCOMPARE(RunCli({"info", mp3, wav, txt, broken, fifo, missing}, out, err), 0);
    const QList<QByteArray> lines = out.trimmed().split('\n');
    QCOMPARE(lines.size(), 6);

    QList<QJsonObject> records;
    for (const QByteArray& line : lines) {
        QJsonParseError e;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &e);
        QVERIFY2(e.error == QJsonParseError::NoError, line.constData());
        records.append(doc.object());
    }
    QCOMPARE(records[0]["path"].toString(), mp3);
    const QJsonObject m = records[0]["mp3"].toObject();
    const TMP3Info info = GetMP3Info(mp3, roTagV1);
    QCOMPARE(m.size(), 16);
    QCOMPARE(m["BitRate"].toInt(), 96);
    QCOMPARE(m["BitRate"].toInt(), info.BitRate);
    QCOMPARE(m["FrameCount"].toInt(), info.FrameCount);
    QCOMPARE(m["FileSize"].toInt(), info.FileSize);
    QCOMPARE(m["Duration"].toInt(), info.Duration);
    QVERIFY(m["VBR"].isBool());

    const QJsonObject w = records[1]["wav"].toObject();
    QCOMPARE(w.size(), 11);
    QCOMPARE(w["AvgBytesPerSec"].toInt(), 176400);
    QCOMPARE(w["DataSize"].toInt(), GetWAVInfo(wav).DataSize);

    QVERIFY(!records[2].contains("mp3") && !records[2].contains("wav"));
    QCOMPARE(records[3]["mp3"].toObject()["BitRate"].toInt(), 0); // all-zero record
    QCOMPARE(records[3]["mp3"].toObject().size(), 16);
    QVERIFY(!records[3].contains("reason")); // read, and found to be no audio
    QCOMPARE(records[4]["mp3"].toObject()["FileSize"].toInt(), 0);
    QCOMPARE(records[4]["reason"].toString(), ReasonText(TReason::NotRegularFile));
    QCOMPARE(records[5]["wav"].toObject()["FileSize"].toInt(), 0);
    QCOMPARE(records[5]["reason"].toString(), ReasonText(TReason::FileNotFound));
}

void TestCliInfo::commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("mention"); // on stdout for exit 0, else on stderr
    QTest::newRow("no command") << QStringList{} << 2 << "usage";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << 2 << "frobnicate";
    QTest::newRow("no path") << QStringList{"info"} << 2 << "path";
    QTest::newRow("unknown option") << QStringList{"info", "--loud", "x.mp3"} << 2 << "--loud";
    QTest::newRow("unknown option=value") << QStringList{"info", "--loud=3", "x"} << 2 << "--loud";
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
    QByteArray out, err;
    QCOMPARE(RunCli(args, out, err), exitCode);
    QVERIFY2((exitCode == 0 ? err : out).isEmpty(), (out + err).constData());
    QVERIFY2(QString::fromUtf8(exitCode == 0 ? out : err).contains(mention),
             (out + err).constData());
}

QTEST_GUILESS_MAIN(TestCliInfo)
#include "tst_cli_info.moc"
