#include "ConsoleReporter.h"
#include "RecordingReporter.h"
#include "TestTable.h"
#include "formats/SonabelErrors.h"
#include "TestUtil.h"
#include "messages/FormatMsg.h"
#include "messages/Messages.h"
#include "messages/ReasonTexts.h"
#include "messages/RunState.h"
#include "messages/SizeTexts.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"

#include <QBuffer>
#include <QtTest>

using TTexts = std::array<QString, MessageCount>;
using TestTable::Columns;
using TestTable::Row;

Q_DECLARE_METATYPE(TModalResult)

class TestMessages : public QObject {
    Q_OBJECT
    TTexts English, French;
    std::optional<TOwners> Owners;

private Q_SLOTS:

    void initTestCase() {
        Owners.emplace();
        SetLanguage(0, false);
        English = MessageTable;
        SetLanguage(1, false);
        French = MessageTable;
    }

    void cleanup() {
        SetApplyLanguageHook({});
        Owners.emplace();
    }

    void formatMsg_data() {
        Columns<QString, QVariantList, QString>({"fmt", "args", "expected"});
        const auto row = [](const char* name, const QString& fmt, const QVariantList& args,
                            const QString& expected) {
            QTest::newRow(name) << fmt << args << expected;
        };
        row("text and number", "%s: %d KB", {"a.mp3", 512}, "a.mp3: 512 KB");
        row("escaped conversion stays literal", "%%s %%d", {"x", 1}, "%s %d");
        row("missing arguments are empty", "[%s|%d|%s]", {"only"}, "[only||]");
        row("extra arguments ignored", "%d", {1, 2, 3}, "1");
        row("precision keeps long numbers", "%.2d", {123}, "123");
        row("negative with precision", "%.3d", {-7}, "-007");
        row("zero padding after the sign", "%05d", {-42}, "-0042");
        row("width pads on the left", "[%4d][%4s]", {7, "ab"}, "[   7][  ab]");
        row("left-justified", "[%-4s]", {"ab"}, "[ab  ]");
        row("text precision truncates", "%.3s", {"abcdef"}, "abc");
        row("smallest 64-bit number", "%d", {std::numeric_limits<qint64>::min()},
            "-9223372036854775808");
        row("number as text", "%s kbit/s", {128}, "128 kbit/s");
        row("text given to %d is shown", "%d", {"n/a"}, "n/a");
        row("unknown conversion copied", "%B and %x", {"z"}, "%B and %x");
        row("lone percent at the end", "50%", {1}, "50%");
        row("absurd width is not a conversion", "%99999d", {1}, "%99999d");
        row("upper-case letters", "%S=%D", {"k", 3}, "k=3");
        row("non-ASCII text", "« %s »", {QStringLiteral("Été")}, QStringLiteral("« Été »"));
    }

    void formatMsg() {
        QFETCH(QString, fmt);
        QFETCH(QVariantList, args);
        QFETCH(QString, expected);
        QCOMPARE(FormatMsgArgs(fmt, args), expected);
        if (args.size() == 2)
            QCOMPARE(FormatMsg(fmt, {args[0], args[1]}), expected);
    }

    void savedSizes_data() {
        Columns<int, qint64, qint64, QString>(
            {"language", "sourceBytes", "outputBytes", "expected"});
        constexpr qint64 MiB = 1 << 20;
        const qint64 source = 2150 * MiB; // 2.10 GiB
        Row("gigabytes", 0, source, 922 * MiB, "1.20 GB of 2.10 GB saved (57 %)");
        Row("French decimal mark", 1, source, 922 * MiB,
            QStringLiteral("1,20 Go économisés sur 2,10 Go (57\u00A0%)"));
        Row("KB and MB", 0, 3 * MiB, 3 * MiB - 614400, "600 KB of 3.00 MB saved (20 %)");
        Row("outputs larger", 0, qint64(1024000), qint64(1126400),
            "100 KB more than the 1000 KB of the sources (+10 %)");
        Row("nothing written", 0, qint64(0), qint64(0), "");
    }

    void savedSizes() {
        QFETCH(int, language);
        QFETCH(qint64, sourceBytes);
        QFETCH(qint64, outputBytes);
        SetLanguage(language, false);
        QTEST(SavedSizesText(sourceBytes, outputBytes), "expected");
        SetLanguage(0, false);
    }

    void entries_data() {
        Columns<int, QString>({"index", "formats"});
        // What each use point formats into its entry; every other entry is plain.
        const std::pair<const char*, std::vector<TMsgId>> uses[] = {
            {"s",
             {msgSourceUnusable, msgUnsupportedFile, msgNotPcmWav, msgEncodingFile, msgCopyingFile,
              msgUpdateCheckFailed, msgDownloadFailed, msgDownloadFinished, msgScanListing,
              msgScanAnalysing, msgOptTitle, msgOptSameDir, msgOptInvalidFolder, msgOptCreateFolder,
              msgOptCannotCreate, msgOptNotWritable, msgOptVersion, msgDirNoSuchFolder, msgTotalSize,
              msgEstimatedSize, msgRowLeftOutHint, msgFolderFilesBelow, msgRowDone, msgSizeKB,
              msgSizeMB, msgSizeGB, msgErrFileOpen, msgErrNotAnInteger,
              msgReasonCannotCreateFolder, msgProcessCrashed, msgDownloadLinkRefused}},
            {"ss",
             {msgFileFailed, msgLameMissingQuestion, msgLameWrongFile, msgNewVersionOffer,
              msgUpdateSaveFilter, msgPropsFormatName, msgErrRename, msgReasonOutputShort,
              msgReasonWithDetail, msgSkippedLine, msgErrSystem}},
            {"d",
             {msgFilesFailed, msgBitRateItem, msgOutputSize, msgBitRateCBR, msgBitRateVBR,
              msgBitRateWAV, msgDirBitRateItem, msgPropsDumpTruncated, msgPowerOffCountdown,
              msgCmdLineNiceness, msgDurationS, msgReasonEncoderExitCode}},
            {"dd", {msgPropsTagV2Header, msgPropsFrameCount, msgDurationMinS, msgDurationHMin}},
            {"ddds", {msgRunSummary}},
            {"ddd", {msgDelayedCountdown}},
            {"sss", {msgOptLameSiteHint, msgEncodingAgain}},
            {"sd", {msgProcessExitCode}},
            {"ddddddd", {msgRunCountsLine}},
            {"ds", {msgPowerOffFailed}},
            {"dddddd", {msgTimeDisplay}},
            {"ssdddd", {msgPropsProperties}},
            {"ds", {msgReplaceQuestion}},
            {"ss", {msgSourceNote, msgNoteEncodedAgain}},
            {"ssd", {msgSavedSizes, msgGrownSizes}},
            {"d", {msgCliOptJobs}},
            {"s",
             {msgCliOptBitRate, msgRegKeysUndefined, msgUpdateNotHttps, msgCliUsage, msgCliError,
              msgCliUnknownCommand, msgCliSettingsNotFound, msgCliSettingsUnreadable,
              msgCliNoEncoderNamed, msgCliEncoderNotFound, msgCliNotOnWarning, msgCliNotLanguage,
              msgCliNotShard, msgCliNeedsPathOrList, msgCliNeedsPath, msgCliNoSuchPath}},
            {"ss",
             {msgCliUnknownOption, msgCliHelpUsage, msgCliListUnreadable, msgCliNoPathWanted,
              msgCliNotCbrAbr, msgErrBadArgument}},
            {"ssdd", {msgCliNotInRange}},
            {"sss", {msgCliNotOneOf}}};
        std::map<int, QString> formats;
        for (const auto& [format, ids] : uses)
            for (const TMsgId id : ids)
                formats[id] = format;
        for (int i = 0; i < MessageCount; ++i)
            QTest::addRow("entry %d", i) << i << formats[i];
    }

    void entries() {
        QFETCH(int, index);
        QFETCH(QString, formats);
        const QString& english = English[index];
        const QString& french = French[index];
        // Both languages format the same arguments, in the same order.
        QCOMPARE(FormatPlaceholders(english), formats);
        QCOMPARE(FormatPlaceholders(french), formats);
        // Spare entries are empty, every other one has text in both languages.
        const QList<bool> empty{english.isEmpty(), english.trimmed().isEmpty(), french.isEmpty(),
                                french.trimmed().isEmpty()};
        QCOMPARE(empty, QList<bool>(4, std::ranges::count(SpareMessages, TMsgId(index)) > 0));
        // A no-break space before : ; ? ! in French, never an ordinary one, and
        // none of that in English.
        QVERIFY2(!french.contains(QRegularExpression(" [:;?!]")), qPrintable(french));
        QVERIFY2(!english.contains(QChar(0x00A0)), qPrintable(english));
    }

    // An exception carries an id and values; what a log or a JSON reason shows
    // is the current language's text, never the other language's.
    void exceptionText_data() {
        Columns<int, int>({"language", "error"});
        for (int language = 0; language < LanguageCount; ++language)
            for (int error = 0; error < ErrorIdCount; ++error)
                QTest::addRow("%s, error %d", qPrintable(LanguageTable[language].Code), error)
                    << language << error;
    }

    void exceptionText() {
        QFETCH(int, language);
        QFETCH(int, error);
        SetLanguage(language, false);
        const QVariantList args{"/music/a.mp3", "No space left on device"};
        QString text;
        try {
            throw EWriteError(TErrorId(error), args);
        } catch (...) {
            text = CurrentExceptionText();
        }
        const auto shows = [&](const TTexts& texts) {
            return std::ranges::any_of(texts, [&](const QString& entry) {
                return !entry.isEmpty() && FormatMsgArgs(entry, args) == text;
            });
        };
        QVERIFY2(shows(language == 0 ? English : French), qPrintable(text));
        QVERIFY2(!shows(language == 0 ? French : English), qPrintable(text));
        SetLanguage(0, false);
    }

    void setState_data() {
        Columns<int, int>({"language", "state"});
        // One past the last state has no text to read.
        for (int language = 0; language < LanguageCount; ++language)
            for (int state = 0; state <= RunStateCount; ++state)
                QTest::addRow("%s, state %d", qPrintable(LanguageTable[language].Code), state)
                    << language << state;
    }

    void setState() {
        QFETCH(int, language);
        QFETCH(int, state);
        const TTexts& texts = language == 0 ? English : French;
        SetLanguage(language, false);
        TRecordingReporter reporter;
        FollowRunState(Owners->RunState, reporter, &Owners->RunState);
        reporter.SetState(rsBatch);
        reporter.SetState(quint8(state));
        QCOMPARE(reporter.Status, state < RunStateCount ? texts[msgStateIdle + state] : QString());
        QCOMPARE(int(RunState), state);
    }

    void setStateFollowsLanguageSwitch() {
        SetLanguage(0, false);
        TRecordingReporter reporter;
        FollowRunState(Owners->RunState, reporter, &Owners->RunState);
        reporter.SetState(rsFolderScan);

        // What the main window's hook ends with: the current state, in the new texts.
        int applied = 0;
        SetApplyLanguageHook([&] {
            ++applied;
            reporter.SetState(RunState);
        });
        SetLanguage(1, true);
        QCOMPARE(reporter.Status, French[msgStateFolderScan]);
        QCOMPARE(applied, 2); // once emptied, once rebuilt
    }

    void setLanguageOutOfRange_data() {
        Columns<int, int, int>({"index", "defaultLanguage", "expected"});
        QTest::newRow("2, French system") << 2 << 1 << 1;
        QTest::newRow("-1, French system") << -1 << 1 << 1;
        QTest::newRow("broken default too") << 5 << 7 << 0;
        QTest::newRow("valid index ignores the default") << 0 << 1 << 0;
    }

    void setLanguageOutOfRange() {
        QFETCH(int, index);
        QFETCH(int, defaultLanguage);
        QFETCH(int, expected);
        // Start from the other language so a build that does nothing shows.
        SetLanguage(1 - expected, false);
        Preferences().Edit()->DefaultLanguage = defaultLanguage;
        SetLanguage(index, false);
        QCOMPARE(Settings().Language, expected);
        const TTexts& texts = expected == 0 ? English : French;
        QCOMPARE(MessageTable[msgListEmpty], texts[msgListEmpty]);
        QCOMPARE(StateTexts[rsBatch], texts[msgStateBatch]);
    }

    void languageLookups() {
        // de_CH: the country alone does not choose French.
        const QList<int> byLocale{
            DefaultLanguageIndex(QLocale("fr_FR")), DefaultLanguageIndex(QLocale("fr_CA")),
            DefaultLanguageIndex(QLocale("en_US")), DefaultLanguageIndex(QLocale("de_CH"))};
        QCOMPARE(byLocale, (QList<int>{1, 1, 0, 0}));
        const QList<int> indexes{LanguageIndexOfCode("ENG"), LanguageIndexOfCode("FRN"),
                                 LanguageIndexOfCode("frn"), LanguageIndexOfCode(QString())};
        QCOMPARE(indexes, (QList<int>{0, 1, -1, -1}));
    }

    void consoleReporter() {
        QBuffer out, err;
        QVERIFY(out.open(QIODevice::WriteOnly) && err.open(QIODevice::WriteOnly));
        {
            // Not a terminal: a rewritten line is held back until the next one.
            TConsoleReporter reporter(TModalResult::No, &out, &err, false);
            reporter.LogLine("Encoding a");
            reporter.LogLine("  Output: 0 KB");
            reporter.ReplaceLastLogLine("  Output: 10 KB");
            reporter.ReplaceLastLogLine("  Output: 20 KB");
            reporter.SetStatusText("hidden status");
            reporter.ShowInfo("note");
            reporter.LogLine("Finished.");
        }
        QCOMPARE(out.data(), QByteArray("Encoding a\n  Output: 20 KB\nFinished.\n"));
        QCOMPARE(err.data(), QByteArray("note\n"));

        // A terminal: the line is rewritten in place (cursor up, carriage return,
        // erase line) and the status goes to the error channel.
        QBuffer tout, terr;
        QVERIFY(tout.open(QIODevice::WriteOnly) && terr.open(QIODevice::WriteOnly));
        TConsoleReporter reporter(TModalResult::No, &tout, &terr, true);
        reporter.ShowStatus = true;
        reporter.LogLine("0 KB");
        reporter.ReplaceLastLogLine("5 KB");
        reporter.SetStatusFmt("Scanning %s", {"/music"});
        QCOMPARE(tout.data(), QByteArray("0 KB\n\x1b[1A\r\x1b[2K5 KB\n"));
        QCOMPARE(terr.data(), QByteArray("Scanning /music\n"));
    }

    void consoleReporterAnswers_data() {
        Columns<TModalResult, unsigned, TModalResult>({"defaultAnswer", "buttons", "expected"});
        using R = TModalResult;
        const unsigned yesNo = mbYes | mbNo;
        Row("default offered", R::Yes, yesNo, R::Yes);
        Row("default No", R::No, yesNo, R::No);
        Row("default not offered, No is", R::OK, yesNo, R::No);
        Row("only Yes offered", R::No, unsigned(mbYes), R::Yes);
        Row("Cancel before OK", R::Yes, unsigned(mbOK | mbCancel), R::Cancel);
        Row("no buttons", R::Yes, 0u, R::None);
    }

    void consoleReporterAnswers() {
        QFETCH(TModalResult, defaultAnswer);
        QFETCH(unsigned, buttons);
        QBuffer out, err;
        QVERIFY(out.open(QIODevice::WriteOnly) && err.open(QIODevice::WriteOnly));
        TConsoleReporter reporter(defaultAnswer, &out, &err, false);
        QTEST(reporter.AskUser("Stop?", TDialogType::Warning, buttons), "expected");
        QVERIFY(err.data().contains("Stop?"));
        QVERIFY(out.data().isEmpty());
    }
};
QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
