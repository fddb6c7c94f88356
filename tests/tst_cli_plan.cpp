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

namespace {

QStringList ToStrings(const QJsonValue& v) {
    QStringList out;
    for (const QJsonValue& item : v.toArray())
        out << item.toString();
    return out;
}

} // namespace

class TestCliPlan : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void encoderFromOption();
    void encoderMissing();
    void plansWorkedExample();
    void plansAroundExistingFiles();
    void plansFolderWithSubFolders();
    void overridesAreNotSaved();
    void settingsFileIsReadNotWritten();
    void usageErrors_data();
    void usageErrors();

private:
    int RunCli(const QStringList& args, QByteArray& out, QByteArray& err) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), Home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), Home.filePath(QStringLiteral(".config")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SONABEL_CLI_PATH), args);
        if (!p.waitForFinished(60000))
            return -1;
        out = p.readAllStandardOutput();
        err = p.readAllStandardError();
        return p.exitCode();
    }
    QList<QJsonObject> Records(const QByteArray& out) {
        QList<QJsonObject> records;
        for (const QByteArray& line : out.trimmed().split('\n')) {
            QJsonParseError e;
            const QJsonDocument doc = QJsonDocument::fromJson(line, &e);
            if (e.error != QJsonParseError::NoError || !doc.isObject())
                return {};
            records << doc.object();
        }
        return records;
    }

    QTemporaryDir Home;
    QTemporaryDir Tmp;
    QString FakeLame;
};

void TestCliPlan::initTestCase() {
    QVERIFY(Home.isValid());
    QVERIFY(Tmp.isValid());
    FakeLame = Tmp.filePath(QStringLiteral("fake lame"));
    QVERIFY(WriteFile(FakeLame, "#!/bin/sh\necho 'Copyright nobody'\n"
                                "echo 'lame 32bits version 9.1 (http://example.org/lame/)' >&2\n"));
    QVERIFY(QFile::setPermissions(FakeLame, QFile::ReadOwner | QFile::ExeOwner));
}

void TestCliPlan::encoderFromOption() {
    QByteArray out, err;
    QCOMPARE(RunCli({"encoder", "--encoder", FakeLame}, out, err), 0);
    const QList<QJsonObject> r = Records(out);
    QCOMPARE(r.size(), 1);
    QCOMPARE(r[0]["path"].toString(), FakeLame);
    QCOMPARE(r[0]["version"].toString(), QStringLiteral("lame 32bits version 9.1"));
    QCOMPARE(r[0]["site"].toString(), QStringLiteral("example.org/lame"));
}

void TestCliPlan::encoderMissing() {
    QByteArray out, err;
    const QString missing = Tmp.filePath(QStringLiteral("no-lame"));
    QCOMPARE(RunCli({"encoder", "--encoder", missing}, out, err), 1);
    QVERIFY(out.isEmpty());
    QVERIFY(err.contains(missing.toUtf8()));
}

void TestCliPlan::plansWorkedExample() {
    QByteArray out, err;
    const QString song = QStringLiteral("/Music/Song.mp3");
    QCOMPARE(RunCli({"plan", "--encoder", FakeLame, "--bitrate", "128", "--mode", "cbr",
                     "--quality", "2", "--priority", "2", "--params", "", song},
                    out, err),
             0);
    const QList<QJsonObject> r = Records(out);
    QCOMPARE(r.size(), 1);
    QCOMPARE(r[0]["path"].toString(), song);
    QCOMPARE(r[0]["output"].toString(), QStringLiteral("/Music/Song_C128kbps.mp3"));
    QCOMPARE(r[0]["unique"].toString(), QStringLiteral("/Music/Song_C128kbps.mp3"));
    QCOMPARE(r[0]["arguments"].toString(),
             QStringLiteral(" --mp3input  --priority 2 -b 128 -q 2 \"/Music/Song.mp3\" "
                            "\"/Music/Song_C128kbps.mp3\""));
    QCOMPARE(ToStrings(r[0]["argv"]), (QStringList{FakeLame, "-b", "128", "-q", "2", "--mp3input",
                                                   song, "/Music/Song_C128kbps.mp3"}));
    QCOMPARE(r[0]["niceness"].toInt(99), 0);
}

void TestCliPlan::plansAroundExistingFiles() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString wav = dir.filePath(QStringLiteral("-it's \"here\".wav"));
    QVERIFY(WriteFile(wav, PcmWav(8000, 1, 0.1)));
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("-it's \"here\"_A96kbps.mp3")), "taken"));
    QByteArray out, err;
    QCOMPARE(RunCli({"plan", "--mode", "abr", "--bitrate", "96", "--params", "--tt 'x y'",
                     "--priority", "0", "--", wav},
                    out, err),
             0);
    const QList<QJsonObject> r = Records(out);
    QCOMPARE(r.size(), 1);
    const QString planned = dir.filePath(QStringLiteral("-it's \"here\"_A96kbps.mp3"));
    const QString unique = dir.filePath(QStringLiteral("-it's \"here\"_A96kbps (2).mp3"));
    QCOMPARE(r[0]["output"].toString(), planned);
    QCOMPARE(r[0]["unique"].toString(), unique);
    QCOMPARE(r[0]["arguments"].toString(),
             QStringLiteral(" --tt 'x y' --priority 0 --abr 96 -q 2 ") + '"' + wav + "\" \"" +
                 unique + '"');
    const QStringList argv = ToStrings(r[0]["argv"]);
    QCOMPARE(argv.mid(1), (QStringList{"--tt", "x y", "--abr", "96", "-q", "2", wav, unique}));
    QCOMPARE(r[0]["niceness"].toInt(), 19);
}

void TestCliPlan::plansFolderWithSubFolders() {
    QTemporaryDir in, dest;
    QVERIFY(in.isValid() && dest.isValid());
    QVERIFY(QDir(in.path()).mkpath(QStringLiteral("A/B")));
    QVERIFY(WriteFile(in.filePath(QStringLiteral("A/B/x.wav")), "RIFF"));
    QVERIFY(WriteFile(in.filePath(QStringLiteral("top.MP2")), "x"));
    QVERIFY(WriteFile(in.filePath(QStringLiteral("A/notes.txt")), "x"));
    QByteArray out, err;
    QCOMPARE(RunCli({"plan", "--dest", dest.path(), "--keep-subdirs", "--bitrate", "64", in.path()},
                    out, err),
             0);
    const QList<QJsonObject> r = Records(out);
    QCOMPARE(r.size(), 2);
    QCOMPARE(r[0]["path"].toString(), in.filePath(QStringLiteral("A/B/x.wav")));
    QCOMPARE(r[0]["output"].toString(), dest.filePath(QStringLiteral("A/B/x.mp3")));
    QCOMPARE(r[1]["output"].toString(), dest.filePath(QStringLiteral("top.mp3")));
    QVERIFY(ToStrings(r[1]["argv"]).contains(QStringLiteral("--mp2input")));

    // A single file given on its own lands directly in the destination.
    QCOMPARE(RunCli({"plan", "--dest", dest.path(), "--keep-subdirs",
                     in.filePath(QStringLiteral("A/B/x.wav"))},
                    out, err),
             0);
    QCOMPARE(Records(out).value(0)["output"].toString(), dest.filePath(QStringLiteral("x.mp3")));
}

void TestCliPlan::overridesAreNotSaved() {
    QByteArray out, err;
    QCOMPARE(RunCli({"plan", "--bitrate", "320", "--mode", "abr", "--quality", "9", "/a/b.wav"},
                    out, err),
             0);
    QCOMPARE(Records(out).value(0)["output"].toString(), QStringLiteral("/a/b_A320kbps.mp3"));
    // Nothing was written to the per-user settings.
    QVERIFY(QDir(Home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    // The next run starts from the defaults again.
    QCOMPARE(RunCli({"plan", "/a/b.wav"}, out, err), 0);
    QCOMPARE(Records(out).value(0)["output"].toString(), QStringLiteral("/a/b_C96kbps.mp3"));
}

void TestCliPlan::settingsFileIsReadNotWritten() {
    // ABR at 256 kbit/s, no quality switch for ABR, the fake encoder stored, and
    // a folder filter without its upgrade marker (loading would write it back).
    const QString file = Tmp.filePath(QStringLiteral("my settings.ini"));
    const QByteArray ini = "[General]\nBitRateIndex=12\nEncodingMode=1\n"
                           "LameParamsABR=--tt x\nFlags=153112578\nDirFlags=0\nLamePath=" +
                           FakeLame.toUtf8() + "\n";
    QVERIFY(WriteFile(file, ini));
    QByteArray out, err;
    QCOMPARE(RunCli({"plan", "--settings", file, "/a/b.wav"}, out, err), 0);
    QList<QJsonObject> r = Records(out);
    QCOMPARE(r.value(0)["output"].toString(), QStringLiteral("/a/b_A256kbps.mp3"));
    QCOMPARE(r.value(0)["arguments"].toString(),
             QStringLiteral(" --tt x --priority 2 --abr 256 \"/a/b.wav\" \"/a/b_A256kbps.mp3\""));
    QCOMPARE(ToStrings(r.value(0)["argv"]).value(0), FakeLame);

    // Options still win over the file.
    QCOMPARE(RunCli({"plan", "--bitrate", "64", "--settings", file, "/a/b.wav"}, out, err), 0);
    QCOMPARE(Records(out).value(0)["output"].toString(), QStringLiteral("/a/b_A64kbps.mp3"));

    QCOMPARE(RunCli({"encoder", "--settings", file}, out, err), 0);
    QCOMPARE(Records(out).value(0)["path"].toString(), FakeLame);
    QCOMPARE(ReadFile(file), ini);

    const QString missing = Tmp.filePath(QStringLiteral("none.ini"));
    QCOMPARE(RunCli({"plan", "--settings", missing, "/a/b.wav"}, out, err), 1);
    QVERIFY(err.contains(missing.toUtf8()));
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
    QByteArray out, err;
    QCOMPARE(RunCli(args, out, err), 2);
    QVERIFY(out.isEmpty());
    QVERIFY2(err.contains(named.toUtf8()), err.constData());
}

QTEST_GUILESS_MAIN(TestCliPlan)
#include "tst_cli_plan.moc"
