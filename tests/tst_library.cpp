// Whole libraries through sonabel-cli: running twice changes nothing, leftovers
// of killed runs are cleaned, and sources replaced by their outputs go to a
// private trash. Real files, real lame.

#include "TestUtil.h"
#include "encoder/OutputFile.h"
#include "formats/MP3Stream.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestUtil;

class TestLibrary : public QObject {
    Q_OBJECT
    TOwners Owners;

private:
    QTemporaryDir Temp;

    QString Folder(const QString& name) { return NewFolder(Temp, name); }
    // Each test has its own trash, never the user's.
    QString DataHome() const { return Temp.filePath("data"); }
    QString TrashFiles() const { return DataHome() + "/Trash/files"; }

    // Killed at the step named, when one is (a crash then).
    TCliResult Cli(const QStringList& args, const QByteArray& killAt = {},
                   const QString& dataHome = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", dataHome.isEmpty() ? DataHome() : dataHome);
        if (!killAt.isEmpty())
            env.insert("SONABEL_TEST_KILL_AT", QString::fromLatin1(killAt));
        return TestUtil::Cli(args, {}, env);
    }
    // Every file below folder, relative, with its size and time.
    static QStringList Snapshot(const QString& folder) {
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QFileInfo info(it.next());
            files << QStringLiteral("%1 %2 %3")
                         .arg(QDir(folder).relativeFilePath(info.filePath()))
                         .arg(info.size())
                         .arg(info.lastModified().toMSecsSinceEpoch());
        }
        files.sort();
        return files;
    }
    // Two seconds of tone: an MP3 with a title tag, or a WAV, by the name.
    static bool MakeSource(const QString& path) {
        return !(path.endsWith(".mp3")
                     ? ToneMp3(path, {"-b", "192", "--tt", "Title Kept", "--add-id3v2"}, 2.0)
                     : ToneWav(path, 2.0))
                    .isEmpty();
    }
    static QString TrashInfoPath(const QString& infoFile) {
        for (const QByteArray& line : ReadFile(infoFile).split('\n'))
            if (line.startsWith("Path="))
                return QFile::decodeName(QByteArray::fromPercentEncoding(line.mid(5)));
        return {};
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(Temp.isValid());
        SetLanguage(0, false);
        QVERIFY(Run("lame", {"--version"}));
    }

    void secondRunMakesNothing_data() {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("beside") << QStringList{};
        QTest::newRow("output folder") << QStringList{"--dest", "DEST"};
        QTest::newRow("output folder, sub-folders")
            << QStringList{"--dest", "DEST", "--keep-subdirs"};
    }

    void secondRunMakesNothing() {
        QFETCH(QStringList, options);
        const QString root = Folder("again"), dir = root + "/lib";
        options.replaceInStrings("DEST", root + "/out");
        QVERIFY(QDir().mkpath(dir + "/sub") && !ToneWav(dir + "/a.wav", 2.0).isEmpty() &&
                !ToneMp3(dir + "/sub/b.mp3", {"-b", "192"}, 2.0).isEmpty());
        const QStringList args =
            QStringList{"run", "--json", "--recursive", "--bitrate", "96"} + options;
        const TCliResult first = Cli(args + QStringList{dir});
        QCOMPARE(first.Code, 0);
        QCOMPARE(first.Records.size(), 3);
        const QStringList before = Snapshot(root);

        // The outputs beside the sources are not taken as sources either.
        const TCliResult second = Cli(args + QStringList{dir});
        QCOMPARE(second.Code, 0);
        const QStringList done(2, "already converted");
        QCOMPARE(Values(second.Records, "action"), QStringList({"skipped", "skipped", ""}));
        QCOMPARE(Values(second.Records, "reason"), done + QStringList{""});
        QCOMPARE(Snapshot(root), before);
        const TCliResult plan =
            Cli(QStringList{"plan", "--recursive", "--bitrate", "96"} + options + QStringList{dir});
        QCOMPARE(Values(plan.Records, "skip"), done);

        // Off: today's behaviour, numbered names and outputs as sources.
        const TCliResult off = Cli(args + QStringList{"--no-skip-done", dir});
        QCOMPARE(off.Code, 0);
        QCOMPARE(off.Records.size(), options.isEmpty() ? 5 : 3);
        QVERIFY(off.Records[0].value("output").toString().endsWith(" (2).mp3"));
    }

    void listShowsAlreadyConverted() {
        const QString dir = Folder("list");
        const QString a = ToneWav(dir + "/a.wav", 0.5);
        const QString b = ToneWav(dir + "/b.wav", 0.5);
        QVERIFY(Lame(a, dir + "/a_C128kbps.mp3", {"-b", "128"}));
        // Something else at the planned name is not an output: b is encoded.
        QVERIFY(WriteFile(dir + "/b_C128kbps.mp3", "not audio"));
        Preferences().Edit()->BitRateIndex = 8; // 128 kbit/s
        TSourceList list;
        list.AddFolder(dir);
        list.EndAddFiles();
        // The output itself is no source, and only a's output counts.
        QCOMPARE(list.Count(), 2);
        const QModelIndex estimate = list.index(0, TSourceList::EstimateColumn);
        QCOMPARE(list.data(estimate).toString(), "already converted");
        QVERIFY(list.data(estimate, TSourceList::ItalicRole).toBool());
        QVERIFY(!list.data(list.index(1, 0), TSourceList::ItalicRole).toBool());
    }

    void leftoversCleanedOnlyWhenUnheld_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<bool>("held");
        QTest::addColumn<int>("ageDays");
        QTest::addColumn<QString>("expected"); // removed, kept or published
        const QString here = TempHostName(), other = "elsewhere";
        QTest::newRow("this host, unheld") << here << ".part" << false << 0 << "removed";
        QTest::newRow("this host, held") << here << ".part" << true << 0 << "kept";
        QTest::newRow("other host, recent") << other << ".part" << false << 0 << "kept";
        QTest::newRow("other host, old") << other << ".part" << false << 2 << "removed";
        QTest::newRow("ready, unheld") << here << ".ready" << false << 0 << "published";
        QTest::newRow("ready, held") << here << ".ready" << true << 0 << "kept";
    }

    void leftoversCleanedOnlyWhenUnheld() {
        QFETCH(QString, host);
        QFETCH(QString, ext);
        QFETCH(bool, held);
        QFETCH(int, ageDays);
        QFETCH(QString, expected);
        const QString dir = Folder("leftover");
        const QString source = ToneWav(dir + "/a.wav", 0.5);
        const QString temp = dir + QStringLiteral("/.x.mp3.sonabel-%1-AbC123%2").arg(host, ext);
        QVERIFY(WriteFile(temp, ReadFile(source)));
        if (ageDays > 0)
            QVERIFY(SetModified(temp, QDateTime::currentDateTime().addDays(-ageDays)));
        const int fd = ::open(QFile::encodeName(temp).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        if (held)
            QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        const TCliResult r = Cli({"run", "--json", source});
        ::close(fd);
        QCOMPARE(r.Code, 0);
        QCOMPARE(QFileInfo::exists(temp), expected == "kept");
        QCOMPARE(QFileInfo::exists(dir + "/x.mp3"), expected == "published");
    }

    void replaceKeepsTagsTimesPermissions_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("mp3") << "song.mp3";
        QTest::newRow("wav") << "take.wav";
    }

    void replaceKeepsTagsTimesPermissions() {
        QFETCH(QString, name);
        const QString output = QFileInfo(name).completeBaseName() + ".mp3";
        const QString dir = Folder("replace");
        const QString source = dir + '/' + name;
        QVERIFY(MakeSource(source));
        QVERIFY(::chmod(QFile::encodeName(source).constData(), 0640) == 0);
        const QDateTime time = QDateTime::currentDateTime().addDays(-3).addMSecs(-123);
        QVERIFY(SetModified(source, time));
        const QByteArray original = ReadFile(source);
        const TCliResult r = Cli(
            {"run", "--json", "--replace", "--keep-time", "--keep-v2", "--bitrate", "64", source});
        QCOMPARE(r.Code, 0);
        const QString out = dir + '/' + output;
        QCOMPARE(r.Records[0].value("output").toString(), out);
        QVERIFY(r.Records[0].value("reason").isNull());
        QCOMPARE(FilesIn(dir), QStringList{output});
        QCOMPARE(GetMP3Info(out).BitRate, 64);
        QCOMPARE(QFileInfo(out).lastModified().toSecsSinceEpoch(), time.toSecsSinceEpoch());
        if (output == name) {
            QVERIFY(ReadFile(out).contains("Title Kept"));
            struct stat st {};
            QCOMPARE(::stat(QFile::encodeName(out).constData(), &st), 0);
            QCOMPARE(st.st_mode & 07777, mode_t(0640));
        }
        // In the trash, whole, with its original path for a file manager.
        const QString trashed = TrashFiles() + '/' + name;
        QCOMPARE(ReadFile(trashed), original);
        QCOMPARE(TrashInfoPath(DataHome() + "/Trash/info/" + name + ".trashinfo"), source);
        QVERIFY(QFile::remove(trashed));
        // Once more: nothing to do.
        const TCliResult again = Cli({"run", "--json", "--replace", "--bitrate", "64", dir});
        QCOMPARE(again.Records[0].value("reason").toString(), "already converted");
        QCOMPARE(FilesIn(dir), QStringList{output});
    }

    void replaceOnAnotherFileSystem() {
        const QString mount = Folder("tmpfs");
        if (::mount("tmpfs", QFile::encodeName(mount).constData(), "tmpfs", 0, "size=16m") != 0)
            QSKIP("no tmpfs can be mounted here");
        const QString source = ToneWav(mount + "/a.wav", 2.0);
        const TCliResult r = Cli({"run", "--json", "--replace", "--bitrate", "64", source});
        const QString trash = mount + QStringLiteral("/.Trash-%1").arg(::getuid());
        const bool trashed = QFileInfo::exists(trash + "/files/a.wav");
        const QString info = TrashInfoPath(trash + "/info/a.wav.trashinfo");
        const bool published = QFileInfo::exists(mount + "/a.mp3");
        QVERIFY(::umount2(QFile::encodeName(mount).constData(), MNT_DETACH) == 0);
        QCOMPARE(r.Code, 0);
        QVERIFY(trashed && published);
        // Relative to the volume, so it holds wherever the volume is mounted.
        QCOMPARE(info, "a.wav");
    }

    void killBetweenSteps_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("step");
        for (const char* name : {"a.mp3", "a.wav"})
            for (const char* step : {"synced", "ready", "trashed", "published"})
                QTest::addRow("%s, killed after %s", name, step) << name << QByteArray(step);
    }

    void killBetweenSteps() {
        QFETCH(QString, name);
        QFETCH(QByteArray, step);
        const QString dir = Folder("kill");
        const QString source = dir + '/' + name;
        QVERIFY(MakeSource(source));
        const QByteArray original = ReadFile(source);
        const QString dataHome = dir + "-data";
        const QString trashed = dataHome + "/Trash/files/" + name;
        const QStringList args{"run", "--json", "--replace", "--bitrate", "64", source};
        QCOMPARE(Cli(args, step, dataHome).Code, -2);
        // The source's audio is where a user finds it.
        QVERIFY(ReadFile(source) == original || ReadFile(trashed) == original);

        // The folder, since the source may be in the trash by now.
        const TCliResult again = Cli(args.mid(0, 5) + QStringList{dir}, {}, dataHome);
        QCOMPARE(again.Code, 0);
        // The job is finished: the output in place, the source once in the trash.
        QCOMPARE(GetMP3Info(dir + "/a.mp3").BitRate, 64);
        QCOMPARE(FilesIn(dir), QStringList{"a.mp3"});
        QCOMPARE(ReadFile(trashed), original);
        QCOMPARE(QDir(dataHome + "/Trash/files").entryList(QDir::Files).size(), 1);
    }

    void sourceKept_data() {
        QTest::addColumn<bool>("noTrash"); // a data folder below a regular file
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QStringList>("files");
        using L = QStringList;
        QTest::newRow("trash unusable")
            << true << L{"--bitrate", "64"} << "encoded"
            << "the source could not go to the trash" << L{"a.wav", "a_C64kbps.mp3"};
        const L options = {"--bitrate", "320", "--on-warning", "all", "--params", "--resample 48"};
        QTest::newRow("output not smaller") << false << options << "skipped"
                                            << "output would not be smaller" << L{"a.wav"};
    }

    void sourceKept() {
        QFETCH(bool, noTrash);
        QFETCH(QStringList, options);
        QFETCH(QString, action);
        QFETCH(QString, reason);
        QFETCH(QStringList, files);
        const QString dir = Folder("kept");
        const QString source = dir + "/a.wav";
        QVERIFY(WriteFile(source, PcmWav(8000, 1, 1.0)));
        const QByteArray original = ReadFile(source);
        QVERIFY(WriteFile(dir + "-blocker", "x"));
        const TCliResult r =
            Cli(QStringList{"run", "--json", "--replace"} + options + QStringList{source}, {},
                noTrash ? dir + "-blocker/data" : QString());
        QCOMPARE(r.Code, 0);
        QCOMPARE(r.Records[0].value("action").toString(), action);
        QVERIFY2(r.Records[0].value("reason").toString().startsWith(reason),
                 qPrintable(r.Records[0].value("reason").toString()));
        QCOMPARE(FilesIn(dir), files);
        QCOMPARE(ReadFile(source), original);
    }
};

QTEST_GUILESS_MAIN(TestLibrary)
#include "tst_library.moc"
