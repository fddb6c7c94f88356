#pragma once
// The desktop program's reporter: lines to the log view, status texts to the
// status bar's first panel, questions and messages through the prompts.

#include "messages/Reporting.h"

class TLogView;
class TStatusPanels;
class TWindowPrompts;

class TMainReporter : public TReporter {
public:
    TMainReporter(TLogView& log, TStatusPanels& status, TWindowPrompts& prompts)
        : Log(log), Status(status), Prompts(prompts) {}

    void LogLine(const QString& text) override;
    void ReplaceLastLogLine(const QString& text) override;
    void SetStatusText(const QString& text) override;
    TModalResult AskUser(const QString& message, TDialogType type, unsigned buttons,
                         int helpContext = 0) override;
    void ShowInfo(const QString& text) override;

private:
    TLogView& Log;
    TStatusPanels& Status;
    TWindowPrompts& Prompts;
};
