#pragma once
// The spin edit: an integer edit with up and down buttons that repeat their
// step while held, first after RepeatDelay, then every RepeatInterval.

#include <QWidget>

class QTimer;
class QToolButton;
class TIntegerEdit;

class TSpinEdit : public QWidget {
    Q_OBJECT

public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    int Value() const;
    // Clamped to the range.
    void SetValue(int value);
    int MinValue() const;
    int MaxValue() const;
    void SetRange(int minValue, int maxValue);
    int Increment = 1;

    // Milliseconds; a test may shorten them.
    int RepeatDelay = 400;
    int RepeatInterval = 100;

    TIntegerEdit* Edit;
    QToolButton* btnUp;
    QToolButton* btnDown;

    static constexpr int MaxDigits = 5;

Q_SIGNALS:
    void OnChange();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Step(int direction);
    void StartRepeat(int direction);
    void Repeat();

    QTimer* RepeatTimer;
    int RepeatDirection = 0;
};
