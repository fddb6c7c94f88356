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
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (pid.toInt() > 0 && cmdline.open(QIODevice::ReadOnly)) {
            QByteArray line = cmdline.readAll();
            if (line.contains(wanted))
                found << pid + QLatin1Char(' ') + QString::fromUtf8(line.replace('\0', ' '));
        }
    }
    return found;
}

} // namespace

class TestCliRun : public QObject {
    Q_OBJECT
    TOwners Owners;

private:
    // rawLast: a last path given as bytes, which need not be valid UTF-8.
    int RunCli(const QStringList& args, QByteArray& out, QByteArray& err,
               const QByteArray& rawLast = {}, const QString& command = QStringLiteral("run")) {
        QProcess p;
        QString program = QStringLiteral(SONABEL_CLI_PATH);
        QStringList arguments = QStringList{command} + args;
        if (!rawLast.isEmpty()) {
            // QProcess hands over text; printf turns octal escapes back into the bytes.
            QString escaped;
            for (const char c : rawLast)
                escaped += QStringLiteral("\\0%1").arg(uint(uchar(c)), 3, 8, QLatin1Char('0'));
            qputenv("RAW_PATH", escaped.toLatin1());
            arguments =
                QStringList{"-c", "exec \"$0\" \"$@\" \"$(printf %b \"$RAW_PATH\")\"", program} +
                arguments;
            program = QStringLiteral("sh");
        }
        p.start(program, arguments);
        if (!p.waitForFinished(120000))
            return -1;
        out = p.readAllStandardOutput();
        err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    }
    // One object per line; a line that is not one shows as an empty object.
    static QList<QJsonObject> Records(const QByteArray& out) {
        QList<QJsonObject> records;
        for (const QByteArray& line : out.trimmed().split('\n'))
            records << QJsonDocument::fromJson(line).object();
        return records;
    }
    QString Folder(const QString& name) {
        const QString path = Temp.filePath(QStringLiteral("%1-%2").arg(++Counter).arg(name));
        QDir().mkpath(path);
        return path;
    }
    static QString Wav(const QString& path, double seconds = 1.0) {
        return ToneWav(path, seconds);
    }
    static QString Mp3(const QString& path, const QStringList& args) {
        return ToneMp3(path, args, 1.0);
    }

    QTemporaryDir Temp, Home;
    int Counter = 0;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(Temp.isValid() && Home.isValid());
        // A private home for every run.
        qputenv("HOME", QFile::encodeName(Home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(Home.filePath(QStringLiteral(".config"))));
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
        const QString dir = Folder(QStringLiteral("lang"));
        const QString wav = Wav(dir + QStringLiteral("/tune.wav"));
        QByteArray out, err;
        QCOMPARE(RunCli({"--bitrate", "64", "--lang=" + language, wav}, out, err), 0);
        SetLanguage(index, false);
        const QString output = dir + QStringLiteral("/tune_C64kbps.mp3");
        QVERIFY(QFileInfo(output).size() > 0);
        const QStringList lines =
            QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], MsgFmt(msgEncodingFile, {wav}));
        QVERIFY(lines[1].startsWith(MsgFmt(msgOutputSize, {0}).left(4)));
        QCOMPARE(lines[2], Msg(msgRunFinished));
        // The counts, the elapsed time (a one-second tone takes well under a
        // second) and the sizes saved, as the file system has them.
        const QString sizes =
            QLatin1Char(' ') + SavedSizesText(QFileInfo(wav).size(), QFileInfo(output).size());
        QVERIFY2(lines[3] == RunSummaryLine(1, 0, 0, 0, 0) + sizes ||
                     lines[3] == RunSummaryLine(1, 0, 0, 0, 1) + sizes,
                 qPrintable(lines[3]));
    }

    void jsonReportsEachEntry() {
        const QString dir = Folder(QStringLiteral("json"));
        const QString wav = Wav(dir + QStringLiteral("/a.wav"));
        // Same name as the WAV: its copy takes the next free name.
        const QString same = Mp3(dir + QStringLiteral("/a.mp3"), {"-b", "64"});
        QByteArray out, err;
        QCOMPARE(RunCli({"--json", "--bitrate", "64", "--copy-data", wav, same}, out, err), 0);
        const QList<QJsonObject> records = Records(out);
        QCOMPARE(records.size(), 3);
        const auto json = [](const QJsonObject& o) {
            return QJsonDocument(o).toJson(QJsonDocument::Compact);
        };
        QCOMPARE(json(records[0]), json({{"path", wav},
                                         {"action", "encoded"},
                                         {"output", dir + "/a_C64kbps.mp3"},
                                         {"reason", QJsonValue()}}));
        QCOMPARE(json(records[1]), json({{"path", same},
                                         {"action", "copied"},
                                         {"output", dir + "/a_C64kbps (2).mp3"},
                                         {"reason", QJsonValue()}}));
        QJsonObject summary = records[2].value("summary").toObject();
        QVERIFY(summary.take("seconds").isDouble());
        const auto bytes = [](const QStringList& paths) {
            qint64 sum = 0;
            for (const QString& path : paths)
                sum += QFileInfo(path).size();
            return QString::number(sum);
        };
        const QString sizes =
            QStringLiteral(R"("outputBytes":%1,)")
                .arg(bytes({dir + "/a_C64kbps.mp3", dir + "/a_C64kbps (2).mp3"})) +
            QStringLiteral(R"("skipped":0,"sourceBytes":%1,)").arg(bytes({wav, same}));
        QCOMPARE(QString::fromUtf8(json(summary)),
                 R"({"copied":1,"encoded":1,"failed":0,)" + sizes + R"("stopped":false})");
        // No copy this time, and its output there is not a reason to skip it: encoded.
        QCOMPARE(RunCli({"--json", "--bitrate", "64", "--no-copy-data", "--no-skip-done", same},
                        out, err),
                 0);
        QCOMPARE(Records(out).value(0).value("action").toString(), QStringLiteral("encoded"));
    }

    // One file, two shards: one encodes it, the other has nothing to do, which
    // is no failure for the engine that ran it.
    void emptyShardSucceeds() {
        const QString dir = Folder(QStringLiteral("shards"));
        const QString wav = Wav(dir + QStringLiteral("/a.wav"), 0.2);
        int encoded = 0;
        for (const char* shard : {"1/2", "2/2"}) {
            QByteArray out, err;
            QCOMPARE(RunCli({"--json", "--shard", shard, wav}, out, err), 0);
            const QJsonObject summary = Records(out).last().value("summary").toObject();
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
        const QString dir = Folder(QStringLiteral("warn"));
        const QString low = Mp3(dir + QStringLiteral("/low.mp3"), {"-b", "32"});
        const QString high = Mp3(dir + QStringLiteral("/high.mp3"), {"-b", "128"});
        QStringList args = {"--json", "--bitrate", "64", low, high};
        if (!answer.isEmpty())
            args << "--on-warning" << answer;
        QByteArray out, err;
        QCOMPARE(RunCli(args, out, err), exitCode);
        if (actions.isEmpty()) {
            QVERIFY(out.isEmpty());
            QVERIFY2(err.contains("--on-warning"), err.constData());
            QVERIFY(err.contains(low.toUtf8()));
            QCOMPARE(QDir(dir).entryList({QStringLiteral("*kbps*")}), QStringList());
            return;
        }
        const QList<QJsonObject> records = Records(out);
        QCOMPARE(records.size(), 3);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(records[i].value("action").toString(), actions[i]);
            QCOMPARE(QFileInfo::exists(records[i].value("output").toString()),
                     actions[i] == QLatin1String("encoded"));
        }
    }

    void folderWithKeptSubFolders() {
        const QString dir = Folder(QStringLiteral("tree"));
        QDir().mkpath(dir + QStringLiteral("/in/sub"));
        Wav(dir + QStringLiteral("/in/top.wav"));
        Wav(dir + QStringLiteral("/in/sub/deep.wav"));
        const QString dest = dir + QStringLiteral("/out");
        QByteArray out, err;
        QCOMPARE(RunCli({"--json", "--bitrate", "64", "--dest", dest, "--keep-subdirs",
                         "--recursive", dir + QStringLiteral("/in")},
                        out, err),
                 0);
        QVERIFY(QFileInfo(dest + QStringLiteral("/top.mp3")).size() > 0);
        QVERIFY(QFileInfo(dest + QStringLiteral("/sub/deep.mp3")).size() > 0);
        // Without --recursive the sub-folder stays out (the stored filter has no recursion).
        QCOMPARE(RunCli({"--json", "--bitrate", "64", "--dest", dest + QStringLiteral("2"),
                         dir + QStringLiteral("/in")},
                        out, err),
                 0);
        QCOMPARE(Records(out).size(), 2);
    }

    void planAndRunStepAroundADanglingLink() {
        const QString dir = Folder(QStringLiteral("link"));
        const QString wav = Wav(dir + QStringLiteral("/a.wav"));
        const QString mp3 = Mp3(dir + QStringLiteral("/a.mp3"), {"-b", "128"});
        // Writing through the link would create its target.
        const QString target = dir + QStringLiteral("/elsewhere.mp3");
        const QString link = dir + QStringLiteral("/a_C64kbps.mp3");
        QVERIFY(QFile::link(target, link));
        QByteArray out, err;
        QCOMPARE(RunCli({"--bitrate", "64", wav, mp3}, out, err, {}, QStringLiteral("plan")), 0);
        const QList<QJsonObject> plan = Records(out);
        QCOMPARE(RunCli({"--json", "--bitrate", "64", wav, mp3}, out, err), 0);
        const QList<QJsonObject> run = Records(out);
        QCOMPARE(run.size(), 3);
        // Both sources plan the same name: each takes the next free one.
        const QStringList expected = {dir + "/a_C64kbps (2).mp3", dir + "/a_C64kbps (3).mp3"};
        QCOMPARE(
            QStringList({run[0].value("output").toString(), run[1].value("output").toString()}),
            expected);
        QCOMPARE(QStringList({plan.value(0).value("unique").toString(),
                              plan.value(1).value("unique").toString()}),
                 expected);
        QCOMPARE(QFileInfo(link).symLinkTarget(), target);
        QVERIFY(!QFileInfo::exists(target));
    }

    void twoRunsOnOneFolderShareNoOutput() {
        const QString dir = Folder(QStringLiteral("twice"));
        QStringList sources;
        for (const char* name : {"a", "b", "c"})
            sources << Wav(dir + QStringLiteral("/%1.wav").arg(QLatin1String(name)), 10.0);
        // Both encode every file (neither skips what the other has finished):
        // two writers at once, and still neither takes the other's name.
        QProcess runs[2];
        for (QProcess& p : runs) {
            p.start(QStringLiteral(SONABEL_CLI_PATH),
                    QStringList{"run", "--json", "--bitrate", "64", "--no-skip-done"} + sources);
        }
        QStringList outputs;
        for (QProcess& p : runs) {
            QVERIFY(p.waitForFinished(120000));
            QCOMPARE(p.exitCode(), 0);
            const QList<QJsonObject> records = Records(p.readAllStandardOutput());
            QCOMPARE(records.size(), 4);
            for (int i = 0; i < 3; ++i)
                outputs << records[i].value("output").toString();
        }
        QCOMPARE(QSet<QString>(outputs.cbegin(), outputs.cend()).size(), 6);
        for (int i = 0; i < outputs.size(); ++i) {
            QVERIFY(outputs[i].startsWith(sources[i % 3].chopped(4) + QStringLiteral("_C64kbps")));
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
        const auto rows = [&](const char* how) {
            const auto row = [how](const char* what) -> QTestData& {
                return QTest::addRow("%s, %s", what, how);
            };
            const int unsupported = int(TReason::UnsupportedFile);
            row("empty") << QByteArray("e.mp3") << QByteArray() << false << "ENG"
                         << "skipped" << int(TReason::EmptyFile);
            row("random bytes") << QByteArray("r.mp3") << noise << false << "ENG"
                                << "skipped" << unsupported;
            row("random bytes in French") << QByteArray("r.mp3") << noise << false << "FRN"
                                          << "skipped" << unsupported;
            row("not PCM") << QByteArray("f.wav") << notPcm << false << "ENG"
                           << "skipped" << int(TReason::NotPcm);
            row("name not UTF-8") << QByteArray("n\xE9.wav") << pcm << false << "ENG"
                                  << "failed" << int(TReason::NameNotUtf8);
            row("unreadable") << QByteArray("u.mp3") << pcm << true << "ENG"
                              << "failed" << int(TReason::PermissionDenied);
        };
        rows("named");
        rows("in a folder");
        rows("in a list");
        QTest::newRow("text file, named")
            << QByteArray("notes.txt") << QByteArray("hello") << false << "ENG"
            << "skipped" << int(TReason::UnsupportedFile);
        // The folder scan looks for audio files only.
        QTest::newRow("text file, in a folder")
            << QByteArray("notes.txt") << QByteArray("hello") << false << "ENG" << QString() << 0;
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
        const QString dir = Folder(QStringLiteral("unusable"));
        const QString ok = Wav(dir + QStringLiteral("/ok.wav"));
        const QByteArray raw = QFile::encodeName(dir) + '/' + name;
        const int fd = ::open(raw.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        ::close(fd);
        // The temporary folder's own clean-up cannot name a file that is not UTF-8.
        const auto removeRaw = qScopeGuard([&raw] { ::unlink(raw.constData()); });
        if (unreadable)
            QCOMPARE(::chmod(raw.constData(), 0), 0);

        QByteArray out, err;
        const QStringList common = {"--json", "--bitrate", "64", "--lang", language};
        // A list carries any name as the command line does.
        const QString list = dir + QStringLiteral(".list");
        QVERIFY(WriteFile(list, QFile::encodeName(ok) + '\0' + raw + '\0'));
        const int exitCode =
            inFolder ? RunCli(common + QStringList{dir}, out, err)
            : QByteArray(QTest::currentDataTag()).endsWith("list")
                ? RunCli(common + QStringList{"-0", "--files-from", list}, out, err)
                : RunCli(common + QStringList{ok}, out, err, raw);
        QCOMPARE(exitCode, action == QLatin1String("failed") ? 1 : 0);
        const QList<QJsonObject> records = Records(out);
        QCOMPARE(records.size(), action.isEmpty() ? 2 : 3);
        const QJsonObject summary = records.last().value("summary").toObject();
        QCOMPARE(QList<int>({summary.value("encoded").toInt(), summary.value("skipped").toInt(),
                             summary.value("failed").toInt()}),
                 QList<int>({1, int(action == QLatin1String("skipped")),
                             int(action == QLatin1String("failed"))}));
        if (action.isEmpty())
            return;
        // Refused files come first, before the listed ones.
        const QJsonObject r = records.first();
        QCOMPARE(r.value("path").toString() + ' ' + r.value("action").toString(),
                 QFile::decodeName(raw) + ' ' + action);
        QVERIFY(r.value("output").isNull());
        SetLanguage(LanguageIndexOfCode(language), false);
        QCOMPARE(r.value("reason").toString(), ReasonText(TReason(reason)));
        QCOMPARE(records[1].value("path").toString(), ok);
    }

    // The encoder's own MPEG decoding gives up early; mpg123's audio makes it whole.
    void jsonNotesAnEncodingFromTheDecoder() {
        if (QStandardPaths::findExecutable(QStringLiteral("mpg123")).isEmpty())
            QSKIP("mpg123 is not installed");
        const QString dir = Folder(QStringLiteral("note"));
        const QString mp3 = Mp3(dir + QStringLiteral("/song.mp3"), {"-b", "128"});
        const QString shortWav = Wav(dir + QStringLiteral("/short.wav"), 0.2);
        QVERIFY(!mp3.isEmpty() && !shortWav.isEmpty() &&
                Lame(shortWav, dir + QStringLiteral("/short.bin"), {"-b", "64"}));
        const QString encoder =
            Encoder(dir, QStringLiteral("enc.sh"),
                    "for a; do [ \"$a\" = --mp3input ] && short=1; out=$a; done\n"
                    "[ -n \"$short\" ] && exec cp '" +
                        QFile::encodeName(dir) +
                        "/short.bin' \"$out\"\n"
                        "exec lame \"$@\"\n");
        QByteArray out, err;
        QCOMPARE(RunCli({"--json", "--bitrate", "64", "--encoder", encoder, mp3}, out, err), 0);
        const QJsonObject r = Records(out).value(0);
        QCOMPARE(r.value("action").toString(), QStringLiteral("encoded"));
        QVERIFY2(QRegularExpression(QStringLiteral("^encoded again from audio decoded by mpg123 "
                                                   "\\(output holds 0\\.\\d s of 1\\.\\d s\\)$"))
                     .match(r.value("note").toString())
                     .hasMatch(),
                 qPrintable(r.value("note").toString()));
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
        const QString dir = Folder(QStringLiteral("rate"));
        const QString wav = dir + QStringLiteral("/voice.wav");
        QVERIFY(WriteFile(wav, PcmWav(sampleRate, 1, 2.0)));
        const QStringList args = {"--json", "--bitrate", QString::number(target), wav};
        QByteArray out, err;
        QCOMPARE(RunCli(args, out, err), 0);
        const QString output = Records(out).value(0).value("output").toString();
        QCOMPARE(output, dir + QStringLiteral("/voice_C%1kbps.mp3").arg(written));
        QCOMPARE(GetMP3Info(output).BitRate, written);
        // Its output, run again at the same target, is not "below the target".
        QCOMPARE(RunCli({"--bitrate", QString::number(target), output}, out, err), 0);
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
        const QString dir = Folder(QStringLiteral("signal"));
        const QString a = Wav(dir + QStringLiteral("/a.wav"));
        const QString b = Wav(dir + QStringLiteral("/b.wav"));
        // Writes a part of its output, then stays until it is ended; its command
        // line names the folder, so a survivor shows in /proc.
        const QString encoder = Encoder(dir, QStringLiteral("slow.sh"),
                                        "echo half > \"$out\"\nexec tail -f \"$out\"\n");
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
        if (exitCode < 0) {
            QCOMPARE(p.exitStatus(), QProcess::CrashExit);
            return;
        }
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exitCode);
        QCOMPARE(FilesIn(dir), before);
        const QList<QJsonObject> records = Records(p.readAllStandardOutput());
        QCOMPARE(records.size(), 3);
        QCOMPARE(records[0].value("action").toString() + records[1].value("action").toString(),
                 QStringLiteral("stoppedstopped"));
        QVERIFY(records[2].value("summary").toObject().value("stopped").toBool());
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no path") << QStringList{"--json"};
        QTest::newRow("jobs 0") << QStringList{"--jobs", "0", "x.wav"};
        QTest::newRow("jobs 65") << QStringList{"--jobs", "65", "x.wav"};
        QTest::newRow("bad warning answer") << QStringList{"--on-warning", "maybe", "x.wav"};
        QTest::newRow("bad language") << QStringList{"--lang", "DEU", "x.wav"};
        QTest::newRow("unknown option") << QStringList{"--fast", "x.wav"};
        QTest::newRow("missing file") << QStringList{"/no/such/file.wav"};
        QTest::newRow("bad bit rate") << QStringList{"--bitrate=100", "x.wav"};
        QTest::newRow("value to a switch") << QStringList{"--json=yes", "x.wav"};
        QTest::newRow("unreadable settings") << QStringList{"--settings", "/no/such.ini", "x.wav"};
        QTest::newRow("unreadable list") << QStringList{"--files-from", "/no/such.list"};
        QTest::newRow("missing file in a list")
            << QStringList{"--files-from", "/dev/null", "/no/x.wav"};
        QTest::newRow("bad shard") << QStringList{"--shard", "2/1", "x.wav"};
    }

    void usageErrors() {
        QFETCH(QStringList, args);
        QByteArray out, err;
        QCOMPARE(RunCli(args, out, err), 2);
        QVERIFY(out.isEmpty());
        QVERIFY(err.startsWith("sonabel-cli: "));
    }
};

QTEST_GUILESS_MAIN(TestCliRun)
#include "tst_cli_run.moc"
