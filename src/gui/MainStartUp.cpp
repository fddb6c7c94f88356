#include "gui/MainStartUp.h"

#include "encoder/EncoderFacts.h"
#include "gui/WindowPrompts.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

bool LocateEncoder(TSettings& s, const QString& appDir, TWindowPrompts& prompts,
                   TReporter& reporter) {
    if (!QFileInfo(s.LamePath).isFile()) {
        const QString found = FindEncoder(appDir);
        s.LamePath = found.isEmpty() ? appDir + QLatin1String(LameExeName) : found;
    }
    while (!QFileInfo(s.LamePath).isFile()) {
        const QString program =
            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        if (reporter.AskUser(MsgFmt(msgLameMissingQuestion, {s.LamePath, program}),
                             TDialogType::Warning, mbYes | mbNo) != TModalResult::Yes)
            return false;
        const QString chosen = prompts.ChooseEncoder(s.LamePath);
        if (chosen.isEmpty())
            return false;
        if (IsEncoderFileName(chosen))
            s.LamePath = chosen;
        else
            reporter.ShowInfoFmt(msgLameWrongFile, {chosen, QString::fromLatin1(LameExeName)});
    }
    return true;
}

TPlacement PlacementOf(const QWidget& window) {
    const bool maximized = window.isMaximized();
    const QRect normal = maximized && window.normalGeometry().isValid() ? window.normalGeometry()
                                                                        : window.geometry();
    TPlacement p;
    p.State = maximized ? wsMaximized : wsNormal;
    p.Left = normal.x();
    p.Top = normal.y();
    p.Width = normal.width();
    p.Height = normal.height();
    return p;
}

void RestorePlacement(QWidget& window, const TPlacement& p) {
    const QSize size(qMax(p.Width, window.minimumWidth()), qMax(p.Height, window.minimumHeight()));
    // A place on a screen that is no longer there would hide the window.
    if (QGuiApplication::screenAt(QPoint(p.Left + 40, p.Top + 20)))
        window.setGeometry(QRect(QPoint(p.Left, p.Top), size));
    else
        window.resize(size);
    if (p.State == wsMaximized)
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
}
