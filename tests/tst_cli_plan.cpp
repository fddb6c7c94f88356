// sonabel-cli encoder and plan, run as a process the way a script would use them.

#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestUtil;

class TestCliPlan : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void encoder();
    void plansFiles();
    void plansFolderWithSubFolders();
    void overridesAreNotSaved();
    void settingsFileIsReadNotWritten();
    void usageErrors_data();
    void usageErrors();

private:
    // Runs the program with a private home. Out gets one object per output
    // line (nothing at all when a line is not one), Err the error text.
    int Cli(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", Home.path());
        env.insert("XDG_CONFIG_HOME", Home.filePath(".config"));
        p.setProcessEnvironment(env);
        p.start(SONABEL_CLI_PATH, args);
        Out.clear();
        if (!p.waitForFinished(60000))
            return -1;
        RawOut = p.readAllStandardOutput();
        Err = p.readAllStandardError();
        for (const QByteArray& line : RawOut.trimmed().split('\n')) {
            const QJsonDocument doc = QJsonDocument::fromJson(line);
            if (!doc.isObject()) {
                Out.clear();
                break;
            }
            Out << doc.object();
        }
        return p.exitCode();
    }
    QString Field(const char* key, int record = 0) const {
        return Out.value(record)[key].toString();
    }
    QStringList Argv(int record = 0) const {
        QStringList out;
        for (const QJsonValue& item : Out.value(record)["argv"].toArray())
            out << item.toString();
        return out;
    }

    QTemporaryDir Home;
    QTemporaryDir Tmp;
    QString FakeLame;
    QList<QJsonObject> Out;
    QByteArray RawOut, Err;
};

void TestCliPlan::initTestCase() {
    QVERIFY(Home.isValid() && Tmp.isValid());
    FakeLame = Tmp.filePath("fake lame");
    QVERIFY(WriteFile(FakeLame, "#!/bin/sh\necho 'Copyright nobody'\n"
                                "echo 'lame 32bits version 9.1 (http://example.org/lame/)' >&2\n"));
    QVERIFY(QFile::setPermissions(FakeLame, QFile::ReadOwner | QFile::ExeOwner));
}

void TestCliPlan::encoder() {
    QCOMPARE(Cli({"encoder", "--encoder", FakeLame}), 0);
    QCOMPARE(Out.size(), 1);
    QCOMPARE(Field("path"), FakeLame);
    QCOMPARE(Field("version"), "lame 32bits version 9.1");
    QCOMPARE(Field("site"), "example.org/lame");

    const QString missing = Tmp.filePath("no-lame");
    QCOMPARE(Cli({"encoder", "--encoder", missing}), 1);
    QVERIFY(RawOut.isEmpty());
    QVERIFY(Err.contains(missing.toUtf8()));
}

void TestCliPlan::plansFiles() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A name that looks like an option and holds both kinds of quotes, its
    // planned output taken already; and a source that does not exist.
    const QString wav = dir.filePath("-it's \"here\".wav");
    const QString planned = dir.filePath("-it's \"here\"_A96kbps.mp3");
    const QString unique = dir.filePath("-it's \"here\"_A96kbps (2).mp3");
    const QString song = "/Music/Song.mp3", songOut = "/Music/Song_A96kbps.mp3";
    QVERIFY(WriteFile(wav, PcmWav(8000, 1, 0.1)));
    QVERIFY(WriteFile(planned, "taken"));
    QCOMPARE(Cli({"plan", "--encoder", FakeLame, "--mode", "abr", "--bitrate", "96", "--quality",
                  "3", "--params", "--tt 'x y'", "--priority", "0", "--", wav, song}),
             0);
    QCOMPARE(Out.size(), 2);
    QCOMPARE(Field("path"), wav);
    QCOMPARE(Field("output"), planned);
    QCOMPARE(Field("unique"), unique);
    QCOMPARE(Field("arguments"),
             " --tt 'x y' --priority 0 --abr 96 -q 3 \"" + wav + "\" \"" + unique + '"');
    QCOMPARE(Argv(), (QStringList{FakeLame, "--tt", "x y", "--abr", "96", "-q", "3", wav, unique}));
    QCOMPARE(Out[0]["niceness"].toInt(), 19);
    QCOMPARE(Field("output", 1), songOut);
    QCOMPARE(Field("unique", 1), songOut);
    QCOMPARE(Argv(1).mid(7), (QStringList{"--mp3input", song, songOut}));
}

void TestCliPlan::plansFolderWithSubFolders() {
    QTemporaryDir in, dest;
    QVERIFY(in.isValid() && dest.isValid());
    QVERIFY(QDir(in.path()).mkpath("A/B"));
    QVERIFY(WriteFile(in.filePath("A/B/x.wav"), "RIFF"));
    QVERIFY(WriteFile(in.filePath("top.MP2"), "x"));
    QVERIFY(WriteFile(in.filePath("A/notes.txt"), "x"));
    // In the order a run adds them: the folder's own files, then each sub-folder's.
    QCOMPARE(Cli({"plan", "--dest=" + dest.path(), "--keep-subdirs", "--bitrate=64", "--recursive",
                  in.path()}),
             0);
    QCOMPARE(Out.size(), 2);
    QCOMPARE(Field("output"), dest.filePath("top.mp3"));
    QVERIFY(Argv().contains("--mp2input"));
    QCOMPARE(Field("path", 1), in.filePath("A/B/x.wav"));
    QCOMPARE(Field("output", 1), dest.filePath("A/B/x.mp3"));
    // Without --recursive, as in a run, the sub-folders stay out.
    QCOMPARE(Cli({"plan", "--dest", dest.path(), in.path()}), 0);
    QCOMPARE(Out.size(), 1);
    QCOMPARE(Field("path"), in.filePath("top.MP2"));

    // A single file given on its own lands directly in the destination.
    QCOMPARE(Cli({"plan", "--dest", dest.path(), "--keep-subdirs", in.filePath("A/B/x.wav")}), 0);
    QCOMPARE(Field("output"), dest.filePath("x.mp3"));
}

void TestCliPlan::overridesAreNotSaved() {
    QCOMPARE(Cli({"plan", "--bitrate", "320", "--mode", "abr", "--quality", "9", "/a/b.wav"}), 0);
    QCOMPARE(Field("output"), "/a/b_A320kbps.mp3");
    // Nothing was written to the per-user settings, and the next run starts
    // from the defaults again.
    QVERIFY(QDir(Home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    QCOMPARE(Cli({"plan", "/a/b.wav"}), 0);
    QCOMPARE(Field("output"), "/a/b_C96kbps.mp3");
}

void TestCliPlan::settingsFileIsReadNotWritten() {
    // ABR at 256 kbit/s, no quality switch for ABR, the fake encoder stored, and
    // a folder filter without its upgrade marker (loading would write it back).
    const QString file = Tmp.filePath("my settings.ini");
    const QByteArray ini = "[General]\nBitRateIndex=12\nEncodingMode=1\n"
                           "LameParamsABR=--tt x\nFlags=153112578\nDirFlags=0\nLamePath=" +
                           FakeLame.toUtf8() + "\n";
    QVERIFY(WriteFile(file, ini));
    QCOMPARE(Cli({"plan", "--settings", file, "/a/b.wav"}), 0);
    QCOMPARE(Field("output"), "/a/b_A256kbps.mp3");
    QCOMPARE(Field("arguments"),
             " --tt x --priority 2 --abr 256 \"/a/b.wav\" \"/a/b_A256kbps.mp3\"");
    QCOMPARE(Argv().value(0), FakeLame);
    // Options still win over the file.
    QCOMPARE(Cli({"plan", "--bitrate", "64", "--settings", file, "/a/b.wav"}), 0);
    QCOMPARE(Field("output"), "/a/b_A64kbps.mp3");
    QCOMPARE(Cli({"encoder", "--settings", file}), 0);
    QCOMPARE(Field("path"), FakeLame);
    QCOMPARE(ReadFile(file), ini);

    const QString missing = Tmp.filePath("none.ini");
    QCOMPARE(Cli({"plan", "--settings", missing, "/a/b.wav"}), 1);
    QVERIFY(Err.contains(missing.toUtf8()));
}

void TestCliPlan::usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("named");
    QTest::newRow("unknown plan option") << QStringList{"plan", "--bogus", "x"} << "--bogus";
    QTest::newRow("unknown encoder option") << QStringList{"encoder", "--fast"} << "--fast";
    QTest::newRow("bit rate not in the table")
        << QStringList{"plan", "--bitrate", "100", "x"} << "--bitrate";
    QTest::newRow("bit rate not a number")
        << QStringList{"plan", "--bitrate", "lots", "x"} << "--bitrate";
    QTest::newRow("mode") << QStringList{"plan", "--mode", "vbr", "x"} << "--mode";
    QTest::newRow("quality") << QStringList{"plan", "--quality", "10", "x"} << "--quality";
    QTest::newRow("priority") << QStringList{"plan", "--priority", "-1", "x"} << "--priority";
    QTest::newRow("missing value") << QStringList{"plan", "x", "--dest"} << "--dest";
    QTest::newRow("no path") << QStringList{"plan", "--bitrate", "128"} << "path";
    QTest::newRow("missing encoder value") << QStringList{"encoder", "--encoder"} << "--encoder";
}

void TestCliPlan::usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, named);
    QCOMPARE(Cli(args), 2);
    QVERIFY(RawOut.isEmpty());
    QVERIFY2(Err.contains(named.toUtf8()), Err.constData());
}

QTEST_GUILESS_MAIN(TestCliPlan)
#include "tst_cli_plan.moc"
