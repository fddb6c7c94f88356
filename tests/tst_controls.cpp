// The LED, the integer edit and the spin edit, and how they look together in both languages.

#include "GuiCheck.h"
#include "TestTable.h"
#include "TestUtil.h"
#include "gui/LanguageTexts.h"
#include "gui/Led.h"
#include "gui/NumEditLabels.h"
#include "gui/Spin.h"
#include "messages/Messages.h"

#include <QGridLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using TestTable::Columns;
using TestTable::Row;

class TestControls : public QObject {
    Q_OBJECT
    TOwners Owners;
private Q_SLOTS:

    // Operations: L/l set Lit true/false, T Toggle, N NextColor, C<n> set Color,
    // D/E disable/enable.
    void ledState_data() {
        Columns<int, QString, bool, int, int>({"startColor", "ops", "lit", "color", "signals"});
        Row("defaults", -1, "", false, int(lcRed), 0);
        Row("lit twice fires once", -1, "L L", true, 0, 1);
        Row("off when off fires not", -1, "l", false, 0, 0);
        Row("toggle twice", -1, "T T", false, 0, 2);
        Row("white wraps to red", int(lcWhite), "N", false, 0, 1);
        Row("next from yellow", int(lcYellow), "N", false, int(lcMagenta), 1);
        Row("same colour fires not", int(lcCyan), "C4", false, int(lcCyan), 0);
        Row("disable, enable", -1, "D E", false, 0, 2);
    }

    void ledState() {
        QFETCH(int, startColor);
        QFETCH(QString, ops);
        TLED led;
        if (startColor >= 0)
            led.SetColor(TLEDColor(startColor));
        QSignalSpy spy(&led, &TLED::OnChangeState);
        for (const QString& op : ops.split(' ', Qt::SkipEmptyParts)) {
            const char c = op[0].toLatin1();
            if (c == 'L' || c == 'l') {
                led.SetLit(c == 'L');
            } else if (c == 'T') {
                const bool lit = led.Toggle();
                QCOMPARE(lit, led.Lit());
            } else if (c == 'N') {
                const TLEDColor color = led.NextColor();
                QCOMPARE(color, led.Color());
            } else if (c == 'C') {
                led.SetColor(TLEDColor(op.mid(1).toInt()));
            } else {
                led.setEnabled(c == 'E');
            }
        }
        QTEST(led.Lit(), "lit");
        QTEST(int(led.Color()), "color");
        QTEST(int(spy.size()), "signals");
        if (!spy.isEmpty())
            QCOMPARE(spy.first().first().value<QObject*>(), &led);
    }

    // Always 12 x 13; lit and off differ; disabled looks the same whatever its state.
    void ledPicture() {
        QWidget parent;
        TLED led(&parent);
        led.resize(50, 50);
        led.setGeometry(0, 0, 40, 40);
        QCOMPARE(led.size(), QSize(12, 13));
        auto centre = [&](TLEDColor color, bool lit, bool enabled) {
            led.SetColor(color);
            led.SetLit(lit);
            led.setEnabled(enabled);
            return led.grab().toImage().pixelColor(6, 7);
        };
        const QColor redLit = centre(lcRed, true, true);
        QVERIFY(redLit.red() > 2 * redLit.green());
        QVERIFY(centre(lcRed, false, true).value() < redLit.value());
        QVERIFY(centre(lcGreen, true, true) != redLit);
        const QColor disabled = centre(lcRed, true, false);
        QCOMPARE(centre(lcCyan, false, false), disabled);
        QVERIFY(disabled != redLit);
    }

    // The edit holds start, wholly selected (caret -1) or with the caret at a position; the keys
    // are typed one by one ("=" first: pasted whole); the caret after is checked the same way.
    void integerTyping_data() {
        // setup: MinValue, MaxValue, start, caret
        // after: Value, changes, caret
        Columns<QList<int>, QString, QString, QList<int>>({"setup", "keys", "text", "after"});
        using L = QList<int>;
        Row("minus refused at MinValue 0", L{0, 100, 12, -1}, "-", "12", L{12, 0, -1});
        Row("minus kept, counts 0", L{-10, 10, 5, -1}, "-", "-", L{0, 1, 1});
        Row("minus then digit", L{-10, 10, 5, -1}, "-7", "-7", L{-7, 2, 2});
        Row("hex $1F", L{0, 100, 0, -1}, "$1F", "$1F", L{31, 3, 3});
        Row("sign then $ refused", L{-100, 100, 0, -1}, "-$", "-", L{0, 1, 1});
        Row("signed hex pasted", L{-100, 100, 0, -1}, "=-$a", "-$a", L{-10, 1, 3});
        Row("plus needs MaxValue 1", L{-10, 0, 0, -1}, "+", "0", L{0, 0, -1});
        Row("plus kept", L{0, 1, 0, -1}, "+1", "+1", L{1, 2, 2});
        Row("digit past max refused", L{0, 50, 5, 1}, "17", "5", L{5, 0, 1});
        Row("letter refused mid-text", L{0, 999, 123, 1}, "x", "123", L{123, 0, 1});
        Row("emptied counts 0", L{0, 10, 7, -1}, "\b", "", L{0, 1, 0});
        Row("emptied refused when 0 is out", L{5, 10, 7, -1}, "\b", "7", L{7, 0, -1});
    }

    void integerTyping() {
        QFETCH(QList<int>, setup);
        QFETCH(QString, keys);
        TIntegerEdit edit;
        QCOMPARE(edit.text(), "0");
        edit.SetMaxValue(setup[1]);
        edit.SetMinValue(setup[0]);
        edit.SetValue(setup[2]);
        if (setup[3] < 0)
            edit.selectAll();
        else
            edit.setCursorPosition(setup[3]);
        QSignalSpy spy(&edit, &TIntegerEdit::OnChange);
        if (keys.startsWith('='))
            edit.setText(keys.mid(1));
        else
            QTest::keyClicks(&edit, keys); // "\b" types a backspace
        QTEST(edit.text(), "text");
        // Caret -1: the start value is still wholly selected.
        const int caret =
            edit.selectedText() == QString::number(setup[2]) ? -1 : edit.cursorPosition();
        QTEST((QList<int>{edit.Value(), int(spy.size()), caret}), "after");
    }

    // Setter: V Value, m MinValue, M MaxValue, applied to the range -10..10 with Value 3.
    void integerSetters_data() {
        Columns<QChar, int, QString, int>({"setter", "argument", "error", "value"});
        const QChar V('V'), m('m'), M('M');
        Row("value in range", V, -10, "", -10);
        Row("value below", V, -11, "TIntegerEdit : Value < MinValue  (-11 < -10)", 3);
        Row("value above", V, 11, "TIntegerEdit : Value > MaxValue  (11 > 10)", 3);
        Row("min above max", m, 11, "TIntegerEdit : MinValue > MaxValue  (11 > 10)", 3);
        Row("max below min", M, -11, "TIntegerEdit : MinValue > MaxValue  (-10 > -11)", 3);
        Row("min raises value", m, 5, "", 5);
        Row("max lowers value", M, 2, "", 2);
        Row("max above value keeps it", M, 4, "", 3);
    }

    void integerSetters() {
        QFETCH(QChar, setter);
        QFETCH(int, argument);
        TIntegerEdit edit;
        edit.SetMinValue(-10);
        edit.SetMaxValue(10);
        edit.SetValue(3);
        QString raised;
        try {
            setter == u'V'   ? edit.SetValue(argument)
            : setter == u'm' ? edit.SetMinValue(argument)
                             : edit.SetMaxValue(argument);
        } catch (const EIntegerEdit& e) {
            raised = e.Message;
        }
        QTEST(raised, "error");
        QTEST(edit.Value(), "value");
        QCOMPARE(edit.text(), QString::number(edit.Value()));
    }

    // A held button steps at once, again after RepeatDelay, then every
    // RepeatInterval, and stops on release.
    void spinSteps() {
        TSpinEdit spin;
        spin.RepeatDelay = 80;
        spin.RepeatInterval = 10;
        spin.SetRange(1, 30000);
        spin.SetValue(100);
        spin.show();
        auto* timer = spin.findChild<QTimer*>("RepeatTimer");
        QVERIFY(timer);
        QSignalSpy changes(&spin, &TSpinEdit::OnChange);
        QTest::mousePress(spin.btnUp, Qt::LeftButton);
        QCOMPARE(spin.Value(), 101);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 80);
        QTRY_VERIFY_WITH_TIMEOUT(changes.size() >= 4, 5000);
        QCOMPARE(timer->interval(), 10);
        QTest::mouseRelease(spin.btnUp, Qt::LeftButton);
        QVERIFY(!timer->isActive());
        const int held = spin.Value();
        QVERIFY(held >= 104);
        QTest::mouseClick(spin.btnDown, Qt::LeftButton);
        QCOMPARE(spin.Value(), held - 1);

        // Steps stop at the ends of the range; the edit takes five characters at most.
        spin.RepeatDelay = 5;
        spin.RepeatInterval = 5;
        spin.SetValue(29999);
        QSignalSpy ticks(timer, &QTimer::timeout);
        QTest::mousePress(spin.btnUp, Qt::LeftButton);
        QVERIFY(ticks.wait(2000) && ticks.wait(2000));
        QTest::mouseRelease(spin.btnUp, Qt::LeftButton);
        QCOMPARE(spin.Value(), 30000);
        spin.SetValue(1);
        QTest::mouseClick(spin.btnDown, Qt::LeftButton);
        QCOMPARE(spin.Value(), 1);
        QTest::keyClick(spin.Edit, Qt::Key_Up);
        QCOMPARE(spin.Value(), 2);
        spin.Edit->clear();
        QTest::keyClicks(spin.Edit, "123456");
        QCOMPARE(spin.Edit->text(), "12345");
        QCOMPARE(spin.Value(), 12345);
    }

    // The three controls with captions, as the dialogs place them.
    void panelInLanguages() {
        QWidget panel;
        auto* grid = new QGridLayout(&panel);
        auto* led = new TLED(&panel);
        led->SetColor(lcYellow);
        led->SetLit(true);
        const std::pair<TMsgId, QWidget*> rows[] = {{msgHintLed, led},
                                                    {msgDirSZM, new TIntegerEdit(&panel)},
                                                    {msgOptTimerMinutes, new TSpinEdit(&panel)}};
        QList<QLabel*> labels;
        for (const auto& [caption, control] : rows) {
            control->setObjectName(control->metaObject()->className());
            labels << new QLabel(&panel);
            labels.last()->setObjectName("lbl" + control->objectName());
            grid->addWidget(labels.last(), grid->rowCount(), 0);
            grid->addWidget(control, grid->rowCount() - 1, 1);
        }
        GuiCheck::CheckInLanguages(&panel, "controls", [&] {
            for (int i = 0; i < labels.size(); ++i)
                SetCaption(labels[i], rows[i].first);
        });
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
