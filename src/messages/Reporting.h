#pragma once
// How the core talks to whoever shows things: the main window, the terminal of
// sonabel-cli, or a recording fake in the tests.
//
// A view implements only the display primitives (the pure virtuals). The
// formatting variants and SetState are built on them here, so every view
// formats and tracks the run state the same way.

#include "messages/Messages.h"

#include <QString>
#include <QVariant>
#include <initializer_list>

enum class TDialogType { Warning, Confirmation, Information, Error };
enum TMsgButton : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
enum class TModalResult { None, Yes, No, OK, Cancel };

class TReporter {
public:
    virtual ~TReporter() = default;

    // Display primitives.
    virtual void LogLine(const QString& text) = 0;
    // Rewrites the last log line in place (the batch's output-size line); with
    // an empty log it appends instead.
    virtual void ReplaceLastLogLine(const QString& text) = 0;
    virtual void SetStatusText(const QString& text) = 0;
    virtual TModalResult AskUser(const QString& message, TDialogType type, unsigned buttons,
                                 int helpContext = 0) = 0;
    virtual void ShowInfo(const QString& text) = 0;

    // Formatting helpers, all through FormatMsg.
    void LogFmt(const QString& fmt, std::initializer_list<QVariant> args);
    void LogFmt(TMsgId id, std::initializer_list<QVariant> args);
    void SetStatusFmt(const QString& fmt, std::initializer_list<QVariant> args);
    void SetStatusFmt(TMsgId id, std::initializer_list<QVariant> args);
    void ShowInfoFmt(const QString& fmt, std::initializer_list<QVariant> args);
    void ShowInfoFmt(TMsgId id, std::initializer_list<QVariant> args);

    // Shows the state text of the current language, then stores the value in
    // RunState. A value outside 0..7 is stored but shows an empty status.
    void SetState(quint8 value);
};
