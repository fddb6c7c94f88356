#include "RecordingReporter.h"
#include "TestUtil.h"
#include "encoder/EncoderFacts.h"
#include "encoder/FilePaths.h"
#include "encoder/OutputNaming.h"
#include "encoder/ProcessRunner.h"
#include "encoder/SonabelMisc.h"
#include "formats/MP3Stream.h"
#include "messages/Messages.h"
#include "messages/RunState.h"
#include "messages/Sonabel_L.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

using TestUtil::Script;

bool Alive(qint64 pid) {
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

void StopOnSignal(int) {
    TRunState::Current().Set(rsStopRequested);
}

void AbortOnSignal(int) {
    RequestProcessAbort();
}

} // namespace

class TestRunner : public QObject {
    Q_OBJECT
    QTemporaryDir Tmp;
    QString Echo;
    QString Received;
    QString NiceEcho;
    QString Lame;
    std::optional<TOwners> Owners;

    // Arguments a child received, written NUL-separated into Received.
    QStringList ReceivedArguments(const QStringList& arguments) {
        QStringList output;
        const TRunResult r = RunConsoleProcess(Echo, arguments, output);
        if (!r.Started || r.ExitCode != 0)
            return {"<failed>"};
        QStringList result = QString::fromUtf8(TestUtil::ReadFile(Received)).split(QChar(0));
        result.removeLast(); // after the final NUL
        return result;
    }

private Q_SLOTS:
    void init() { Owners.emplace(); }

    void initTestCase() {
        QVERIFY(Tmp.isValid());
        Received = Tmp.filePath("received");
        Echo = Script(Tmp.path(), "echo-args",
                      "printf '%s\\0' \"$@\" > '" + Received.toUtf8() + "'\n");
        // Its niceness, then the arguments it got, one a line.
        NiceEcho = Script(Tmp.path(), "nice-echo", "nice\nfor a; do printf '%s\\n' \"$a\"; done\n");
        QVERIFY(!Echo.isEmpty() && !NiceEcho.isEmpty());
        Lame = FindEncoder(QString());
    }

    void priority_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("niceness"); // 99: none, the child keeps the parent's
        const auto row = [](const char* name, const QString& in, const QString& out, int nice) {
            QTest::newRow(name) << in.split(' ', Qt::SkipEmptyParts)
                                << out.split(' ', Qt::SkipEmptyParts) << nice;
        };
        row("none", "-b 128", "-b 128", 99);
        row("level 0", "--priority 0 -b 128", "-b 128", 19);
        row("level 1", "-q 2 --priority 1", "-q 2", 10);
        row("level 2 is normal", "--priority 2", "", 0);
        row("level 4", "--priority 4 x", "x", -10);
        row("last one wins", "--priority 4 --priority 0", "", 19);
        row("bad level removed, ignored", "--priority high a", "a", 99);
        row("out of range", "--priority 5", "", 99);
        row("dangling option", "a --priority", "a", 99);
        row("similar option kept", "--priority=1 --Priority 1", "--priority=1 --Priority 1", 99);
    }

    void priority() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, expected);
        QFETCH(int, niceness);
        const TPriorityTranslation t = TranslatePriority(arguments);
        QCOMPARE(t.Arguments, expected);
        QCOMPARE(t.Niceness.value_or(99), niceness);

        // What a child started through the runner really gets.
        errno = 0;
        const int own = ::nice(0);
        QVERIFY(errno == 0);
        if (niceness == 99 || (niceness < own && geteuid() != 0))
            niceness = own; // none, or refused without privilege: the child still runs
        QStringList output;
        QVERIFY(RunConsoleProcess(NiceEcho, arguments, output).Started);
        QCOMPARE(output, QStringList{QString::number(niceness)} + expected);
    }

    void awkwardNamesReachTheChild() {
        const QStringList names = {"My Song.wav",        "quote\"d 'x'.wav", "-dash.wav",
                                   "ünïcødé – 日本.wav", "$HOME `id` *.wav", "back\\slash;&|.wav",
                                   "tab\tand\nline.wav"};
        const QString params = "--tt \"Title with blanks\" --priority 3 -b 128";
        for (const QString& name : names) {
            const QString source = Tmp.filePath(name), output = source + ".mp3";
            QCOMPARE(ReceivedArguments(BuildLameArgumentList(SourceWAV, params, source, output)),
                     (QStringList{"--tt", "Title with blanks", "-b", "128", source, output}));
        }
        // A relative name that starts with a dash arrives as the same file.
        QCOMPARE(ReceivedArguments(BuildLameArgumentList(SourceWAV, {}, "-in.wav", "-o.mp3")),
                 (QStringList{"./-in.wav", "./-o.mp3"}));
    }

    void collectsMergedOutput() {
        const QString script =
            Script(Tmp.path(), "talk",
                   "echo out\necho err >&2\nprintf '\\r\\ncaf\\303\\251\\r\\n'\nexit 3\n");
        QStringList output{"old"};
        const TRunResult r = RunConsoleProcess(script, {}, output);
        QVERIFY(r.Started && r.ExitStatus == QProcess::NormalExit);
        QCOMPARE(r.ExitCode, 3);
        QCOMPARE(output, (QStringList{"out", "err", "", "café"}));
    }

    void notStarted() {
        for (const QString& program : {Tmp.filePath("no-such-program"), QString()}) {
            QStringList output{"old"};
            const TRunResult r = RunConsoleProcess(program, {}, output);
            QVERIFY(!r.Started && output.isEmpty());
        }
    }

    // The batch tests encode CBR from every source type with the real encoder; this is the
    // average bit rate command line, run through the console runner.
    void realEncode() {
        if (Lame.isEmpty())
            QSKIP("lame is not installed");
        const QString wav = Tmp.filePath("tone 'a' -1.wav");
        QVERIFY(TestUtil::WriteFile(wav, TestUtil::PcmWav(44100, 2, 2.0)));
        const QString params = BuildLameParams("--quiet", 1, false, 2, 2, 96, false);
        const QString output = MakeOutputPath(wav, QString(), QString(), 96, 1, false, false);
        QStringList lines;
        const TRunResult r =
            RunConsoleProcess(Lame, BuildLameArgumentList(SourceWAV, params, wav, output), lines);
        QVERIFY(r.Started && r.ExitCode == 0);
        const TMP3Info info = GetMP3Info(output);
        QCOMPARE(info.Layer, 1); // Layer III
        QVERIFY(info.Duration > 1900 && info.Duration < 2200);
    }

    void timeLimitEndsChild() {
        const QString pidFile = Tmp.filePath("probe.pid");
        const QString script = Script(Tmp.path(), "slow-lame",
                                      "echo \"LAME 9 version 9.9 (http://x.org/)\"\necho $$ > \"" +
                                          pidFile.toUtf8() + "\"\nexec sleep 60\n");
        TEncoderFacts::Current().SetShortPath(ExistingAbsolutePath(script));
        ReadLameVersion(300);
        QCOMPARE((QStringList{LameVersion(), LameWebSite()}),
                 (QStringList{"LAME 9 version 9.9", "x.org"}));
        const qint64 pid = TestUtil::ReadFile(pidFile).trimmed().toLongLong();
        QVERIFY(pid > 0 && !Alive(pid));

        QStringList output;
        const TRunResult r = RunConsoleProcess(script, {}, output, 200);
        QVERIFY(r.Started && r.TimedOut);
        QCOMPARE(output, QStringList{"LAME 9 version 9.9 (http://x.org/)"});
    }

    // A new path is taken at once, its banner follows without blocking, and a
    // change of another setting probes nothing.
    void bannerProbeOfRealEncoder() {
        if (Lame.isEmpty())
            QSKIP("lame is not installed");
        TOwners owners;
        QSignalSpy changed(&owners.EncoderFacts, &TEncoderFacts::changed);
        owners.Preferences.Edit()->LamePath = Lame;
        QCOMPARE(LameShortPath() + LameVersion(), ExistingAbsolutePath(Lame));
        QVERIFY(changed.wait(EncoderProbeTimeLimitMs));
        QVERIFY2(LameVersion().startsWith("LAME") && LameVersion().contains("3."),
                 qPrintable(LameVersion()));
        QVERIFY(!LameWebSite().isEmpty() && !LameWebSite().contains("http"));
        owners.Preferences.Edit()->Flags ^= flShutDown;
        owners.Preferences.Edit()->LamePath = Tmp.filePath("no-such-encoder");
        QCOMPARE(LameShortPath() + LameVersion(), QString());
        QCOMPARE(changed.size(), 3);
    }

    void encoderProcessReportsEnd() {
        TEncoderProcess encoder;
        QSignalSpy spy(&encoder, &TEncoderProcess::finished);
        encoder.Start("/bin/sh", {"-c", "exit 5"});
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).mid(0, 3),
                 QVariantList({5, QVariant::fromValue(QProcess::NormalExit), true}));

        // A failed start is reported once, after Start has returned.
        spy.clear();
        encoder.Start(Tmp.filePath("missing"), {});
        QCOMPARE(spy.size(), 0);
        QVERIFY(spy.wait(10000));
        QVERIFY(!spy.at(0).at(2).toBool() && !spy.at(0).at(3).toString().isEmpty());
        QTest::qWait(50);
        QCOMPARE(spy.size(), 1);

        // The child's output goes nowhere and its priority becomes its niceness.
        spy.clear();
        const QString where = Tmp.filePath("encoder-fds");
        const QString script = Script(Tmp.path(), "enc",
                                      "fds=$(readlink /proc/$$/fd/1 /proc/$$/fd/2)\necho \"$fds\" "
                                      "> \"$1\"\nnice >> \"$1\"\n");
        encoder.Start(script, {where, "--priority", "0"});
        QVERIFY(spy.wait(10000));
        QCOMPARE(TestUtil::ReadFile(where), QByteArray("/dev/null\n/dev/null\n19\n"));
    }

    void confirmStopEncoding() {
        SetLanguage(0, false);
        // Named like the encoder in another letter case.
        const QString fake =
            Script(Tmp.path(), QString::fromLatin1(LameExeName).toUpper(), "exec sleep 30\n");
        QProcess foreign; // an encoder this program did not start
        foreign.start(fake, {});
        QVERIFY(foreign.waitForStarted());
        QVERIFY(!KillProcessByName(LameExeName)); // nothing of ours runs yet
        TEncoderProcess encoder;
        QSignalSpy spy(&encoder, &TEncoderProcess::finished);
        encoder.Start(fake, {});
        QTRY_VERIFY_WITH_TIMEOUT(encoder.IsRunning() && encoder.ProcessId() > 0, 10000);
        QVERIFY(!KillProcessByName("sleep")); // what the script runs is not its name

        TRecordingReporter reporter;
        // Asked in a state, with an answer queued (None: no question expected):
        // whether to stop, the state after, and whether the encoder still runs.
        const auto ask = [&](quint8 state, TModalResult answer) {
            TRunState::Current().Set(state);
            if (answer != TModalResult::None)
                reporter.QueueAnswer(answer);
            const bool stop = ConfirmStopEncoding(reporter);
            return QList<int>{int(stop), int(RunState), int(encoder.IsRunning())};
        };
        QCOMPARE(ask(rsIdle, TModalResult::None), QList<int>({1, rsIdle, 1}));
        QCOMPARE(ask(rsBatch, TModalResult::No), QList<int>({0, rsBatch, 1}));
        // The run ends while the question is open: a Yes then stops nothing.
        reporter.WhileAsking = [] { TRunState::Current().Set(rsIdle); };
        QCOMPARE(ask(rsBatch, TModalResult::Yes), QList<int>({1, rsIdle, 1}));
        reporter.WhileAsking = {};

        TRunState::Current().Set(rsBatch);
        reporter.QueueAnswer(TModalResult::Yes);
        QVERIFY(ConfirmStopEncoding(reporter));
        QCOMPARE(RunState, quint8(rsStopRequested));
        TRunState::Current().Set(rsIdle);
        QVERIFY(spy.wait(10000));
        QCOMPARE(spy.at(0).at(1).value<QProcess::ExitStatus>(), QProcess::CrashExit);
        QVERIFY(foreign.state() == QProcess::Running && Alive(foreign.processId()));

        // Asked three times, never when idle.
        QCOMPARE(reporter.Questions, QStringList(3, Msg(msgStopEncodingQuestion)));
        const TReportCall asked = reporter.CallsOf(TReportKind::AskUser).last();
        QVERIFY(asked.Type == TDialogType::Warning && asked.Buttons == (mbYes | mbNo));
        foreign.kill();
        foreign.waitForFinished();
    }

    // A stop confirmed, or a quit requested, while the runner waits (here from
    // a signal the child sends) ends its child. Last: a quit request stays.
    void stopOrQuitEndsChild_data() {
        QTest::addColumn<bool>("quit");
        QTest::newRow("stop confirmed") << false;
        QTest::newRow("quit requested") << true;
    }

    void stopOrQuitEndsChild() {
        QFETCH(bool, quit);
        const QString pidFile = Tmp.filePath("sleeper.pid");
        const QString sleeper =
            Script(Tmp.path(), "sleeper",
                   "echo $$ > \"" + pidFile.toUtf8() + "\"\nkill -USR1 $PPID\nexec sleep 30\n");
        std::signal(SIGUSR1, quit ? AbortOnSignal : StopOnSignal);
        TRunState::Current().Set(rsBatch);
        QStringList output;
        const TRunResult r = RunConsoleProcess(sleeper, {}, output);
        std::signal(SIGUSR1, SIG_DFL);
        QVERIFY(r.Started && r.Aborted && !r.TimedOut);
        QCOMPARE(r.ExitStatus, QProcess::CrashExit);
        QVERIFY(!Alive(TestUtil::ReadFile(pidFile).trimmed().toLongLong()));
        // The run's process is released: nothing is left to kill.
        QVERIFY(!KillProcessByName("sleeper"));
    }
};

QTEST_GUILESS_MAIN(TestRunner)
#include "tst_runner.moc"
