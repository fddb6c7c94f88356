#include "BatchFixtures.h"
#include "TestUtil.h"
#include "batch/OutputCheck.h"
#include "formats/MP3Stream.h"
#include "messages/Messages.h"
#include "messages/ReasonTexts.h"
#include "messages/Sonabel_L.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The last argument the fake encoder gets is the output.
const QByteArray LastArgument = "for a; do out=$a; done\n";

using TestUtil::FilesIn;
using TestUtil::Script;
using TestUtil::TempFilesIn;
using TestUtil::ToneMp3;
using TestUtil::ToneWav;

// A folder nothing can be written to, the superuser included (a read-only bind
// mount then); false when neither can be had. Undone by Writable.
bool ReadOnly(const QString& dir) {
    if (::geteuid() != 0)
        return QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = QFile::encodeName(dir);
    if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0)
        return false;
    return ::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) ==
           0;
}

void Writable(const QString& dir) {
    if (::geteuid() == 0)
        ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class TestBatch : public QObject {
    Q_OBJECT
private:
    QString Folder(const QString& name) { return TestUtil::NewFolder(Temp, name); }
    // By the suffix: a WAV (24-bit by sox for "-24.wav"), a silent Layer I file, an
    // ffmpeg Layer II file or a lame MP3.
    QString MakeSource(const QString& path, const QStringList& lameArgs);

    QTemporaryDir Temp;
    QString Lame;
    std::optional<TOwners> Owners;

private Q_SLOTS:
    void initTestCase() {
        Owners.emplace();
        SetLanguage(0, false);
        QVERIFY(Temp.isValid());
        Lame = QStandardPaths::findExecutable("lame");
        QVERIFY2(!Lame.isEmpty(), "lame is needed");
    }

    void init() {
        Owners.emplace();
        Preferences().Edit()->Flags = 2; // quality 2, nothing else
        Preferences().SetTargetBitRate(64);
        TEncoderFacts::Current().SetShortPath(Lame);
    }

    void encodesEverySourceType_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("lameArgs");
        QTest::addColumn<int>("sourceType");
        QTest::newRow("wav") << "song.wav" << QStringList() << 3;
        // 24-bit recordings come as WAVE_FORMAT_EXTENSIBLE with the PCM sub-format.
        QTest::newRow("24-bit extensible wav") << "song-24.wav" << QStringList() << 3;
        QTest::newRow("mp1") << "song.mp1" << QStringList() << 0;
        QTest::newRow("mp2") << "song.mp2" << QStringList() << 1;
        QTest::newRow("cbr mp3") << "song.mp3" << QStringList{"-b", "128"} << 2;
        QTest::newRow("vbr mp3") << "song.mp3" << QStringList{"-V", "4"} << 2;
    }

    void encodesEverySourceType() {
        QFETCH(QString, file);
        QFETCH(QStringList, lameArgs);
        QFETCH(int, sourceType);
        const QString dir = Folder("type");
        const QString source = MakeSource(dir + '/' + file, lameArgs);
        QVERIFY(!source.isEmpty());
        // The source's file time goes over when asked, here for all but the plain WAV.
        const bool keepTime = QByteArray(QTest::currentDataTag()) != "wav";
        const QDateTime when = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6));
        QVERIFY(TestUtil::SetModified(source, when));
        Preferences().Edit()->Flags |= keepTime ? flKeepTime : 0;
        TRig rig({source});
        QCOMPARE(rig.Source.ClassifySource(source), sourceType);
        QVERIFY(rig.Run());

        const QString expected = dir + '/' + QFileInfo(file).completeBaseName() + "_C64kbps.mp3";
        QCOMPARE(rig.Actions(), QStringList{"encoded"});
        QCOMPARE(rig.ResultOf(0).Output, expected);
        QCOMPARE(QFileInfo(expected).lastModified() == when, keepTime);
        const TMP3Info out = GetMP3Info(expected);
        // Layer III (1 in the header's coding), 64 kbit/s, constant; one run, one file encoded.
        QCOMPARE(QList<int>({out.Layer, out.BitRate, int(out.VBR), int(rig.Summaries.size()),
                             rig.Summaries.value(0).Encoded}),
                 QList<int>({1, 64, 0, 1, 1}));
        QCOMPARE(rig.Reporter.Log.last(), Msg(msgRunFinished));
    }

    void uncreatableSubFolderFailsOnlyItsFile_data() {
        QTest::addColumn<bool>("readOnly"); // else a file is in the way
        QTest::newRow("file in the way") << false;
        QTest::newRow("read-only folder") << true;
    }

    void uncreatableSubFolderFailsOnlyItsFile() {
        QFETCH(bool, readOnly);
        const QString root = Folder("blocked");
        for (const QString sub : {"a", "b/deep", "c"})
            QVERIFY(QDir().mkpath(root + "/in/" + sub) &&
                    !ToneWav(root + "/in/" + sub + "/song.wav").isEmpty());
        QDir().mkpath(root + "/out/b");
        if (readOnly && !ReadOnly(root + "/out/b"))
            QSKIP("no read-only folder can be had here");
        const auto writable = qScopeGuard([&] { Writable(root + "/out/b"); });
        if (!readOnly)
            QVERIFY(TestUtil::WriteFile(root + "/out/b/deep", "in the way"));
        Preferences().Edit()->DestDir = root + "/out/";
        Preferences().Edit()->Flags |= flDestFolder | flKeepSubDirs;
        Preferences().Edit()->Jobs = 2;
        TRig rig;
        rig.AddFolder(root + "/in");
        QVERIFY(rig.Run());
        QCOMPARE(rig.Actions(), QStringList({"encoded", "failed", "encoded"}));
        QCOMPARE(rig.ResultOf(2).Output, root + "/out/c/song.mp3");
        const QString reason = rig.ResultOf(1).Reason;
        QVERIFY2(reason.startsWith(QStringLiteral("cannot create %1/out/b/deep: ").arg(root)),
                 qPrintable(reason));
        QVERIFY(rig.Summaries[0].Failed == 1 && !rig.Summaries[0].Stopped);
        QVERIFY(rig.Reporter.Log.contains(Msg(msgRunFinished)));
    }

    void oneJobFollowsTheOrderOfEvents() {
        const QString dir = Folder("order"), a = ToneWav(dir + "/a.wav"),
                      b = ToneWav(dir + "/b.wav");
        TRig rig({a, b});
        QVERIFY(rig.Run());
        const int estimate = rig.Source.Entry(0).EstimatedKB;
        QVERIFY(estimate > 0);
        const QString sizeLine = MsgFmt(msgOutputSize, {estimate});
        QCOMPARE(rig.Reporter.Log,
                 QStringList({MsgFmt(msgEncodingFile, {a}), sizeLine, MsgFmt(msgEncodingFile, {b}),
                              sizeLine, Msg(msgRunFinished)}));
        // The size line was written as 0 first and rewritten in place.
        QCOMPARE(rig.Reporter.CallsOf(TReportKind::LogLine).at(1).Text, MsgFmt(msgOutputSize, {0}));
        QCOMPARE(rig.Reporter.CallsOf(TReportKind::ReplaceLastLogLine).last().Text, sizeLine);

        QCOMPARE(rig.View.Events.mid(0, 5),
                 QStringList({"clearlog", "disable", "go stop", "led on", "row 0"}));
        QCOMPARE(rig.View.Events.mid(rig.View.Events.size() - 3),
                 QStringList({"led off", "go start", "enable"}));
        QCOMPARE(rig.View.Events.filter("row"), QStringList({"row 0", "row 1"}));
        QCOMPARE(rig.View.TotalBar + rig.View.FileBar,
                 QList<int>({2 * estimate, 2 * estimate, estimate, estimate}));
        QCOMPARE(rig.View.TimeText, FormatTimeDisplay(0, rig.Summaries[0].ElapsedMs / 1000));
        QVERIFY(RunState == rsIdle && !rig.View.Events.contains("poweroff 30"));
    }

    void keepsExactlyTheChosenTags_data() {
        QTest::addColumn<QString>("file");
        // With data copy on, a 64 kbit/s source is copied, not encoded.
        QTest::addColumn<quint32>("flags");
        const quint32 v1 = flKeepTagV1, v2 = flKeepTagV2, copy = flCopyData;
        QTest::newRow("encoded, both") << "song.mp3" << (v2 | v1);
        QTest::newRow("encoded, v2 only") << "song.mp3" << v2;
        QTest::newRow("encoded, v1 only") << "song.mp3" << v1;
        QTest::newRow("encoded, none") << "song.mp3" << 0u;
        QTest::newRow("copied, both") << "song.mp3" << (copy | v2 | v1);
        QTest::newRow("copied, none") << "song.mp3" << copy;
        // The encoder copies an MP2 source's ID3v2 tag as well.
        QTest::newRow("MP2, both") << "song.mp2" << (v2 | v1);
        QTest::newRow("MP2, none") << "song.mp2" << 0u;
    }

    void keepsExactlyTheChosenTags() {
        QFETCH(QString, file);
        QFETCH(quint32, flags);
        const bool copy = flags & flCopyData, keepV2 = flags & flKeepTagV2,
                   keepV1 = flags & flKeepTagV1;
        const QString dir = Folder("tags");
        QString source = MakeSource(dir + '/' + file, {"-b", copy ? "64" : "128", "--tt", "Title",
                                                       "--ta", "Artist", "--add-id3v2"});
        QVERIFY(!source.isEmpty());
        if (file.endsWith(".mp2")) {
            QVERIFY(TestUtil::Run("mid3v2", {"-t", "Title", "-a", "Artist", source}));
            // ID3v1: title, artist, album, year, comment, genre.
            const QByteArray v1 = "TAG" + QByteArray("Title").leftJustified(30, 0) +
                                  QByteArray(60, 0) + "2001" + QByteArray(30, 0) + char(17);
            QVERIFY(TestUtil::WriteFile(source, TestUtil::ReadFile(source) + v1));
        }
        Preferences().Edit()->Flags |= flags;
        TRig rig({source});
        QVERIFY(rig.Run());
        QCOMPARE(rig.ResultOf(0).Action, copy ? TEntryAction::Copied : TEntryAction::Encoded);
        QCOMPARE(rig.Reporter.Log.first(),
                 MsgFmt(copy ? msgCopyingFile : msgEncodingFile, {source}));
        const QByteArray src = TestUtil::ReadFile(source),
                         out = TestUtil::ReadFile(rig.ResultOf(0).Output);
        const TMP3Info in = GetMP3Info(source), info = GetMP3Info(rig.ResultOf(0).Output);
        QVERIFY(in.TagV2Size > 0 && in.TagV1Size == 128 && info.BitRate == 64);
        // The encoder's own copy of the tag is gone: only the source's, byte for byte, when asked.
        QCOMPARE(out.left(info.TagV2Size), keepV2 ? src.left(in.TagV2Size) : QByteArray());
        QCOMPARE(out.right(info.TagV1Size), keepV1 ? src.right(128) : QByteArray());
        // A copy with both tags is byte for byte the source; without, exactly its audio.
        if (copy)
            QCOMPARE(out, keepV2 ? src : src.mid(in.AudioStart, in.AudioSize));
    }

    void goodFilesOnlySkipsLowerBitRates() {
        const QString dir = Folder("good");
        const QString low = ToneMp3(dir + "/low.mp3", {"-b", "32"});
        const QString mid = ToneMp3(dir + "/mid.mp3", {"-b", "128"});
        const QString at = ToneMp3(dir + "/at.mp3", {"-b", "160"});
        // An 8 kHz mono WAV is 128 kbit/s, above the 64 the encoder writes at
        // that rate for a 160 target; a CD-quality one is far above it. The
        // last row's folder is unwritable.
        const QString wav = dir + "/low.wav";
        QVERIFY(TestUtil::WriteFile(wav, TestUtil::PcmWav(8000, 1, 1.0)));
        Preferences().SetTargetBitRate(160);
        Preferences().Edit()->Flags |= flBRHigher;
        TRig rig;
        QVERIFY(QDir().mkpath(dir + "/ro"));
        rig.Add({low, mid, at, wav, ToneWav(dir + "/cd.wav"), ToneWav(dir + "/ro/off.wav")});
        if (!ReadOnly(dir + "/ro"))
            QSKIP("no read-only folder can be had here");
        const auto writable = qScopeGuard([&] { Writable(dir + "/ro"); });
        rig.View.WarningAnswers << TWarningAnswer::GoodFilesOnly << TWarningAnswer::GoodFilesOnly;
        QVERIFY(rig.Run());
        QCOMPARE(rig.View.WarningMessage, Msg(msgWarnLowerBitRate));
        QCOMPARE(rig.View.WarningItems, QStringList({low, mid}));
        QVERIFY(rig.View.GoodFilesEnabled && rig.View.AllFilesEnabled);
        QCOMPARE(rig.Actions(),
                 QStringList({"skipped", "skipped", "encoded", "encoded", "encoded", "skipped"}));
        const QString below = ReasonText(TReason::BelowTargetBitRate);
        const QStringList reasons = {below, below, "",
                                     "",    "",    ReasonText(TReason::OutputNotWritable)};
        for (int row = 0; row < reasons.size(); ++row) {
            QCOMPARE(rig.ResultOf(row).Reason, reasons[row]);
            QCOMPARE(
                rig.Reporter.Log.contains(SkippedLine(rig.Source.Entry(row).Path, reasons[row])),
                !reasons[row].isEmpty());
        }
        QCOMPARE(GetMP3Info(rig.ResultOf(2).Output).BitRate, 160);
        QCOMPARE(GetMP3Info(rig.ResultOf(3).Output).BitRate, 64);
        QCOMPARE(GetMP3Info(rig.ResultOf(4).Output).BitRate, 160);
        int estimates = 0;
        for (int row : {2, 3, 4})
            estimates += rig.Source.Entry(row).EstimatedKB;
        QCOMPARE(rig.View.TotalBar.value(1), estimates);
        QVERIFY(!QFileInfo::exists(dir + "/low_C160kbps.mp3"));
    }

    void refusesRunsThatCannotGoAhead_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("infos");
        QTest::addColumn<QStringList>("questions");
        using L = QStringList;
        QTest::newRow("empty list") << "empty" << L{Msg(msgListEmpty)} << L{};
        QTest::newRow("all unwritable") << "beside-all" << L{} << L{Msg(msgAllFoldersUnwritable)};
        QTest::newRow("destination unwritable")
            << "dest-all" << L{} << L{Msg(msgDestDirUnwritable)};
        QTest::newRow("some unwritable, abort") << "beside-some" << L{} << L{};
        QTest::newRow("every file below the target, abort") << "below" << L{} << L{};
    }

    void refusesRunsThatCannotGoAhead() {
        QFETCH(QString, setup);
        QFETCH(QStringList, infos);
        QFETCH(QStringList, questions);
        const QString dir = Folder("refuse");
        TRig rig;
        // Beside the sources, b's folder (and a's, unless some) is read-only;
        // the destination lies below a file.
        const QString ro = setup == "beside-some" ? dir + "/ro" : dir;
        QVERIFY(QDir().mkpath(ro));
        if (setup == "below") {
            Preferences().SetTargetBitRate(160);
            Preferences().Edit()->Flags |= flBRHigher;
            rig.Add({ToneMp3(dir + "/low.mp3", {"-b", "32"})});
        } else if (setup != "empty") {
            rig.Add({ToneWav(dir + "/a.wav"), ToneWav(ro + "/b.wav")});
        }
        if (setup.startsWith("beside") && !ReadOnly(ro))
            QSKIP("no read-only folder can be had here");
        const auto writable = qScopeGuard([&] { Writable(ro); });
        if (setup == "dest-all") {
            QVERIFY(TestUtil::WriteFile(dir + "/file", "not a folder"));
            Preferences().Edit()->Flags |= flDestFolder;
            Preferences().Edit()->DestDir = dir + "/file/out/";
        }
        QCOMPARE(rig.Batch.btnGOClick(), TGoResult::Refused);
        QCOMPARE(rig.Reporter.Infos, infos);
        QCOMPARE(rig.Reporter.Questions, questions);
        if (setup == "beside-some") {
            QCOMPARE(rig.View.WarningMessage, Msg(msgWarnUnwritable));
            QCOMPARE(rig.View.WarningItems, QStringList{rig.Source.Entry(1).OutputPath});
        }
        // Leaving out the files listed would leave nothing: not offered.
        QVERIFY(!rig.View.GoodFilesEnabled || setup == "beside-some");
        QVERIFY(!rig.View.AllFilesEnabled || setup == "below");
        QVERIFY(!rig.View.Disabled && RunState == rsIdle);
        QVERIFY(FilesIn(dir).filter("kbps").isEmpty());
    }

    void failingEncoderIsReported_data() {
        QTest::addColumn<QByteArray>("script"); // empty: an encoder that cannot start
        QTest::newRow("exit 1 after writing") << LastArgument + "echo partial > \"$out\"\nexit 1\n";
        QTest::newRow("writes nothing") << QByteArray("exit 0\n");
        QTest::newRow("killed by a signal")
            << LastArgument + "echo partial > \"$out\"\nkill -9 $$\n";
        QTest::newRow("cannot start") << QByteArray();
    }

    void failingEncoderIsReported() {
        QFETCH(QByteArray, script);
        const QString dir = Folder("fail");
        const QString mp3 = ToneMp3(dir + "/song.mp3", {"-b", "128", "--tt", "T", "--add-id3v2"});
        const QString wav = ToneWav(dir + "/tune.wav");
        TEncoderFacts::Current().SetShortPath(script.isEmpty() ? dir + "/no-such-encoder"
                                                               : Script(dir, "enc.sh", script));
        Preferences().Edit()->Flags |= flKeepTagV2 | flKeepTime;
        TRig rig({mp3, wav});
        QVERIFY(rig.Run());
        QCOMPARE(rig.Actions(), QStringList({"failed", "failed"}));
        const QStringList log = rig.Reporter.Log;
        for (const TEntryResult& r : rig.Results)
            QVERIFY(!r.Reason.isEmpty() && r.Output.isEmpty() &&
                    log.contains(MsgFmt(msgFileFailed, {r.Path, r.Reason})));
        QVERIFY2(FilesIn(dir).filter("kbps").isEmpty(),
                 "a broken output or its temporary file stays behind");
        QCOMPARE(log.mid(log.size() - 2),
                 QStringList({Msg(msgRunFinished), MsgFmt(msgFilesFailed, {2})}));
        QVERIFY(rig.Summaries[0].Failed == 2 && !rig.Summaries[0].Stopped);
        // The bars still advance by the estimates.
        const QList<int> bar = rig.View.TotalBar;
        QVERIFY(bar.value(1) > 0 && bar.value(0) == bar.value(1));
    }

    // Pure checks, each row one call: the result and what it must be.
    void outputDuration_data() {
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, int sourceMs, bool sourceVbr, int outputMs,
                            bool outputVbr, const char* reason) {
            QTest::newRow(name) << CheckOutputDuration(sourceMs, sourceVbr, outputMs, outputVbr)
                                << QString(reason);
        };
        row("cbr, longer by the encoder delay", 3000, false, 3083, false, "");
        row("cbr, at the slack", 3000, false, 2850, false, "");
        row("cbr, 1 ms beyond", 3000, false, 2849, false, "output holds 2.8 s of 3.0 s");
        // 150 ms and 5 % of 10 s.
        row("vbr source, at the slack", 10000, true, 9350, false, "");
        row("vbr source, 1 ms beyond", 10000, true, 9349, false, "output holds 9.3 s of 10.0 s");
        row("vbr output, at the slack", 10000, false, 9350, true, "");
        row("nothing readable in the output", 3000, false, 0, false, "output holds 0.0 s of 3.0 s");
        row("source duration unknown", 0, false, 0, false, "");
        row("source without a byte rate", -1, false, 0, false, "");
    }

    void outputDuration() {
        QFETCH(QString, result);
        QFETCH(QString, expected);
        QCOMPARE(result, expected);
    }

    void shortOutputIsNotASuccess_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("script"); // SHORT: a 0.5 s MP3, LAME: the real encoder
        QTest::addColumn<bool>("decoder");      // mpg123 offered to the batch
        QTest::addColumn<bool>("whole");
        const QByteArray alwaysShort = LastArgument + "cp 'SHORT' \"$out\"\n";
        // The encoder's own MPEG decoding gives up early; from PCM it works.
        const QByteArray shortFromMpeg =
            "for a; do [ \"$a\" = --mp3input ] && short=1; out=$a; done\n"
            "[ -n \"$short\" ] && exec cp 'SHORT' \"$out\"\n"
            "exec 'LAME' \"$@\"\n";
        QTest::newRow("wav source") << "tune.wav" << alwaysShort << true << false;
        QTest::newRow("mp3 source, no mpg123") << "song.mp3" << shortFromMpeg << false << false;
        QTest::newRow("mp3 source, whole through mpg123")
            << "song.mp3" << shortFromMpeg << true << true;
        QTest::newRow("mp3 source, short through mpg123 too")
            << "song.mp3" << alwaysShort << true << false;
    }

    void shortOutputIsNotASuccess() {
        QFETCH(QString, file);
        QFETCH(QByteArray, script);
        QFETCH(bool, decoder);
        QFETCH(bool, whole);
        const QString mpg123 = QStandardPaths::findExecutable("mpg123");
        const bool redecoded = decoder && file.endsWith(".mp3");
        if (redecoded && mpg123.isEmpty())
            QSKIP("mpg123 is not installed");
        const QString dir = Folder("short");
        const QString source = dir + '/' + file;
        QVERIFY(file.endsWith(".wav") ? !ToneWav(source, 3.0).isEmpty()
                                      : !ToneMp3(source, {"-b", "128"}, 3.0).isEmpty());
        const QString shortMp3 = ToneMp3(Folder("short") + "/short.mp3", {"-b", "64"}, 0.5);
        QVERIFY(!shortMp3.isEmpty());
        TEncoderFacts::Current().SetShortPath(
            Script(dir, "enc.sh",
                   script.replace("SHORT", shortMp3.toUtf8()).replace("LAME", Lame.toUtf8())));
        TRig rig;
        rig.Batch.DecoderPath = decoder ? mpg123 : QString();
        rig.Add({source});
        QVERIFY(rig.Run());

        const TEntryResult result = rig.ResultOf(0);
        QCOMPARE(rig.Reporter.Log.filter("decoded by mpg123").size(), int(redecoded));
        if (whole) {
            QCOMPARE(result.Action, TEntryAction::Encoded);
            const TMP3Info info = GetMP3Info(result.Output);
            QVERIFY2(qAbs(info.Duration - 3000) < 150, qPrintable(QString::number(info.Duration)));
            return;
        }
        QCOMPARE(result.Action, TEntryAction::Failed);
        QVERIFY2(
            result.Reason.contains(QRegularExpression("^output holds 0\\.\\d s of 3\\.\\d s$")),
            qPrintable(result.Reason));
        QVERIFY(result.Output.isEmpty() && QDir(dir).entryList({"*kbps*"}).isEmpty());
    }

    // Unfinished downloads and files with junk after the audio: the byte
    // count says 10 s, a decoder gets 7 s, and an output of 7 s loses nothing.
    void damagedTailCountsOnlyRealAudio_data() {
        QTest::addColumn<char>("fill"); // the byte of the last 30 %; 'r' random
        QTest::newRow("zero-filled tail") << '\0';
        QTest::newRow("junk tail") << 'r';
    }

    void damagedTailCountsOnlyRealAudio() {
        QFETCH(char, fill);
        const QString dir = Folder("tail");
        const QString source = ToneMp3(dir + "/cut.mp3", {"-b", "128"}, 10.0);
        QVERIFY(!source.isEmpty());
        QByteArray bytes = TestUtil::ReadFile(source);
        const qsizetype cut = bytes.size() * 7 / 10;
        for (qsizetype i = cut; i < bytes.size(); ++i)
            bytes[i] = fill == 'r' ? char(QRandomGenerator::global()->bounded(256)) : fill;
        QVERIFY(TestUtil::WriteFile(source, bytes));
        Preferences().SetTargetBitRate(128);
        TRig rig({source});
        QVERIFY(rig.Run());
        const TEntryResult result = rig.ResultOf(0);
        QVERIFY2(result.Action == TEntryAction::Encoded, qPrintable(result.Reason));
        const int outputMs = GetMP3Info(result.Output).Duration;
        QVERIFY2(outputMs > 6800 && outputMs < 7600, qPrintable(QString::number(outputMs)));
    }

    void exceptionInOneEntryKeepsTheRunGoing() {
        const QString dir = Folder("throw");
        const QString a = ToneWav(dir + "/a.wav");
        const QString b = ToneWav(dir + "/b.wav");
        TRig rig({a, b});
        rig.Source.ThrowFor = {a};
        QVERIFY(rig.Run());
        QCOMPARE(rig.Actions(), QStringList({"failed", "encoded"}));
        QVERIFY(rig.ResultOf(0).Reason.contains(a));
        QCOMPARE(rig.Reporter.Log.first(), MsgFmt(msgFileFailed, {a, rig.ResultOf(0).Reason}));
        QVERIFY(rig.View.Events.endsWith("enable") && RunState == rsIdle);
    }

    void failedTagTransferLeavesNoOutput_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("output holds no MPEG stream") << "garbage";
        QTest::newRow("file system full") << "full";
        QTest::newRow("file size limit") << "limit";
    }

    void failedTagTransferLeavesNoOutput() {
        QFETCH(QString, fault);
        const QString dir = Folder("tagfail");
        const QString out = dir + "/out";
        QVERIFY(QDir().mkpath(out));
        // The source's ID3v2 tag (mostly padding) is larger than the room left.
        const QString mp3 =
            ToneMp3(dir + "/a.mp3", {"-b", "128", "--tt", "T", "--pad-id3v2-size", "300000"});
        const QString plain = ToneMp3(dir + "/plain.mp3", {"-b", "64"});
        QVERIFY(GetMP3Info(mp3).TagV2Size > 100000);
        // The encoder's work is done by a copy of a real output.
        QByteArray body = LastArgument + "cat '" + plain.toUtf8() + "' > \"$out\"\n";
        if (fault == "garbage")
            body = LastArgument + "printf 'not audio at all' > \"$out\"\n";
        const QByteArray mountPoint = QFile::encodeName(out);
        if (fault == "full") {
            if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=256k") != 0)
                QSKIP("no tmpfs can be mounted here; the file size limit fails the write instead");
            body += "cat /dev/zero > '" + out.toUtf8() + "/filler' 2>/dev/null\nexit 0\n";
        }
        const auto unmount = qScopeGuard([&] {
            if (fault == "full")
                ::umount2(mountPoint.constData(), MNT_DETACH);
        });
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        if (fault == "limit") {
            // Past the limit a write fails with EFBIG instead of ending the process.
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = 64 * 1024;
            QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_FSIZE, &saved); });
        TEncoderFacts::Current().SetShortPath(Script(dir, "enc.sh", body));
        Preferences().Edit()->Flags |= flKeepTagV2 | flKeepTime | flDestFolder;
        Preferences().Edit()->DestDir = out + '/';
        TRig rig({mp3});
        QVERIFY(rig.Run());
        QCOMPARE(rig.Actions(), QStringList{"failed"});
        QVERIFY(!rig.ResultOf(0).Reason.isEmpty() && rig.ResultOf(0).Output.isEmpty());
        QVERIFY(rig.Reporter.Log.contains(MsgFmt(msgFileFailed, {mp3, rig.ResultOf(0).Reason})));
        QCOMPARE(FilesIn(out).filter("kbps"), QStringList());
        QCOMPARE(TempFilesIn(out), QStringList());
    }

    void stopEndsEveryEncoderAndDeletesPartialOutputs_data() {
        QTest::addColumn<int>("jobs");
        // -1: stopped without a question; else "No" answers before "Yes".
        QTest::addColumn<int>("noes");
        QTest::addColumn<bool>("again"); // MP3 sources, stopped while mpg123 feeds the encoder
        QTest::newRow("one job, stop button") << 1 << 0 << false;
        QTest::newRow("two jobs, no, then yes") << 2 << 1 << false;
        QTest::newRow("two jobs, stopped without a question") << 2 << -1 << false;
        QTest::newRow("one job, encoding again from mpg123") << 1 << 0 << true;
    }

    void stopEndsEveryEncoderAndDeletesPartialOutputs() {
        QFETCH(int, jobs);
        QFETCH(int, noes);
        QFETCH(bool, again);
        if (again && QStandardPaths::findExecutable("mpg123").isEmpty())
            QSKIP("mpg123 is not installed");
        const QString dir = Folder("stop");
        // From an MP3 the first output holds no audio; the second encoding hangs.
        TEncoderFacts::Current().SetShortPath(
            Script(dir, "slow.sh",
                   "for a; do [ \"$a\" = --mp3input ] && mp3=1; out=$a; done\n"
                   "[ -n \"$mp3\" ] && exec echo x > \"$out\"\n"
                   "echo partial > \"$out\"\nexec sleep 60\n"));
        Preferences().Edit()->Jobs = jobs;
        Preferences().Edit()->Flags |= flShutDown;
        TRig rig;
        for (const QString& source : {dir + "/a.", dir + "/b.", dir + "/c."})
            rig.Add({again ? ToneMp3(source + "mp3", {"-b", "128"}) : ToneWav(source + "wav")});
        QSignalSpy finished(&rig.Batch, &TBatch::runFinished);
        QCOMPARE(rig.Batch.btnGOClick(), TGoResult::Started);
        if (again)
            QTRY_COMPARE_WITH_TIMEOUT(rig.Reporter.Log.filter("decoded by mpg123").size(), 1,
                                      10000);
        // Partial outputs are written to temporary files only.
        QTRY_COMPARE_WITH_TIMEOUT(TempFilesIn(dir).size(), jobs, 10000);
        const QStringList temps = TempFilesIn(dir);
        for (int i = 0; i < noes; ++i) {
            rig.Reporter.QueueAnswer(TModalResult::No);
            QCOMPARE(rig.Batch.btnGOClick(), TGoResult::StopQuestion);
            QCOMPARE(RunState, quint8(rsBatch));
            QVERIFY(finished.isEmpty());
            QCOMPARE(TempFilesIn(dir), temps);
        }
        if (noes < 0) {
            rig.Batch.Stop();
        } else {
            rig.Reporter.QueueAnswer(TModalResult::Yes);
            QCOMPARE(rig.Batch.btnGOClick(), TGoResult::StopQuestion);
        }
        QCOMPARE(rig.Reporter.Questions, QStringList(noes + 1, Msg(msgStopEncodingQuestion)));
        QCOMPARE(RunState, quint8(rsStopRequested));
        // Still unwinding: the start button does nothing.
        if (finished.isEmpty())
            QCOMPARE(rig.Batch.btnGOClick(), TGoResult::Ignored);
        QVERIFY(!finished.isEmpty() || finished.wait(10000));
        QCOMPARE(TempFilesIn(dir), QStringList());
        QCOMPARE(FilesIn(dir).filter("kbps"), QStringList());
        QCOMPARE(rig.Reporter.Log.last(), Msg(msgRunStopped));
        // No output size is left standing for an output that is gone.
        const QString sizeStart = Msg(msgOutputSize).section('%', 0, 0);
        QCOMPARE(rig.Reporter.Log.filter(
                     QRegularExpression(QRegularExpression::escape(sizeStart) + "\\d")),
                 QStringList());
        QCOMPARE(rig.Reporter.Log.count(Msg(msgOutputDiscarded)), jobs == 1 ? 1 + int(again) : 0);
        QVERIFY(rig.Summaries[0].Stopped);
        QCOMPARE(rig.Actions(), QStringList(3, "stopped"));
        QCOMPARE(rig.View.Events.count("poweroff 30"), 0);
        QVERIFY(RunState == rsIdle && !rig.View.Disabled);
    }

    void pressDuringFolderScanAsksToStopIt_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("scanEndsWhileAsked");
        QTest::addColumn<int>("state");
        QTest::newRow("yes") << int(TModalResult::Yes) << false << int(rsStopRequested);
        QTest::newRow("no") << int(TModalResult::No) << false << int(rsFolderScan);
        QTest::newRow("yes after the scan ended") << int(TModalResult::Yes) << true << int(rsIdle);
    }

    void pressDuringFolderScanAsksToStopIt() {
        QFETCH(int, answer);
        QFETCH(bool, scanEndsWhileAsked);
        QFETCH(int, state);
        TRig rig({ToneWav(Folder("scan") + "/a.wav")});
        TRunState::Current().Set(rsFolderScan);
        if (scanEndsWhileAsked)
            rig.Reporter.WhileAsking = [] { TRunState::Current().Set(rsIdle); };
        rig.Reporter.QueueAnswer(TModalResult(answer));
        QCOMPARE(rig.Batch.btnGOClick(), TGoResult::StopQuestion);
        QCOMPARE(rig.Reporter.Questions, QStringList{Msg(msgStopScanQuestion)});
        QCOMPARE(int(RunState), state);
        QVERIFY(rig.View.Events.isEmpty()); // no run began
    }

    void neverWritesAnOutputTwiceNorOverAFile() {
        const QString dir = Folder("clash");
        const QString wav = ToneWav(dir + "/song.wav");
        const QString mp3 = ToneMp3(dir + "/song.mp3", {"-b", "128"});
        const QString other = ToneWav(dir + "/other.wav");
        // Names taken on disk are skipped; with two jobs the two songs also start
        // together, before either output exists.
        const QString planned = dir + "/song_C64kbps.mp3";
        QVERIFY(TestUtil::WriteFile(planned, "keep me"));
        QVERIFY(TestUtil::WriteFile(dir + "/song_C64kbps (2).mp3", "and me"));
        Preferences().Edit()->Jobs = 2;
        TRig rig({wav, mp3, other});
        QVERIFY(rig.Run());
        QCOMPARE(QStringList({rig.ResultOf(0).Output, rig.ResultOf(1).Output}),
                 QStringList({dir + "/song_C64kbps (3).mp3", dir + "/song_C64kbps (4).mp3"}));
        QCOMPARE(TestUtil::ReadFile(planned) + TestUtil::ReadFile(planned.chopped(4) + " (2).mp3"),
                 QByteArray("keep meand me"));
        QCOMPARE(rig.Actions(), QStringList(3, "encoded"));
        for (int row = 0; row < 3; ++row) {
            const TMP3Info info = GetMP3Info(rig.ResultOf(row).Output);
            QCOMPARE(info.BitRate, 64);
            // One second of audio each: neither output was written twice over.
            QVERIFY2(qAbs(info.Duration - 1000) < 100, qPrintable(QString::number(info.Duration)));
        }
        // Each start logs its encoding line, each end its final size line.
        const QStringList log = rig.Reporter.Log;
        QCOMPARE(log.count(MsgFmt(msgEncodingFile, {wav})), 1);
        QCOMPARE(log.filter("Output").size(), 3);
        QVERIFY(rig.Reporter.CallsOf(TReportKind::ReplaceLastLogLine).isEmpty());
    }

    void jobsRunAtOnceUpToTheirNumber() {
        const QString dir = Folder("together");
        const QByteArray journal = (dir + "/journal").toUtf8();
        const QByteArray whole = ToneMp3(dir + "/whole.mp3", {"-b", "64"}).toUtf8();
        // Each encoder waits (at most 10 s) until two have started: with one job
        // at a time the first would give up and fail.
        TEncoderFacts::Current().SetShortPath(Script(
            dir, "meet.sh",
            LastArgument + "echo start >> '" + journal + "'\n" + "n=0\nwhile [ $(grep -c start '" +
                journal + "') -lt 2 ] && [ $n -lt 200 ]; do sleep 0.05; n=$((n+1)); done\n" +
                "[ $n -lt 200 ] || exit 1\necho end >> '" + journal + "'\ncp '" + whole +
                "' \"$out\"\n"));
        Preferences().Edit()->Jobs = 2;
        TRig rig;
        for (const char* name : {"a", "b", "c", "d"})
            rig.Add({ToneWav(dir + QStringLiteral("/%1.wav").arg(QLatin1String(name)))});
        QVERIFY(rig.Run());
        QCOMPARE(rig.Actions(), QStringList(4, "encoded"));
        int running = 0;
        for (const QByteArray& line : TestUtil::ReadFile(QString::fromUtf8(journal)).split('\n')) {
            running += line == "start" ? 1 : line == "end" ? -1 : 0;
            QVERIFY(running <= 2);
        }
    }

    void delayedStart_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled") << true;
        QTest::newRow("confirmed") << false;
    }

    void delayedStart() {
        QFETCH(bool, cancel);
        Preferences().Edit()->Flags |= flDelayedStart;
        Preferences().Edit()->DelayS = 90;
        TRig rig({ToneWav(Folder("delay") + "/a.wav")});
        QCOMPARE(rig.Batch.btnGOClick(), TGoResult::Waiting);
        QCOMPARE(rig.View.CountdownSeconds, 90);
        // A press while counting down starts nothing.
        QCOMPARE(rig.Batch.btnGOClick(), TGoResult::Ignored);
        QVERIFY(!rig.View.Disabled && RunState == rsIdle);
        QSignalSpy finished(&rig.Batch, &TBatch::runFinished);
        rig.View.PendingCountdown(cancel);
        if (!cancel)
            QVERIFY(finished.wait(RunTimeoutMs));
        QVERIFY(!rig.Batch.IsRunning() && !rig.View.Disabled && RunState == rsIdle);
        QCOMPARE(rig.Actions(), QStringList{cancel ? "" : "encoded"});
    }

    void powerOffAfterTheRun_data() {
        QTest::addColumn<bool>("tickedDuringRun");
        QTest::addColumn<int>("answer"); // 0 cancel, 1 confirm, 2 confirm but refused
        QTest::newRow("cancelled") << false << 0;
        QTest::newRow("confirmed") << false << 1;
        QTest::newRow("ticked during the run") << true << 1;
        QTest::newRow("refused by the system") << false << 2;
    }

    void powerOffAfterTheRun() {
        QFETCH(bool, tickedDuringRun);
        QFETCH(int, answer);
        if (!tickedDuringRun)
            Preferences().Edit()->Flags |= flShutDown;
        TRig rig({ToneWav(Folder("poweroff") + "/a.wav")});
        rig.View.PowerOffConfirm = answer != 0;
        if (answer == 2)
            rig.PowerOff.Result = {false, 5, "Access denied"};
        QVERIFY(rig.Run([&] { Preferences().Edit()->Flags |= tickedDuringRun ? flShutDown : 0; }));
        QCOMPARE(rig.View.Events.count("poweroff 30"), 1);
        QCOMPARE(RunState, quint8(rsPowerOff));
        QCOMPARE(rig.PowerOff.Calls, answer == 0 ? 0 : 1);
        QCOMPARE(rig.View.Events.contains("close"), answer == 1);
        // Cancelled: the next run does not switch off again.
        QCOMPARE(bool(Settings().Flags & flShutDown), answer != 0);
        if (answer == 2)
            QCOMPARE(rig.Reporter.Infos,
                     QStringList{MsgFmt(msgPowerOffFailed, {5, "Access denied"})});
    }

    void timeEstimate_data() {
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("expected"); // "none": the label is left alone
        const auto row = [](const char* name, qint64 elapsedMs, int position, int maximum,
                            const char* expected) {
            QTest::newRow(name) << TimeEstimateText(elapsedMs, position, maximum).value_or("none")
                                << QString(expected);
        };
        row("under two seconds", 1999, 50, 400, "none");
        row("nothing written yet", 5000, 0, 400, "none");
        row("hours", 3600000, 100, 400, "3:00:00 / 4:00:00");
        // 9999 / 2 ms rounds up to 5000 before the seconds are cut off.
        row("rounded, then truncated", 3333, 2, 3, "0:00:01 / 0:00:05");
        row("minutes and seconds", 3723000, 1000, 1000, "0:00:00 / 1:02:03");
    }

    void timeEstimate() { outputDuration(); }
};

QString TestBatch::MakeSource(const QString& path, const QStringList& lameArgs) {
    if (path.endsWith("-24.wav"))
        return TestUtil::Run("sox", {"-n", "-b", "24", "-e", "signed", "-c", "2", "-r", "44100",
                                     path, "synth", "1", "sine", "440"})
                   ? path
                   : QString();
    if (path.endsWith(".wav"))
        return ToneWav(path);
    if (path.endsWith(".mp3"))
        return ToneMp3(path, lameArgs);
    if (path.endsWith(".mp1")) {
        // Layer I, MPEG-1, 128 kbit/s, 44.1 kHz, mono; no bits allocated: one
        // second of silence in 115 frames of 136 bytes.
        QByteArray frame = TestUtil::Be32(0xFFFF40C0);
        frame.append(132, '\0');
        return TestUtil::WriteFile(path, frame.repeated(115)) ? path : QString();
    }
    const QString wav = path + ".src.wav";
    const bool ok =
        !ToneWav(wav).isEmpty() && TestUtil::Run("ffmpeg", {"-v", "error", "-y", "-i", wav, "-c:a",
                                                            "mp2", "-b:a", "192k", path});
    QFile::remove(wav);
    return ok ? path : QString();
}

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
