// The main window: start-up and the encoder check, adding by dialog, drop and
// command line, removing, runs from the start button with the real encoder,
// stopping and closing, placement and resizing, and its picture.

#include "GuiCheck.h"
#include "TestTable.h"
#include "TestUtil.h"
#include "batch/Batch.h"
#include "formats/MP3Stream.h"
#include "gui/DragListView.h"
#include "gui/Led.h"
#include "gui/LogView.h"
#include "gui/MainDialogs.h"
#include "gui/RunNotifier.h"
#include "gui/SonabelF.h"
#include "gui/SonabelOptionsF.h"
#include "gui/SonabelShutDownF.h"
#include "gui/SourceAdder.h"
#include "gui/SourceListPanel.h"
#include "gui/StatusPanels.h"
#include "messages/RunState.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"
#include "sources/SourceList.h"
#include "update/UpdateCheck.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace TestUtil;
using TestTable::Columns;
using TestTable::Row;

namespace {

class TFakePowerOff : public TPowerOff {
public:
    TPowerOffResult PowerOff() override { return {false, 1, QStringLiteral("not here")}; }
};

// The window's questions and dialogs, answered by the test.
class TFakePrompts : public TWindowPrompts {
public:
    std::function<TModalResult(const QString&, TDialogType, unsigned)> OnAsk;
    std::function<QStringList(const QString&)> OnChooseFiles;
    std::function<QString(const QString&)> OnChooseEncoder;
    std::function<bool(QString&)> OnChooseScanFolder;
    std::function<bool()> OnChooseScanFilter;
    std::function<bool()> OnExecuteOptions = [] { return false; };

    TModalResult Ask(const QString& text, TDialogType type, unsigned buttons) override {
        return OnAsk(text, type, buttons);
    }
    QStringList ChooseFiles(const QString& start) override { return OnChooseFiles(start); }
    QString ChooseEncoder(const QString& current) override { return OnChooseEncoder(current); }
    bool ChooseScanFolder(QString& folder) override { return OnChooseScanFolder(folder); }
    bool ChooseScanFilter() override { return OnChooseScanFilter(); }
    bool ExecuteOptions() override { return OnExecuteOptions(); }
    void ShowProperties(const QString&) override {}
    void OpenUrl(const QUrl&) override {}
};

// The desktop is never told anything from a test; what would go is kept.
class TFakeNotifier : public TRunNotifier {
public:
    void SetProgress(double, bool visible) override { Progress << visible; }
    void Notify(const QString&, const QString&, bool) override {}
    QList<bool> Progress;
};

// Widgets are found by their names, as a user finds them by their captions.
template <class W> W* Child(QWidget* form, const char* name) {
    W* widget = form->findChild<W*>(QLatin1String(name));
    if (!widget)
        qFatal("no %s", name);
    return widget;
}

} // namespace

Q_DECLARE_METATYPE(TModalResult)

class TestMainForm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        Owners.emplace();
        QStandardPaths::setTestModeEnabled(true);
        Lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
        QVERIFY(!Lame.isEmpty());
        QVERIFY(QDir(Dir.path()).mkpath("in/a/sub") && QDir(Dir.path()).mkpath("in/b"));
        Wav = Make("in/tone.wav", 2.0);
        Mp3 = Dir.filePath("in/song.mp3");
        QVERIFY(TestUtil::Lame(Wav, Mp3, {"-b", "128"}));
        Long1 = Make("in/a/long1.wav", 40.0);
        Long2 = Make("in/b/long2.wav", 40.0);
        QVERIFY(WriteFile(Dir.filePath("in/a/sub/notes.txt"), "not audio"));
        QVERIFY(QDir(Dir.path()).mkpath("nest/inner") &&
                QFile::copy(Wav, Dir.filePath("nest/inner/t.wav")));
    }

    void init() {
        Owners.emplace();
        SetLanguage(0, false);
        Ini = Dir.filePath("store.ini");
        QFile::remove(Ini);
        Answers.clear();
        Questions = Infos = Chosen = QStringList();
        FilterCalls = 0;
    }

    void cleanup() {
        for (const QString& output : Outputs())
            QFile::remove(output);
    }

    // Where the encoder comes from: the stored path, the program folder, the PATH,
    // or the user (a wrong name is refused, the name test ignores case).
    void startUp_data() {
        // lamePath: "" for the real encoder's path
        using A = QList<TModalResult>;
        Columns<QString, bool, bool, A, QStringList, bool, QString, int>(
            {"stored", "inAppDir", "inPath", "answers", "chosen", "created", "lamePath", "infos"});
        const auto yes = TModalResult::Yes;
        const QStringList none, picks{"pick/notlame", "pick/LAME"};
        Row("stored", "<lame>", true, true, A{}, none, true, "", 0);
        Row("program folder first", "/gone/lame", true, true, A{}, none, true, "app/lame", 0);
        Row("PATH", "/gone/lame", false, true, A{}, none, true, "", 0);
        Row("refused", "", false, false, A{TModalResult::No}, none, false, "", 0);
        Row("dialog cancelled", "", false, false, A{yes}, none, false, "", 0);
        Row("wrong name, then LAME", "", false, false, A{yes, yes}, picks, true, "pick/LAME", 1);
    }

    void startUp() {
        QFETCH(QString, stored);
        QFETCH(bool, inAppDir);
        QFETCH(bool, inPath);
        QFETCH(QList<TModalResult>, answers);
        QFETCH(QStringList, chosen);
        QFETCH(QString, lamePath);
        for (const char* sub : {"app", "pick"})
            QVERIFY(QDir(Dir.filePath(sub)).removeRecursively() && QDir(Dir.path()).mkpath(sub));
        if (inAppDir)
            QVERIFY(QFile::link(Lame, Dir.filePath("app/lame")));
        for (const char* name : {"pick/notlame", "pick/LAME"})
            QVERIFY(QFile::link(Lame, Dir.filePath(name)));
        for (QString& c : chosen)
            c = Dir.filePath(c);
        Answers = answers;
        Chosen = chosen;
        const QByteArray path = qgetenv("PATH");
        if (!inPath)
            qputenv("PATH", Dir.filePath("pick").toLocal8Bit() + "/none");
        auto form = NewForm(stored == "<lame>" ? Lame : stored);
        qputenv("PATH", path);

        QTEST(bool(form), "created");
        QCOMPARE(Questions.size(), answers.size());
        QTEST(int(Infos.size()), "infos");
        if (!form) {
            // Giving up saves nothing: the store is as it was written.
            QVERIFY(!TestUtil::ReadFile(Ini).contains("Width"));
            return;
        }
        QCOMPARE(QFileInfo(Settings().LamePath).absoluteFilePath(),
                 lamePath.isEmpty() ? QFileInfo(Lame).absoluteFilePath() : Dir.filePath(lamePath));
        // The banner is the log's first line; the caption carries the version.
        QTRY_VERIFY2_WITH_TIMEOUT(form->Log().toPlainText().startsWith("LAME"),
                                  qPrintable(form->Log().toPlainText()), 10000);
        // The caption and the About page name the same version.
        form->ApplyLanguage();
        const QString about = Child<QLabel>(form->Dialogs()->OptionForm, "lblVersion")->text();
        QVERIFY2(about.endsWith(' ' + form->windowTitle().section(' ', 1)), qPrintable(about));
        QCOMPARE(form->Status().Text(0), "Ready");
    }

    // Dialogs: duplicates are skipped silently, anything unusable is named once. A
    // folder added without its sub-folders, whose files all lie below, offers them.
    void addByDialog_data() {
        Columns<bool, QStringList, TModalResult, int, int, QString>(
            {"folder", "chosen", "answer", "rows", "infos", "lastDir"});
        const auto no = TModalResult::No, yes = TModalResult::Yes;
        const QStringList files{"in/tone.wav", "in/song.mp3", "in/a/sub/notes.txt", "in/tone.wav"};
        Row("files", false, files, no, 2, 1, "in/a/sub");
        Row("files cancelled", false, QStringList{}, no, 0, 0, "");
        Row("folder, recursive", true, QStringList{"in/a"}, no, 1, 0, "in/a");
        Row("folder cancelled", true, QStringList{}, no, 0, 0, "");
        Row("files below, added", true, QStringList{"nest"}, yes, 1, 0, "");
        Row("files below, declined", true, QStringList{"nest"}, no, 0, 0, "");
    }

    void addByDialog() {
        QFETCH(bool, folder);
        QFETCH(QStringList, chosen);
        QFETCH(QString, lastDir);
        auto form = NewForm(Lame);
        const bool nest = chosen.value(0) == "nest";
        if (!nest)
            Preferences().Edit()->DirFlags |= dfRecurse;
        for (QString& c : chosen)
            c = Dir.filePath(c);
        Chosen = chosen;
        QFETCH(TModalResult, answer);
        Answers = {answer};
        Button(folder ? "btnAddDir" : "btnAddFiles")->click();
        QCOMPARE(Questions,
                 nest ? QStringList{MsgFmt(msgFolderFilesBelow, {chosen[0]})} : QStringList());
        QTEST(form->List().Count(), "rows");
        QTEST(int(Infos.size()), "infos");
        QCOMPARE(RunState, rsIdle);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        if (!lastDir.isEmpty())
            QCOMPARE(Settings().LastDir, Dir.filePath(lastDir));
        QVERIFY(Button("btnAddFiles")->isEnabled());
    }

    // A drop (or the command line) of two folders and a file: the folder filter is
    // asked once, before the first folder; cancelling it keeps only the file.
    void drop_data() {
        Columns<bool, bool, int>({"commandLine", "filter", "rows"});
        for (const bool commandLine : {false, true})
            for (const bool filter : {false, true})
                QTest::addRow("%s, filter %s", commandLine ? "command line" : "drop",
                              filter ? "accepted" : "cancelled")
                    << commandLine << filter << (filter ? 3 : 1);
    }

    void drop() {
        QFETCH(bool, commandLine);
        QFETCH(bool, filter);
        auto form = NewForm(Lame);
        Preferences().Edit()->DirFlags |= dfRecurse;
        FilterAnswer = filter;
        const QStringList paths = {Dir.filePath("in/a"), Dir.filePath("in/song.mp3"),
                                   Dir.filePath("in/b")};
        if (commandLine) {
            // Relative names as a shell passes them.
            const QString before = QDir::currentPath();
            QDir::setCurrent(Dir.path());
            form->AddDroppedPaths({"in/a", "in/song.mp3", "in/b"});
            QDir::setCurrent(before);
        } else {
            // A drop from a file manager: local files, with a web address among them.
            QMimeData data;
            QList<QUrl> urls{QUrl("https://example.com/x.mp3")};
            for (const QString& p : paths)
                urls << QUrl::fromLocalFile(p);
            data.setUrls(urls);
            const QStringList dropped = TDragListView::DroppedPaths(&data);
            QCOMPARE(dropped, paths);
            form->ListPanel().View()->DropPaths(dropped);
        }
        QCOMPARE(FilterCalls, 1);
        QTEST(form->List().Count(), "rows");
        if (!filter)
            QCOMPARE(form->List().Row(0).Path, paths[1]);
        QCOMPARE(RunState, rsIdle);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // A long drop paints meanwhile with the controls disabled; a close asked then
    // ends the drop first and comes back afterwards.
    void longDropLetsEventsRun() {
        auto form = Shown();
        form->Adder().DropSliceMs = 0;
        QStringList paths;
        for (const char* name : {"in/long1.mp3", "in/long2.mp3", "in/long3.mp3"})
            QVERIFY(QFile::copy(Mp3, (paths << Dir.filePath(name)).last()));
        bool enabledMeanwhile = true;
        QTimer::singleShot(0, form.get(), [&] {
            enabledMeanwhile = Button("btnAddFiles")->isEnabled();
            form->close();
        });
        form->ListPanel().View()->DropPaths(paths);
        QVERIFY(!enabledMeanwhile);
        QCOMPARE(form->List().Count(), 1);
        QVERIFY(Button("btnAddFiles")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!form->isVisible(), 5000);
    }

    // Paths named on the command line come after the first-run question, so that
    // the folder filter never opens on top of it.
    void startPathsAfterFirstQuestion() {
        QVERIFY(WriteFile(Ini, "[General]\nFlags=" + QByteArray::number(DefaultFlags) +
                                   "\nLamePath=" + Lame.toUtf8() + "\n"));
        auto form = NewForm(Lame);
        int rowsWhenAsked = -1;
        const auto answer = Prompts->OnAsk;
        Prompts->OnAsk = [&](const QString& text, TDialogType type, unsigned buttons) {
            rowsWhenAsked = form->List().Count();
            return answer(text, type, buttons);
        };
        form->StartPaths = {Mp3};
        form->show();
        QTRY_COMPARE_WITH_TIMEOUT(form->List().Count(), 1, 5000);
        // A build without update host asks nothing about updates.
        const bool asked = UpdateCheckAvailable();
        QCOMPARE(Questions, asked ? QStringList{Msg(msgAutoUpdateQuestion)} : QStringList());
        QCOMPARE(rowsWhenAsked, asked ? 0 : -1);
    }

    // Rows whose output folder cannot be written are drawn in italics.
    void italicRows() {
        auto form = NewForm(Lame);
        form->AddDroppedPaths({Wav});
        auto* delegate = static_cast<TItalicRowDelegate*>(form->ListPanel().View()->itemDelegate());
        const QModelIndex cell = form->List().index(0, 2);
        for (const bool unwritable : {false, true}) {
            Preferences().Edit()->DestDir = "/proc/sonabel/"; // not even root writes there
            Preferences().Edit()->Flags =
                unwritable ? Settings().Flags | flDestFolder : DefaultFlags;
            form->SomethingChange();
            QStyleOptionViewItem option;
            delegate->initStyleOption(&option, cell);
            QCOMPARE(option.font.italic(), unwritable);
            // An italic row says why.
            QCOMPARE(cell.data(Qt::ToolTipRole).toString().contains("/proc/sonabel"), unwritable);
        }
    }

    // Every command has its key; each row names what the key must reach.
    void shortcuts_data() {
        Columns<QKeySequence, QString>({"key", "reached"});
        QTest::newRow("Ctrl+O") << QKeySequence("Ctrl+O") << "files";
        QTest::newRow("Ctrl+D") << QKeySequence("Ctrl+D") << "folder";
        QTest::newRow("Ctrl+,") << QKeySequence("Ctrl+,") << "options";
        QTest::newRow("Ctrl+Return") << QKeySequence("Ctrl+Return") << Msg(msgListEmpty);
        QTest::newRow("Del") << QKeySequence(QKeySequence::Delete) << Msg(msgNothingSelected);
        QTest::newRow("F1") << QKeySequence("F1") << Msg(msgNoFileForProperties);
    }

    void shortcuts() {
        QFETCH(QKeySequence, key);
        auto form = NewForm(Lame);
        NoteDialogs();
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTest::keySequence(form.get(), key);
        QTEST(Infos.value(0), "reached");
        QCOMPARE(Infos.size(), 1);
    }

    // Removing leaves the row that moved into the last deleted place selected,
    // or nothing when it was the end; nothing selected is a message.
    void removeAndClear_data() {
        Columns<QList<int>, int, int, int>({"selected", "rows", "current", "infos"});
        QTest::newRow("middle") << QList<int>{1} << 2 << 1 << 0;
        QTest::newRow("first and middle") << QList<int>{0, 1} << 1 << 0 << 0;
        QTest::newRow("last") << QList<int>{2} << 2 << -1 << 0;
        QTest::newRow("none") << QList<int>{} << 3 << -1 << 1;
    }

    void removeAndClear() {
        QFETCH(QList<int>, selected);
        auto form = NewForm(Lame);
        form->AddDroppedPaths({Wav, Mp3, Long1});
        QCOMPARE(form->List().Count(), 3);
        form->ListPanel().View()->clearSelection();
        for (const int row : selected)
            form->ListPanel().View()->selectionModel()->select(form->List().index(row, 0),
                                                               QItemSelectionModel::Select |
                                                                   QItemSelectionModel::Rows);
        Button("btnRemoveFiles")->click();
        QTEST(form->List().Count(), "rows");
        QTEST(int(Infos.size()), "infos");
        const QModelIndexList now = form->ListPanel().View()->selectionModel()->selectedRows();
        QTEST(now.isEmpty() ? -1 : now.first().row(), "current");
        Button("btnClearList")->click();
        QCOMPARE(form->List().Count(), 0);
        form->PropertiesClick();
        QCOMPARE(Infos.last(), Msg(msgNoFileForProperties));
        QCOMPARE(form->Status().Text(1), "Sources: 0 KB");
    }

    // A whole run from the start button: outputs at the target rate, the window
    // back to idle; then its picture in both languages, and a second run.
    void runInLanguages() {
        auto form = Shown();
        form->AddDroppedPaths({Wav, Mp3});
        Child<QComboBox>(form.get(), "cbBitrate")->setCurrentIndex(4); // 64 kbit/s
        form->SomethingChange();
        Button("cbShutDown")->click();
        QSignalSpy finished(&form->Batch(), &TBatch::runFinished);
        Button("btnGO")->click();
        QCOMPARE(Button("btnGO")->text(), Msg(msgGoStop));
        QVERIFY(!Button("btnAddFiles")->isEnabled() && Button("cbShutDown")->isEnabled());
        QVERIFY(finished.wait(60000));
        // Each row says what became of it; the summary line and the folder follow.
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(GetMP3Info(form->List().Row(row).OutputPath).BitRate, 64);
            QCOMPARE(int(form->List().RowStatus(row).State), int(TRowState::Done));
        }
        QVERIFY(Button("btnAddFiles")->isEnabled() && !Child<TLED>(form.get(), "Led")->Lit());
        QCOMPARE(Button("btnGO")->text(), Msg(msgGoStart));
        const QString log = form->Log().toPlainText();
        QVERIFY2(log.contains("Finished.") && log.contains("2 done, 0 skipped, 0 failed in "),
                 qPrintable(log));
        QCOMPARE(form->Status().OutputFolder(), QFileInfo(Wav).absolutePath());
        QCOMPARE((QList<bool>{Notifier->Progress.first(), Notifier->Progress.last()}),
                 (QList<bool>{true, false}));
        // The box was ticked: the countdown follows; a refused power-off is
        // reported and leaves the window idle.
        QCOMPARE(RunState, rsPowerOff);
        QVERIFY(form->Dialogs()->ShutDownForm->isVisible());
        form->Dialogs()->ShutDownForm->btnOK->click();
        QCOMPARE(Infos, QStringList{MsgFmt(msgPowerOffFailed, {1, "not here"})});
        QCOMPARE(form->Status().Text(0), "Ready");
        QVERIFY(Questions.isEmpty());

        form->ListPanel().View()->selectRow(1);
        GuiCheck::CheckInLanguages(form.get(), "mainform", [&] { form->ApplyLanguage(); });
        // The language switch keeps the bit rate.
        QCOMPARE(Child<QComboBox>(form.get(), "cbBitrate")->currentIndex(), 4);
        // Done rows leave; the empty list tells where files can go.
        form->findChild<QAction*>("itemRemoveFinished")->trigger();
        QCOMPARE(form->List().Count(), 0);
        GuiCheck::CheckInLanguages(form.get(), "mainform_empty", [&] { form->ApplyLanguage(); });

        // A cancelled power-off unticks the box, so the next run does not switch
        // off; clearing the list clears what the run left on the bars.
        cleanup();
        QVERIFY(Button("cbShutDown")->isChecked());
        form->AddDroppedPaths({Wav});
        Button("btnGO")->click();
        QVERIFY(finished.wait(60000));
        QVERIFY(form->Dialogs()->ShutDownForm->isVisible());
        form->Dialogs()->ShutDownForm->btnCancel->click();
        QVERIFY(!Button("cbShutDown")->isChecked() && !(Settings().Flags & flShutDown));
        QCOMPARE(RunState, rsIdle);
        auto* bar = Child<QProgressBar>(form.get(), "progTotal");
        QVERIFY(bar->value() > 0);
        Button("btnClearList")->click();
        QCOMPARE(bar->value(), 0);
        QCOMPARE(Child<QLabel>(form.get(), "lblTime")->text(), Msg(msgTimePlaceholder));
    }

    // Closing while a scan lets events run stops the scan; the window closes
    // once it has ended, with the list intact until then.
    void closeDuringScan() {
        auto form = Shown();
        Preferences().Edit()->DirFlags |= dfRecurse;
        Chosen = {Dir.filePath("in")};
        bool closedInScan = false;
        Answers = {TModalResult::No};
        QTimer::singleShot(0, form.get(), [&] {
            // The start button is the scan's stop button: No lets the scan go on.
            Button("btnGO")->click();
            closedInScan = RunState == rsFolderScan && !form->close() && form->isVisible();
            QVERIFY(!Button("btnAddFiles")->isEnabled() && Button("btnGO")->isEnabled());
        });
        Button("btnAddDir")->click();
        QVERIFY(closedInScan);
        QCOMPARE(Questions, QStringList{Msg(msgStopScanQuestion)});
        QVERIFY(form->List().Count() < 4);
        QTRY_VERIFY(!form->isVisible());
    }

    // Stopping by the button or by closing: the question first, the language
    // switched meanwhile shows at once, then no output is left behind.
    void stopRun_data() {
        Columns<bool, TModalResult>({"byClose", "answer"});
        for (const bool byClose : {false, true})
            for (const TModalResult answer : {TModalResult::No, TModalResult::Yes})
                QTest::addRow("%s, %s", byClose ? "close" : "button",
                              answer == TModalResult::Yes ? "yes" : "no")
                    << byClose << answer;
    }

    void stopRun() {
        QFETCH(bool, byClose);
        QFETCH(TModalResult, answer);
        auto form = Shown();
        form->AddDroppedPaths({Long1, Long2});
        QSignalSpy finished(&form->Batch(), &TBatch::runFinished);
        Button("btnGO")->click();
        QCOMPARE(RunState, rsBatch);

        SetLanguage(1, true);
        QCOMPARE(form->Status().Text(0), StateTexts[rsBatch]);
        QVERIFY(StateTexts[rsBatch] != "Encoding…");
        // Qt's own texts follow: the message boxes' standard buttons.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Oui"));
        QTest::qWait(300); // the new texts laid out, the bars measured
        QVERIFY(!GuiCheck::Grab(form.get(), "mainform_running_FRN").isEmpty());
        QCOMPARE(Button("btnGO")->text(), Msg(msgGoStop));

        Answers = {answer};
        if (byClose)
            form->close();
        else
            Button("btnGO")->click();
        QCOMPARE(Questions.size(), 1);
        QVERIFY(form->isVisible());
        QVERIFY(finished.wait(120000));
        const bool stopped = answer == TModalResult::Yes;
        QCOMPARE(form->Log().toPlainText().contains(Msg(msgRunStopped)), stopped);
        QCOMPARE(Outputs().size(), stopped ? 0 : 2);
        if (byClose && stopped) {
            QTRY_VERIFY(!form->isVisible());
            QVERIFY(TestUtil::ReadFile(Ini).contains("Width"));
        }
        SetLanguage(0, false);
    }

    // The placement is saved on close and restored on the next first show; a
    // wider window widens the file column and status panel 0 only.
    void placementAndResize() {
        auto form = Shown();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->setGeometry(30, 40, 700, 480);
        QVERIFY(form->close());
        auto again = Shown();
        QCOMPARE(again->geometry(), QRect(30, 40, 700, 480));
        // Maximised stays maximised.
        again->showMaximized();
        QTRY_VERIFY(again->isMaximized());
        QVERIFY(again->close());
        auto third = Shown();
        QTRY_VERIFY(third->isMaximized());
        QVERIFY(third->close());
        QFile::remove(Ini);
        again = Shown();
        again->setGeometry(30, 40, 700, 480);

        QHeaderView* header = again->ListPanel().View()->horizontalHeader();
        // Column 0, panel 0, the list's width, then the columns and panels that stay.
        const auto widths = [&] {
            QList<int> w{header->sectionSize(0), again->Status().PanelWidth(0),
                         again->ListPanel().View()->viewport()->width()};
            for (int i = 1; i < 4; ++i)
                w << header->sectionSize(i) << again->Status().PanelWidth(i);
            return w;
        };
        const QList<int> before = widths();
        again->resize(800, 480);
        QCoreApplication::processEvents();
        const QList<int> after = widths();
        QCOMPARE(after[0] - before[0], after[2] - before[2]);
        QCOMPARE(after[1] - before[1], 100);
        QCOMPARE(after.mid(3), before.mid(3));
    }

    // Tab walks every control in reading order and leaves the list at once;
    // Alt and a caption's underlined letter press its button.
    void keyboard() {
        auto form = NewForm(Lame);
        NoteDialogs();
        form->AddDroppedPaths({Wav, Mp3});
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->ListPanel().View()->setFocus();
        QStringList reached;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            reached << QApplication::focusWidget()->objectName();
        }
        const QStringList expected = {"btnAddFiles", "btnAddDir", "btnRemoveFiles", "btnClearList",
                                      "memoInfo",    "cbBitrate", "rbCBR",          "cbShutDown",
                                      "btnOptions",  "btnGO",     "ListView",       "btnAddFiles"};
        QCOMPARE(reached, expected);
        // Each button has its own mnemonic, in both languages (Stop shares the
        // place of Start, so both are checked against the rest).
        for (const int language : {0, 1}) {
            SetLanguage(language, true);
            QSet<QKeySequence> keys;
            for (const char* name : {"btnAddFiles", "btnAddDir", "btnRemoveFiles", "btnClearList",
                                     "btnOptions", "btnGO", "cbShutDown"}) {
                const QKeySequence key = QKeySequence::mnemonic(Button(name)->text());
                QVERIFY2(!key.isEmpty() && !keys.contains(key), name);
                keys << key;
            }
            QVERIFY(!keys.contains(QKeySequence::mnemonic(Msg(msgGoStop))));
        }
        SetLanguage(0, true);
    }

    // A header click sorts; bit rate and sizes as numbers, which text would not.
    void headerSortsByNumbers() {
        const QString low = Dir.filePath("in/low32.mp3");
        QVERIFY(QFileInfo::exists(low) || TestUtil::Lame(Wav, low, {"-b", "32"}));
        auto form = Shown();
        form->AddDroppedPaths({Long1, Mp3, low, Wav});
        QHeaderView* header = form->ListPanel().View()->horizontalHeader();
        const auto click = [&](int section) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 5, 5));
        };
        const auto paths = [&] {
            QStringList list;
            for (int row = 0; row < form->List().Count(); ++row)
                list << QFileInfo(form->List().Row(row).Path).fileName();
            return list;
        };
        click(1);
        QCOMPARE(paths().mid(0, 2), (QStringList{"low32.mp3", "song.mp3"}));
        click(2);
        QCOMPARE(header->sortIndicatorSection(), 2);
        QCOMPARE(paths().first(), "low32.mp3");
        QCOMPARE(paths().last(), "long1.wav");
        click(2);
        QCOMPARE(paths().first(), "long1.wav");
        QCOMPARE(form->List().index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight,
                 int(Qt::AlignRight));
    }

    // The refused files of one drop are named in one box.
    void badFilesOfADropInOneBox() {
        auto form = NewForm(Lame);
        const QString other = Dir.filePath("in/b/readme.txt");
        QVERIFY(WriteFile(other, "text"));
        form->AddDroppedPaths({Dir.filePath("in/a/sub/notes.txt"), Wav, other});
        QCOMPARE(form->List().Count(), 1);
        QCOMPARE(Infos.size(), 1);
        QVERIFY(Infos[0].startsWith(Msg(msgBadFilesSummary)));
        QVERIFY(Infos[0].contains("notes.txt") && Infos[0].contains("readme.txt"));
    }

private:
    // A window over a fresh INI store; its boxes are answered from Answers.
    std::unique_ptr<TSonabelMainForm> NewForm(const QString& lamePath) {
        // Flags as stored after the first-run question (no automatic update check).
        const QString flags = QString::number(DefaultFlags | flUpdateAsked);
        if (!QFileInfo::exists(Ini))
            WriteFile(Ini,
                      ("[General]\nFlags=" + flags + "\nLamePath=" + lamePath + "\n").toUtf8());
        auto prompts = std::make_unique<TFakePrompts>();
        Prompts = prompts.get();
        auto notifier = std::make_unique<TFakeNotifier>();
        Notifier = notifier.get();
        auto form = std::make_unique<TSonabelMainForm>(std::make_unique<TRegFile>(Ini),
                                                       std::make_unique<TFakePowerOff>(),
                                                       std::move(prompts), std::move(notifier));
        form->AppDir = Dir.filePath("app/");
        Prompts->OnAsk = [this](const QString& text, TDialogType, unsigned buttons) {
            if (buttons == mbOK) {
                Infos << text;
                return TModalResult::OK;
            }
            Questions << text;
            return Answers.isEmpty() ? TModalResult::No : Answers.takeFirst();
        };
        Prompts->OnChooseEncoder = [this](const QString&) {
            return Chosen.isEmpty() ? QString() : Chosen.takeFirst();
        };
        Prompts->OnChooseFiles = [this](const QString&) { return Chosen; };
        Prompts->OnChooseScanFolder = [this](QString& folder) {
            return !(folder = Chosen.value(0)).isEmpty();
        };
        Prompts->OnChooseScanFilter = [this] { return ++FilterCalls, FilterAnswer; };
        if (!form->FormCreate())
            return nullptr;
        form->CreateForms();
        Last = form.get();
        return form;
    }

    QString Make(const QString& name, double seconds) {
        const QString path = Dir.filePath(name);
        return WriteFile(path, PcmWav(44100, 2, seconds)) ? path : QString();
    }

    QStringList Outputs() const {
        QStringList outputs;
        QDirIterator it(Dir.filePath("in"), QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.contains("kbps") || path.endsWith(".part"))
                outputs << path;
        }
        return outputs;
    }
    // A button (or box) of the window made last, by its name.
    QAbstractButton* Button(const char* name) const { return Child<QAbstractButton>(Last, name); }
    std::unique_ptr<TSonabelMainForm> Shown() {
        auto form = NewForm(Lame);
        form->show();
        return form;
    }
    // The file, folder and options dialogs only note that they were opened.
    void NoteDialogs() {
        Prompts->OnChooseFiles = [this](const QString&) { return Infos << "files", QStringList(); };
        Prompts->OnChooseScanFolder = [this](QString&) { return Infos << "folder", false; };
        Prompts->OnExecuteOptions = [this] { return Infos << "options", false; };
    }

    QTemporaryDir Dir;
    TFakePrompts* Prompts = nullptr;
    TSonabelMainForm* Last = nullptr;
    TFakeNotifier* Notifier = nullptr;
    QString Ini;
    QString Lame;
    QString Wav, Mp3, Long1, Long2;
    QList<TModalResult> Answers;
    QStringList Questions, Infos, Chosen;
    int FilterCalls = 0;
    bool FilterAnswer = false;
    std::optional<TOwners> Owners;
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
