// sonabel-cli encoder and plan, run as a process the way a script would use them.

#include "TestUtil.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestUtil;

class TestCliPlan : public QObject {
    Q_OBJECT
private:
    // Runs the program (with the private home); its answer is kept in Last.
    int Run(const QStringList& args, const QByteArray& input = {}) {
        return (Last = Cli(args, input)).Code;
    }
    QString Field(const char* key, int record = 0) const {
        return Last.Records.value(record)[key].toString();
    }
    QStringList Argv(int record = 0) const {
        return Last.Records.value(record)["argv"].toVariant().toStringList();
    }

    QTemporaryDir Home;
    QTemporaryDir Tmp;
    QString FakeLame, IniPath;
    QByteArray Ini;
    TCliResult Last;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(Home.isValid() && Tmp.isValid());
        qputenv("HOME", QFile::encodeName(Home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Home.filePath(".config")));
        FakeLame = Tmp.filePath("fake lame");
        QVERIFY(WriteFile(FakeLame,
                          "#!/bin/sh\necho 'Copyright nobody'\n"
                          "echo 'lame 32bits version 9.1 (http://example.org/lame/)' >&2\n"));
        QVERIFY(QFile::setPermissions(FakeLame, QFile::ReadOwner | QFile::ExeOwner));
        // ABR at 256 kbit/s, no quality switch for ABR, the fake encoder stored, and
        // a folder filter without its upgrade marker (loading would write it back).
        IniPath = Tmp.filePath("my settings.ini");
        Ini = "[General]\nBitRateIndex=12\nEncodingMode=1\nLameParamsABR=--tt x\nFlags=153112578\n"
              "DirFlags=0\nLamePath=" +
              FakeLame.toUtf8() + "\n";
        QVERIFY(WriteFile(IniPath, Ini));
    }

    void encoder() {
        QCOMPARE(Run({"encoder", "--encoder", FakeLame}), 0);
        QCOMPARE(Last.Records.size(), 1);
        QCOMPARE(QStringList({Field("path"), Field("version"), Field("site")}),
                 QStringList({FakeLame, "lame 32bits version 9.1", "example.org/lame"}));
        // The encoder stored in a settings file, and its parameters.
        QCOMPARE(Run({"encoder", "--settings", IniPath}), 0);
        QCOMPARE(Field("path"), FakeLame);
        QCOMPARE(Run({"plan", "--settings", IniPath, "/a/b.wav"}), 0);
        QCOMPARE(Field("arguments"),
                 " --tt x --priority 2 --abr 256 \"/a/b.wav\" \"/a/b_A256kbps.mp3\"");
        QCOMPARE(Argv().value(0), FakeLame);
    }

    void plansFiles() {
        QDir dir(Tmp.path());
        // A name that looks like an option and holds both kinds of quotes, its
        // planned output taken already (named for the 64 kbit/s the encoder
        // writes at 8 kHz, as a run names it); and a source that does not exist.
        const QString wav = dir.filePath("-it's \"here\".wav");
        const QString planned = dir.filePath("-it's \"here\"_A64kbps.mp3");
        const QString unique = dir.filePath("-it's \"here\"_A64kbps (2).mp3");
        const QString song = "/Music/Song.mp3", songOut = "/Music/Song_A96kbps.mp3";
        QVERIFY(WriteFile(wav, PcmWav(8000, 1, 0.1)) && WriteFile(planned, "taken"));
        QCOMPARE(
            Run({"plan", "--encoder", FakeLame, "--mode", "abr", "--bitrate", "96", "--quality",
                 "3", "--params", "--tt 'x y'", "--priority", "0", "--", wav, song}),
            0);
        QCOMPARE(Last.Records.size(), 2);
        QCOMPARE(QStringList({Field("path"), Field("output"), Field("unique")}),
                 QStringList({wav, planned, unique}));
        QCOMPARE(Field("arguments"),
                 " --tt 'x y' --priority 0 --abr 96 -q 3 \"" + wav + "\" \"" + unique + '"');
        QCOMPARE(Argv(),
                 (QStringList{FakeLame, "--tt", "x y", "--abr", "96", "-q", "3", wav, unique}));
        QCOMPARE(Last.Records[0]["niceness"].toInt(), 19);
        QCOMPARE(QStringList({Field("output", 1), Field("unique", 1)}), QStringList(2, songOut));
        QCOMPARE(Argv(1).mid(7), (QStringList{"--mp3input", song, songOut}));
    }

    void plansFolderWithSubFolders() {
        QTemporaryDir in, dest;
        QVERIFY(in.isValid() && dest.isValid());
        QVERIFY(QDir(in.path()).mkpath("A/B"));
        QVERIFY(WriteFile(in.filePath("A/B/x.wav"), "RIFF") &&
                WriteFile(in.filePath("top.MP2"), "x") &&
                WriteFile(in.filePath("A/notes.txt"), "x"));
        // In the order a run adds them: the folder's own files, then each sub-folder's.
        QCOMPARE(Run({"plan", "--dest=" + dest.path(), "--keep-subdirs", "--bitrate=64",
                      "--recursive", in.path()}),
                 0);
        const QStringList paths = {in.filePath("top.MP2"), in.filePath("A/B/x.wav")};
        QCOMPARE(Values(Last.Records, "path"), paths);
        QCOMPARE(Values(Last.Records, "output"),
                 QStringList({dest.filePath("top.mp3"), dest.filePath("A/B/x.mp3")}));
        QVERIFY(Argv().contains("--mp2input"));
        // Without --recursive, as in a run, the sub-folders stay out.
        QCOMPARE(Run({"plan", "--dest", dest.path(), in.path()}), 0);
        QCOMPARE(Values(Last.Records, "path"), paths.mid(0, 1));

        // A single file given on its own lands directly in the destination.
        QCOMPARE(Run({"plan", "--dest", dest.path(), "--keep-subdirs", in.filePath("A/B/x.wav")}),
                 0);
        QCOMPARE(Field("output"), dest.filePath("x.mp3"));
    }

    void plansOneFile_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("output");
        using L = QStringList;
        // Overrides first: the runs after them start from the defaults again.
        QTest::newRow("overrides")
            << L{"--bitrate", "320", "--mode", "abr", "--quality", "9"} << "/a/b_A320kbps.mp3";
        QTest::newRow("defaults") << L{} << "/a/b_C96kbps.mp3";
        QTest::newRow("settings file") << L{"--settings", IniPath} << "/a/b_A256kbps.mp3";
        QTest::newRow("options win over the file")
            << L{"--bitrate", "64", "--settings", IniPath} << "/a/b_A64kbps.mp3";
    }

    void plansOneFile() {
        QFETCH(QStringList, args);
        QFETCH(QString, output);
        QCOMPARE(Run(QStringList{"plan"} + args + QStringList{"/a/b.wav"}), 0);
        QCOMPARE(Field("output"), output);
        // Neither the per-user settings nor the settings file are written.
        QVERIFY(QDir(Home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
        QCOMPARE(ReadFile(IniPath), Ini);
    }

    // Listed paths are command-line paths: any name arrives whole, folders are
    // scanned; shards of one call are disjoint and complete, and agree between
    // two places the library is mounted at.
    void listsAndShards_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<char>("separator");
        using L = QStringList;
        QTest::newRow("command line") << L{} << '\0';
        QTest::newRow("lines from standard input") << L{"--files-from", "-"} << '\n';
        QTest::newRow("NUL from standard input") << L{"-0", "--files-from", "-"} << '\0';
        QTest::newRow("NUL from a file") << L{"--null", "--files-from", "list"} << '\0';
    }

    void listsAndShards() {
        QFETCH(QStringList, options);
        QFETCH(char, separator);
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        QDir dir(tmp.path());
        QVERIFY(dir.mkpath("lib/Album") && dir.mkpath("mirror"));
        QVERIFY(QFile::link(dir.filePath("lib"), dir.filePath("mirror/lib")));
        QStringList named;
        for (int i = 0; i < 30; ++i)
            QVERIFY(WriteFile(dir.filePath("lib/Album/%1 song.mp3").arg(i), "x"));
        if (separator == '\0')
            named << "lib/two\nlines.wav"
                  << "lib/\u00e9t\u00e9 'x'.mp2";
        for (const QString& name : std::as_const(named))
            QVERIFY(WriteFile(dir.filePath(name), "x"));
        named << "lib/Album";

        // Relative paths, as a script gives them from the library's folder.
        const auto plan = [&](const QString& root, const QStringList& more) {
            QStringList paths;
            for (const QString& name : std::as_const(named))
                paths << root + name;
            QByteArray list = QFile::encodeName(paths.join(QChar(separator))) + separator;
            const bool fromFile = options.contains("list");
            if (fromFile)
                WriteFile(dir.filePath("list"), list);
            QStringList args = QStringList{"plan"} + options + more;
            if (options.isEmpty())
                args << "--" << paths;
            const QString saved = QDir::currentPath();
            QDir::setCurrent(dir.path());
            const int code = Run(args, fromFile ? QByteArray() : list);
            QDir::setCurrent(saved);
            QStringList got;
            for (const QJsonObject& o : std::as_const(Last.Records))
                got << o["path"].toString().mid(dir.path().size() + 1 + root.size());
            return code == 0 ? got : QStringList{"exit code"};
        };
        const QStringList all = plan("", {});
        QCOMPARE(all.size(), named.size() - 1 + 30);
        for (const QString& name : std::as_const(named))
            QVERIFY2(all.contains(name) || name.endsWith("Album"), qPrintable(name));
        QStringList shards;
        for (int k = 1; k <= 3; ++k) {
            const QStringList shard = plan("", {"--shard", QStringLiteral("%1/3").arg(k)});
            QVERIFY(!shard.isEmpty() && shard.size() < all.size());
            QCOMPARE(plan("mirror/", {"--shard", QStringLiteral("%1/3").arg(k)}), shard);
            shards += shard;
        }
        shards.sort();
        QStringList sorted = all;
        sorted.sort();
        QCOMPARE(shards, sorted);
    }
};

QTEST_GUILESS_MAIN(TestCliPlan)
#include "tst_cli_plan.moc"
