// The source list and the folder scan, on media made by lame and ffmpeg.

#include "RecordingReporter.h"
#include "TestTable.h"
#include "TestUtil.h"
#include "messages/Messages.h"
#include "messages/RunState.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestUtil;
using TestTable::Columns;
using TestTable::Row;

namespace {

// Reacts to status texts, to stop a scan at a chosen point.
class TStatusHookReporter : public TRecordingReporter {
public:
    std::function<void(const QString&)> OnStatus;
    void SetStatusText(const QString& text) override {
        TRecordingReporter::SetStatusText(text);
        if (OnStatus)
            OnStatus(text);
    }
};

bool Put(const QString& path, const QByteArray& bytes) {
    return QDir().mkpath(QFileInfo(path).path()) && WriteFile(path, bytes);
}

constexpr quint32 AllTypes = dfMP1 | dfMP2 | dfMP3 | dfWAV;

QStringList RowPaths(const TSourceList& list, const QString& root) {
    QStringList paths;
    for (int i = 0; i < list.Count(); ++i)
        paths << list.Row(i).Path.mid(root.size() + 1);
    return paths;
}

} // namespace

class TestSources : public QObject {
    Q_OBJECT

private:
    std::optional<TOwners> Owners;
    QTemporaryDir Media;
    QTemporaryDir Work;
    TStatusHookReporter Reporter; // cleared for every test
    QString Cbr128, Cbr112, Vbr, Mp2, Wav;

    QString M(const QString& name) const { return Media.filePath(name); }
    // A fresh folder of the work area, filled with copies of media files:
    // each entry is "relative/target=media-name".
    QString MakeTree(const QString& name, const QStringList& entries) {
        const QString root = Work.filePath(name);
        QDir(root).removeRecursively();
        for (const QString& entry : entries) {
            const QStringList parts = entry.split('=');
            if (!Copy(M(parts.at(1)), root + '/' + parts.at(0)))
                return QString();
        }
        return root;
    }
    static bool Copy(const QString& from, const QString& to) {
        return QDir().mkpath(QFileInfo(to).path()) && QFile::copy(from, to);
    }

private Q_SLOTS:
    void initTestCase() {
        Owners.emplace();
        QVERIFY(Media.isValid() && Work.isValid());
        SetLanguage(0, false);
        Wav = M("tone.wav");
        Cbr128 = M("cbr128.mp3");
        Cbr112 = M("cbr112.mp3");
        Vbr = M("vbr.mp3");
        Mp2 = M("tone.mp2");
        QVERIFY(WriteFile(Wav, PcmWav(44100, 2, 2.0)));
        QVERIFY(Lame(Wav, Cbr128, {"-b", "128", "--tt", "Tone", "--add-id3v2"}));
        QVERIFY(Lame(Wav, Cbr112, {"-b", "112"}));
        QVERIFY(Lame(Wav, Vbr, {"-V", "4"}));
        QVERIFY(
            Run("ffmpeg", {"-loglevel", "error", "-i", Wav, "-c:a", "mp2", "-b:a", "64k", Mp2}));
        // Format tag 3 (IEEE float) in an otherwise sound header: readable, not PCM.
        QByteArray notPcm = PcmWav(8000, 1, 0.5);
        notPcm.replace(20, 2, Le16(3));
        QVERIFY(WriteFile(M("float.wav"), notPcm));
        QVERIFY(WriteFile(M("fake.mp3"), QByteArray("no audio in here\n").repeated(200)));
    }

    void init() {
        Reporter.Clear();
        Reporter.OnStatus = nullptr;
        Owners.emplace();
        FollowRunState(Owners->RunState, Reporter, &Owners->RunState);
        auto edit = Preferences().Edit();
        edit->Flags &= ~(flDestFolder | flKeepSubDirs | flKeepTagV1 | flKeepTagV2);
        edit->DirFlags = AllTypes | dfCBR | dfVBR;
    }

    void addSourceFile_data() {
        Columns<QString, QString, int>({"media", "name", "type"});
        // The bit rate text format when the file is listed, else the message shown.
        QTest::addColumn<int>("shown");
        const int cbr = msgBitRateCBR, unsupported = msgUnsupportedFile;
        Row("mp3", "cbr128.mp3", "a.mp3", int(SourceMP3), cbr);
        Row("vbr mp3", "vbr.mp3", "b.mp3", int(SourceMP3), int(msgBitRateVBR));
        Row("mp2", "tone.mp2", "c.mp2", int(SourceMP2), cbr);
        // The extension decides the type; the reader accepts any layer.
        Row("mp1 by extension", "tone.mp2", "d.Mp1", int(SourceMP1), cbr);
        Row("pcm wav", "tone.wav", "e.wav", int(SourceWAV), int(msgBitRateWAV));
        Row("float wav is a wav, not listed", "float.wav", "f.wav", int(SourceWAV),
            int(msgNotPcmWav));
        Row("mp4 refused", "cbr128.mp3", "g.mp4", int(SourceUnusable), unsupported);
        Row("no extension", "cbr128.mp3", "mp3", int(SourceUnusable), unsupported);
        Row("dot in the folder only", "cbr128.mp3", "h.mp3dir/i", int(SourceUnusable), unsupported);
        Row("mp3 without audio", "fake.mp3", "j.mp3", int(SourceUnusable), unsupported);
        Row("wav holding mp3 data", "cbr128.mp3", "k.wav", int(SourceUnusable), unsupported);
    }

    void addSourceFile() {
        QFETCH(QString, media);
        QFETCH(QString, name);
        QFETCH(int, type);
        QFETCH(int, shown);
        const QString path = Work.filePath("add/" + name);
        QFile::remove(path);
        QVERIFY(Copy(M(media), path));
        TSourceAnalysis analysis;
        QCOMPARE(ClassifySource(path, &analysis), type);
        QCOMPARE(ClassifySource(path), type);
        // The record handed back is the reader's own result.
        const TMP3Info mp3 = GetMP3Info(path);
        const TWAVInfo wav = GetWAVInfo(path);
        if (type <= SourceMP3)
            QCOMPARE(analysis.MP3, mp3);
        else if (type == SourceWAV)
            QCOMPARE(analysis.WAV, wav);
        else
            QCOMPARE(analysis.MP3.BitRate + analysis.WAV.BitRate, 0);

        TSourceList list(&Reporter);
        QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
        list.AddSourceFile(path);
        QCOMPARE(Settings().LastDir, QFileInfo(path).path());
        QCOMPARE(RunState, quint8(rsAddingFiles));
        if (shown != msgBitRateCBR && shown != msgBitRateVBR && shown != msgBitRateWAV) {
            QCOMPARE(list.Count(), 0);
            QCOMPARE(Reporter.Infos, QStringList{MsgFmt(TMsgId(shown), {path})});
            // Kept for the run to report, with why.
            const QList<TRejectedSource> rejected = list.RejectedSources();
            QVERIFY(rejected.size() == 1 && rejected[0].Path == path);
            QCOMPARE(rejected[0].Reason,
                     shown == msgNotPcmWav ? TReason::NotPcm : TReason::UnsupportedFile);
            return;
        }
        QVERIFY(Reporter.Infos.isEmpty() && list.RejectedSources().isEmpty());
        QCOMPARE(QList<int>({int(inserted.count()), list.Count()}), QList<int>({1, 1}));
        const bool isWav = type == SourceWAV;
        const int bitRate = isWav ? wav.BitRate : mp3.BitRate;
        QVERIFY(bitRate > 0);
        // Estimate and output wait for UpdateList, a single file has no base
        // folder; the size rounding has a test of its own.
        const TSourceRow& row = list.Row(0);
        QCOMPARE(
            QList<qint64>({row.Type, row.FileBytes, row.BitRate, row.AudioBytes, row.TagV1Bytes,
                           row.TagV2Bytes, row.SampleRate}),
            QList<qint64>({type, QFileInfo(path).size(), bitRate,
                           isWav ? wav.DataSize : mp3.AudioSize, isWav ? 0 : mp3.TagV1Size,
                           isWav ? 0 : mp3.TagV2Size, isWav ? wav.SampleRate : mp3.SampleRate}));
        QVERIFY(row.WillProcess && !row.Done && row.BaseFolder.isEmpty() &&
                row.OutputPath.isEmpty());
        QStringList shownTexts;
        for (int column = 0; column < TSourceList::StatusColumn; ++column)
            shownTexts << list.data(list.index(0, column)).toString();
        QCOMPARE(shownTexts, QStringList({path, MsgFmt(TMsgId(shown), {bitRate}),
                                          QString::number(row.SizeKB()), QString()}));
    }

    void classifyPipeDoesNotBlock() {
        const QString fifo = Work.filePath("pipe.mp3");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QCOMPARE(ClassifySource(fifo), SourceUnusable);
        TSourceList list(&Reporter);
        list.AddSourceFile(fifo);
        QCOMPARE(list.Count(), 0);
        QCOMPARE(Reporter.Infos, QStringList{MsgFmt(msgUnsupportedFile, {fifo})});
    }

    void duplicates() {
        TSourceList list(&Reporter);
        QVERIFY(list.IsNewSource(Cbr128));
        list.AddSourceFile(Cbr128);
        QVERIFY(!list.IsNewSource(Cbr128));
        TRunState::Current().Set(rsIdle);
        list.AddSourceFile(Cbr128);
        QCOMPARE(list.Count(), 1);
        QVERIFY(Reporter.Infos.isEmpty());
        // Skipped before anything else: not even the state changes.
        QCOMPARE(RunState, quint8(rsIdle));
        // Another spelling of the same file is another text.
        QVERIFY(list.IsNewSource(Media.path() + "/./cbr128.mp3"));
#ifdef Q_OS_LINUX
        // A name differing in letter case only is another file here.
        const QString upper = M("CBR128.mp3");
        QVERIFY(Copy(Cbr112, upper));
        QVERIFY(list.IsNewSource(upper));
        list.AddSourceFile(upper);
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.Row(1).PathKey, upper);
        QCOMPARE(list.Row(1).BitRate, 112);
#endif
    }

    void estimate_data() {
        Columns<int, int>({"result", "expected"});
        // Target, audio, source bit rate, tags v1 and v2, whether each is kept.
        const auto kb = EstimateOutputKB;
        const qint64 mib4 = 4194304; // 4 MiB of audio at 128 kbit/s, tags 128 and 4096
        Row("half the bit rate", kb(64, mib4, 128, 128, 4096, false, false), 2048);
        Row("tags kept", kb(64, mib4, 128, 128, 4096, true, true), 2052);
        Row("only the v2 tag", kb(64, mib4, 128, 128, 4096, false, true), 2052);
        Row("2.5 rounds to 2", kb(64, 5120, 128, 0, 0, false, false), 2);
        Row("3.5 rounds to 4", kb(64, 7168, 128, 0, 0, false, false), 4);
        // 2.375 + 0.125 gives 2.5 exactly: even.
        Row("tag makes a half", kb(1, 2432, 1, 128, 0, true, false), 2);
        // In double this is 7031250.5078; single precision holds 7031250.5: even.
        Row("single precision", kb(256, 900000065, 32, 0, 0, false, false), 7031250);
        Row("no bit rate", kb(64, 4096, 0, 0, 0, false, false), 0);
    }

    void estimate() {
        QFETCH(int, result);
        QTEST(result, "expected");
    }

    void updateListOutputs_data() {
        // destDir (the default folder, when given) and output: relative to the work folder
        Columns<int, QString, QString>({"mode", "destDir", "output"});
        Row("beside, CBR", 0, "", "out/src/song_C64kbps.mp3");
        Row("beside, ABR", 1, "", "out/src/song_A64kbps.mp3");
        Row("default folder", 0, "out/dest", "out/dest/song.mp3");
    }

    void updateListOutputs() {
        QFETCH(int, mode);
        QFETCH(QString, destDir);
        QFETCH(QString, output);
        const QString src = Work.filePath("out/src/song.wav");
        QFile::remove(src);
        QVERIFY(Copy(Wav, src));
        QDir().mkpath(Work.filePath("out/dest"));
        Preferences().Edit()->Flags |= destDir.isEmpty() ? 0 : flDestFolder;
        Preferences().Edit()->EncodingMode = quint8(mode);
        Preferences().Edit()->BitRateIndex = 4; // 64 kbit/s
        Preferences().Edit()->DestDir = destDir.isEmpty() ? QString() : Work.filePath(destDir);
        TSourceList list(&Reporter);
        list.AddSourceFile(src);
        QCOMPARE(list.Count(), 1);
        list.UpdateList(false);
        QCOMPARE(TargetBitRate, 64);
        QCOMPARE(list.Row(0).OutputPath, Work.filePath(output));
        QVERIFY(list.Row(0).WillProcess && list.Row(0).EstimatedKB > 0);
        if (!destDir.isEmpty())
            QVERIFY(Settings().DestDir.endsWith('/'));
        QCOMPARE(RunState, quint8(rsIdle));
    }

    void updateListTotals() {
        TSourceList list(&Reporter);
        QSignalSpy totals(&list, &TSourceList::TotalsChanged);
        TRunState::Current().Set(rsAddingFiles);
        list.UpdateList(false);
        QVERIFY(totals.count() == 1 && totals.at(0).at(0).toUInt() == 0u);
        QCOMPARE(RunState, quint8(rsIdle));

        // 128 kbit/s PCM: 4 MiB of audio is 2048 KiB at 64 kbit/s; then 16000 bytes more.
        const QString a = Work.filePath("totals/a.wav"), b = Work.filePath("totals/b.wav");
        QVERIFY(Put(a, PcmWav(8000, 1, 262.144)) && Put(b, PcmWav(8000, 1, 1.0)));
        list.AddSourceFile(a);
        list.AddSourceFile(b);
        Preferences().Edit()->BitRateIndex = 4; // 64
        list.UpdateList(false);
        QCOMPARE(QList<quint32>({quint32(list.Row(0).EstimatedKB), list.TotalSizeKB(),
                                 list.TotalEstimatedKB(), totals.last().at(1).toUInt()}),
                 QList<quint32>({2048, 4096 + 16, 2048 + 8, 2048 + 8}));
        // Above a megabyte with decimals, French with a decimal comma; under one in kilobytes.
        SetLanguage(1, false);
        QCOMPARE(list.TotalEstimatedText(), QString("Estimation\u00A0: 2,01 Mo"));
        SetLanguage(0, false);
        list.RemoveSelectedRows({0});
        QCOMPARE(QStringList({list.TotalSizeText(), list.TotalEstimatedText()}),
                 QStringList({"Sources: 16 KB", "Estimate: 8 KB"}));
    }

    void unwritableBesideSources() {
        if (::geteuid() == 0)
            QSKIP("folder permissions do not bind the superuser");
        const QString root =
            MakeTree("unwritable",
                     {"locked/a.mp3=cbr128.mp3", "locked/b.mp3=cbr112.mp3", "open/c.mp3=vbr.mp3"});
        const QString locked = root + "/locked";
        TSourceList list(&Reporter);
        for (const char* file : {"locked/a.mp3", "open/c.mp3", "locked/b.mp3"})
            list.AddSourceFile(root + '/' + QString(file));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        list.UpdateList(true);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(QList<bool>(
                     {list.Row(0).WillProcess, list.Row(1).WillProcess, list.Row(2).WillProcess}),
                 QList<bool>({false, true, false}));
        QVERIFY(list.data(list.index(0, 0), TSourceList::ItalicRole).toBool());
        QVERIFY(!list.data(list.index(1, 3), TSourceList::ItalicRole).toBool());
        QCOMPARE(list.UnwritableOutputs(),
                 QStringList({list.Row(0).OutputPath, list.Row(2).OutputPath}));
        QCOMPARE(list.TotalSizeKB(), quint32(list.Row(1).SizeKB()));
    }

    void unwritableDestDir() {
        // A plain file where the destination folder should be: nobody can write there.
        const QString blocker = Work.filePath("blocker");
        QVERIFY(WriteFile(blocker, "x"));
        const QString a = Work.filePath("dd/a.mp3");
        const QString b = Work.filePath("dd/b.mp2");
        QVERIFY(Copy(Cbr128, a) && Copy(Mp2, b));
        Preferences().Edit()->Flags |= flDestFolder;
        Preferences().Edit()->DestDir = blocker + "/out";
        TSourceList list(&Reporter);
        list.AddSourceFile(a);
        list.AddSourceFile(b);
        list.UpdateList(false);
        QVERIFY(!list.Row(0).WillProcess && !list.Row(1).WillProcess);
        QVERIFY(list.UnwritableOutputs().isEmpty()); // not asked to collect
        QCOMPARE(list.TotalSizeKB() + list.TotalEstimatedKB(), 0u);
        list.UpdateList(true);
        QCOMPARE(list.UnwritableOutputs(),
                 QStringList({blocker + "/out/a.mp3", blocker + "/out/b.mp3"}));
        // A destination that does not exist yet is created by the run.
        Preferences().Edit()->DestDir = Work.filePath("dd/new/deeper");
        list.UpdateList(true);
        QVERIFY(list.Row(0).WillProcess && list.UnwritableOutputs().isEmpty());
        QVERIFY(!QFileInfo::exists(Work.filePath("dd/new")));
    }

    void folderWriteTest() {
        const QString dir = Work.filePath("wt");
        QDir().mkpath(dir);
        // A test file of an earlier run is left alone.
        QVERIFY(WriteFile(dir + "/0.TST", "keep"));
        QList<bool> writable;
        for (const QString& path :
             {dir, dir + '/', dir + "/not/yet", dir + "/0.TST", dir + "/0.TST/sub", QString()})
            writable << IsFolderWritable(path);
        QCOMPARE(writable, (QList<bool>{true, true, true, false, false, false}));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{"0.TST"});
        QCOMPARE(ReadFile(dir + "/0.TST"), QByteArray("keep"));
        QCOMPARE(
            QList<qint64>({FileSizeOf(dir + "/0.TST"), FileSizeOf(dir + "/none"), FileSizeOf(dir)}),
            QList<qint64>({4, 0, 0}));
    }

    void removeRows_data() {
        // remaining: letters of the rows left, a..e
        Columns<QList<int>, QString, int, bool>({"selected", "remaining", "select", "message"});

        Row("middle row", QList<int>{2}, "abde", 2, false);
        Row("last row", QList<int>{4}, "abcd", -1, false);
        Row("two apart", QList<int>{3, 1}, "ace", 2, false);
        Row("two runs", QList<int>{0, 1, 3}, "ce", 1, false);
        Row("all", QList<int>{0, 1, 2, 3, 4}, "", -1, false);
        Row("nothing selected", QList<int>{}, "abcde", -1, true);
        Row("stale index", QList<int>{7}, "abcde", -1, true);
    }

    void removeRows() {
        QFETCH(QList<int>, selected);
        QFETCH(bool, message);
        const QString root =
            MakeTree("remove", {"a.mp3=cbr128.mp3", "b.mp3=cbr112.mp3", "c.mp3=vbr.mp3",
                                "d.mp2=tone.mp2", "e.wav=tone.wav"});
        QVERIFY(!root.isEmpty());
        TSourceList list(&Reporter);
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp2", "e.wav"})
            list.AddSourceFile(root + '/' + QString(name));
        list.UpdateList(false);
        QCOMPARE(list.Count(), 5);
        QTEST(list.RemoveSelectedRows(selected), "select");
        QString left;
        for (int i = 0; i < list.Count(); ++i)
            left += QFileInfo(list.Row(i).Path).fileName().at(0);
        QTEST(left, "remaining");
        QCOMPARE(Reporter.Infos, message ? QStringList{Msg(msgNothingSelected)} : QStringList{});
        // The totals follow the rows.
        quint32 size = 0;
        for (int i = 0; i < list.Count(); ++i)
            size += quint32(list.Row(i).SizeKB());
        QCOMPARE(list.TotalSizeKB(), size);
    }

    void addFilesBracket() {
        TSourceList list(&Reporter);
        QSignalSpy begin(&list, &TSourceList::AddFilesBegin);
        QSignalSpy end(&list, &TSourceList::AddFilesEnd);
        list.BeginAddFiles();
        list.BeginAddFiles(); // the wait cursor is on already
        list.AddSourceFile(Cbr128);
        QCOMPARE(list.Row(0).OutputPath, QString());
        list.EndAddFiles();
        QCOMPARE(QList<int>({int(begin.count()), int(end.count())}), QList<int>({1, 1}));
        QVERIFY(!list.Row(0).OutputPath.isEmpty());
        QCOMPARE(RunState, quint8(rsIdle));
        list.ClearList();
        QVERIFY(list.Count() == 0 && list.TotalSizeKB() == 0);
    }

    void scanOrder() {
        const QString root = Work.filePath("order");
        QDir(root).removeRecursively();
        for (const char* file : {"z.mp3", ".hidden.mp3", "a/x.mp3", "a/b/y.wav", "a/b/notes.txt",
                                 "c/w.mp3", ".secret/s.mp3", "a/.h/t.mp3"})
            QVERIFY(Put(root + '/' + QString(file), "data"));
        // A link back to the top would make a naive walk endless; a link to a
        // file is an ordinary entry.
        QVERIFY(QFile::link(root, root + "/a/loop"));
        QVERIFY(QFile::link(root + "/z.mp3", root + "/c/link.mp3"));

        QStringList list{"stale"};
        QStringList reported;
        const auto report = [&reported](const QString& path) { return reported << path, true; };
        QVERIFY(ScanFolder(root, &list, "*.*", report, true));
        const QStringList expected = {".hidden.mp3", "z.mp3",      "a/x.mp3", "a/b/notes.txt",
                                      "a/b/y.wav",   "c/link.mp3", "c/w.mp3"};
        QCOMPARE(reported, list);
        QCOMPARE(list.replaceInStrings(root + '/', QString()), expected);

        QVERIFY(ScanFolder(root + '/', &list, QString(), {}, false));
        QCOMPARE(list, QStringList({root + "/.hidden.mp3", root + "/z.mp3"}));
        QVERIFY(ScanFolder(root, &list, "*.wav", {}, true));
        QCOMPARE(list, QStringList{root + "/a/b/y.wav"});
        // The callback ends the walk.
        int seen = 0;
        QVERIFY(!ScanFolder(
            root, nullptr, "*.*", [&seen](const QString&) { return ++seen < 3; }, true));
        QCOMPARE(seen, 3);
    }

    void addFolderFilter_data() {
        Columns<quint32, QStringList>({"dirFlags", "added"});

        const quint32 both = dfCBR | dfVBR;
        const quint32 min128 = dfBitRateMin | 8; // BitRateTable[8] = 128
        using L = QStringList;
        Row("everything, one level", AllTypes | both,
            L{".h.mp3", "a128.mp3", "b112.mp3", "c_vbr.mp3", "d.mp2", "e.mp1", "f.wav"});
        Row("everything, recursive", AllTypes | both | dfRecurse,
            L{".h.mp3", "a128.mp3", "b112.mp3", "c_vbr.mp3", "d.mp2", "e.mp1", "f.wav", "sub/g.mp3",
              "sub/deep/h.wav", "sub2/i.mp2"});
        Row("mp3 only", dfMP3 | both, L{".h.mp3", "a128.mp3", "b112.mp3", "c_vbr.mp3"});
        Row("wav and mp1", dfWAV | dfMP1 | both, L{"e.mp1", "f.wav"});
        Row("cbr only", AllTypes | dfCBR,
            L{".h.mp3", "a128.mp3", "b112.mp3", "d.mp2", "e.mp1", "f.wav"});
        Row("vbr only", AllTypes | dfVBR, L{"c_vbr.mp3", "d.mp2", "e.mp1", "f.wav"});
        Row("neither cbr nor vbr", AllTypes, L{"d.mp2", "e.mp1", "f.wav"});
        // The 64 kbit/s MP2 is not held to the MP3 minimum.
        Row("minimum 128, cbr", AllTypes | dfCBR | min128,
            L{".h.mp3", "a128.mp3", "d.mp2", "e.mp1", "f.wav"});
        Row("minimum index without its bit", dfMP3 | dfCBR | 8u,
            L{".h.mp3", "a128.mp3", "b112.mp3"});
        Row("no type", both | dfRecurse, L{});
    }

    void addFolderFilter() {
        QFETCH(quint32, dirFlags);
        const QString root = MakeTree(
            "filter",
            {"a128.mp3=cbr128.mp3", "b112.mp3=cbr112.mp3", "c_vbr.mp3=vbr.mp3", "d.mp2=tone.mp2",
             "e.mp1=tone.mp2", "f.wav=tone.wav", "z_fake.mp3=fake.mp3", "notes.txt=fake.mp3",
             ".h.mp3=cbr128.mp3", "sub/g.mp3=cbr128.mp3", "sub/deep/h.wav=tone.wav",
             "sub2/i.mp2=tone.mp2", ".hidden/j.mp3=cbr128.mp3", "sub/.x/k.wav=tone.wav"});
        QVERIFY(!root.isEmpty());
        QVERIFY(QFile::link(root, root + "/sub/deep/up"));
        // A WAV whose name is not valid UTF-8 (0xE9 alone): it cannot be opened by
        // its decoded name, so it is refused rather than lost.
        const QByteArray rawName = QFile::encodeName(root) + "/y\xE9.wav";
        QVERIFY(QFile::copy(Wav, root + "/y.wav"));
        QCOMPARE(::rename(QFile::encodeName(root + "/y.wav").constData(), rawName.constData()), 0);
        // A folder of an old Latin-1 archive is entered by its bytes alike.
        const QByteArray rawFolder = QFile::encodeName(root) + "/sub/caf\xE9";
        const QByteArray rawInFolder = rawFolder + "/z.wav";
        QCOMPARE(::mkdir(rawFolder.constData(), 0700), 0);
        QVERIFY(QFile::copy(Wav, root + "/z.wav"));
        QCOMPARE(::rename(QFile::encodeName(root + "/z.wav").constData(), rawInFolder.constData()),
                 0);
        const auto removeRaw = qScopeGuard([&] {
            ::unlink(rawName.constData());
            ::unlink(rawInFolder.constData());
            ::rmdir(rawFolder.constData());
        });
        Preferences().Edit()->DirFlags = dirFlags;
        TSourceList list(&Reporter);
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy scanBegin(&list, &TSourceList::ScanBegin);
        QSignalSpy scanEnd(&list, &TSourceList::ScanEnd);

        list.AddFolder(root);

        QTEST(RowPaths(list, root), "added");
        QVERIFY(Reporter.Infos.isEmpty()); // the unusable files go unmentioned
        // ... yet are kept for the run, when their type box is ticked.
        const auto item = [](const QString& path, TReason reason) {
            return QStringLiteral("%1 %2").arg(path).arg(int(reason));
        };
        QStringList rejected, expected;
        for (const TRejectedSource& r : list.RejectedSources())
            rejected << item(r.Path, r.Reason);
        if (dirFlags & dfMP3)
            expected << item(root + "/z_fake.mp3", TReason::UnsupportedFile);
        if (dirFlags & dfWAV)
            expected << item(QFile::decodeName(rawName), TReason::NameNotUtf8);
        if ((dirFlags & dfWAV) && (dirFlags & dfRecurse))
            expected << item(QFile::decodeName(rawInFolder), TReason::NameNotUtf8);
        rejected.sort();
        expected.sort();
        QCOMPARE(rejected, expected);
        QCOMPARE(Settings().LastDir, root);
        QCOMPARE(RunState, quint8(rsFolderScan));
        const int scans = (dirFlags & dfRecurse) ? 1 : 0;
        QCOMPARE(QList<int>({int(scanBegin.count()), int(scanEnd.count())}), QList<int>(2, scans));
        for (int i = 0; i < list.Count(); ++i)
            QVERIFY(list.Row(i).BaseFolder == root + "/" && list.Row(i).WillProcess);
        // A second scan adds nothing: every file is already listed.
        const int count = list.Count();
        list.AddFolder(root);
        QCOMPARE(list.Count(), count);
    }

    void addFolderMinSize() {
        // 20 KiB is 20480 bytes; the size floor rounds down.
        QByteArray mp3 = ReadFile(Cbr128);
        QVERIFY(mp3.size() > 20480);
        const QString root = MakeTree("sizes", {"small.mp2=tone.mp2"});
        QVERIFY(WriteFile(root + "/a_under.mp3", mp3.left(20479)));
        QVERIFY(WriteFile(root + "/b_exact.mp3", mp3.left(20480)));
        QVERIFY(QFileInfo(root + "/small.mp2").size() < 20480);
        Preferences().Edit()->DirFlags = AllTypes | dfCBR | dfVBR | dfSizeMin;
        Preferences().Edit()->DirSizeMin = 20;
        TSourceList list(&Reporter);
        list.AddFolder(root);
        QCOMPARE(RowPaths(list, root), QStringList({"b_exact.mp3", "small.mp2"}));
        // Without its bit the value is ignored.
        Preferences().Edit()->DirFlags &= ~dfSizeMin;
        list.AddFolder(root);
        QCOMPARE(RowPaths(list, root), QStringList({"b_exact.mp3", "small.mp2", "a_under.mp3"}));
    }

    void scanProgressStatus() {
        const QString root =
            MakeTree("progress", {"a.mp3=cbr128.mp3", "b.txt=fake.mp3", "g.wav=float.wav",
                                  "sub/c.mp3=cbr112.mp3", "sub/d.mp3=vbr.mp3",
                                  "sub/f.wav=float.wav", "tail/e.txt=fake.mp3"});
        Preferences().Edit()->DirFlags = AllTypes | dfCBR | dfVBR | dfRecurse;
        TSourceList list(&Reporter);
        list.AddFolder(root);
        QCOMPARE(RowPaths(list, root), QStringList({"a.mp3", "sub/c.mp3", "sub/d.mp3"}));
        // Every WAV that is not PCM is named, the other unusable files are not.
        QCOMPARE(Reporter.Infos, QStringList({MsgFmt(msgNotPcmWav, {root + "/g.wav"}),
                                              MsgFmt(msgNotPcmWav, {root + "/sub/f.wav"})}));
        QStringList statuses;
        for (const TReportCall& call : Reporter.CallsOf(TReportKind::SetStatusText))
            statuses << call.Text;
        const QString sub = root + "/sub";
        // Listing shows every folder with files; analysing only those with a
        // file that passed the type test.
        QCOMPARE(
            statuses,
            QStringList({StateTexts[rsFolderScan], MsgFmt(msgScanListing, {root}),
                         MsgFmt(msgScanListing, {sub}), MsgFmt(msgScanListing, {root + "/tail"}),
                         MsgFmt(msgScanAnalysing, {root}), MsgFmt(msgScanAnalysing, {sub})}));

        // Not recursive: no progress at all.
        list.ClearList();
        Reporter.Clear();
        Preferences().Edit()->DirFlags &= ~dfRecurse;
        list.AddFolder(root);
        QCOMPARE(Reporter.CallsOf(TReportKind::SetStatusText).size(), 1);
        QCOMPARE(list.Count(), 1);
    }

    // A stop confirmed while listing (an event the scan lets run), or while the
    // first file is shown analysed: that file is still added, the rest passed over.
    void stopScan_data() {
        Columns<bool, QStringList>({"listing", "added"});
        Row("while listing", true, QStringList());
        Row("while analysing", false, QStringList{"a.mp3"});
    }

    void stopScan() {
        QFETCH(bool, listing);
        const QString root = MakeTree("stop", {"a.mp3=cbr128.mp3", "b.mp3=cbr112.mp3",
                                               "sub/c.mp3=vbr.mp3", "sub/d.mp2=tone.mp2"});
        Preferences().Edit()->DirFlags = AllTypes | dfCBR | dfVBR | dfRecurse;
        const auto stop = [] { TRunState::Current().Set(rsStopRequested); };
        if (listing)
            QTimer::singleShot(0, this, stop);
        else
            Reporter.OnStatus = [stop](const QString& text) {
                if (text.startsWith(MsgFmt(msgScanAnalysing, {QString()})))
                    stop();
            };
        TSourceList list(&Reporter);
        QSignalSpy scanEnd(&list, &TSourceList::ScanEnd);
        list.AddFolder(root);
        QTEST(RowPaths(list, root), "added");
        QCOMPARE(scanEnd.count(), 1);
        QCOMPARE(Settings().LastDir, root);
        QCOMPARE(RunState, quint8(rsStopRequested));
        // The same tree without a stop adds every file.
        Reporter.OnStatus = nullptr;
        list.AddFolder(root);
        QCOMPARE(list.Count(), 4);
    }

    void sizeRoundsHalfToEven() {
        TSourceRow row;
        QList<qint64> sizes;
        for (const qint64 bytes : {2560, 3584, 3582}) // 2.5 KiB, 3.5 KiB, just under
            sizes << (row.FileBytes = bytes, row.SizeKB());
        QCOMPARE(sizes, QList<qint64>({2, 4, 3}));
    }
};

QTEST_GUILESS_MAIN(TestSources)
#include "tst_sources.moc"
