#include "BatchFixtures.h"

TWarningAnswer TRecordingView::ShowWarningList(const QString& /*caption*/, const QString& message,
                                               const QStringList& items, bool goodFilesEnabled,
                                               bool allFilesEnabled) {
    Events << QStringLiteral("warning");
    WarningMessage = message;
    WarningItems = items;
    GoodFilesEnabled = goodFilesEnabled;
    AllFilesEnabled = allFilesEnabled;
    return WarningAnswers.isEmpty() ? TWarningAnswer::Abort : WarningAnswers.dequeue();
}

void TRecordingView::AskDelayedStart(int seconds, std::function<void(bool)> done) {
    Events << QStringLiteral("delayed %1").arg(seconds);
    CountdownSeconds = seconds;
    PendingCountdown = std::move(done);
}

void TRecordingView::PowerOffCountdown(int seconds, std::function<void(bool)> done) {
    Events << QStringLiteral("poweroff %1").arg(seconds);
    CountdownSeconds = seconds;
    if (PowerOffConfirm)
        done(*PowerOffConfirm);
    else
        PendingCountdown = std::move(done);
}

void TRecordingView::Follow(TBatch& batch) {
    QObject::connect(&batch, &TBatch::fileProgress, [this](int p, int m) { FileBar = {p, m}; });
    QObject::connect(&batch, &TBatch::totalProgress, [this](int p, int m) { TotalBar = {p, m}; });
    QObject::connect(&batch, &TBatch::timeTextChanged, [this](const QString& t) { TimeText = t; });
    QObject::connect(&batch, &TBatch::ledChanged,
                     [this](bool lit) { Events << (lit ? "led on" : "led off"); });
    QObject::connect(&batch, &TBatch::goButtonChanged,
                     [this](bool stop) { Events << (stop ? "go stop" : "go start"); });
    QObject::connect(&batch, &TBatch::controlsEnabled, [this](bool enabled) {
        Disabled = !enabled;
        Events << (enabled ? "enable" : "disable");
    });
    QObject::connect(&batch, &TBatch::currentRowChanged,
                     [this](int row) { Events << QStringLiteral("row %1").arg(row); });
    QObject::connect(&batch, &TBatch::logCleared, [this] { Events << QStringLiteral("clearlog"); });
}
