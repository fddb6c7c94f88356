#include "gui/Spin.h"

#include "gui/NumEditLabels.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

TSpinEdit::TSpinEdit(QWidget* parent)
    : QWidget(parent), Edit(new TIntegerEdit(this)), btnUp(new QToolButton(this)),
      btnDown(new QToolButton(this)), RepeatTimer(new QTimer(this)) {
    Edit->setObjectName(QStringLiteral("Edit"));
    btnUp->setObjectName(QStringLiteral("btnUp"));
    btnDown->setObjectName(QStringLiteral("btnDown"));
    RepeatTimer->setObjectName(QStringLiteral("RepeatTimer"));
    Edit->setMaxLength(MaxDigits);
    SetRange(0, 99999);
    // Room for the widest value and no more.
    Edit->setMinimumWidth(Edit->fontMetrics().horizontalAdvance(QString(MaxDigits + 1, '0')) + 12);
    btnUp->setArrowType(Qt::UpArrow);
    btnDown->setArrowType(Qt::DownArrow);
    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    for (QToolButton* b : {btnUp, btnDown}) {
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(16, 11);
        buttons->addWidget(b);
    }
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    row->addWidget(Edit);
    row->addLayout(buttons);
    setFocusProxy(Edit);
    Edit->installEventFilter(this);

    connect(Edit, &TIntegerEdit::OnChange, this, &TSpinEdit::OnChange);
    connect(btnUp, &QToolButton::pressed, this, [this] { StartRepeat(1); });
    connect(btnDown, &QToolButton::pressed, this, [this] { StartRepeat(-1); });
    connect(btnUp, &QToolButton::released, RepeatTimer, &QTimer::stop);
    connect(btnDown, &QToolButton::released, RepeatTimer, &QTimer::stop);
    connect(RepeatTimer, &QTimer::timeout, this, &TSpinEdit::Repeat);
}

int TSpinEdit::Value() const {
    return Edit->Value();
}

void TSpinEdit::SetValue(int value) {
    Edit->SetValue(std::clamp(value, Edit->MinValue(), Edit->MaxValue()));
}

int TSpinEdit::MinValue() const {
    return Edit->MinValue();
}

int TSpinEdit::MaxValue() const {
    return Edit->MaxValue();
}

void TSpinEdit::SetRange(int minValue, int maxValue) {
    // Widen first so the edit never sees a crossed range on the way.
    Edit->SetMaxValue(std::max(maxValue, Edit->MaxValue()));
    Edit->SetMinValue(minValue);
    Edit->SetMaxValue(maxValue);
}

void TSpinEdit::Step(int direction) {
    const qint64 next = qint64(Value()) + qint64(direction) * Increment;
    SetValue(int(std::clamp<qint64>(next, MinValue(), MaxValue())));
    Edit->selectAll();
}

void TSpinEdit::StartRepeat(int direction) {
    RepeatDirection = direction;
    Step(direction);
    RepeatTimer->start(RepeatDelay);
}

void TSpinEdit::Repeat() {
    // The button follows the mouse: off the button, the press pauses.
    QToolButton* button = RepeatDirection > 0 ? btnUp : btnDown;
    if (!button->isDown())
        return RepeatTimer->stop();
    RepeatTimer->setInterval(RepeatInterval);
    Step(RepeatDirection);
}

bool TSpinEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
