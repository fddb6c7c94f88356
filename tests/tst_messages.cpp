#include "app/ConsoleReporter.h"
#include "app/FormatMsg.h"
#include "app/Messages.h"
#include "app/RecordingReporter.h"
#include "app/RunState.h"
#include "app/Sonabel_L.h"
#include "settings/Settings.h"

#include <QBuffer>
#include <QtTest>

using TTexts = std::array<QString, MessageCount>;
Q_DECLARE_METATYPE(TModalResult)

namespace {

TTexts BuiltTable(int language) {
    Settings().DefaultLanguage = 0;
    SetLanguage(language, false);
    return MessageTable;
}

bool IsSpare(int index) {
    return std::find(SpareMessages.begin(), SpareMessages.end(), TMsgId(index)) !=
           SpareMessages.end();
}

} // namespace

class TestMessages : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void formatMsg_data();
    void formatMsg();

    void samePlaceholders_data();
    void samePlaceholders();
    void formatsOfUsePoints_data();
    void formatsOfUsePoints();
    void onlySparesEmpty_data();
    void onlySparesEmpty();
    void frenchSpacing();

    void setStateShowsCurrentLanguage_data();
    void setStateShowsCurrentLanguage();
    void setStateFollowsLanguageSwitch();
    void setStateOutsideTheTable();
    void setLanguageOutOfRange_data();
    void setLanguageOutOfRange();
    void freeMessagesEmptiesTable();

    void defaultLanguageFromLocale_data();
    void defaultLanguageFromLocale();
    void languageCodesAndListItems();

    void recordingReporter();
    void consoleReporterHoldsRewrittenLine();
    void consoleReporterInteractiveRewrite();
    void consoleReporterAnswers_data();
    void consoleReporterAnswers();

private:
    TTexts English, French;
};

void TestMessages::initTestCase() {
    English = BuiltTable(0);
    French = BuiltTable(1);
}

void TestMessages::cleanup() {
    SetApplyLanguageHook({});
    Settings().DefaultLanguage = 0;
    RunState = rsIdle;
}

void TestMessages::formatMsg_data() {
    QTest::addColumn<QString>("fmt");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text and number")
        << "%s: %d KB" << QVariantList{"a.mp3", 512} << "a.mp3: 512 KB";
    QTest::newRow("percent sign") << "100%% done" << QVariantList{} << "100% done";
    QTest::newRow("escaped conversion stays literal")
        << "%%s %%d" << QVariantList{"x", 1} << "%s %d";
    QTest::newRow("percent next to a conversion") << "%d%%" << QVariantList{42} << "42%";
    QTest::newRow("missing arguments are empty")
        << "[%s|%d|%s]" << QVariantList{"only"} << "[only||]";
    QTest::newRow("no arguments at all") << "%s - %d" << QVariantList{} << " - ";
    QTest::newRow("extra arguments ignored") << "%d" << QVariantList{1, 2, 3} << "1";
    QTest::newRow("two-digit minutes") << "%d:%.2d:%.2d" << QVariantList{1, 2, 3} << "1:02:03";
    QTest::newRow("precision keeps long numbers") << "%.2d" << QVariantList{123} << "123";
    QTest::newRow("negative with precision") << "%.3d" << QVariantList{-7} << "-007";
    QTest::newRow("zero padding after the sign") << "%05d" << QVariantList{-42} << "-0042";
    QTest::newRow("width pads on the left")
        << "[%4d][%4s]" << QVariantList{7, "ab"} << "[   7][  ab]";
    QTest::newRow("left-justified") << "[%-4s]" << QVariantList{"ab"} << "[ab  ]";
    QTest::newRow("text precision truncates") << "%.3s" << QVariantList{"abcdef"} << "abc";
    QTest::newRow("64-bit number") << "%d" << QVariantList{qint64(5000000000)} << "5000000000";
    QTest::newRow("smallest 64-bit number")
        << "%d" << QVariantList{std::numeric_limits<qint64>::min()} << "-9223372036854775808";
    QTest::newRow("number as text") << "%s kbit/s" << QVariantList{128} << "128 kbit/s";
    QTest::newRow("text given to %d is shown") << "%d" << QVariantList{"n/a"} << "n/a";
    QTest::newRow("unknown conversion copied") << "%B and %x" << QVariantList{"z"} << "%B and %x";
    QTest::newRow("lone percent at the end") << "50%" << QVariantList{1} << "50%";
    QTest::newRow("absurd width is not a conversion") << "%99999d" << QVariantList{1} << "%99999d";
    QTest::newRow("upper-case letters") << "%S=%D" << QVariantList{"k", 3} << "k=3";
    QTest::newRow("non-ASCII text")
        << "« %s »" << QVariantList{QStringLiteral("Été")} << QStringLiteral("« Été »");
}

void TestMessages::formatMsg() {
    QFETCH(QString, fmt);
    QFETCH(QVariantList, args);
    QFETCH(QString, expected);
    QCOMPARE(FormatMsgArgs(fmt, args), expected);
    if (args.size() == 2)
        QCOMPARE(FormatMsg(fmt, {args[0], args[1]}), expected);
}

void TestMessages::samePlaceholders_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < MessageCount; ++i)
        QTest::addRow("entry %d", i) << i;
}

void TestMessages::samePlaceholders() {
    QFETCH(int, index);
    QCOMPARE(FormatPlaceholders(French[index]), FormatPlaceholders(English[index]));
}

void TestMessages::formatsOfUsePoints_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("expected");
    // What each use point formats into its entry; every other entry is plain.
    const std::map<TMsgId, QString> formats = {
        {msgFileFailed, "ss"},
        {msgFilesFailed, "d"},
        {msgSourceUnusable, "s"},
        {msgBitRateItem, "d"},
        {msgLameMissingQuestion, "ss"},
        {msgLameWrongFile, "ss"},
        {msgUnsupportedFile, "s"},
        {msgNotPcmWav, "s"},
        {msgEncodingFile, "s"},
        {msgOutputSize, "d"},
        {msgBitRateCBR, "d"},
        {msgBitRateVBR, "d"},
        {msgBitRateWAV, "d"},
        {msgCopyingFile, "s"},
        {msgTimeDisplay, "dddddd"},
        {msgUpdateCheckFailed, "s"},
        {msgNewVersionOffer, "ss"},
        {msgUpdateSaveFilter, "ss"},
        {msgDownloadFailed, "s"},
        {msgDownloadFinished, "s"},
        {msgScanListing, "s"},
        {msgScanAnalysing, "s"},
        {msgTotalSize, "d"},
        {msgEstimatedSize, "d"},
        {msgOptTitle, "s"},
        {msgOptSameDir, "s"},
        {msgOptInvalidFolder, "s"},
        {msgOptCreateFolder, "s"},
        {msgOptCannotCreate, "s"},
        {msgOptNotWritable, "s"},
        {msgOptVersion, "s"},
        {msgOptLameSiteHint, "sss"},
        {msgDirBitRateItem, "d"},
        {msgPropsFormatName, "ss"},
        {msgPropsProperties, "ssdddd"},
        {msgPropsTagV2Header, "dd"},
        {msgPropsFrameCount, "dd"},
        {msgPropsDumpTruncated, "d"},
        {msgPowerOffCountdown, "d"},
        {msgPowerOffFailed, "ds"},
        {msgDelayedCountdown, "ddd"},
    };
    for (int i = 0; i < MessageCount; ++i) {
        const auto it = formats.find(TMsgId(i));
        QTest::addRow("entry %d", i) << i << (it == formats.end() ? QString() : it->second);
    }
}

void TestMessages::formatsOfUsePoints() {
    QFETCH(int, index);
    QFETCH(QString, expected);
    QCOMPARE(FormatPlaceholders(English[index]), expected);
}

void TestMessages::onlySparesEmpty_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < MessageCount; ++i)
        QTest::addRow("entry %d", i) << i;
}

void TestMessages::onlySparesEmpty() {
    QFETCH(int, index);
    if (IsSpare(index)) {
        QVERIFY(English[index].isEmpty());
        QVERIFY(French[index].isEmpty());
    } else {
        QVERIFY2(!English[index].trimmed().isEmpty(), "English text missing");
        QVERIFY2(!French[index].trimmed().isEmpty(), "French text missing");
    }
}

void TestMessages::frenchSpacing() {
    // One rule throughout: a no-break space before : ; ? ! in French, never
    // an ordinary one, and none of that in English.
    const QRegularExpression plainSpace(QStringLiteral(" [:;?!]"));
    const QChar noBreak(0x00A0);
    for (int i = 0; i < MessageCount; ++i) {
        QVERIFY2(!French[i].contains(plainSpace), qPrintable(French[i]));
        QVERIFY2(!English[i].contains(noBreak), qPrintable(English[i]));
    }
}

void TestMessages::setStateShowsCurrentLanguage_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("state");
    for (int language = 0; language < LanguageCount; ++language)
        for (int state = 0; state < RunStateCount; ++state)
            QTest::addRow("%s, state %d", qPrintable(LanguageTable[language].Code), state)
                << language << state;
}

void TestMessages::setStateShowsCurrentLanguage() {
    QFETCH(int, language);
    QFETCH(int, state);
    const TTexts& texts = language == 0 ? English : French;
    SetLanguage(language, false);
    TRecordingReporter reporter;
    RunState = rsBatch;
    reporter.SetState(quint8(state));
    QCOMPARE(reporter.Status, texts[msgStateIdle + state]);
    QVERIFY(!reporter.Status.isEmpty());
    QCOMPARE(int(RunState), state);
}

void TestMessages::setStateFollowsLanguageSwitch() {
    SetLanguage(0, false);
    TRecordingReporter reporter;
    reporter.SetState(rsFolderScan);
    QCOMPARE(reporter.Status, English[msgStateFolderScan]);

    // What the main window's hook ends with: the current state, in the new texts.
    int applied = 0;
    SetApplyLanguageHook([&] {
        ++applied;
        reporter.SetState(RunState);
    });
    SetLanguage(1, true);
    QCOMPARE(reporter.Status, French[msgStateFolderScan]);
    QVERIFY(reporter.Status != English[msgStateFolderScan]);
    QCOMPARE(int(RunState), int(rsFolderScan));
    QCOMPARE(Settings().Language, 1);
    QCOMPARE(applied, 2); // once emptied, once rebuilt

    SetLanguage(0, true);
    QCOMPARE(reporter.Status, English[msgStateFolderScan]);
}

void TestMessages::setStateOutsideTheTable() {
    SetLanguage(0, false);
    TRecordingReporter reporter;
    reporter.SetState(rsBatch);
    reporter.SetState(quint8(RunStateCount)); // no state text to read
    QCOMPARE(reporter.Status, QString());
    QCOMPARE(int(RunState), RunStateCount);
}

void TestMessages::setLanguageOutOfRange_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("defaultLanguage");
    QTest::addColumn<int>("expected");
    QTest::newRow("2, French system") << 2 << 1 << 1;
    QTest::newRow("2, English system") << 2 << 0 << 0;
    QTest::newRow("-1, French system") << -1 << 1 << 1;
    QTest::newRow("large, French system") << 1000 << 1 << 1;
    QTest::newRow("broken default too") << 5 << 7 << 0;
    QTest::newRow("valid index ignores the default") << 0 << 1 << 0;
}

void TestMessages::setLanguageOutOfRange() {
    QFETCH(int, index);
    QFETCH(int, defaultLanguage);
    QFETCH(int, expected);
    // Start from the other language so a build that does nothing shows.
    SetLanguage(1 - expected, false);
    Settings().DefaultLanguage = defaultLanguage;
    SetLanguage(index, false);
    QCOMPARE(Settings().Language, expected);
    const TTexts& texts = expected == 0 ? English : French;
    QCOMPARE(MessageTable[msgListEmpty], texts[msgListEmpty]);
    QCOMPARE(StateTexts[rsBatch], texts[msgStateBatch]);
}

void TestMessages::freeMessagesEmptiesTable() {
    SetLanguage(0, false);
    FreeMessages();
    for (const QString& text : MessageTable)
        QVERIFY(text.isEmpty());
    QCOMPARE(MsgFmt(msgEncodingFile, {"x"}), QString());
    SetLanguage(1, false);
    QCOMPARE(MsgFmt(msgEncodingFile, {"x"}), FormatMsg(French[msgEncodingFile], {"x"}));
}

void TestMessages::defaultLanguageFromLocale_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("expected");
    QTest::newRow("France") << "fr_FR" << 1;
    QTest::newRow("Quebec") << "fr_CA" << 1;
    QTest::newRow("Switzerland, French") << "fr_CH" << 1;
    QTest::newRow("United States") << "en_US" << 0;
    QTest::newRow("Germany") << "de_DE" << 0;
    QTest::newRow("Switzerland, German") << "de_CH" << 0;
    QTest::newRow("C locale") << "C" << 0;
}

void TestMessages::defaultLanguageFromLocale() {
    QFETCH(QString, locale);
    QFETCH(int, expected);
    QCOMPARE(DefaultLanguageIndex(QLocale(locale)), expected);
}

void TestMessages::languageCodesAndListItems() {
    QCOMPARE(LanguageIndexOfCode("ENG"), 0);
    QCOMPARE(LanguageIndexOfCode("FRN"), 1);
    QCOMPARE(LanguageIndexOfCode("frn"), -1);
    QCOMPARE(LanguageIndexOfCode(QString()), -1);
    QCOMPARE(LanguageListItem(0), QStringLiteral("English"));
    QCOMPARE(LanguageListItem(1), QStringLiteral("Français  (french)"));
    QCOMPARE(LanguageListItem(2), QString());
}

void TestMessages::recordingReporter() {
    SetLanguage(0, false);
    TRecordingReporter reporter;
    reporter.LogLine("first");
    reporter.LogFmt(msgEncodingFile, {"/music/a.mp3"});
    reporter.LogFmt(msgOutputSize, {0});
    reporter.ReplaceLastLogLine(MsgFmt(msgOutputSize, {2048}));
    QCOMPARE(reporter.Log,
             QStringList({"first", FormatMsg(English[msgEncodingFile], {"/music/a.mp3"}),
                          FormatMsg(English[msgOutputSize], {2048})}));
    QCOMPARE(reporter.Calls.size(), 4);
    QCOMPARE(reporter.CallsOf(TReportKind::ReplaceLastLogLine).size(), 1);

    reporter.QueueAnswer(TModalResult::No);
    reporter.QueueAnswer(TModalResult::Yes);
    QCOMPARE(reporter.AskUser("q1", TDialogType::Warning, mbYes | mbNo), TModalResult::No);
    QCOMPARE(reporter.AskUser("q2", TDialogType::Warning, mbYes | mbNo), TModalResult::Yes);
    QCOMPARE(reporter.UnexpectedQuestions, 0);
    QCOMPARE(reporter.AskUser("q3", TDialogType::Confirmation, mbYes), TModalResult::None);
    QCOMPARE(reporter.UnexpectedQuestions, 1);
    QCOMPARE(reporter.Questions, QStringList({"q1", "q2", "q3"}));
    QCOMPARE(reporter.CallsOf(TReportKind::AskUser).last().Buttons, unsigned(mbYes));

    reporter.ShowInfoFmt(msgNotPcmWav, {"/x.wav"});
    QCOMPARE(reporter.Infos, QStringList({FormatMsg(English[msgNotPcmWav], {"/x.wav"})}));
    QVERIFY(reporter.Infos.first().contains("/x.wav"));

    // A rewrite with nothing logged yet still shows the line.
    TRecordingReporter empty;
    empty.ReplaceLastLogLine("only");
    QCOMPARE(empty.Log, QStringList({"only"}));
}

void TestMessages::consoleReporterHoldsRewrittenLine() {
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    {
        TConsoleReporter reporter(TModalResult::No, &out, &err, false);
        reporter.LogLine("Encoding a");
        reporter.LogLine("  Output: 0 KB");
        reporter.ReplaceLastLogLine("  Output: 10 KB");
        reporter.ReplaceLastLogLine("  Output: 20 KB");
        reporter.SetStatusText("hidden status");
        reporter.ShowInfo("note");
        reporter.LogLine("Finished.");
    }
    QCOMPARE(QString::fromUtf8(out.data()),
             QStringLiteral("Encoding a\n  Output: 20 KB\nFinished.\n"));
    QCOMPARE(QString::fromUtf8(err.data()), QStringLiteral("note\n"));
}

void TestMessages::consoleReporterInteractiveRewrite() {
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    TConsoleReporter reporter(TModalResult::No, &out, &err, true);
    reporter.ShowStatus = true;
    reporter.LogLine("0 KB");
    reporter.ReplaceLastLogLine("5 KB");
    reporter.SetStatusFmt("Scanning %s", {"/music"});
    QCOMPARE(out.data(), QByteArray("0 KB\n\x1b[1A\r\x1b[2K5 KB\n"));
    QCOMPARE(err.data(), QByteArray("Scanning /music\n"));
}

void TestMessages::consoleReporterAnswers_data() {
    QTest::addColumn<TModalResult>("defaultAnswer");
    QTest::addColumn<unsigned>("buttons");
    QTest::addColumn<TModalResult>("expected");
    QTest::newRow("default offered")
        << TModalResult::Yes << unsigned(mbYes | mbNo) << TModalResult::Yes;
    QTest::newRow("default No") << TModalResult::No << unsigned(mbYes | mbNo) << TModalResult::No;
    QTest::newRow("default not offered, No is")
        << TModalResult::OK << unsigned(mbYes | mbNo) << TModalResult::No;
    QTest::newRow("only Yes offered") << TModalResult::No << unsigned(mbYes) << TModalResult::Yes;
    QTest::newRow("Cancel before OK")
        << TModalResult::Yes << unsigned(mbOK | mbCancel) << TModalResult::Cancel;
    QTest::newRow("no buttons") << TModalResult::Yes << 0u << TModalResult::None;
}

void TestMessages::consoleReporterAnswers() {
    QFETCH(TModalResult, defaultAnswer);
    QFETCH(unsigned, buttons);
    QFETCH(TModalResult, expected);
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    TConsoleReporter reporter(defaultAnswer, &out, &err, false);
    QCOMPARE(reporter.AskUser("Stop?", TDialogType::Warning, buttons), expected);
    QVERIFY(err.data().contains("Stop?"));
    QVERIFY(out.data().isEmpty());
}

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
