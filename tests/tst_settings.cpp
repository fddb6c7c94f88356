// TRegFile over INI files, and settings load/save on top of it. The per-user native
// location is redirected into a temporary folder so the user's settings are never opened.

#include "RecordingReporter.h"
#include "TestTable.h"
#include "messages/Sonabel_L.h"
#include "settings/RegFile.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

Q_DECLARE_METATYPE(TModalResult)
Q_DECLARE_METATYPE(TSaveResult)

namespace {

// Remembers every value written, as "Section/Ident" or "Ident", in order.
class TRecordingRegFile : public TRegFile {
public:
    using TRegFile::TRegFile;
    QStringList Writes;
    void WriteString(const QString& section, const QString& ident, const QString& value) override {
        Writes << (section.isEmpty() ? ident : section + '/' + ident);
        TRegFile::WriteString(section, ident, value);
    }
};

const QStringList PlacementWrites = {"SonabelMainForm/Top", "SonabelMainForm/Left",
                                     "SonabelMainForm/Width", "SonabelMainForm/Height",
                                     "SonabelMainForm/State"};

// The values SaveSettings writes besides LamePath and the placement, in order.
const QStringList AllValueWrites = {"BitRateIndex", "LastDir",  "EncodingMode",  "Language",
                                    "DelayS",       "DestDir",  "LameParams",    "LameParamsABR",
                                    "Flags",        "DirFlags", "DirSizeMin",    "DownloadDir",
                                    "Jobs",         "SkipDone", "ReplaceSources"};

// Every stored field of a record as text (option words in hex), to compare at once.
QStringList Fields(const TSettings& s) {
    const auto n = [](qint64 v, int base = 10) { return QString::number(v, base); };
    return {n(s.Language),     n(s.BitRateIndex), n(s.EncodingMode), n(s.DelayS),
            n(s.Jobs),         s.LastDir,         s.DestDir,         s.LameParams(),
            s.LameParamsABR(), n(s.Flags, 16),    n(s.DirFlags, 16), n(s.DirSizeMin),
            s.DownloadDir,     s.LamePath,        n(s.SkipDone),     n(s.ReplaceSources)};
}

// One change to each field the save confirmation compares; "other" is an
// existing folder.
const struct {
    const char* Name;
    void (*Apply)(TSettings&, const QString& other);
} FieldChanges[] = {
    {"BitRateIndex", [](TSettings& s, const QString&) { s.BitRateIndex = 13; }},
    {"LastDir", [](TSettings& s, const QString& other) { s.LastDir = other; }},
    {"DestDir", [](TSettings& s, const QString& other) { s.DestDir = other; }},
    {"LameParams", [](TSettings& s, const QString&) { s.LameParams() = "-m m"; }},
    {"LameParamsABR", [](TSettings& s, const QString&) { s.LameParamsABR() = "-m m"; }},
    {"Flags", [](TSettings& s, const QString&) { s.Flags |= flKeepTime; }},
    {"DirFlags", [](TSettings& s, const QString&) { s.DirFlags |= dfRecurse; }},
    {"DirSizeMin", [](TSettings& s, const QString&) { s.DirSizeMin = 64; }},
    {"EncodingMode", [](TSettings& s, const QString&) { s.EncodingMode = 1; }},
    {"Language", [](TSettings& s, const QString&) { s.Language = 1; }},
    {"DownloadDir", [](TSettings& s, const QString& other) { s.DownloadDir = other; }},
    {"Jobs", [](TSettings& s, const QString&) { s.Jobs = NewUserJobs() % MaxJobs + 1; }},
    {"SkipDone", [](TSettings& s, const QString&) { s.SkipDone = false; }},
    {"ReplaceSources", [](TSettings& s, const QString&) { s.ReplaceSources = true; }}};

template <typename... T> void Row(const char* name, T... values) {
    (QTest::newRow(name) << ... << values);
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    QTemporaryDir FNativeDir; // stands in for the per-user native location
    QTemporaryDir FDir;
    QString FMusic;
    QString FDocs;
    int FCase = 0;

    QString NewStorePath() { return FDir.filePath(QString("store%1.ini").arg(++FCase)); }

    TSettingsEnv Env(int defaultLanguage = 0) const {
        return {.DefaultLanguage = defaultLanguage,
                .ShellFolder = [music = FMusic, docs = FDocs](const QString& name) {
                    return name == "My Music" ? music : name == "Personal" ? docs : QString();
                }};
    }

    // A new store file holding raw values the way another program version (or
    // a hand edit) would have left them.
    QString Seeded(const QVariantMap& values) {
        const QString path = NewStorePath();
        QSettings ini(path, QSettings::IniFormat);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            ini.setValue(it.key(), it.value());
        ini.sync();
        return ini.status() == QSettings::NoError ? path : QString();
    }
    static QVariant Stored(const QString& path, const QString& key) {
        return QSettings(path, QSettings::IniFormat).value(key);
    }
    // The settings loaded from a store seeded with the values given.
    TSettings Loaded(const QVariantMap& values) {
        TRegFile store(Seeded(values));
        TSettings s;
        LoadSettings(store, s, Env());
        return s;
    }

private Q_SLOTS:

    void initTestCase() {
        QVERIFY(FNativeDir.isValid() && FDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, FNativeDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FNativeDir.path());
        FMusic = FDir.filePath("Music");
        FDocs = FDir.filePath("Documents");
        QVERIFY(QDir().mkpath(FMusic) && QDir().mkpath(FDocs));
    }

    // An edit reaches the owner when it ends, announced once, and only when
    // a value really changed; the target bit rate is the selected table entry.
    void preferencesAnnounceRealChanges() {
        TPreferences preferences;
        QSignalSpy changed(&preferences, &TPreferences::changed);
        preferences.Edit()->Flags = DefaultFlags;
        preferences.SetTargetBitRate(BitRateTable[DefaultBitRateIndex]);
        {
            auto edit = preferences.Edit();
            edit->DelayS = 60;
            edit->Jobs = 3;
            QCOMPARE(Settings().DelayS, DefaultDelayS);
        }
        preferences.SetTargetBitRate(320);
        QCOMPARE((QList<int>{Settings().DelayS, Settings().BitRateIndex, TargetBitRate,
                             int(changed.size())}),
                 (QList<int>{60, 13, 320, 2}));
    }

    void firstStartTakesDefaults() {
        TRecordingRegFile store(NewStorePath());
        TSettings s;
        s.LamePath = "/opt/lame";
        LoadSettings(store, s, Env(1));
        // Language from the system, folders from the shell, the encoder path kept.
        // A new user runs one encoder per core.
        const QString cores = QString::number(QThread::idealThreadCount());
        QCOMPARE(Fields(s), (QStringList{"1", "6", "0", "1800", cores, FMusic, FMusic, "", "",
                                         "1207002", "ef0000", "0", FDocs, "/opt/lame", "1", "0"}));
        // The default DirFlags carry the upgrade marker: nothing to write at start-up.
        QCOMPARE(store.Writes, QStringList());
    }

    void loadedNumbers_data() {
        TestTable::Columns<QString, QVariant, qint64>({"ident", "stored", "expected"});
        Row("BitRateIndex 14", "BitRateIndex", QVariant("14"), qint64(6));
        Row("BitRateIndex -1", "BitRateIndex", QVariant("-1"), qint64(6));
        Row("BitRateIndex 7x", "BitRateIndex", QVariant("7x"), qint64(6));
        Row("BitRateIndex 13", "BitRateIndex", QVariant("13"), qint64(13));
        Row("BitRateIndex 0", "BitRateIndex", QVariant("0"), qint64(0));
        Row("BitRateIndex beyond 32 bits", "BitRateIndex", QVariant("4294967296"), qint64(6));
        Row("EncodingMode -1", "EncodingMode", QVariant("-1"), qint64(0));
        // 257 would pass as 1 if the range were checked after narrowing to a byte.
        Row("EncodingMode 257", "EncodingMode", QVariant("257"), qint64(0));
        Row("EncodingMode 1", "EncodingMode", QVariant("1"), qint64(1));
        Row("DelayS negative kept", "DelayS", QVariant("-5"), qint64(-5));
        Row("DelayS hex text", "DelayS", QVariant("0x10"), qint64(1800));
        Row("Jobs 0", "Jobs", QVariant("0"), qint64(NewUserJobs()));
        Row("Jobs 65", "Jobs", QVariant("65"), qint64(NewUserJobs()));
        Row("Jobs 1 kept", "Jobs", QVariant("1"), qint64(1));
        Row("Jobs 64", "Jobs", QVariant("64"), qint64(64));
        Row("Flags top bit", "Flags", QVariant("-2147483647"), qint64(0x80000001));
        Row("Flags unsigned text overflows", "Flags", QVariant("4294967295"), qint64(DefaultFlags));
        Row("Flags as bytes", "Flags", QVariant(QByteArray("16")), qint64(DefaultFlags));
        // A stored choice without the ID3v2 tag stays the user's choice.
        Row("Flags without ID3v2 kept", "Flags", QVariant("20482"), qint64(0x5002));
    }

    void loadedNumbers() {
        QFETCH(QString, ident);
        QFETCH(QVariant, stored);
        const TSettings s = Loaded({{ident, stored}});
        const QHash<QString, qint64> loaded = {{"BitRateIndex", s.BitRateIndex},
                                               {"EncodingMode", s.EncodingMode},
                                               {"DelayS", s.DelayS},
                                               {"Jobs", s.Jobs},
                                               {"Flags", s.Flags}};
        QVERIFY(loaded.contains(ident));
        QTEST(loaded.value(ident), "expected");
    }

    void dirFlagsUpgrade_data() {
        // expected: written back when it differs
        TestTable::Columns<quint32, quint32>({"stored", "expected"});
        // (A missing value is the default, which carries the marker: see firstStartTakesDefaults.)
        Row("MP3 and recursion, no marker", 0x10040000u, 0x10E40000u);
        Row("marker alone is left alone", 0x00200000u, 0x00200000u);
    }

    void dirFlagsUpgrade() {
        QFETCH(quint32, stored);
        QFETCH(quint32, expected);
        const bool writtenBack = stored != expected;
        const QString path = Seeded({{"DirFlags", QString::number(stored)}});
        TSettings s;
        {
            TRecordingRegFile store(path);
            LoadSettings(store, s, Env());
            QCOMPARE(store.Writes, writtenBack ? QStringList{"DirFlags"} : QStringList());
        }
        QCOMPARE(s.DirFlags, expected);
        QCOMPARE(Stored(path, "DirFlags"),
                 QVariant(QString::number(writtenBack ? expected : stored)));
    }

    void language_data() {
        TestTable::Columns<QVariant, int, int, bool>(
            {"stored", "defaultLanguage", "expected", "asksOnExit"});
        Row("ENG", QVariant("ENG"), 1, 0, false);
        Row("FRN", QVariant("FRN"), 0, 1, false);
        Row("lower case is unknown", QVariant("frn"), 0, 0, true);
        Row("unknown, default French", QVariant("DEU"), 1, 1, true);
        Row("missing, default French", QVariant(), 1, 1, false);
        Row("empty text", QVariant(""), 0, 0, true);
    }

    void language() {
        QFETCH(QVariant, stored);
        QFETCH(int, defaultLanguage);
        QFETCH(bool, asksOnExit);
        QVariantMap values = {{"Flags", QString::number(DefaultFlags | flConfirmSave)}};
        if (stored.isValid())
            values.insert("Language", stored);
        TRegFile store(Seeded(values));
        TSettings s;
        LoadSettings(store, s, Env(defaultLanguage));
        QTEST(s.Language, "expected");
        QCOMPARE(s.DefaultLanguage, defaultLanguage);
        // A stored code that did not load counts as a change when leaving.
        TRecordingReporter reporter;
        reporter.DefaultAnswer = TModalResult::No;
        SaveSettings(store, s, {}, reporter, Env(defaultLanguage));
        QCOMPARE(reporter.Questions.size(), asksOnExit ? 1 : 0);
    }

    void destDirMustExist() {
        const QString gone = FDir.filePath("no-such-folder");
        const QString path = Seeded({{"DestDir", gone}, {"LastDir", gone}});
        TRegFile store(path);
        TSettings s;
        LoadSettings(store, s, Env());
        QCOMPARE((QStringList{s.DestDir, s.LastDir}), (QStringList{FMusic, gone})); // only DestDir

        // No music folder known: the defaults are empty.
        TSettingsEnv noMusic = Env();
        noMusic.ShellFolder = [](const QString&) { return QString(); };
        TRegFile empty(NewStorePath());
        LoadSettings(empty, s, noMusic);
        QCOMPARE(s.LastDir + s.DestDir + s.DownloadDir, QString());
    }

    void saveDecision_data() {
        TestTable::Columns<bool, bool, bool, TModalResult, TSaveResult, int>(
            {"confirm", "changed", "powerOff", "answer", "expectedResult", "questions"});
        using enum TSaveResult;
        using enum TModalResult;
        Row("no confirmation", false, true, false, No, Saved, 0);
        Row("confirm, nothing changed", true, false, false, Yes, Unchanged, 0);
        Row("confirm, changed, Yes", true, true, false, Yes, Saved, 1);
        Row("confirm, changed, No", true, true, false, No, Declined, 1);
        Row("confirm, changed, power-off closing", true, true, true, No, Saved, 0);
    }

    void saveDecision() {
        QFETCH(bool, confirm);
        QFETCH(bool, changed);
        QFETCH(bool, powerOff);
        QFETCH(TModalResult, answer);
        QFETCH(TSaveResult, expectedResult);
        QFETCH(int, questions);

        // Texts that parse to the loaded values but are not what a save would write,
        // so any value written shows in the file.
        const QString flags =
            QString::number(confirm ? DefaultFlags | flConfirmSave : DefaultFlags);
        const QVariantMap seeded = {{"BitRateIndex", "+7"}, {"EncodingMode", "01"},
                                    {"DelayS", "0600"},     {"Language", "FRN"},
                                    {"LastDir", FDocs},     {"DestDir", FDocs},
                                    {"LameParams", "-h"},   {"LameParamsABR", "-V 2"},
                                    {"Flags", "+" + flags}, {"DirFlags", "+15663104"},
                                    {"DirSizeMin", "+100"}, {"DownloadDir", FMusic},
                                    {"Jobs", "+2"},         {"LamePath", "/old/lame"}};
        const QStringList rewrittenWhenSaved = {"BitRateIndex", "EncodingMode", "DelayS", "Flags",
                                                "DirFlags",     "DirSizeMin",   "Jobs"};
        const QString path = Seeded(seeded);
        TSettings s;
        TRecordingReporter reporter;
        reporter.DefaultAnswer = answer;
        TSaveRequest request;
        request.ConfirmQuestion = "Save the changed settings?";
        request.PowerOffClosing = powerOff;
        request.MainPlacement = {wsMaximized, 800, 600, 10, 20};
        QStringList writes;
        {
            TRecordingRegFile store(path);
            LoadSettings(store, s, Env());
            QCOMPARE(store.Writes, QStringList());
            s.LamePath = "/usr/bin/lame";
            if (changed)
                s.DelayS = 60;
            QCOMPARE(SaveSettings(store, s, request, reporter, Env()), expectedResult);
            writes = store.Writes;
        }
        QCOMPARE(reporter.Questions, QStringList(questions, request.ConfirmQuestion));
        for (const TReportCall& asked : reporter.CallsOf(TReportKind::AskUser))
            QVERIFY(asked.Type == TDialogType::Confirmation && asked.Buttons == (mbYes | mbNo));

        const QStringList always = QStringList{"LamePath"} + PlacementWrites;
        const bool all = expectedResult == TSaveResult::Saved;
        QCOMPARE(writes, all ? always + AllValueWrites : always);
        QCOMPARE(Stored(path, "LamePath"), QVariant("/usr/bin/lame"));
        QCOMPARE(Stored(path, "SonabelMainForm/State"), QVariant("2"));
        QCOMPARE(Stored(path, "SonabelMainForm/Left"), QVariant("20"));
        for (auto it = seeded.cbegin(); it != seeded.cend(); ++it) {
            if (it.key() == "LamePath")
                continue;
            if (!all)
                QCOMPARE(Stored(path, it.key()), it.value());
            else if (rewrittenWhenSaved.contains(it.key()))
                QVERIFY2(Stored(path, it.key()) != it.value(), qPrintable(it.key()));
        }
        if (all)
            QCOMPARE(Stored(path, "DelayS"), QVariant(changed ? "60" : "600"));
    }

    void everyFieldCountsAsChange_data() {
        QTest::addColumn<int>("field");
        for (int i = 0; i < int(std::size(FieldChanges)); ++i)
            QTest::newRow(FieldChanges[i].Name) << i;
    }

    void everyFieldCountsAsChange() {
        QFETCH(int, field);
        TRegFile store(Seeded({{"Flags", QString::number(DefaultFlags | flConfirmSave)}}));
        TSettings s;
        LoadSettings(store, s, Env());
        // Unchanged, LamePath and placement aside: no question.
        TRecordingReporter reporter;
        reporter.DefaultAnswer = TModalResult::No;
        s.LamePath = "/usr/bin/lame";
        QCOMPARE(SaveSettings(store, s, {}, reporter, Env()), TSaveResult::Unchanged);
        const QString other = FDir.filePath("elsewhere");
        QVERIFY(QDir().mkpath(other));
        FieldChanges[field].Apply(s, other);
        QCOMPARE(SaveSettings(store, s, {}, reporter, Env()), TSaveResult::Declined);
        QCOMPARE(reporter.Questions.size(), 1);
    }

    void saveThenLoadRoundTrip() {
        const QString path = NewStorePath();
        const QString dest = FDir.filePath("dest");
        QVERIFY(QDir().mkpath(dest));
        // No field at its default, text with quotes, commas and semicolons, and
        // option words using their top bits.
        TSettings out;
        out.Language = 1;
        out.BitRateIndex = 0;
        out.EncodingMode = 1;
        out.DelayS = 90;
        out.Jobs = 4;
        out.LastDir = FDir.filePath("last dir, with comma");
        out.DestDir = dest;
        out.LameParams() = "--preset \"x\"";
        out.LameParamsABR() = "-q 0; -m j";
        out.Flags = 0x80000000u | flShutDown | SetPriorityIndex(DefaultFlags, 4); // 0x81247012
        out.DirFlags = 0x30EF0007;
        out.DirSizeMin = -1;
        out.DownloadDir = FDir.filePath("dl");
        out.LamePath = "/usr/local/bin/lame";
        TRecordingReporter reporter;
        {
            TRegFile store(path);
            QCOMPARE(SaveSettings(store, out, {}, reporter, Env()), TSaveResult::Saved);
        }
        TRegFile store(path);
        TSettings in;
        LoadSettings(store, in, Env());
        QCOMPARE(Fields(in), Fields(out));
        QVERIFY(reporter.Questions.isEmpty());
        // Option words are stored as signed decimal text, as other versions read them.
        const QVariant flags = Stored(path, "Flags");
        QCOMPARE(flags.typeId(), int(QMetaType::QString));
        QCOMPARE(flags.toString(), "-2128318446");
    }

    void loadPlacement_data() {
        // current, expected: state, width, height, top, left
        TestTable::Columns<QVariantMap, bool, QList<int>, QList<int>>(
            {"stored", "withSize", "current", "expected"});
        const QList<int> designed{wsNormal, 640, 480, 100, 200};
        const QList<int> designedMax{wsMaximized, 640, 480, 100, 200};
        const QList<int> fromStore{wsNormal, 800, 600, 5, -7};
        const QVariantMap full = {
            {"Width", "800"}, {"Height", "600"}, {"Top", "5"}, {"Left", "-7"}};
        auto with = [&](const QString& state) {
            QVariantMap m = full;
            m.insert("State", state);
            return m;
        };
        Row("normal", with("0"), true, designed, fromStore);
        Row("minimised opens normal", with("1"), true, designed, fromStore);
        Row("maximised keeps designed geometry", with("2"), true, designed, designedMax);
        Row("unknown state is normal", with("5"), true, designed, fromStore);
        Row("no State value is normal", full, true, designedMax, fromStore);
        Row("nothing stored", QVariantMap(), true, designed, designed);
        Row("unparsable width keeps current", QVariantMap{{"Width", "wide"}, {"Height", "300"}},
            true, designed, QList<int>{wsNormal, 640, 300, 100, 200});
        Row("without size: position only", with("2"), false, designed,
            QList<int>{wsNormal, 640, 480, 5, -7});
        Row("without size, maximised: nothing", with("0"), false, designedMax, designedMax);
    }

    void loadPlacement() {
        QFETCH(QVariantMap, stored);
        QFETCH(bool, withSize);
        QFETCH(QList<int>, current);
        QFETCH(QList<int>, expected);
        QVariantMap keyed;
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            keyed.insert("SonabelMainForm/" + it.key(), it.value());
        keyed.insert("OtherForm/Top", "999"); // another window's placement stays its own
        TRegFile store(Seeded(keyed));
        TPlacement p{current[0], current[1], current[2], current[3], current[4]};
        store.LoadPlacement("SonabelMainForm", p, withSize);
        QCOMPARE((QList<int>{p.State, p.Width, p.Height, p.Top, p.Left}), expected);
    }

    void oldPlacementKeyMoved() {
        const QString path = Seeded({{"tavoraMainForm/State", "2"},
                                     {"tavoraMainForm/Width", "1024"},
                                     {"tavoraMainForm/Top", "33"},
                                     {"SonabelMainForm/Width", "10"},
                                     {"SonabelMainForm/Stale", "x"},
                                     {"BitRateIndex", "8"}});
        TSettings s;
        {
            TRegFile store(path);
            LoadSettings(store, s, Env());
        }
        QCOMPARE(s.BitRateIndex, 8);
        // The old section replaces the new one whole, stale keys and all.
        QSettings ini(path, QSettings::IniFormat);
        QVERIFY(!ini.childGroups().contains("tavoraMainForm"));
        ini.beginGroup("SonabelMainForm");
        QStringList values;
        for (const QString& key : ini.childKeys())
            values << key + '=' + ini.value(key).toString();
        values.sort();
        QCOMPARE(values, (QStringList{"State=2", "Top=33", "Width=1024"}));
    }

    void inactiveStore_data() {
        TestTable::Columns<QString, QString>({"society", "program"});
        Row("no society", "", "Sonabel");
        Row("no program", "Morvane", "");
    }

    void inactiveStore() {
        QFETCH(QString, society);
        QFETCH(QString, program);

        SetLanguage(0, false, 0); // an English run says so in English
        TRecordingReporter reporter;
        TRecordingRegFile store("RegFile1", society, program, &reporter);
        QVERIFY(!store.Active());
        QCOMPARE(reporter.Infos,
                 QStringList{"RegFile1\r\nProgramming error:\r\nKeys not defined\r\n"
                             "The registry will not be used,\r\n"
                             "and the events will be ignored."});

        store.WriteInteger("", "BitRateIndex", 3);
        store.WriteString("Sec", "Name", "value");
        QCOMPARE(store.ReadInteger("", "BitRateIndex", 6), 6);
        QCOMPARE(store.ReadString("Sec", "Name", "def"), QString("def"));
        QVERIFY(!store.Flush());

        // Loading gives the defaults, saving writes nothing anywhere.
        TSettings s;
        s.BitRateIndex = 2;
        s.DirFlags = 0;
        LoadSettings(store, s, Env());
        QCOMPARE(Fields(s), Fields(Loaded({})));

        s.Flags = DefaultFlags; // confirmation off: everything would be written
        QCOMPARE(SaveSettings(store, s, {}, reporter, Env()), TSaveResult::Saved);
        QVERIFY(QDir(FNativeDir.path()).isEmpty());
    }

    void nativeStoreUsesCompanyAndProgram() {
        TRecordingReporter reporter;
        {
            TRegFile store("RegFile1", "Morvane", "Sonabel", &reporter);
            QVERIFY(store.Active());
            store.WriteInteger("", "Flags", qint32(DefaultFlags));
            QVERIFY(store.Flush());
        }
        QVERIFY(reporter.Infos.isEmpty());
        const QString file = FNativeDir.filePath("Morvane/Sonabel.conf");
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));
        QCOMPARE(QSettings(file, QSettings::IniFormat).value("Flags"), QVariant("18903042"));
        QVERIFY(QFile::remove(file));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
