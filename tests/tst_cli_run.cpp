// sonabel-cli run, started as a process the way a script would use it.

#include "TestUtil.h"
#include "formats/MP3Stream.h"
#include "messages/Messages.h"
#include "messages/ReasonTexts.h"
#include "messages/SizeTexts.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestUtil;

namespace {

// Without arguments the program is asked for its banner: answer at once.
QString Encoder(const QString& folder, const QString& name, const QByteArray& body) {
    return Script(folder, name, "[ $# -eq 0 ] && exit 0\nfor a; do out=$a; done\n" + body);
}

// Live processes whose command line mentions text (zombies have none).
QStringList ProcessesMentioning(const QString& text) {
    QStringList found;
    const QByteArray wanted = text.toUtf8();
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (pid.toInt() > 0 && cmdline.open(QIODevice::ReadOnly)) {
            QByteArray line = cmdline.readAll();
            if (line.contains(wanted))
                found << pid + ' ' + QString::fromUtf8(line.replace('\0', ' '));
        }
    }
    return found;
}

} // namespace

class TestCliRun : public QObject {
    Q_OBJECT
    TOwners Owners;

private:
    // Runs a command, "run" unless told, its answer kept in Last. rawLast: a last
    // path given as bytes, which need not be valid UTF-8.
    int Run(const QStringList& args, const QByteArray& rawLast = {},
            const QString& command = "run") {
        const QStringList arguments = QStringList{command} + args;
        if (rawLast.isEmpty())
            return (Last = Cli(arguments)).Code;
        // QProcess hands over text; the shell reads the bytes from a file.
        const QString file = Temp.filePath("raw-name");
        const QString script = "exec \"$0\" \"$@\" \"$(cat '" + file + "')\"";
        Last = WriteFile(file, rawLast)
                   ? RunCli("sh", QStringList{"-c", script, SONABEL_CLI_PATH} + arguments)
                   : TCliResult();
        return Last.Code;
    }
    QString Folder(const QString& name) { return NewFolder(Temp, name); }

    QTemporaryDir Temp, Home;
    TCliResult Last;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(Temp.isValid() && Home.isValid());
        // A private home for every run.
        qputenv("HOME", QFile::encodeName(Home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Home.filePath(".config")));
    }

    void logsInTheChosenLanguage_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("index");
        QTest::newRow("English") << "ENG" << 0;
        QTest::newRow("French") << "FRN" << 1;
    }

    void logsInTheChosenLanguage() {
        QFETCH(QString, language);
        QFETCH(int, index);
        const QString dir = Folder("lang");
        const QString wav = ToneWav(dir + "/tune.wav");
        QCOMPARE(Run({"--bitrate", "64", "--lang=" + language, wav}), 0);
        SetLanguage(index, false);
        const QString output = dir + "/tune_C64kbps.mp3";
        QVERIFY(QFileInfo(output).size() > 0);
        const QStringList lines = QString::fromUtf8(Last.Out).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], MsgFmt(msgEncodingFile, {wav}));
        QVERIFY(lines[1].startsWith(MsgFmt(msgOutputSize, {0}).left(4)));
        QCOMPARE(lines[2], Msg(msgRunFinished));
        // The counts, the elapsed time (a one-second tone takes well under a
        // second) and the sizes saved, as the file system has them.
        const QString sizes = ' ' + SavedSizesText(QFileInfo(wav).size(), QFileInfo(output).size());
        QVERIFY2(lines[3] == RunSummaryLine(1, 0, 0, 0, 0) + sizes ||
                     lines[3] == RunSummaryLine(1, 0, 0, 0, 1) + sizes,
                 qPrintable(lines[3]));
    }

    void jsonReportsEachEntry() {
        const QString dir = Folder("json");
        const QString wav = ToneWav(dir + "/a.wav");
        // Same name as the WAV: its copy takes the next free name.
        const QString same = ToneMp3(dir + "/a.mp3", {"-b", "64"});
        QCOMPARE(Run({"--json", "--bitrate", "64", "--copy-data", wav, same}), 0);
        const QList<QJsonObject> records = Last.Records;
        QCOMPARE(records.size(), 3);
        const auto json = [](const QJsonObject& o) {
            return QJsonDocument(o).toJson(QJsonDocument::Compact);
        };
        const QString out = dir + "/a_C64kbps.mp3", copy = dir + "/a_C64kbps (2).mp3";
        const QJsonValue none;
        QCOMPARE(json(records[0]),
                 json({{"path", wav}, {"action", "encoded"}, {"output", out}, {"reason", none}}));
        QCOMPARE(json(records[1]),
                 json({{"path", same}, {"action", "copied"}, {"output", copy}, {"reason", none}}));
        QJsonObject summary = records[2].value("summary").toObject();
        QVERIFY(summary.take("seconds").isDouble());
        const auto size = [](const QString& path) { return QFileInfo(path).size(); };
        QCOMPARE(json(summary),
                 QStringLiteral(R"({"copied":1,"encoded":1,"failed":0,"outputBytes":%1,)"
                                R"("skipped":0,"sourceBytes":%2,"stopped":false})")
                     .arg(size(out) + size(copy))
                     .arg(size(wav) + size(same))
                     .toUtf8());
        // No copy this time, and its output there is not a reason to skip it: encoded.
        QCOMPARE(Run({"--json", "--bitrate", "64", "--no-copy-data", "--no-skip-done", same}), 0);
        QCOMPARE(Values(Last.Records, "action").value(0), "encoded");
    }

    // One file, two shards: one encodes it, the other has nothing to do, which
    // is no failure for the engine that ran it.
    void emptyShardSucceeds() {
        const QString dir = Folder("shards");
        const QString wav = ToneWav(dir + "/a.wav", 0.2);
        int encoded = 0;
        for (const char* shard : {"1/2", "2/2"}) {
            QCOMPARE(Run({"--json", "--shard", shard, wav}), 0);
            const QJsonObject summary = Last.Records.last().value("summary").toObject();
            QCOMPARE(summary.value("failed").toInt() + summary.value("skipped").toInt(), 0);
            encoded += summary.value("encoded").toInt();
        }
        QCOMPARE(encoded, 1);
        QCOMPARE(QDir(dir).entryList(QDir::Files).size(), 2);
    }

    void onWarning_data() {
        QTest::addColumn<QString>("answer"); // empty: the default
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("actions");
        QTest::newRow("default") << QString() << 2 << QStringList();
        QTest::newRow("abort") << "abort" << 2 << QStringList();
        QTest::newRow("good") << "good" << 0 << QStringList({"skipped", "encoded"});
        QTest::newRow("all") << "all" << 0 << QStringList({"encoded", "encoded"});
    }

    void onWarning() {
        QFETCH(QString, answer);
        QFETCH(int, exitCode);
        QFETCH(QStringList, actions);
        const QString dir = Folder("warn");
        const QString low = ToneMp3(dir + "/low.mp3", {"-b", "32"});
        const QString high = ToneMp3(dir + "/high.mp3", {"-b", "128"});
        QStringList args = {"--json", "--bitrate", "64", low, high};
        if (!answer.isEmpty())
            args << "--on-warning" << answer;
        QCOMPARE(Run(args), exitCode);
        if (actions.isEmpty()) {
            QVERIFY(Last.Out.isEmpty());
            QVERIFY2(Last.Err.contains("--on-warning"), Last.Err.constData());
            QVERIFY(Last.Err.contains(low.toUtf8()));
            QCOMPARE(QDir(dir).entryList({"*kbps*"}), QStringList());
            return;
        }
        QCOMPARE(Values(Last.Records, "action"), actions << QString());
        for (int i = 0; i < 2; ++i)
            QCOMPARE(QFileInfo::exists(Values(Last.Records, "output")[i]), actions[i] == "encoded");
    }

    // Without --recursive the sub-folder stays out (the stored filter has no recursion).
    void folderWithoutRecursion() {
        const QString dir = Folder("tree");
        QVERIFY(QDir().mkpath(dir + "/sub") && !ToneWav(dir + "/top.wav").isEmpty() &&
                !ToneWav(dir + "/sub/deep.wav").isEmpty());
        QCOMPARE(Run({"--json", "--bitrate", "64", dir}), 0);
        QCOMPARE(Values(Last.Records, "path"), QStringList({dir + "/top.wav", ""}));
    }

    void planAndRunStepAroundADanglingLink() {
        const QString dir = Folder("link");
        const QString wav = ToneWav(dir + "/a.wav");
        const QString mp3 = ToneMp3(dir + "/a.mp3", {"-b", "128"});
        // Writing through the link would create its target.
        const QString target = dir + "/elsewhere.mp3";
        const QString link = dir + "/a_C64kbps.mp3";
        QVERIFY(QFile::link(target, link));
        QCOMPARE(Run({"--bitrate", "64", wav, mp3}, {}, "plan"), 0);
        const QStringList planned = Values(Last.Records, "unique");
        QCOMPARE(Run({"--json", "--bitrate", "64", wav, mp3}), 0);
        // Both sources plan the same name: each takes the next free one.
        const QStringList expected = {dir + "/a_C64kbps (2).mp3", dir + "/a_C64kbps (3).mp3"};
        QCOMPARE(Values(Last.Records, "output"), expected + QStringList{QString()});
        QCOMPARE(planned, expected);
        QCOMPARE(QFileInfo(link).symLinkTarget(), target);
        QVERIFY(!QFileInfo::exists(target));
    }

    void twoRunsOnOneFolderShareNoOutput() {
        const QString dir = Folder("twice");
        QStringList sources;
        for (const char* name : {"a", "b", "c"})
            sources << ToneWav(dir + QStringLiteral("/%1.wav").arg(QLatin1String(name)), 10.0);
        // Both encode every file (neither skips what the other has finished):
        // two writers at once, and still neither takes the other's name.
        QProcess runs[2];
        for (QProcess& p : runs)
            p.start(SONABEL_CLI_PATH,
                    QStringList{"run", "--json", "--bitrate", "64", "--no-skip-done"} + sources);
        QStringList outputs;
        for (QProcess& p : runs) {
            QVERIFY(p.waitForFinished(120000));
            QCOMPARE(p.exitCode(), 0);
            const QList<QJsonObject> records = JsonLines(p.readAllStandardOutput());
            QCOMPARE(records.size(), 4);
            outputs << Values(records, "output").mid(0, 3);
        }
        QCOMPARE(QSet<QString>(outputs.cbegin(), outputs.cend()).size(), 6);
        for (int i = 0; i < outputs.size(); ++i) {
            QVERIFY(outputs[i].startsWith(sources[i % 3].chopped(4) + "_C64kbps"));
            // Whole: neither run wrote over the other's output.
            const qint64 ms = GetMP3Info(outputs[i]).Duration;
            QVERIFY2(qAbs(ms - 10000) < 100,
                     qPrintable(outputs[i] + QStringLiteral(": %1").arg(ms)));
        }
        QCOMPARE(FilesIn(dir).size(), 3 + 6);
    }

    void unusableFilesAreResults_data() {
        QTest::addColumn<QByteArray>("name"); // bytes, not necessarily UTF-8
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("unreadable");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("action"); // empty: not a result at all
        QTest::addColumn<int>("reason");
        QByteArray noise(4096, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        // Format tag 3 (IEEE float) in an otherwise sound header.
        QByteArray notPcm = PcmWav(8000, 1, 0.5);
        notPcm.replace(20, 2, Le16(3));
        const QByteArray pcm = PcmWav(8000, 1, 0.5);
        const auto row = [](const QByteArray& tag, const char* name, const QByteArray& bytes,
                            bool unreadable, const char* language, const char* action,
                            TReason reason) {
            QTest::newRow(tag.constData()) << QByteArray(name) << bytes << unreadable
                                           << QString(language) << QString(action) << int(reason);
        };
        const TReason unsupported = TReason::UnsupportedFile;
        for (const QByteArray how : {", named", ", in a folder", ", in a list"}) {
            row("empty" + how, "e.mp3", {}, false, "ENG", "skipped", TReason::EmptyFile);
            row("random bytes" + how, "r.mp3", noise, false, "ENG", "skipped", unsupported);
            row("random bytes in French" + how, "r.mp3", noise, false, "FRN", "skipped",
                unsupported);
            row("not PCM" + how, "f.wav", notPcm, false, "ENG", "skipped", TReason::NotPcm);
            row("name not UTF-8" + how, "n\xE9.wav", pcm, false, "ENG", "failed",
                TReason::NameNotUtf8);
            row("unreadable" + how, "u.mp3", pcm, true, "ENG", "failed", TReason::PermissionDenied);
        }
        row("text file, named", "notes.txt", "hello", false, "ENG", "skipped", unsupported);
        // The folder scan looks for audio files only.
        row("text file, in a folder", "notes.txt", "hello", false, "ENG", "", TReason(0));
    }

    void unusableFilesAreResults() {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, unreadable);
        QFETCH(QString, language);
        QFETCH(QString, action);
        QFETCH(int, reason);
        if (unreadable && ::geteuid() == 0)
            QSKIP("root reads any file");
        const bool inFolder = QByteArray(QTest::currentDataTag()).endsWith("folder");
        const QString dir = Folder("unusable");
        const QString ok = ToneWav(dir + "/ok.wav");
        const QByteArray raw = QFile::encodeName(dir) + '/' + name;
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        ::close(fd);
        // The temporary folder's own clean-up cannot name a file that is not UTF-8.
        const auto removeRaw = qScopeGuard([&raw] { ::unlink(raw.constData()); });
        if (unreadable)
            QCOMPARE(::chmod(raw.constData(), 0), 0);
        const QStringList common = {"--json", "--bitrate", "64", "--lang", language};
        // A list carries any name as the command line does.
        const QString list = dir + ".list";
        QVERIFY(WriteFile(list, QFile::encodeName(ok) + '\0' + raw + '\0'));
        const int exitCode = inFolder ? Run(common + QStringList{dir})
                             : QByteArray(QTest::currentDataTag()).endsWith("list")
                                 ? Run(common + QStringList{"-0", "--files-from", list})
                                 : Run(common + QStringList{ok}, raw);
        QCOMPARE(exitCode, action == "failed" ? 1 : 0);
        // Refused files come first, before the listed ones.
        const QStringList refused = action.isEmpty() ? QStringList() : QStringList{action};
        QCOMPARE(Values(Last.Records, "action"), (refused + QStringList{"encoded", ""}));
        const QStringList paths = {QFile::decodeName(raw), ok, ""};
        QCOMPARE(Values(Last.Records, "path"), paths.mid(1 - refused.size()));
        const QJsonObject summary = Last.Records.last().value("summary").toObject();
        QCOMPARE(QList<int>({summary.value("skipped").toInt(), summary.value("failed").toInt()}),
                 QList<int>({int(action == "skipped"), int(action == "failed")}));
        if (action.isEmpty())
            return;
        QVERIFY(Last.Records[0].value("output").isNull());
        SetLanguage(LanguageIndexOfCode(language), false);
        QCOMPARE(Last.Records[0].value("reason").toString(), ReasonText(TReason(reason)));
    }

    // The encoder's own MPEG decoding gives up early; mpg123's audio makes it whole.
    void jsonNotesAnEncodingFromTheDecoder() {
        if (QStandardPaths::findExecutable("mpg123").isEmpty())
            QSKIP("mpg123 is not installed");
        const QString dir = Folder("note");
        const QString mp3 = ToneMp3(dir + "/song.mp3", {"-b", "128"});
        const QString shortWav = ToneWav(dir + "/short.wav", 0.2);
        QVERIFY(!mp3.isEmpty() && !shortWav.isEmpty() &&
                Lame(shortWav, dir + "/short.bin", {"-b", "64"}));
        const QString encoder =
            Encoder(dir, "enc.sh",
                    "case \" $* \" in *' --mp3input '*) exec cp '" + QFile::encodeName(dir) +
                        "/short.bin' \"$out\";; esac\nexec lame \"$@\"\n");
        QCOMPARE(Run({"--json", "--bitrate", "64", "--encoder", encoder, mp3}), 0);
        QCOMPARE(Values(Last.Records, "action").value(0), "encoded");
        const QString note = Values(Last.Records, "note").value(0);
        QVERIFY2(note.contains(QRegularExpression("^encoded again from audio decoded by mpg123 "
                                                  "\\(output holds 0\\.\\d s of 1\\.\\d s\\)$")),
                 qPrintable(note));
    }

    // The encoder caps the bit rate of low sampling rates: the name and the
    // estimate say what it really writes.
    void lowSampleRatesNameTheRateWritten_data() {
        QTest::addColumn<int>("sampleRate");
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("written");
        QTest::newRow("8 kHz") << 8000 << 128 << 64;
        QTest::newRow("12 kHz") << 12000 << 128 << 64;
        QTest::newRow("11.025 kHz, under the cap") << 11025 << 48 << 48;
        QTest::newRow("16 kHz") << 16000 << 192 << 160;
        QTest::newRow("24 kHz") << 24000 << 320 << 160;
        QTest::newRow("32 kHz, no cap") << 32000 << 192 << 192;
    }

    void lowSampleRatesNameTheRateWritten() {
        QFETCH(int, sampleRate);
        QFETCH(int, target);
        QFETCH(int, written);
        const QString dir = Folder("rate");
        const QString wav = dir + "/voice.wav";
        QVERIFY(WriteFile(wav, PcmWav(sampleRate, 1, 2.0)));
        const QStringList args = {"--json", "--bitrate", QString::number(target), wav};
        QCOMPARE(Run(args), 0);
        const QString output = Values(Last.Records, "output").value(0);
        QCOMPARE(output, dir + QStringLiteral("/voice_C%1kbps.mp3").arg(written));
        QCOMPARE(GetMP3Info(output).BitRate, written);
        // Its output, run again at the same target, is not "below the target".
        QCOMPARE(Run({"--bitrate", QString::number(target), output}), 0);
        TSourceList list;
        list.AddSourceFile(wav);
        Preferences().SetTargetBitRate(target);
        list.UpdateList(false);
        QCOMPARE(list.Row(0).OutputPath, output);
        const int estimate = list.Row(0).EstimatedKB;
        // Within the encoder's delay and padding on a two-second file.
        const double actualKB = QFileInfo(output).size() / 1024.0;
        QVERIFY2(qAbs(estimate - actualKB) <= actualKB / 10, qPrintable(QString::number(estimate)));
    }

    void stopSignals_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("exitCode"); // -1: killed
        QTest::newRow("SIGINT") << int(SIGINT) << 130;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
        QTest::newRow("SIGHUP") << int(SIGHUP) << 129;
        QTest::newRow("SIGKILL") << int(SIGKILL) << -1;
    }

    void stopSignals() {
        QFETCH(int, signal);
        QFETCH(int, exitCode);
        const QString dir = Folder("signal"), a = ToneWav(dir + "/a.wav"),
                      b = ToneWav(dir + "/b.wav");
        // Writes a part of its output, then stays until it is ended; its command
        // line names the folder, so a survivor shows in /proc.
        const QString encoder =
            Encoder(dir, "slow.sh", "echo half > \"$out\"\nexec tail -f \"$out\"\n");
        const QStringList before = FilesIn(dir);
        QProcess p;
        // Its own process group, as a shell gives a foreground job, so that the
        // interrupt reaches the group the way a Ctrl-C on a terminal does.
        p.setChildProcessModifier([] { (void)::setpgid(0, 0); });
        p.start(QStringLiteral(SONABEL_CLI_PATH),
                {"run", "--json", "--jobs", "2", "--bitrate", "128", "--encoder", encoder, a, b});
        QVERIFY(p.waitForStarted());
        // Both partial outputs are being written, to temporary files only.
        QTRY_COMPARE_WITH_TIMEOUT(TempFilesIn(dir).size(), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(ProcessesMentioning(dir).size() == 3, 20000);
        ::kill(signal == SIGINT ? -pid_t(p.processId()) : pid_t(p.processId()), signal);
        QVERIFY(p.waitForFinished(20000));
        // Nothing this run started outlives it, however it ended.
        QTRY_COMPARE_WITH_TIMEOUT(ProcessesMentioning(dir), QStringList(), 10000);
        QCOMPARE(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, exitCode);
        if (exitCode < 0)
            return;
        QCOMPARE(FilesIn(dir), before);
        const QList<QJsonObject> records = JsonLines(p.readAllStandardOutput());
        QCOMPARE(Values(records, "action"), QStringList({"stopped", "stopped", ""}));
        QVERIFY(records[2].value("summary").toObject().value("stopped").toBool());
    }
};

QTEST_GUILESS_MAIN(TestCliRun)
#include "tst_cli_run.moc"
