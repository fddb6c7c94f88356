#pragma once
// How the core talks to whoever shows things: the main window, the terminal of
// sonabel-cli, or a recording fake in the tests.
//
// A view implements only the display primitives (the pure virtuals). The
// formatting variants are built on them here, so every view formats the same
// way; a view shows the run state by following its owner (FollowRunState).

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

    // Sets the current run state; the views that follow it show its text.
    void SetState(quint8 value);
};

class QObject;
class TRunState;
// Shows each value the run state is set to as the reporter's status text, in
// the current language (empty outside 0..7), while context lives.
void FollowRunState(TRunState& state, TReporter& reporter, QObject* context);
