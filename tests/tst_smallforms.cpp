// The pre-run warning window and the countdown window, reached through the
// batch view the desktop program gives the batch.

#include "GuiCheck.h"
#include "TestTable.h"
#include "TestUtil.h"
#include "gui/SonabelShutDownF.h"
#include "gui/SonabelWarningF.h"
#include "gui/WindowBatchView.h"
#include "messages/Messages.h"
#include "settings/Settings.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using TestTable::Columns;
using TestTable::Row;

Q_DECLARE_METATYPE(TWarningAnswer)

class TestSmallForms : public QObject {
    Q_OBJECT
    TOwners Owners;

private:
    // Reused from row to row, as the program reuses its one copy of each.
    TSonabelWarningForm Warning;
    TSonabelShutDown ShutDown;
    TWindowBatchView View{Warning, ShutDown};
    // What the countdowns' callbacks received; outlives every row.
    QList<bool> Calls;
private Q_SLOTS:
    // A failed row must not leave its countdown open for the next one.
    void cleanup() { ShutDown.reject(); }

    void initTestCase() {
        SetLanguage(0, false);
        Warning.ApplyLanguage();
        ShutDown.ApplyLanguage();
    }

    // Actions: g/a/b click rbGoodFiles/rbAllFiles/rbAbort, v clicks btnValidate,
    // e presses Esc, c closes the window by its frame.
    void warningAnswer_data() {
        Columns<bool, bool, QString, TWarningAnswer>(
            {"goodEnabled", "allEnabled", "actions", "answer"});
        using A = TWarningAnswer;
        Row("good files", true, false, "gv", A::GoodFilesOnly);
        Row("all files", true, true, "av", A::AllFiles);
        Row("changed mind", true, true, "gabv", A::Abort);
        Row("good disabled", false, true, "gv", A::Abort);
        Row("all disabled", true, false, "av", A::Abort);
        Row("esc", true, true, "ge", A::Abort);
        Row("frame closed", true, true, "ac", A::Abort);
    }

    void warningAnswer() {
        QFETCH(bool, goodEnabled);
        QFETCH(bool, allEnabled);
        QFETCH(QString, actions);
        const QStringList items{"/music/a.mp3", "/music/b é.mp3"};
        // On the circle: a radio button only reacts on its circle and caption.
        const auto click = [](QWidget* rb) {
            QTest::mouseClick(rb, Qt::LeftButton, {}, QPoint(6, rb->height() / 2));
        };
        bool acted = false;
        QTimer::singleShot(0, &Warning, [&] {
            acted = true;
            QCOMPARE(Warning.Memo->toPlainText(), items.join('\n'));
            QVERIFY(Warning.rbAbort->isChecked());
            QCOMPARE(Warning.rbGoodFiles->isEnabled(), goodEnabled);
            QCOMPARE(Warning.rbAllFiles->isEnabled(), allEnabled);
            for (QChar action : actions) {
                if (action == 'e')
                    QTest::keyClick(&Warning, Qt::Key_Escape);
                else if (action == 'c')
                    Warning.close();
                else
                    click(action == 'g'   ? Warning.rbGoodFiles
                          : action == 'a' ? Warning.rbAllFiles
                          : action == 'b' ? (QWidget*)Warning.rbAbort
                                          : Warning.btnValidate);
            }
        });
        // Should the window stay open, the test fails instead of hanging.
        bool stuck = false;
        QTimer::singleShot(5000, &Warning, [&] { stuck = Warning.close(); });
        QTEST(View.ShowWarningList("Caption", "Message", items, goodEnabled, allEnabled), "answer");
        QVERIFY(acted && !stuck);
    }

    // Rows share one window, so each also shows that re-showing re-arms the timer. After
    // some ticks: "" lets it run out, o/n click OK/Cancel, e presses Esc.
    void countdown_data() {
        // result: power-off: confirmed; delayed start: cancelled
        Columns<int, int, int, QString, QString, bool>(
            {"mode", "seconds", "ticks", "text", "action", "result"});
        const int off = TSonabelShutDown::PowerOffMode,
                  delayed = TSonabelShutDown::DelayedStartMode;
        Row("power-off ticks to 0", off, 2, 2, "Switching off in 0 s", "", true);
        Row("power-off OK", off, 30, 0, "Switching off in 30 s", "o", true);
        Row("power-off Cancel", off, 30, 1, "Switching off in 29 s", "n", false);
        Row("delay runs out", delayed, 61, 2, "Starting in 0:00:59", "", false);
        Row("delay of 0 s", delayed, 0, 0, "Starting in 0:00:00", "", false);
        Row("delay OK", delayed, 90, 0, "Starting in 0:01:30", "o", false);
        Row("delay Cancel", delayed, 3600, 1, "Starting in 0:59:59", "n", true);
        Row("delay Esc", delayed, 3725, 0, "Starting in 1:02:05", "e", true);
    }

    void countdown() {
        QFETCH(int, mode);
        QFETCH(int, seconds);
        QFETCH(int, ticks);
        QFETCH(QString, action);
        QFETCH(bool, result);
        ShutDown.Timer->setInterval(1000);
        Calls.clear();
        const auto record = [this](bool value) { Calls << value; };
        QSignalSpy finished(&ShutDown, &QDialog::finished);
        const bool off = mode == TSonabelShutDown::PowerOffMode;
        off ? View.PowerOffCountdown(seconds, record) : View.AskDelayedStart(seconds, record);
        QVERIFY(Calls.isEmpty()); // the answer comes later, never from the call itself
        QCOMPARE(bool(ShutDown.windowFlags() & Qt::WindowStaysOnTopHint), off);
        QCOMPARE(ShutDown.lblShutDown1->text(), Msg(off ? msgPowerOffLine1 : msgDelayedLine1));
        QCOMPARE(ShutDown.btnOK->text(), Msg(off ? msgCaptionOK : msgDelayedStartNow));
        for (int tick = 0; tick < ticks; ++tick)
            ShutDown.TimerTimer();
        QTEST(ShutDown.lblShutDownFmt->text(), "text");
        if (action == "e")
            QTest::keyClick(&ShutDown, Qt::Key_Escape);
        else if (!action.isEmpty())
            QTest::mouseClick(action == "o" ? ShutDown.btnOK : ShutDown.btnCancel, Qt::LeftButton);
        else if (ShutDown.isVisible())
            ShutDown.Timer->setInterval(1); // running out, quickly
        QVERIFY(!finished.isEmpty() || finished.wait(2000));
        QTest::qWait(20); // room for a stray tick or a second call
        QCOMPARE(Calls, QList<bool>{result});
        QVERIFY(!ShutDown.isVisible() && !ShutDown.Timer->isActive());
    }

    // A newer countdown arriving while one is open refuses the open one.
    void newerCountdown() {
        Calls.clear();
        ShutDown.Timer->setInterval(1000);
        ShutDown.PowerOffCountdown(30, [this](bool c) { Calls << c; });
        ShutDown.AskDelayedStart(90, [this](bool c) { Calls << !c; });
        QCOMPARE(Calls, QList<bool>{false});
        QVERIFY(ShutDown.isVisible() && ShutDown.Timer->isActive());
        ShutDown.reject();
        QCOMPARE(Calls, (QList<bool>{false, false}));
    }

    void windowsInLanguages() {
        const QStringList items{"/home/user/Music/Artist/Album/01 - First song of the album.mp3",
                                "/home/user/Music/Other/track.mp3"};
        GuiCheck::CheckInLanguages(&Warning, "warning", [&] {
            Warning.ApplyLanguage();
            Warning.Prepare(Msg(msgWarnCaption), Msg(msgWarnLowerBitRate), items, true, false);
        });
        Warning.hide();
        ShutDown.Timer->setInterval(1000);
        const std::tuple<TSonabelShutDown::TMode, int, const char*> modes[] = {
            {TSonabelShutDown::PowerOffMode, 30, "poweroff"},
            {TSonabelShutDown::DelayedStartMode, 3725, "delayedstart"}};
        for (const auto& [mode, seconds, name] : modes) {
            GuiCheck::CheckInLanguages(&ShutDown, name, [&] {
                ShutDown.Mode = mode;
                ShutDown.Seconds = seconds;
                ShutDown.ApplyLanguage();
            });
            ShutDown.hide();
        }
    }
};
QTEST_MAIN(TestSmallForms)
#include "tst_smallforms.moc"
