#include "ConsoleReporter.h"
#include "RecordingReporter.h"
#include "messages/FormatMsg.h"
#include "messages/Messages.h"
#include "messages/RunState.h"
#include "messages/Sonabel_L.h"
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

    void entries_data();
    void entries();

    void setState_data();
    void setState();
    void setStateFollowsLanguageSwitch();
    void setLanguageOutOfRange_data();
    void setLanguageOutOfRange();
    void freeMessagesEmptiesTable();

    void defaultLanguageFromLocale_data();
    void defaultLanguageFromLocale();
    void languageCodesAndListItems();

    void consoleReporter();
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

void TestMessages::entries_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("formats");
    // What each use point formats into its entry; every other entry is plain.
    const std::pair<const char*, std::vector<TMsgId>> uses[] = {
        {"s",
         {msgSourceUnusable, msgUnsupportedFile, msgNotPcmWav, msgEncodingFile, msgCopyingFile,
          msgUpdateCheckFailed, msgDownloadFailed, msgDownloadFinished, msgScanListing,
          msgScanAnalysing, msgOptTitle, msgOptSameDir, msgOptInvalidFolder, msgOptCreateFolder,
          msgOptCannotCreate, msgOptNotWritable, msgOptVersion}},
        {"ss",
         {msgFileFailed, msgLameMissingQuestion, msgLameWrongFile, msgNewVersionOffer,
          msgUpdateSaveFilter, msgPropsFormatName}},
        {"d",
         {msgFilesFailed, msgBitRateItem, msgOutputSize, msgBitRateCBR, msgBitRateVBR,
          msgBitRateWAV, msgTotalSize, msgEstimatedSize, msgDirBitRateItem, msgPropsDumpTruncated,
          msgPowerOffCountdown}},
        {"dd", {msgPropsTagV2Header, msgPropsFrameCount}},
        {"ddd", {msgDelayedCountdown}},
        {"sss", {msgOptLameSiteHint}},
        {"ds", {msgPowerOffFailed}},
        {"dddddd", {msgTimeDisplay}},
        {"ssdddd", {msgPropsProperties}}};
    std::map<int, QString> formats;
    for (const auto& [format, ids] : uses)
        for (const TMsgId id : ids)
            formats[id] = format;
    for (int i = 0; i < MessageCount; ++i)
        QTest::addRow("entry %d", i) << i << formats[i];
}

void TestMessages::entries() {
    QFETCH(int, index);
    QFETCH(QString, formats);
    const QString& english = English[index];
    const QString& french = French[index];
    // Both languages format the same arguments, in the same order.
    QCOMPARE(FormatPlaceholders(english), formats);
    QCOMPARE(FormatPlaceholders(french), formats);
    if (IsSpare(index)) {
        QVERIFY(english.isEmpty() && french.isEmpty());
    } else {
        QVERIFY2(!english.trimmed().isEmpty(), "English text missing");
        QVERIFY2(!french.trimmed().isEmpty(), "French text missing");
    }
    // A no-break space before : ; ? ! in French, never an ordinary one, and
    // none of that in English.
    QVERIFY2(!french.contains(QRegularExpression(" [:;?!]")), qPrintable(french));
    QVERIFY2(!english.contains(QChar(0x00A0)), qPrintable(english));
}

void TestMessages::setState_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("state");
    // One past the last state has no text to read.
    for (int language = 0; language < LanguageCount; ++language)
        for (int state = 0; state <= RunStateCount; ++state)
            QTest::addRow("%s, state %d", qPrintable(LanguageTable[language].Code), state)
                << language << state;
}

void TestMessages::setState() {
    QFETCH(int, language);
    QFETCH(int, state);
    const TTexts& texts = language == 0 ? English : French;
    SetLanguage(language, false);
    TRecordingReporter reporter;
    reporter.SetState(rsBatch);
    reporter.SetState(quint8(state));
    QCOMPARE(reporter.Status, state < RunStateCount ? texts[msgStateIdle + state] : QString());
    QCOMPARE(reporter.Status.isEmpty(), state == RunStateCount);
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
    QCOMPARE(LanguageListItem(1), "Français  (french)");
    QCOMPARE(LanguageListItem(LanguageCount), QString());
}

void TestMessages::consoleReporter() {
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

void TestMessages::consoleReporterAnswers_data() {
    QTest::addColumn<TModalResult>("defaultAnswer");
    QTest::addColumn<unsigned>("buttons");
    QTest::addColumn<TModalResult>("expected");
    const unsigned yesNo = mbYes | mbNo;
    QTest::newRow("default offered") << TModalResult::Yes << yesNo << TModalResult::Yes;
    QTest::newRow("default No") << TModalResult::No << yesNo << TModalResult::No;
    QTest::newRow("default not offered, No is") << TModalResult::OK << yesNo << TModalResult::No;
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
    QVERIFY(out.open(QIODevice::WriteOnly) && err.open(QIODevice::WriteOnly));
    TConsoleReporter reporter(defaultAnswer, &out, &err, false);
    QCOMPARE(reporter.AskUser("Stop?", TDialogType::Warning, buttons), expected);
    QVERIFY(err.data().contains("Stop?"));
    QVERIFY(out.data().isEmpty());
}

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
