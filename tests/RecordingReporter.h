#pragma once
// A reporter for tests: keeps every call in order, keeps the log and the
// status as a window would show them, and answers questions from a queue of
// answers the test provides.

#include "messages/Reporting.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <functional>

enum class TReportKind { LogLine, ReplaceLastLogLine, SetStatusText, AskUser, ShowInfo };

struct TReportCall {
    TReportKind Kind;
    QString Text;
    TDialogType Type = TDialogType::Information; // AskUser only
    unsigned Buttons = 0;                        // AskUser only
};

class TRecordingReporter : public TReporter {
public:
    void LogLine(const QString& text) override;
    void ReplaceLastLogLine(const QString& text) override;
    void SetStatusText(const QString& text) override;
    TModalResult AskUser(const QString& message, TDialogType type, unsigned buttons,
                         int helpContext = 0) override;
    void ShowInfo(const QString& text) override;

    // The next AskUser returns this; with an empty queue it returns
    // DefaultAnswer and counts an unexpected question.
    void QueueAnswer(TModalResult answer) { Answers.enqueue(answer); }

    QList<TReportCall> Calls;
    QStringList Log;   // the log as shown, after in-place rewrites
    QString Status;    // the status text last set
    QStringList Infos; // texts of ShowInfo, in order
    QStringList Questions;
    QQueue<TModalResult> Answers;
    TModalResult DefaultAnswer = TModalResult::None;
    int UnexpectedQuestions = 0;
    // Runs while a question is open, as events do behind a modal box.
    std::function<void()> WhileAsking;

    QList<TReportCall> CallsOf(TReportKind kind) const;
    void Clear();
};
