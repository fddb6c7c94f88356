#pragma once
// The program's other windows, created once after the main window and reused,
// with the update check that uses the download window. Each window follows a
// language change by itself.

#include "gui/WindowPrompts.h"

#include <QObject>

class QWidget;
class TRegFile;
class TReporter;
class TSonabelDirForm;
class TSonabelDownloadForm;
class TSonabelOptionForm;
class TSonabelPropsForm;
class TSonabelShutDown;
class TSonabelTextForm;
class TSonabelWarningForm;
class TUpdateCheck;

class TMainDialogs : public QObject {
    Q_OBJECT

public:
    TMainDialogs(QWidget& window, TReporter& reporter, TRegFile& store);
    ~TMainDialogs() override;

    TSonabelTextForm* TextForm;
    TSonabelOptionForm* OptionForm;
    TSonabelDirForm* DirForm;
    TSonabelPropsForm* PropsForm;
    TSonabelWarningForm* WarningForm;
    TSonabelDownloadForm* DownloadForm;
    TSonabelShutDown* ShutDownForm;
    TUpdateCheck* UpdateCheck;
};

// The prompts of the desktop program: message boxes and file dialogs of the
// toolkit, and the program's own windows once they exist.
class TDialogPrompts : public TWindowPrompts {
public:
    explicit TDialogPrompts(QWidget& window) : Window(window) {}
    void SetDialogs(TMainDialogs* dialogs) { Dialogs = dialogs; }

    TModalResult Ask(const QString& text, TDialogType type, unsigned buttons) override;
    QStringList ChooseFiles(const QString& startFolder) override;
    QString ChooseEncoder(const QString& current) override;
    bool ChooseScanFolder(QString& folder) override;
    bool ChooseScanFilter() override;
    bool ExecuteOptions() override;
    void ShowProperties(const QString& path) override;
    void OpenUrl(const QUrl& url) override;

private:
    QWidget& Window;
    TMainDialogs* Dialogs = nullptr;
};
