#pragma once
// The countdown window shared by the power-off after a run and the delayed
// start before one. It never blocks: the answer goes to a callback.

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

class TSonabelShutDown : public QDialog {
    Q_OBJECT
public:
    enum TMode : quint8 { PowerOffMode = 0, DelayedStartMode = 1 };

    explicit TSonabelShutDown(QWidget* parent = nullptr);

    void ApplyLanguage();
    // Each shows the window and returns at once; done runs exactly once, when
    // the window closes: OK or the end of the countdown confirm, Cancel, Esc
    // and a newer countdown refuse.
    void PowerOffCountdown(int seconds, std::function<void(bool confirmed)> done);
    void AskDelayedStart(int seconds, std::function<void(bool cancelled)> done);
    void UpdateCountdownLabel();
    // One second less; at 0 the window closes with OK.
    void TimerTimer();

    int Seconds = 0;
    TMode Mode = PowerOffMode;

    QLabel* lblShutDownFmt;
    QLabel* lblShutDown1;
    QLabel* lblShutDown2;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    // One tick a second; tests shorten its interval.
    QTimer* Timer;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Start(TMode mode, int seconds, std::function<void(bool accepted)> done);

    std::function<void(bool accepted)> FDone;
};
