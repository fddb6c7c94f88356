#include "RecordingReporter.h"

void TRecordingReporter::LogLine(const QString& text) {
    Calls.append({TReportKind::LogLine, text});
    Log.append(text);
}

void TRecordingReporter::ReplaceLastLogLine(const QString& text) {
    Calls.append({TReportKind::ReplaceLastLogLine, text});
    if (!Log.isEmpty())
        Log.removeLast();
    Log.append(text);
}

void TRecordingReporter::SetStatusText(const QString& text) {
    Calls.append({TReportKind::SetStatusText, text});
    Status = text;
}

TModalResult TRecordingReporter::AskUser(const QString& message, TDialogType type, unsigned buttons,
                                         int /*helpContext*/) {
    UnexpectedQuestions += int(Answers.isEmpty());
    const TModalResult answer = Answers.isEmpty() ? DefaultAnswer : Answers.dequeue();
    Calls.append({TReportKind::AskUser, message, type, buttons});
    Questions.append(message);
    if (WhileAsking)
        WhileAsking();
    return answer;
}

void TRecordingReporter::ShowInfo(const QString& text) {
    Calls.append({TReportKind::ShowInfo, text});
    Infos.append(text);
}

QList<TReportCall> TRecordingReporter::CallsOf(TReportKind kind) const {
    QList<TReportCall> result;
    for (const TReportCall& call : Calls)
        if (call.Kind == kind)
            result.append(call);
    return result;
}

void TRecordingReporter::Clear() {
    Calls.clear();
    Log.clear();
    Status.clear();
    Infos.clear();
    Questions.clear();
    Answers.clear();
    UnexpectedQuestions = 0;
}
