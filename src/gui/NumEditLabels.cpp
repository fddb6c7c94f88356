#include "gui/NumEditLabels.h"

#include "messages/FormatMsg.h"

#include <QEvent>

TIntegerEdit::TIntegerEdit(QWidget* parent) : QLineEdit(parent) {
    LastText = QStringLiteral("0");
    setText(LastText);
    connect(this, &QLineEdit::textChanged, this, &TIntegerEdit::TextChanged);
}

void TIntegerEdit::Raise(const char* format, int a, int b) const {
    throw EIntegerEdit(QString::fromLatin1(metaObject()->className()) + QStringLiteral(" : ") +
                       FormatMsg(QString::fromLatin1(format), {a, b}));
}

void TIntegerEdit::SetValue(int value) {
    if (value < FMinValue)
        Raise("Value < MinValue  (%d < %d)", value, FMinValue);
    if (value > FMaxValue)
        Raise("Value > MaxValue  (%d > %d)", value, FMaxValue);
    setText(QString::number(value));
    FValue = value;
}

void TIntegerEdit::SetMinValue(int value) {
    if (value > FMaxValue)
        Raise("MinValue > MaxValue  (%d > %d)", value, FMaxValue);
    FMinValue = value;
    if (value > FValue)
        SetValue(value);
}

void TIntegerEdit::SetMaxValue(int value) {
    if (value < FMinValue)
        Raise("MinValue > MaxValue  (%d > %d)", FMinValue, value);
    FMaxValue = value;
    if (value < FValue)
        SetValue(value);
}

bool TIntegerEdit::ParseCandidate(const QString& text, int minValue, int maxValue, qint64* value) {
    QString candidate = text;
    if (candidate.isEmpty() || candidate == QLatin1String("$") ||
        (candidate == QLatin1String("-") && minValue < 0) ||
        (candidate == QLatin1String("+") && maxValue >= 1))
        candidate = QStringLiteral("0");
    QStringView digits(candidate);
    bool negative = false;
    if (digits.startsWith(u'-') || digits.startsWith(u'+')) {
        negative = digits.front() == u'-';
        digits = digits.mid(1);
    }
    int base = 10;
    if (digits.startsWith(u'$')) {
        base = 16;
        digits = digits.mid(1);
    }
    // toLongLong would also take blanks and a sign of its own: only digits pass.
    for (QChar c : digits)
        if (!(c.isDigit() && c.unicode() < 128) &&
            !(base == 16 && QStringLiteral("abcdefABCDEF").contains(c)))
            return false;
    bool ok = false;
    const qint64 magnitude = digits.toLongLong(&ok, base);
    if (!ok)
        return false;
    const qint64 v = negative ? -magnitude : magnitude;
    if (v < minValue || v > maxValue)
        return false;
    *value = v;
    return true;
}

bool TIntegerEdit::event(QEvent* event) {
    // What the user had selected before an input, to put back on a refusal.
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Drop:
        if (Tracking) {
            SavedSelStart = hasSelectedText() ? selectionStart() : cursorPosition();
            SavedSelLength = int(selectedText().size());
        }
        break;
    default:
        break;
    }
    return QLineEdit::event(event);
}

void TIntegerEdit::TextChanged(const QString& text) {
    if (text == LastText)
        return;
    qint64 value = 0;
    if (ParseCandidate(text, FMinValue, FMaxValue, &value)) {
        FValue = int(value);
        LastText = text;
        Q_EMIT OnChange();
        return;
    }
    Tracking = false;
    setText(LastText);
    setSelection(SavedSelStart, SavedSelLength);
    Tracking = true;
}
