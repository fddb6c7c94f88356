#include "gui/MainReporter.h"

#include "gui/LogView.h"
#include "gui/StatusPanels.h"
#include "gui/WindowPrompts.h"

void TMainReporter::LogLine(const QString& text) {
    Log.LogLine(text);
}

void TMainReporter::ReplaceLastLogLine(const QString& text) {
    Log.ReplaceLastLogLine(text);
}

void TMainReporter::SetStatusText(const QString& text) {
    Status.SetStateText(text);
}

TModalResult TMainReporter::AskUser(const QString& message, TDialogType type, unsigned buttons,
                                    int /*helpContext*/) {
    return Prompts.Ask(message, type, buttons);
}

void TMainReporter::ShowInfo(const QString& text) {
    Prompts.Ask(text, TDialogType::Information, mbOK);
}
