#include "TestTable.h"
#include "TestUtil.h"
#include "encoder/EncoderFacts.h"
#include "encoder/FilePaths.h"
#include "encoder/OutputFile.h"
#include "encoder/OutputNaming.h"
#include "encoder/SonabelMisc.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// One data row, one argument per column; text literals go in as QString.
using L = QStringList;

template <typename... T> void Row(const char* name, T... values) {
    (QTest::newRow(name) << ... << values);
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:

    // Pure text builders, each row one call: the result and what it must be.
    void buildLameParams_data() {
        TestTable::Columns<QString, QString>({"result", "expected"});
        const auto Row =
            [](const char* name, const QString& text, int mode, bool noBitRate, int priority,
               int quality, int bitRate, bool noQuality, const QString& expected) {
                QTest::newRow(name)
                    << BuildLameParams(text, mode, noBitRate, priority, quality, bitRate, noQuality)
                    << expected;
            };
        Row("empty template, CBR", "", 0, false, 2, 2, 128, false, " --priority 2 -b 128 -q 2");
        Row("empty template, ABR", "", 1, false, 0, 5, 96, false, " --priority 0 --abr 96 -q 5");
        Row("own priority kept", "--priority 4 -m j", 0, false, 1, 2, 128, false,
            "--priority 4 -m j -b 128 -q 2");
        Row("priority search is case-sensitive", "--PRIORITY 4", 0, false, 3, 2, 64, false,
            "--PRIORITY 4 --priority 3 -b 64 -q 2");
        Row("lower-case placeholders, both switches off", "-b %b -q %q", 0, true, 2, 7, 160, true,
            "-b 160 -q 7 --priority 2");
        Row("only placeholders replaced", "--priority 1 -V %Q --resample %B", 1, true, 2, 3, 128,
            true, "--priority 1 -V 3 --resample 128");
        Row("every occurrence", "%B%b %q%Q", 0, true, 2, 4, 32, true, "3232 44 --priority 2");
        Row("percent before placeholder", "%%B", 0, true, 2, 2, 320, true, "%320 --priority 2");
        Row("bit rate placed by user, quality appended", "--cbr -b %B", 0, true, 2, 9, 224, false,
            "--cbr -b 224 --priority 2 -q 9");
    }

    void buildLameParams() {
        QFETCH(QString, result);
        QTEST(result, "expected");
    }

    void buildLameArguments_data() {
        TestTable::Columns<QString, QString>({"result", "expected"});
        const auto Row = [](const char* name, TSourceType type, const QString& params,
                            const QString& expected) {
            QTest::newRow(name) << BuildLameArguments(type, params, "/Music/Song.mp3",
                                                      "/Music/Song_C128kbps.mp3")
                                << expected;
        };
        const char* p = " --priority 2 -b 128 -q 2";
        const QString files = " \"/Music/Song.mp3\" \"/Music/Song_C128kbps.mp3\"";
        Row("mp3, the two blanks around the option", SourceMP3, p,
            " --mp3input  --priority 2 -b 128 -q 2" + files);
        Row("mp2", SourceMP2, p, " --mp2input  --priority 2 -b 128 -q 2" + files);
        Row("mp1", SourceMP1, "-x", " --mp1input -x" + files);
        Row("wav has no input option", SourceWAV, p, "  --priority 2 -b 128 -q 2" + files);
        Row("unusable", SourceUnusable, p, "");
    }

    void buildLameArguments() { buildLameParams(); }

    void argumentList_data() {
        TestTable::Columns<QStringList, QStringList>({"result", "expected"});
        const auto Row = [](const char* name, TSourceType type, const QString& params,
                            const QString& source, const QString& output,
                            const QStringList& expected) {
            QTest::newRow(name) << BuildLameArgumentList(type, params, source, output) << expected;
        };
        Row("worked example", SourceMP3, " --priority 2 -b 128 -q 2", "/Music/Song.mp3",
            "/Music/Song_C128kbps.mp3",
            L{"--priority", "2", "-b", "128", "-q", "2", "--mp3input", "/Music/Song.mp3",
              "/Music/Song_C128kbps.mp3"});
        Row("quoted tag text stays one argument", SourceWAV,
            "--tt \"My Song\" --ta 'A \"B\"' -b 96", "/in/a b.wav", "/out/a b.mp3",
            L{"--tt", "My Song", "--ta", "A \"B\"", "-b", "96", "/in/a b.wav", "/out/a b.mp3"});
        // Awkward names and a leading dash are checked as a child receives them (runner test).
        Row("unusable", SourceUnusable, "-b 64", "/x", "/y", L{});
    }

    void argumentList() {
        QFETCH(QStringList, result);
        QTEST(result, "expected");
    }

    // The decoder's arguments, "|", then the encoder's (before "-" and the output "/o.mp3").
    void decodePipeArguments_data() {
        TestTable::Columns<QStringList, QStringList>({"result", "expected"});
        const auto Row = [](const char* name, const QString& params, const QString& source,
                            int rate, int channels, const QStringList& decoder,
                            QStringList encoder) {
            if (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
                encoder.replace(encoder.indexOf("--little-endian"), "--big-endian");
            const TDecodePipeArguments lists =
                BuildDecodePipeArgumentLists(params, source, "/o.mp3", rate, channels);
            QTest::newRow(name) << lists.Decoder + L{"|"} + lists.Encoder
                                << decoder + L{"|"} + encoder + L{"-", "/o.mp3"};
        };
        const auto raw = [](const char* kHz, const char* mode) {
            return L{"-r", "-s", kHz, "--bitwidth", "16", "--signed", "--little-endian",
                     "-m", mode};
        };
        const QStringList out = {"--quiet", "--stdout", "--encoding", "s16", "--rate"};
        Row("stereo source", "--priority 2 -b 64 -q 2", "/in/a b.mp3", 44100, 2,
            out + L{"44100", "--stereo", "/in/a b.mp3"},
            L{"--priority", "2", "-b", "64", "-q", "2"} + raw("44.1", "j"));
        Row("mono source", "-b 64", "/in/m.mp2", 22050, 1, out + L{"22050", "--mono", "/in/m.mp2"},
            L{"-b", "64"} + raw("22.05", "m"));
        Row("channels unknown", "", "/in/u.mp3", 11025, 0,
            out + L{"11025", "--stereo", "/in/u.mp3"}, raw("11.025", "j"));
        // Raw stereo read as mono would play at half speed: the decoder mixes down.
        Row("mono asked of a stereo source", "-m m -b 32", "/in/s.mp3", 48000, 2,
            out + L{"48000", "--mono", "/in/s.mp3"}, L{"-m", "m", "-b", "32"} + raw("48", "m"));
        Row("the user's stereo mode stands", "-ms", "/in/s.mp3", 32000, 2,
            out + L{"32000", "--stereo", "/in/s.mp3"}, L{"-ms"} + raw("32", "s"));
        Row("stereo asked of a mono source", "-m s", "-in.mp3", 16000, 1,
            out + L{"16000", "--mono", "./-in.mp3"}, L{"-m", "s"} + raw("16", "m"));
    }

    void decodePipeArguments() { argumentList(); }

    void splitCommandLine_data() {
        TestTable::Columns<QString, QStringList>({"text", "expected"});
        QTest::newRow("empty") << "" << L{};
        QTest::newRow("blanks, tabs and line breaks") << " \t a \n b\r\n" << L{"a", "b"};
        QTest::newRow("empty quotes are an argument") << "a \"\" ''" << L{"a", "", ""};
        QTest::newRow("parts glued together") << "a'b c'\"d e\"f" << L{"ab cd ef"};
        QTest::newRow("escaped blank") << "a\\ b c" << L{"a b", "c"};
        QTest::newRow("backslash in double quotes")
            << "\"a\\\"b\" \"c\\\\d\" \"e\\nf\"" << L{"a\"b", "c\\d", "e\\nf"};
        QTest::newRow("backslash is literal in single quotes") << "'a\\'" << L{"a\\"};
        QTest::newRow("line continuation") << "a\\\nb" << L{"ab"};
        QTest::newRow("unterminated quote runs to the end") << "a \"b c" << L{"a", "b c"};
        QTest::newRow("no expansion") << "$HOME * ~" << L{"$HOME", "*", "~"};
    }

    void splitCommandLine() {
        QFETCH(QString, text);
        QTEST(SplitCommandLine(text), "expected");
    }

    void splitFileName_data() {
        // parts: folder, name, extension
        TestTable::Columns<QString, QStringList>({"path", "parts"});
        QTest::newRow("plain") << "/Music/Song.mp3" << L{"/Music", "Song", ".mp3"};
        QTest::newRow("file in /") << "/Song.mp3" << L{"/", "Song", ".mp3"};
        QTest::newRow("dot in folder only") << "/a.b/c" << L{"/a.b", "c", ""};
        QTest::newRow("two dots") << "/a/b.tar.gz" << L{"/a", "b.tar", ".gz"};
        QTest::newRow("leading dot") << "/a/.hidden" << L{"/a", "", ".hidden"};
        QTest::newRow("final dot") << "/a/x." << L{"/a", "x", "."};
        QTest::newRow("no folder") << "Song.mp3" << L{"", "Song", ".mp3"};
    }

    void splitFileName() {
        QFETCH(QString, path);
        const TFileNameParts split = SplitFileName(path);
        QTEST((QStringList{split.Dir, split.Name, split.Ext}), "parts");
    }

    void makeOutputPath_data() {
        TestTable::Columns<QString, QString>({"result", "expected"});
        const auto Row =
            [](const char* name, const QString& path, const QString& base, const QString& dest,
               int bitRate, int mode, bool destFolder, bool keepSubDirs, const QString& expected) {
                QTest::newRow(name)
                    << MakeOutputPath(path, base, dest, bitRate, mode, destFolder, keepSubDirs)
                    << expected;
            };
        Row("beside, CBR", "/Music/Song.mp3", "", "/Out", 128, 0, false, false,
            "/Music/Song_C128kbps.mp3");
        Row("beside, ABR, wav", "/Music/Song.wav", "", "", 192, 1, false, false,
            "/Music/Song_A192kbps.mp3");
        Row("beside, file in /", "/Song.mp2", "", "", 64, 0, false, true, "/Song_C64kbps.mp3");
        Row("beside, dotted folder, no extension", "/In/a.b/file", "", "", 128, 0, false, false,
            "/In/a.b/file_C128kbps.mp3");
        Row("dest is source folder", "/Music/Song.mp3", "", "/Music", 128, 0, true, false,
            "/Music/Song_C128kbps.mp3");
        Row("dest differs in case only", "/Music/Song.mp3", "", "/music/", 128, 0, true, false,
            "/music/Song.mp3");
        Row("dest elsewhere", "/Music/Song.wav", "", "/Out/", 32, 1, true, false, "/Out/Song.mp3");
        Row("sub-folders kept", "/In/A/x.wav", "/In/", "/Out", 128, 0, true, true, "/Out/A/x.mp3");
        Row("file added on its own", "/In/A/x.wav", "", "/Out", 128, 0, true, true, "/Out/x.mp3");
        Row("sub-folders kept onto the source itself", "/In/A/x.mp3", "/In/", "/In", 128, 0, true,
            true, "/In/A/x_C128kbps.mp3");
        Row("own file onto itself, ABR", "/In/x.mp3", "", "/In/", 256, 1, true, true,
            "/In/x_A256kbps.mp3");
        Row("wav onto its own folder keeps the plain name", "/In/x.wav", "", "/In", 128, 0, true,
            true, "/In/x.mp3");
        Row("dotted sub-folder, no extension", "/In/a.b/file", "/In/", "/Out", 128, 0, true, true,
            "/Out/a.b/file.mp3");
        Row("base folder without slash is put in as it is", "/In/A/x.wav", "/In", "/Out", 128, 0,
            true, true, "/Out//A/x.mp3");
    }

    void makeOutputPath() { buildLameParams(); }

    void makeUniqueOutputName() {
        QTemporaryDir tmp;
        // The planned name, then its numbered ones.
        const auto name = [&tmp](int n) {
            return tmp.filePath(n < 2 ? QString("Song_C128kbps.mp3")
                                      : QStringLiteral("Song_C128kbps (%1).mp3").arg(n));
        };
        const QString planned = name(1);
        QCOMPARE(MakeUniqueOutputName(planned), planned);
        QVERIFY(TestUtil::WriteFile(planned, {}));
        QCOMPARE(MakeUniqueOutputName(planned), name(2));
        // A folder and a dangling link of the next names are taken as well.
        QVERIFY(QDir().mkdir(name(2)) && QFile::link(tmp.filePath("nowhere"), name(3)));
        QCOMPARE(MakeUniqueOutputName(planned), name(4));
        QVERIFY(!QFileInfo::exists(name(4)));
        QCOMPARE(MakeUniqueOutputName(planned, {name(4)}), name(5));

        // An output file moves only to a free name: never over a file nor through a link.
        auto file = std::make_unique<TOutputFile>(planned);
        QCOMPARE(TestUtil::TempFilesIn(tmp.path()),
                 QStringList{QFileInfo(file->TempPath()).fileName()});
        QCOMPARE(RenameNoReplace(file->TempPath(), planned), EEXIST);
        QCOMPARE(RenameNoReplace(file->TempPath(), name(3)), EEXIST);
        QVERIFY(!QFileInfo::exists(tmp.filePath("nowhere")));
        QCOMPARE(file->Publish(planned, {name(4)}), name(5));
        file.reset(); // a published output stays
        QVERIFY(QFileInfo::exists(name(5)));
        // One that is not published leaves nothing behind.
        file = std::make_unique<TOutputFile>(planned);
        file.reset();
        QCOMPARE(TestUtil::TempFilesIn(tmp.path()), QStringList());
    }

    // The ways a publish falls back to where the kernel's no-replace rename is
    // missing (NFS, SMB): each must refuse a taken name as firmly as the first.
    void renameNoReplaceFallbacks_data() {
        // target: "", "file" or "dangling link"
        TestTable::Columns<int, QString, bool, int>({"step", "target", "sourceExists", "error"});
        for (const auto& [name, step] : {std::pair{"kernel", TRenameStep::Kernel},
                                         std::pair{"hard link", TRenameStep::HardLink},
                                         std::pair{"placeholder", TRenameStep::Placeholder}}) {
            const int n = int(step);
            QTest::addRow("%s: free name", name) << n << "" << true << 0;
            QTest::addRow("%s: taken by a file", name) << n << "file" << true << EEXIST;
            QTest::addRow("%s: taken by a dangling link", name)
                << n << "dangling link" << true << EEXIST;
            QTest::addRow("%s: source gone", name) << n << "" << false << ENOENT;
        }
    }

    void renameNoReplaceFallbacks() {
        QFETCH(int, step);
        QFETCH(QString, target);
        QFETCH(bool, sourceExists);
        QFETCH(int, error);
        QTemporaryDir tmp;
        const QString from = tmp.filePath(".out.part"), to = tmp.filePath("out.mp3");
        if (sourceExists)
            QVERIFY(TestUtil::WriteFile(from, "whole output"));
        if (target == "file")
            QVERIFY(TestUtil::WriteFile(to, "the user's"));
        else if (!target.isEmpty())
            QVERIFY(QFile::link(tmp.filePath("elsewhere"), to));

        QCOMPARE(RenameNoReplaceFrom(TRenameStep(step), from, to), error);
        if (error == 0) {
            QCOMPARE(TestUtil::ReadFile(to), QByteArray("whole output"));
            QVERIFY(!QFileInfo::exists(from));
            return;
        }
        // Nothing moved, nothing written through the link, no placeholder left.
        QCOMPARE(QFileInfo::exists(from), sourceExists);
        QCOMPARE(TestUtil::ReadFile(to), QByteArray(target == "file" ? "the user's" : ""));
        QCOMPARE(QFileInfo(to).isSymLink(), target == "dangling link");
        QCOMPARE(QFileInfo::exists(to), target == "file");
        QVERIFY(!QFileInfo::exists(tmp.filePath("elsewhere")));
    }

    // The clean full path of an existing file; nothing for a missing one.
    void existingAbsolutePath() {
        QTemporaryDir tmp;
        const QString file = tmp.filePath("a b.wav"), saved = QDir::currentPath();
        QVERIFY(TestUtil::WriteFile(file, {}) && QDir::setCurrent(tmp.path()));
        const QStringList got = {ExistingAbsolutePath(file), ExistingAbsolutePath("./a b.wav"),
                                 ExistingAbsolutePath(tmp.filePath("missing.wav")),
                                 ExistingAbsolutePath(QString())};
        QVERIFY(QDir::setCurrent(saved));
        QCOMPARE(got, QStringList({file, file, "", ""}));
    }

    void parseLameBanner_data() {
        TestTable::Columns<QStringList, QString, QString>({"lines", "version", "site"});
        const QString fallback = DefaultLameWebSite;
        Row("lame 3.100",
            L{"LAME 64bits version 3.100 (http://lame.sf.net)", "",
              "usage: lame [options] <infile> [outfile]"},
            "LAME 64bits version 3.100", "lame.sf.net");
        Row("final slash and CR", L{"LAME 32bits version 3.99.5 (http://lame.sf.net/)\r"},
            "LAME 32bits version 3.99.5", "lame.sf.net");
        Row("lower case matches",
            L{"Copyright (C) somebody", "lame version 3.98 (http://www.mp3dev.org/)"},
            "lame version 3.98", "www.mp3dev.org");
        Row("parenthesis after the scheme", L{"LAME 3.97 http://(lame.sf.net/)"}, "LAME 3.97",
            "lame.sf.net");
        Row("only the first matching line", L{"LAME 1.0 (http://a.org)", "LAME 2.0 (http://b.org)"},
            "LAME 1.0", "a.org");
        Row("https", L{"LAME 4.0 (https://lame.example/)"}, "LAME 4.0", "lame.example");
        Row("no address", L{"LAME 3.100", "LAME 2 (http://x.org)"}, "", fallback);
        Row("no blank before the address", L{"LAME(http://x.org)"}, "", "x.org");
        Row("no banner", L{"sh: not found"}, "", fallback);
        Row("nothing", L{}, "", fallback);
    }

    void parseLameBanner() {
        QFETCH(QStringList, lines);
        QFETCH(QString, version);
        QFETCH(QString, site);
        QString gotVersion = "stale", gotSite = "stale";
        ParseLameBanner(lines, gotVersion, gotSite);
        QCOMPARE((QStringList{gotVersion, gotSite}), (QStringList{version, site}));
    }

    void findEncoder() {
        QTemporaryDir tmp;
        const QString upper = tmp.filePath(QString(LameExeName).toUpper());
        QVERIFY(QFile(upper).open(QIODevice::WriteOnly));
        QCOMPARE(FindEncoderIn(tmp.path()), QString()); // not executable
        QVERIFY(
            QFile::setPermissions(upper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(FindEncoderIn(tmp.path()), upper);
        QCOMPARE(FindEncoder(tmp.path()), upper); // the program folder comes before PATH
        // An empty program folder falls back to PATH.
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(tmp.path() + ":/nonexistent"));
        const QString fromPath = FindEncoder(QString());
        qputenv("PATH", savedPath);
        QCOMPARE(fromPath, upper);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_cmdline.moc"
