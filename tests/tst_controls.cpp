// The small controls: the LED, the integer edit and the spin edit, and how
// they look side by side in both languages.

#include "GuiCheck.h"
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

class TestControls : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ledState_data();
    void ledState();
    void ledPicture();
    void integerTyping_data();
    void integerTyping();
    void integerSetters_data();
    void integerSetters();
    void spinRepeat();
    void spinLimits();
    void panelInLanguages();
};

// Operations: L/l set Lit true/false, T Toggle, N NextColor, C<n> set Color,
// D/E disable/enable.
void TestControls::ledState_data() {
    QTest::addColumn<int>("startColor");
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<bool>("lit");
    QTest::addColumn<int>("color");
    QTest::addColumn<int>("signals");
    QTest::newRow("defaults") << -1 << QStringList{} << false << int(lcRed) << 0;
    QTest::newRow("lit twice fires once") << -1 << QStringList{"L", "L"} << true << 0 << 1;
    QTest::newRow("off when off fires not") << -1 << QStringList{"l"} << false << 0 << 0;
    QTest::newRow("toggle twice") << -1 << QStringList{"T", "T"} << false << 0 << 2;
    QTest::newRow("white wraps to red") << int(lcWhite) << QStringList{"N"} << false << 0 << 1;
    QTest::newRow("next from yellow")
        << int(lcYellow) << QStringList{"N"} << false << int(lcMagenta) << 1;
    QTest::newRow("same colour fires not")
        << int(lcCyan) << QStringList{"C4"} << false << int(lcCyan) << 0;
    QTest::newRow("disable, enable") << -1 << QStringList{"D", "E"} << false << 0 << 2;
}

void TestControls::ledState() {
    QFETCH(int, startColor);
    QFETCH(QStringList, ops);
    TLED led;
    if (startColor >= 0)
        led.SetColor(TLEDColor(startColor));
    QSignalSpy spy(&led, &TLED::OnChangeState);
    for (const QString& op : ops) {
        switch (op[0].toLatin1()) {
        case 'L':
            led.SetLit(true);
            break;
        case 'l':
            led.SetLit(false);
            break;
        case 'T': {
            const bool lit = led.Toggle();
            QCOMPARE(lit, led.Lit());
        } break;
        case 'N': {
            const TLEDColor color = led.NextColor();
            QCOMPARE(color, led.Color());
        } break;
        case 'C':
            led.SetColor(TLEDColor(op.mid(1).toInt()));
            break;
        default:
            led.setEnabled(op == "E");
        }
    }
    QTEST(led.Lit(), "lit");
    QTEST(int(led.Color()), "color");
    QTEST(int(spy.size()), "signals");
    if (!spy.isEmpty())
        QCOMPARE(spy.first().first().value<QObject*>(), &led);
}

// Always 12 x 13; lit and off differ; disabled looks the same whatever its state.
void TestControls::ledPicture() {
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

// The edit holds start, wholly selected (caret -1) or with the caret at a
// position; then the keys are typed one by one ("=" first: pasted whole).
// Afterwards the caret is checked the same way.
void TestControls::integerTyping_data() {
    QTest::addColumn<int>("minValue");
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("caret");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("changes");
    QTest::addColumn<int>("caretAfter");
    QTest::newRow("minus refused at MinValue 0") << 0 << 100 << 12 << -1 << "-"
                                                 << "12" << 12 << 0 << -1;
    QTest::newRow("minus kept, counts 0") << -10 << 10 << 5 << -1 << "-"
                                          << "-" << 0 << 1 << 1;
    QTest::newRow("minus then digit") << -10 << 10 << 5 << -1 << "-7"
                                      << "-7" << -7 << 2 << 2;
    QTest::newRow("hex $1F") << 0 << 100 << 0 << -1 << "$1F"
                             << "$1F" << 31 << 3 << 3;
    QTest::newRow("sign then $ refused") << -100 << 100 << 0 << -1 << "-$"
                                         << "-" << 0 << 1 << 1;
    QTest::newRow("signed hex pasted") << -100 << 100 << 0 << -1 << "=-$a"
                                       << "-$a" << -10 << 1 << 3;
    QTest::newRow("plus needs MaxValue 1") << -10 << 0 << 0 << -1 << "+"
                                           << "0" << 0 << 0 << -1;
    QTest::newRow("plus kept") << 0 << 1 << 0 << -1 << "+1"
                               << "+1" << 1 << 2 << 2;
    QTest::newRow("digit past max refused") << 0 << 50 << 5 << 1 << "17"
                                            << "5" << 5 << 0 << 1;
    QTest::newRow("letter refused mid-text") << 0 << 999 << 123 << 1 << "x"
                                             << "123" << 123 << 0 << 1;
    QTest::newRow("emptied counts 0") << 0 << 10 << 7 << -1 << "\b"
                                      << "" << 0 << 1 << 0;
    QTest::newRow("emptied refused when 0 is out") << 5 << 10 << 7 << -1 << "\b"
                                                   << "7" << 7 << 0 << -1;
}

void TestControls::integerTyping() {
    QFETCH(int, minValue);
    QFETCH(int, maxValue);
    QFETCH(int, start);
    QFETCH(int, caret);
    QFETCH(QString, keys);
    TIntegerEdit edit;
    QCOMPARE(edit.text(), "0");
    edit.SetMaxValue(maxValue);
    edit.SetMinValue(minValue);
    edit.SetValue(start);
    if (caret < 0)
        edit.selectAll();
    else
        edit.setCursorPosition(caret);
    QSignalSpy spy(&edit, &TIntegerEdit::OnChange);
    if (keys.startsWith('='))
        edit.setText(keys.mid(1));
    else
        QTest::keyClicks(&edit, keys); // "\b" types a backspace
    QTEST(edit.text(), "text");
    QTEST(edit.Value(), "value");
    QTEST(int(spy.size()), "changes");
    QFETCH(int, caretAfter);
    if (caretAfter < 0)
        QCOMPARE(edit.selectedText(), QString::number(start));
    else
        QCOMPARE(edit.cursorPosition(), caretAfter);
}

// Setter: V Value, m MinValue, M MaxValue, applied to the range -10..10 with Value 3.
void TestControls::integerSetters_data() {
    QTest::addColumn<QChar>("setter");
    QTest::addColumn<int>("argument");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("value");
    QTest::newRow("value in range") << QChar('V') << -10 << "" << -10;
    QTest::newRow("value below") << QChar('V') << -11
                                 << "TIntegerEdit : Value < MinValue  (-11 < -10)" << 3;
    QTest::newRow("value above") << QChar('V') << 11 << "TIntegerEdit : Value > MaxValue  (11 > 10)"
                                 << 3;
    QTest::newRow("min above max")
        << QChar('m') << 11 << "TIntegerEdit : MinValue > MaxValue  (11 > 10)" << 3;
    QTest::newRow("max below min")
        << QChar('M') << -11 << "TIntegerEdit : MinValue > MaxValue  (-10 > -11)" << 3;
    QTest::newRow("min raises value") << QChar('m') << 5 << "" << 5;
    QTest::newRow("max lowers value") << QChar('M') << 2 << "" << 2;
    QTest::newRow("max above value keeps it") << QChar('M') << 4 << "" << 3;
}

void TestControls::integerSetters() {
    QFETCH(QChar, setter);
    QFETCH(int, argument);
    QFETCH(QString, error);
    TIntegerEdit edit;
    edit.SetMinValue(-10);
    edit.SetMaxValue(10);
    edit.SetValue(3);
    QString raised;
    try {
        if (setter == u'V')
            edit.SetValue(argument);
        else if (setter == u'm')
            edit.SetMinValue(argument);
        else
            edit.SetMaxValue(argument);
    } catch (const EIntegerEdit& e) {
        raised = e.Message;
    }
    QCOMPARE(raised, error);
    QTEST(edit.Value(), "value");
    QCOMPARE(edit.text(), QString::number(edit.Value()));
}

// A held button steps at once, again after RepeatDelay, then every
// RepeatInterval, and stops on release.
void TestControls::spinRepeat() {
    TSpinEdit spin;
    QCOMPARE(spin.RepeatDelay, 400);
    QCOMPARE(spin.RepeatInterval, 100);
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
}

// Steps stop at the ends of the range; the edit takes five characters at most.
void TestControls::spinLimits() {
    TSpinEdit spin;
    spin.RepeatDelay = 5;
    spin.RepeatInterval = 5;
    spin.SetRange(1, 30000);
    spin.SetValue(29999);
    spin.show();
    auto* timer = spin.findChild<QTimer*>("RepeatTimer");
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
void TestControls::panelInLanguages() {
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
    const QStringList problems = GuiCheck::CheckInLanguages(&panel, "controls", [&] {
        for (int i = 0; i < labels.size(); ++i)
            SetCaption(labels[i], rows[i].first);
    });
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
