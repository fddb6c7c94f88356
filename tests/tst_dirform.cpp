// The folder window in its three uses, driven as a user would while it is
// open modally, over a temporary home folder.

#include "GuiCheck.h"
#include "RecordingReporter.h"
#include "TestTable.h"
#include "TestUtil.h"
#include "gui/NumEditLabels.h"
#include "gui/SonabelDirF.h"
#include "settings/Settings.h"

#include <QTemporaryDir>
#include <QtTest>
#include <QtWidgets>

using TestTable::Columns;

namespace {

// One data row, one argument per column; text literals go in as QString.
template <typename... T> void Row(const char* name, T... values) {
    (QTest::newRow(name) << ... << values);
}

// Opens the window in a mode ("select", "scan", "filter"), runs whileOpen
// once it is ready and closes it with Cancel if whileOpen left it open.
bool Open(TSonabelDirForm& form, const QString& mode, QString& folder,
          const std::function<void()>& whileOpen) {
    QObject::connect(
        &form, &TSonabelDirForm::OnReady, &form,
        [&] {
            whileOpen();
            if (form.isVisible())
                form.reject();
        },
        Qt::SingleShotConnection);
    // Never wait for ever on a window that does not get ready.
    QTimer::singleShot(10000, &form, [&] { form.reject(); });
    if (mode == "select")
        return form.SelectFolder(folder);
    if (mode == "scan")
        return form.ChooseScanFolder(folder);
    return form.ChooseScanFilter();
}

// "MP3" clicks cbMP3, "brm=3" picks a bit-rate item, "szm=7" types a size.
void Edit(TSonabelDirForm& form, const QString& edits) {
    for (const QString& edit : edits.split(' ', Qt::SkipEmptyParts)) {
        if (edit.startsWith("brm="))
            form.comboBRM->setCurrentIndex(edit.mid(4).toInt());
        else if (edit.startsWith("szm="))
            form.editSZM->setText(edit.mid(4));
        else
            form.findChild<QCheckBox*>("cb" + edit)->click();
    }
}

// The named widgets that are visible and enabled, joined by spaces.
QString Usable(QWidget* form, const QStringList& names) {
    QStringList visible;
    for (const QString& name : names)
        if (QWidget* w = form->findChild<QWidget*>(name); w->isVisible() && w->isEnabled())
            visible << name;
    return visible.join(' ');
}

} // namespace

class TestDirForm : public QObject {
    Q_OBJECT
private:
    QTemporaryDir Home;
    TRecordingReporter Reporter;
    std::optional<TOwners> Owners;
private Q_SLOTS:

    void initTestCase() {
        QVERIFY(Home.isValid());
        qputenv("HOME", QFile::encodeName(Home.path()));
        for (const char* folder : {"Music/Small", "Music2", "Other"})
            QVERIFY(QDir(Home.path()).mkpath(folder));
    }

    void init() {
        Owners.emplace();
        SetLanguage(0, false);
        Reporter.Clear();
    }

    void modes_data() {
        // enabled: the MP3 conditions usable after the edits
        // close: a button, or a double click on a widget
        Columns<QString, uint, int, QString, QString, QString, bool, uint, int>(
            {"mode", "dirFlags", "sizeMin", "edits", "enabled", "close", "accepted", "newDirFlags",
             "newSizeMin"});
        const QString mp3 = "cbCBR cbVBR cbBRM cbSZM", all = mp3 + " comboBRM editSZM";
        Row("select: no setting changes", "select", 0x00EF0000u, 5, "", "", "btnOK", true,
            0x00EF0000u, 5);
        Row("scan: Cancel keeps everything", "scan", 0x30EF0008u, 100, "MP3 WAV brm=3 szm=7", "",
            "btnCancel", false, 0x30EF0008u, 100);
        // Bits 8-15, 24-27 and 30 carry no option and dfUpgraded none of the window's.
        Row("scan: OK stores the edits, keeps other bits", "scan", 0x4F74A105u, 9,
            "szm=2147483647 VBR BRM SZM MP1 Rec brm=13", mp3 + " comboBRM", "btnOK", true,
            0x7FE5A10Du, 2147483647);
        Row("scan: double click on the surface is OK", "scan", 0x00EF0000u, 0, "Rec", mp3,
            "surface", true, 0x10EF0000u, 0);
        Row("filter: double click on a control is not OK", "filter", 0x00EF0000u, 0, "SZM",
            mp3 + " editSZM", "gbParams", false, 0x00EF0000u, 0);
        Row("filter: MP3 clicked on enables the set conditions", "filter", dfBitRateMin | dfSizeMin,
            0, "MP3", all, "btnOK", true, dfBitRateMin | dfSizeMin | dfMP3, 0);
    }

    void modes() {
        QFETCH(QString, mode);
        QFETCH(uint, dirFlags);
        QFETCH(int, sizeMin);
        QFETCH(QString, close);
        Preferences().Edit()->DirFlags = dirFlags;
        Preferences().Edit()->DirSizeMin = sizeMin;
        Preferences().Edit()->DestDir = Home.filePath("Other");
        TSettings expected = Settings();
        TSonabelDirForm form(&Reporter);
        form.resize(520, 480);
        QString folder = Home.filePath("Music");
        const bool accepted = Open(form, mode, folder, [&] {
            const QMap<QString, QString> shown{{"select", "panTreeView btnNewFolder"},
                                               {"scan", "panTreeView gbParams"},
                                               {"filter", "panMessage gbParams"}};
            QCOMPARE(Usable(&form, {"panTreeView", "panMessage", "gbParams", "btnNewFolder"}),
                     shown[mode]);
            QCOMPARE(form.windowTitle(), mode == "filter" ? "Folder filter" : "Choose a folder");
            if (mode != "select") {
                for (QCheckBox* box : form.FilterBoxes)
                    QVERIFY2(box->isChecked() == bool(dirFlags & box->property("Tag").toUInt()),
                             qPrintable(box->objectName()));
                QCOMPARE(form.comboBRM->currentIndex(), int(dirFlags & dfMinBitRateIndex));
                QCOMPARE(form.editSZM->Value(), sizeMin);
            }
            QCOMPARE(form.size(), mode == "filter" ? QSize(400, 340) : QSize(520, 480));
            if (mode != "filter") {
                QCOMPARE(form.panComboBox->text(), Home.filePath("Music"));
                TShellTreeView* tree = form.ShellTreeView;
                QTRY_VERIFY(
                    tree->viewport()->rect().contains(tree->visualRect(tree->currentIndex())));
            }
            QFETCH(QString, edits);
            Edit(form, edits);
            QTEST(Usable(&form, {"cbCBR", "cbVBR", "cbBRM", "cbSZM", "comboBRM", "editSZM"}),
                  "enabled");
            if (auto* button = form.findChild<QPushButton*>(close)) {
                button->click();
                return;
            }
            QWidget* target = close == "surface" ? &form : form.findChild<QWidget*>(close);
            QVERIFY(close != "surface" || !form.childAt(2, 2));
            QTest::mouseDClick(target, Qt::LeftButton, {}, QPoint(2, 2));
        });
        if (QTest::currentTestFailed())
            return;
        QTEST(accepted, "accepted");
        QCOMPARE(form.size(), QSize(520, 480));
        QFETCH(uint, newDirFlags);
        QFETCH(int, newSizeMin);
        expected.DirFlags = newDirFlags;
        expected.DirSizeMin = newSizeMin;
        QVERIFY(Settings() == expected);
        QCOMPARE(folder, Home.filePath("Music"));
        QVERIFY(Reporter.Calls.isEmpty());
    }

    // The chosen folder is Music; outputs go to dest (below the home folder).
    void destFolder_data() {
        // answer: TModalResult, for an expected question
        Columns<QString, bool, bool, int, bool>(
            {"dest", "toDestDir", "recurse", "answer", "accepted"});
        const int yes = int(TModalResult::Yes), no = int(TModalResult::No), none = 0;
        QTest::newRow("output below, Yes") << "Music/Small" << true << true << yes << true;
        QTest::newRow("output is the folder, No stays open")
            << "Music/" << true << true << no << false;
        QTest::newRow("name prefix only") << "Music2" << true << true << none << true;
        QTest::newRow("outputs beside sources") << "Music/Small" << false << true << none << true;
        QTest::newRow("not recursive") << "Music/Small" << true << false << none << true;
    }

    void destFolder() {
        QFETCH(QString, dest);
        QFETCH(bool, toDestDir);
        QFETCH(bool, recurse);
        QFETCH(int, answer);
        Preferences().Edit()->DestDir = Home.filePath(dest);
        Preferences().Edit()->Flags =
            toDestDir ? DefaultFlags | flDestFolder : DefaultFlags & ~flDestFolder;
        Preferences().Edit()->DirFlags = recurse ? DefaultDirFlags | dfRecurse : DefaultDirFlags;
        if (answer)
            Reporter.QueueAnswer(TModalResult(answer));
        TSonabelDirForm form(&Reporter);
        QString folder = Home.filePath("Music");
        bool openAfterOK = false;
        const bool accepted = Open(form, "scan", folder, [&] {
            form.btnOK->click();
            openAfterOK = form.isVisible();
        });
        QTEST(accepted, "accepted");
        QCOMPARE(openAfterOK, !accepted);
        QCOMPARE(Reporter.Questions,
                 answer ? QStringList{Msg(msgDirRecursionWarning)} : QStringList());
    }

    void folderTree_data() {
        // made: empty: nothing may be made
        Columns<QString, bool, QString, QString>({"existing", "selected", "typed", "made"});
        QTest::newRow("default name") << QString() << true << QString() << "New folder";
        QTest::newRow("default name taken")
            << "New folder" << true << QString() << "New folder (2)";
        QTest::newRow("typed name") << "Old" << true << QString("Tapes") << "Tapes";
        QTest::newRow("nothing selected") << QString() << false << QString() << QString();
    }

    // A new folder is made, named by typing and Enter, which must end the name
    // editing and leave the window open; OK then returns the new folder.
    void folderTree() {
        QFETCH(QString, existing);
        QFETCH(bool, selected);
        QFETCH(QString, typed);
        QFETCH(QString, made);
        QTemporaryDir start(Home.filePath("treeXXXXXX"));
        QVERIFY(existing.isEmpty() || QDir(start.path()).mkdir(existing));
        TSonabelDirForm form(&Reporter);
        QString folder = start.path();
        const bool accepted = Open(form, "select", folder, [&] {
            QCOMPARE(form.panComboBox->text(), start.path());
            if (!selected)
                form.ShellTreeView->setCurrentIndex(QModelIndex());
            form.btnNewFolder->click();
            if (made.isEmpty())
                return;
            TShellTreeView* tree = form.ShellTreeView;
            QWidget* editor = nullptr;
            QTRY_VERIFY((editor = tree->indexWidget(tree->currentIndex())));
            if (!typed.isEmpty()) {
                QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClicks(editor, typed);
            }
            QTest::keyClick(editor, Qt::Key_Return);
            QVERIFY(form.isVisible());
            QTRY_VERIFY(form.btnOK->isDefault());
            QCOMPARE(form.panComboBox->text(), start.filePath(made));
            form.btnOK->click();
        });
        QCOMPARE(accepted, !made.isEmpty());
        QStringList folders{existing, made};
        folders.removeAll(QString());
        folders.sort();
        QCOMPARE(QDir(start.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
                 folders);
        QCOMPARE(folder, made.isEmpty() ? start.path() : start.filePath(made));
        QCOMPARE(Reporter.Infos,
                 made.isEmpty() ? QStringList{"Select a folder first."} : QStringList());
    }

    void renameOnlyWhenAsked_data() {
        // action: before "Renamed" and Enter are typed
        Columns<QString, QStringList>({"action", "folders"});
        const QStringList untouched{"Misc", "Music"};
        QTest::newRow("typing searches") << QString() << untouched;
        QTest::newRow("click on the selected folder") << "click" << untouched;
        QTest::newRow("F2") << "F2" << QStringList{"Music", "Renamed"};
        QTest::newRow("context menu") << "menu" << QStringList{"Music", "Renamed"};
    }

    // Typing "Renamed" after each action; only an explicit rename renames.
    void renameOnlyWhenAsked() {
        QFETCH(QString, action);
        QFETCH(QStringList, folders);
        QTemporaryDir start(Home.filePath("renameXXXXXX"));
        for (const char* name : {"Misc", "Music"})
            QVERIFY(QDir(start.path()).mkdir(name));
        TSonabelDirForm form(&Reporter);
        QString folder = start.filePath("Misc");
        Open(form, "select", folder, [&] {
            TShellTreeView* tree = form.ShellTreeView;
            QCOMPARE(tree->SelectedFolder(), start.filePath("Misc"));
            if (action == "click") {
                const QRect item = tree->visualRect(tree->currentIndex());
                QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, item.center());
                QTest::qWait(QApplication::doubleClickInterval() + 100);
            } else if (action == "F2") {
                QTest::keyClick(tree, Qt::Key_F2);
            } else if (action == "menu") {
                QVERIFY(tree->actions().contains(form.actRename));
                form.actRename->trigger();
            }
            QWidget* editor = tree->indexWidget(tree->currentIndex());
            const bool renaming = !folders.contains("Misc");
            QCOMPARE(editor != nullptr, renaming);
            QTest::keyClicks(editor ? editor : tree, "Renamed");
            QTest::keyClick(editor ? editor : tree, Qt::Key_Return);
            QTRY_VERIFY(form.btnOK->isDefault()); // the name editing has ended
        });
        QCOMPARE(QDir(start.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
                 folders);
    }

    void pathField_data() {
        // typed: "$" stands for the start folder
        Columns<QString, QString, bool>({"typed", "selected", "unknown"});
        QTest::newRow("pasted path") << QString("$/Deep/Er") << "$/Deep/Er" << false;
        QTest::newRow("home-relative, trailing slash") << QString("~/Music/") << "~/Music" << false;
        QTest::newRow("no such folder") << QString("$/Nowhere") << "$" << true;
    }

    // Enter in the path field goes to the folder typed; the window stays open.
    void pathField() {
        QFETCH(QString, typed);
        QFETCH(QString, selected);
        QFETCH(bool, unknown);
        QTemporaryDir start(Home.filePath("pathXXXXXX"));
        QVERIFY(QDir(start.path()).mkpath("Deep/Er"));
        const auto expand = [&](QString text) {
            return text.replace("$", start.path()).replace("~", Home.path());
        };
        TSonabelDirForm form(&Reporter);
        QString folder = start.path();
        const bool accepted = Open(form, "select", folder, [&] {
            form.panComboBox->clear();
            QTest::keyClicks(form.panComboBox, expand(typed));
            QTest::keyClick(form.panComboBox, Qt::Key_Return);
            QVERIFY(form.isVisible());
            QCOMPARE(form.ShellTreeView->SelectedFolder(), expand(selected));
            if (!unknown)
                form.btnOK->click();
        });
        QCOMPARE(accepted, !unknown);
        QCOMPARE(Reporter.Infos, unknown ? QStringList{MsgFmt(msgDirNoSuchFolder, {expand(typed)})}
                                         : QStringList());
        if (accepted)
            QCOMPARE(folder, expand(selected));
    }

    void windowInLanguages() {
        for (const QString mode : {"select", "scan", "filter"}) {
            TSonabelDirForm form(&Reporter);
            QString folder = Home.filePath("Music");
            Open(form, mode, folder, [&] {
                GuiCheck::CheckInLanguages(&form, "dirform_" + mode, [&] { form.ApplyLanguage(); });
            });
        }
    }
};
QTEST_MAIN(TestDirForm)
#include "tst_dirform.moc"
