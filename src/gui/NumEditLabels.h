#pragma once
// The integer-only edit box: any edit that would not leave a whole number in
// range is undone, the caret and selection put back where they were.

#include <QLineEdit>
#include <limits>
#include <stdexcept>

// A caller's range error, never shown to the user:
// "TIntegerEdit : Value < MinValue  (5 < 10)".
class EIntegerEdit : public std::invalid_argument {
public:
    explicit EIntegerEdit(const QString& message)
        : std::invalid_argument(message.toStdString()), Message(message) {}
    QString Message;
};

class TIntegerEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(int Value READ Value WRITE SetValue)
    Q_PROPERTY(int MinValue READ MinValue WRITE SetMinValue)
    Q_PROPERTY(int MaxValue READ MaxValue WRITE SetMaxValue)

public:
    explicit TIntegerEdit(QWidget* parent = nullptr);

    int Value() const { return FValue; }
    int MinValue() const { return FMinValue; }
    int MaxValue() const { return FMaxValue; }
    // Throw EIntegerEdit for a value outside the range or a crossed range;
    // narrowing the range past the value moves the value with it.
    void SetValue(int value);
    void SetMinValue(int value);
    void SetMaxValue(int value);

    // The value a text stands for: decimal or "$" hexadecimal, with an optional
    // sign; the empty text, a lone "$", and a lone sign the range allows are 0.
    static bool ParseCandidate(const QString& text, int minValue, int maxValue, qint64* value);

Q_SIGNALS:
    // Only for accepted input.
    void OnChange();

protected:
    bool event(QEvent* event) override;

private:
    void TextChanged(const QString& text);
    [[noreturn]] void Raise(const char* format, int a, int b) const;

    int FValue = 0;
    int FMinValue = std::numeric_limits<int>::min();
    int FMaxValue = std::numeric_limits<int>::max();
    QString LastText;
    int SavedSelStart = 0;
    int SavedSelLength = 0;
    bool Tracking = true;
};
