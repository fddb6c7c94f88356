#pragma once
// How the core talks to whoever shows things: the main window, the terminal of
// sonabel-cli, or a recording fake in the tests.

#include <QString>

enum class TDialogType { Warning, Confirmation, Information, Error };
enum TMsgButton : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
enum class TModalResult { None, Yes, No, OK, Cancel };

class TReporter {
public:
    virtual ~TReporter() = default;
    virtual TModalResult AskUser(const QString& message, TDialogType type, unsigned buttons,
                                 int helpContext = 0) = 0;
    virtual void ShowInfo(const QString& text) = 0;
};
