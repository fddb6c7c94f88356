#include "gui/SonabelShutDownF.h"

#include "gui/LanguageTexts.h"
#include "gui/Named.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QLabel* NewLine(const char* name, QWidget* parent) {
    auto* label = Named(new QLabel(parent), name);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

TSonabelShutDown::TSonabelShutDown(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("SonabelShutDown"));
    setFixedWidth(420);

    lblShutDownFmt = NewLine("lblShutDownFmt", this);
    QFont big = lblShutDownFmt->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    lblShutDownFmt->setFont(big);
    lblShutDown1 = NewLine("lblShutDown1", this);
    lblShutDown2 = NewLine("lblShutDown2", this);

    btnOK = Named(new QPushButton(this), "btnOK");
    btnOK->setDefault(true);
    btnCancel = Named(new QPushButton(this), "btnCancel");
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);
    auto* form = new QVBoxLayout(this);
    form->addWidget(lblShutDownFmt);
    form->addSpacing(6);
    form->addWidget(lblShutDown1);
    form->addWidget(lblShutDown2);
    form->addSpacing(6);
    form->addLayout(buttons);

    Timer = new QTimer(this);
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, &TSonabelShutDown::TimerTimer);
    // Every way of closing (OK, Cancel, Esc, the countdown) ends up here once.
    connect(this, &QDialog::finished, this, [this](int result) {
        Timer->stop();
        if (auto done = std::exchange(FDone, {}))
            done(result == QDialog::Accepted);
    });
    ApplyLanguage();
}

void TSonabelShutDown::ApplyLanguage() {
    const bool powerOff = Mode == PowerOffMode;
    setWindowTitle(Msg(msgCountdownTitle));
    SetCaption(lblShutDown1, powerOff ? msgPowerOffLine1 : msgDelayedLine1);
    SetCaption(lblShutDown2, powerOff ? msgPowerOffLine2 : msgDelayedLine2);
    // OK on a delayed start skips the wait: the button says so.
    SetCaption(btnOK, powerOff ? msgCaptionOK : msgDelayedStartNow, msgCountdownOKHint);
    SetCaption(btnCancel, msgCaptionCancel,
               powerOff ? msgPowerOffCancelHint : msgDelayedCancelHint);
    UpdateCountdownLabel();
}

void TSonabelShutDown::UpdateCountdownLabel() {
    if (Mode == PowerOffMode)
        lblShutDownFmt->setText(MsgFmt(msgPowerOffCountdown, {Seconds}));
    else
        lblShutDownFmt->setText(
            MsgFmt(msgDelayedCountdown, {Seconds / 3600, Seconds / 60 % 60, Seconds % 60}));
}

void TSonabelShutDown::PowerOffCountdown(int seconds, std::function<void(bool confirmed)> done) {
    Start(PowerOffMode, seconds, std::move(done));
}

void TSonabelShutDown::AskDelayedStart(int seconds, std::function<void(bool cancelled)> done) {
    Start(DelayedStartMode, seconds, [done = std::move(done)](bool accepted) {
        if (done)
            done(!accepted);
    });
}

void TSonabelShutDown::Start(TMode mode, int seconds, std::function<void(bool accepted)> done) {
    // A countdown still open is refused first, so that its caller hears once.
    if (isVisible())
        reject();
    Mode = mode;
    Seconds = seconds;
    // Flags must be set while hidden: changing them hides the window.
    setWindowFlag(Qt::WindowStaysOnTopHint, mode == PowerOffMode);
    ApplyLanguage();
    FDone = std::move(done);
    open();
}

void TSonabelShutDown::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QWidget* owner = parentWidget())
        move(owner->window()->geometry().center() - rect().center());
    setWindowTitle(Msg(msgCountdownTitle));
    UpdateCountdownLabel();
    Timer->start();
}

void TSonabelShutDown::hideEvent(QHideEvent* event) {
    Timer->stop();
    QDialog::hideEvent(event);
}

void TSonabelShutDown::TimerTimer() {
    // A countdown started at 0 still ends on its first tick, never below 0.
    Seconds = std::max(0, Seconds - 1);
    UpdateCountdownLabel();
    if (Seconds == 0) {
        Timer->stop();
        accept();
    }
}
