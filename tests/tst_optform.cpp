// The options window and the text viewer, driven as a user would.

#include "GuiCheck.h"
#include "RecordingReporter.h"
#include "TestTable.h"
#include "TestUtil.h"
#include "encoder/EncoderFacts.h"
#include "gui/OptionsAboutPage.h"
#include "gui/OptionsEncoderPage.h"
#include "gui/OptionsGeneralPage.h"
#include "gui/SonabelDownloadF.h"
#include "gui/SonabelOptionsF.h"
#include "gui/SonabelTextF.h"
#include "gui/Spin.h"
#include "messages/FormatMsg.h"
#include "messages/Sonabel_L.h"
#include "settings/RegFile.h"
#include "settings/Settings.h"
#include "update/UpdateCheck.h"

#include <QtTest>
#include <QtWidgets>

using TestTable::Columns;

namespace {

// Every stored field, so a comparison shows what changed.
QStringList Fields(const TSettings& s) {
    const auto n = [](qint64 v, int base = 10) { return QString::number(v, base); };
    return {n(s.Language),  n(s.BitRateIndex), n(s.EncodingMode), n(s.DelayS),
            s.LastDir,      s.DestDir,         s.LameParams(),    s.LameParamsABR(),
            n(s.Flags, 16), n(s.DirFlags, 16), n(s.DirSizeMin),   s.DownloadDir,
            s.LamePath,     n(s.Jobs),         n(s.SkipDone),     n(s.ReplaceSources)};
}

TSettings Sample(quint32 flags) {
    TSettings s;
    s.BitRateIndex = 3;
    s.LastDir = "/last";
    s.DestDir = "/dest";
    s.LameParams() = "-m j";
    s.LameParamsABR() = "--abr %B";
    s.Flags = flags;
    s.DirFlags = 0x00EF0003;
    s.DirSizeMin = 9;
    s.DownloadDir = "/down";
    s.LamePath = "/opt/lame";
    s.Jobs = 2;
    return s;
}

// "name=value" sets the named control: a box or button checks with 1, a list
// takes the index, an edit the text, a spin edit the number.
void Edit(QWidget* form, const QString& op) {
    const QString name = op.section('=', 0, 0);
    const QString value = op.section('=', 1);
    QWidget* w = form->findChild<QWidget*>(name);
    QVERIFY2(w, qPrintable(name));
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setChecked(value == "1");
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->setCurrentIndex(value.toInt());
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(value);
    else if (auto* s = qobject_cast<TSpinEdit*>(w))
        s->SetValue(value.toInt());
    else
        QFAIL(qPrintable(name));
}

} // namespace

class TestOptForm : public QObject {
    Q_OBJECT
private:
    TRecordingReporter Reporter;
    TSonabelTextForm* Text = nullptr;
    TSonabelOptionForm* Form = nullptr;
    std::optional<TOwners> Owners;
    QTemporaryDir Tmp;

    // An encoder that only prints banner, read as the program reads one.
    void UseEncoderWithBanner(const QByteArray& banner) {
        const QString path = Tmp.filePath("lame");
        QVERIFY(TestUtil::WriteFile(path, "#!/bin/sh\necho '" + banner + "'\n"));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Preferences().Edit()->LamePath = path;
        QVERIFY(TEncoderFacts::Current().WaitForBanner());
    }

private Q_SLOTS:

    void initTestCase() {
        Owners.emplace();
        SetLanguage(0, false);
    }

    void init() {
        Reporter.Clear();
        Owners.emplace();
        Preferences().Set(Sample(DefaultFlags));
        Preferences().SetTargetBitRate(128);
        Text = new TSonabelTextForm;
        Form = new TSonabelOptionForm(&Reporter, Text);
        Form->ChooseFolder = [](const QString&) { return QString(); };
    }

    void cleanup() {
        delete Form;
        delete Text;
        SetApplyLanguageHook({});
        SetLanguage(0, false);
    }

    void loading() {
        // Each flag alone checks its box and no other.
        for (int i = 0; i < TSonabelOptionForm::FlagBoxCount; ++i) {
            Preferences().Edit()->Flags = TSonabelOptionForm::FlagBoxBits[i];
            Form->LoadControls();
            for (int j = 0; j < TSonabelOptionForm::FlagBoxCount; ++j)
                QCOMPARE(Form->FlagBoxes[j]->isChecked(), i == j);
        }
        Preferences().Set(Sample(0x00053107));
        Preferences().Edit()->DelayS = 30;
        Preferences().Edit()->EncodingMode = 1;
        Preferences().SetTargetBitRate(160);
        Form->LoadControls();
        QVERIFY(Form->sheetGeneral->rbDefDir->isChecked());
        QCOMPARE(Form->sheetEncoder->cbQuality->currentIndex(), 7);
        QCOMPARE(Form->sheetEncoder->cbPriority->currentIndex(), 2); // 0x50000 is no level
        QCOMPARE(Form->sheetGeneral->spinTimer->Value(), 1);
        QCOMPARE(Settings().DelayS, 60); // corrected at once
        QCOMPARE(Form->sheetEncoder->spinJobs->Value(), 2);
        QCOMPARE(Form->sheetGeneral->editDefDir->text(), "/dest");
        QCOMPARE(Form->sheetEncoder->editLameParams[1]->text(), "--abr %B");
        QCOMPARE(Form->sheetEncoder->lblLamePath->text(), "/opt/lame");
        QCOMPARE(Form->sheetGeneral->rbSameDir->text(), MsgFmt(msgOptSameDir, {"_A160kbps"}));
        QCOMPARE(Form->sheetGeneral->cbLanguage->itemText(1), QString("Français  (french)"));
    }

    void storing_data() {
        // fields: index=text of Fields() after OK
        Columns<quint32, QStringList, bool, quint32, QStringList>(
            {"flags", "edits", "ok", "storedFlags", "fields"});

        const QStringList all = QString("cbQuality=9|cbPriority=4|spinTimer=7|spinJobs=5|"
                                        "editDefDir=/tmp|rbDefDir=1|editLameParams_CBR=-V 2|"
                                        "editLameParams_ABR=|cbSkipDone=0|cbReplace=1")
                                    .split('|');
        QTest::newRow("cancel changes nothing")
            << DefaultFlags << all << false << DefaultFlags << QStringList();
        QTest::newRow("OK stores each edit")
            << DefaultFlags << all << true
            << quint32((DefaultFlags & ~0xFu) | 9 | 0x40000 | flDestFolder)
            << QStringList{"3=420", "5=/tmp", "6=-V 2", "7=", "13=5", "14=0", "15=1"};
        QTest::newRow("unused priority pattern becomes normal")
            << quint32(DefaultFlags | 0x50000) << QStringList() << true << DefaultFlags
            << QStringList();
        // Every box flipped; bits of no box (shut-down, 0x80) are carried through.
        QStringList flips;
        quint32 flipped = DefaultFlags | flShutDown | 0x80;
        for (int i = 0; i < TSonabelOptionForm::FlagBoxCount; ++i) {
            const quint32 bit = TSonabelOptionForm::FlagBoxBits[i];
            flips << QString("%1=%2").arg(i).arg((flipped & bit) ? 0 : 1);
            flipped ^= bit;
        }
        QTest::newRow("each flag box") << quint32(DefaultFlags | flShutDown | 0x80) << flips << true
                                       << flipped << QStringList();
    }

    void storing() {
        QFETCH(quint32, flags);
        QFETCH(QStringList, edits);
        QFETCH(bool, ok);
        QFETCH(quint32, storedFlags);
        QFETCH(QStringList, fields);
        Preferences().Set(Sample(flags));
        Form->LoadControls();
        QStringList expected = Fields(Sample(storedFlags));
        for (const QString& f : fields)
            expected[f.section('=', 0, 0).toInt()] = f.section('=', 1);
        for (const QString& e : edits) {
            bool isIndex = false;
            const int box = e.section('=', 0, 0).toInt(&isIndex);
            Edit(Form, isIndex ? Form->FlagBoxes[box]->objectName() + '=' + e.section('=', 1) : e);
        }
        (ok ? Form->btnOK : Form->btnCancel)->click();
        QCOMPARE(Form->result(), ok ? QDialog::Accepted : QDialog::Rejected);
        QCOMPARE(Fields(Settings()), expected);
        QVERIFY(Reporter.Calls.isEmpty());
    }

    void enabling() {
        const QList<QWidget*> dependents{
            Form->sheetGeneral->editDefDir, Form->sheetGeneral->btnDefDir,
            Form->sheetGeneral->cbKeepSubDirs, Form->sheetGeneral->cbCompactTag,
            Form->sheetGeneral->spinTimer};
        Form->show();
        for (const bool on : {true, false, true}) {
            (on ? Form->sheetGeneral->rbDefDir : Form->sheetGeneral->rbSameDir)->click();
            if (Form->sheetGeneral->cbKeepTagV2->isChecked() != on)
                Form->sheetGeneral->cbKeepTagV2->click();
            if (Form->sheetGeneral->cbTimer->isChecked() != on)
                Form->sheetGeneral->cbTimer->click();
            for (QWidget* w : dependents)
                QVERIFY2(w->isEnabled() == on, qPrintable(w->objectName()));
        }
        Form->PageControl->setCurrentWidget(Form->sheetHelp);
        QTRY_VERIFY_WITH_TIMEOUT(Form->sheetHelp->memoHelp->hasFocus(), 2000);
    }

    void folderValidation_data() {
        // folder: $T is a fresh temporary folder; answer: to the create question, 0 when none
        // is asked; message: -1 for none
        Columns<bool, QString, int, int, bool>({"defDir", "folder", "answer", "message", "closes"});
        const int yes = int(TModalResult::Yes), no = int(TModalResult::No);
        const int invalid = msgOptInvalidFolder, cannot = msgOptCannotCreate;
        QTest::newRow("beside sources: not looked at") << false << "$T/out|new" << 0 << -1 << true;
        QTest::newRow("existing folder") << true << "$T" << 0 << -1 << true;
        QTest::newRow("invalid character") << true << "$T/out|new" << 0 << invalid << false;
        QTest::newRow("empty") << true << "" << 0 << invalid << false;
        QTest::newRow("missing, created with parents") << true << "$T/a/b/c" << yes << -1 << true;
        QTest::newRow("missing, refused") << true << "$T/a/b/c" << no << -1 << false;
        QTest::newRow("parent is a file") << true << "$T/file/sub" << yes << cannot << false;
        // Not even root may write there.
        QTest::newRow("not writable") << true << "/proc" << 0 << int(msgOptNotWritable) << false;
    }

    void folderValidation() {
        QFETCH(bool, defDir);
        QFETCH(QString, folder);
        QFETCH(int, answer);
        QFETCH(int, message);
        QFETCH(bool, closes);
        QTemporaryDir dir;
        QVERIFY(TestUtil::WriteFile(dir.filePath("file"), "user data"));
        folder.replace("$T", dir.path());
        Form->LoadControls();
        (defDir ? Form->sheetGeneral->rbDefDir : Form->sheetGeneral->rbSameDir)->setChecked(true);
        Form->sheetGeneral->editDefDir->setText(folder);
        if (answer)
            Reporter.QueueAnswer(TModalResult(answer));
        Form->btnOK->click();

        QStringList expected;
        if (answer)
            expected << MsgFmt(msgOptCreateFolder, {folder});
        if (message >= 0)
            expected << MsgFmt(TMsgId(message), {folder});
        QCOMPARE(Reporter.Questions, expected);
        QCOMPARE(Form->result() == QDialog::Accepted, closes);
        QCOMPARE(Settings().DestDir, closes ? folder : QString("/dest"));
        if (answer)
            QCOMPARE(QFileInfo(folder).isDir(), answer == int(TModalResult::Yes) && closes);
        QCOMPARE(TestUtil::ReadFile(dir.filePath("file")), QByteArray("user data"));
    }

    void encoderFile_data() {
        Columns<QString, bool>({"chosen", "accepted"});
        QTest::newRow("other letter case")
            << QString("/x/") + QString(LameExeName).toUpper() << true;
        QTest::newRow("other name") << QString("/x/") + LameExeName + "3" << false;
        QTest::newRow("cancelled") << QString() << false;
    }

    void encoderFile() {
        QFETCH(QString, chosen);
        QFETCH(bool, accepted);
        Form->LoadControls();
        QString offered;
        Form->ChooseEncoder = [&](const QString& current) {
            offered = current;
            return chosen;
        };
        Form->sheetEncoder->btnLamePath->click();
        QCOMPARE(offered, "/opt/lame");
        QCOMPARE(Form->sheetEncoder->lblLamePath->text(), accepted ? chosen : QString("/opt/lame"));
        const bool refused = !accepted && !chosen.isEmpty();
        QCOMPARE(Reporter.Questions,
                 refused ? QStringList{MsgFmt(msgLameWrongFile, {chosen, LameExeName})}
                         : QStringList());
    }

    void commandLine_data() {
        // arguments: as the encoder gets them
        // niceness: the priority's only effect
        Columns<QStringList, bool, QString, int>({"edits", "abr", "arguments", "niceness"});
        const QString paths = " <source> '<new file>'";
        QTest::newRow("defaults, CBR")
            << QStringList{"editLameParams_CBR="} << false << "-b 128 -q 2" + paths << 0;
        QTest::newRow("unsaved ABR edits")
            << QStringList{"editLameParams_ABR=-V %q --priority 1", "cbNoQ_ABR=1", "cbQuality=4"}
            << true << "-V 4 --abr 128" + paths << 10;
        QTest::newRow("CBR without bit rate, low priority, quoted")
            << QStringList{"editLameParams_CBR=-b%b --tt \"a b\"", "cbNoB_CBR=1", "cbPriority=0"}
            << false << "-b128 --tt 'a b' -q 2" + paths << 19;
    }

    void commandLine() {
        QFETCH(QStringList, edits);
        QFETCH(bool, abr);
        QFETCH(QString, arguments);
        QFETCH(int, niceness);
        Form->LoadControls();
        for (const QString& e : edits)
            Edit(Form, e);
        Form->sheetEncoder->btnLameCmdLine[abr ? 1 : 0]->click();
        QCOMPARE(Reporter.Infos, QStringList{QString(LameExeName) + ' ' + arguments + '\n' +
                                             MsgFmt(msgCmdLineNiceness, {niceness})});
        QCOMPARE(Settings().LameParams(), "-m j"); // the preview stores nothing
    }

    void encoderHelp() {
        const QString lame = QStandardPaths::findExecutable("lame");
        QVERIFY(!lame.isEmpty());
        QByteArray help;
        TestUtil::Run(lame, {"-?"}, 20000, &help);
        QVERIFY(help.contains("usage"));
        Preferences().Edit()->LamePath = lame;
        Form->LoadControls();
        QString shown, title;
        QTimer::singleShot(0, Text, [&] {
            shown = Text->memoText->toPlainText();
            title = Text->windowTitle();
            Text->BitBtn1->click();
        });
        Form->sheetEncoder->btnLameHelp[1]->click();
        QCOMPARE(title, "Sonabel - " + Msg(msgLameHelpTitle));
        QCOMPARE(shown.trimmed(), QString::fromLocal8Bit(help).trimmed());
    }

    void languageAtOnce() {
        int applied = 0;
        SetApplyLanguageHook([&] {
            ++applied;
            Form->ApplyLanguage();
        });
        Form->LoadControls();
        Form->sheetGeneral->cbLanguage->setCurrentIndex(1);
        Q_EMIT Form->sheetGeneral->cbLanguage->activated(1);
        QCOMPARE(applied, 2); // emptied, then the new texts
        QCOMPARE(Form->btnCancel->text(), QString("Annuler"));
        QCOMPARE(Form->sheetEncoder->cbQuality->itemText(0), Msg(msgQuality0));
        Form->btnCancel->click();
        // Cancelling takes the language back with every other choice.
        QCOMPARE((QList<int>{Settings().Language, CurrentLanguageIndex()}), (QList<int>{0, 0}));
        QCOMPARE(Form->btnCancel->text(), QString("Cancel"));
    }

    // The pictures open their sites; the check button asks a (here refused) server.
    void aboutAndCheckNow() {
        UseEncoderWithBanner("LAME 64bits version 3.100 (http://lame.example/)");
        Form->UpdateCheck = nullptr; // a build without update host
        Form->LoadControls();
        Form->show();
        QVERIFY(Form->sheetGeneral->cbAutoUpdate->isHidden() &&
                Form->sheetGeneral->btnCheckNow->isHidden());
        QStringList opened;
        Form->OpenUrl = [&](const QUrl& url) { opened << url.toString(); };
        for (QLabel* image :
             {Form->sheetAbout->imgMorvane, Form->sheetAbout->imgLame, Form->sheetAbout->imgQt})
            QTest::mouseClick(image, Qt::LeftButton);
        QCOMPARE(opened, QStringList({"https://www.morvane.com", "https://lame.example",
                                      "https://www.qt.io"}));

        QTemporaryDir dir;
        TRegFile store(dir.filePath("store.ini"));
        store.WriteString(QString(), "UpdateHost", "127.0.0.1:1"); // nothing listens there
        TSonabelDownloadForm view;
        TUpdateCheck check(Preferences(), store, Reporter, view);
        Form->UpdateCheck = &check;
        Form->LoadControls();
        QVERIFY(Form->sheetGeneral->cbAutoUpdate->isVisible() &&
                Form->sheetGeneral->btnCheckNow->isVisible());
        QSignalSpy finished(&check, &TUpdateCheck::Finished);
        Form->sheetGeneral->btnCheckNow->click();
        QVERIFY(finished.wait(10000));
        QCOMPARE(Reporter.Questions.size(), 1); // the manual check tells of its failure
    }

    void windowsInLanguages() {
        UseEncoderWithBanner("LAME 64bits version 3.100 (http://lame.sf.net)");
        // One picture of the first page; the other pages are checked without one.
        Form->PageControl->setCurrentWidget(Form->sheetGeneral);
        GuiCheck::CheckInLanguages(Form, "optform", [&] {
            Form->LoadControls();
            Form->PageControl->setCurrentWidget(Form->sheetGeneral);
        });
        Text->memoText->setPlainText("usage: lame [options] <infile> [outfile]\n\n  -b bitrate");
        GuiCheck::CheckInLanguages(Text, "textform", [&] { Text->ApplyLanguage(); });
    }
};
QTEST_MAIN(TestOptForm)
#include "tst_optform.moc"
