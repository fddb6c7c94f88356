#include "ConsoleReporter.h"

#include <QFile>

#include <cstdio>

namespace {

TModalResult ResultOfButton(unsigned button) {
    switch (button) {
    case mbYes:
        return TModalResult::Yes;
    case mbNo:
        return TModalResult::No;
    case mbOK:
        return TModalResult::OK;
    case mbCancel:
        return TModalResult::Cancel;
    default:
        return TModalResult::None;
    }
}

unsigned ButtonOfResult(TModalResult result) {
    switch (result) {
    case TModalResult::Yes:
        return mbYes;
    case TModalResult::No:
        return mbNo;
    case TModalResult::OK:
        return mbOK;
    case TModalResult::Cancel:
        return mbCancel;
    default:
        return 0;
    }
}

QString DialogTag(TDialogType type) {
    switch (type) {
    case TDialogType::Warning:
        return QStringLiteral("warning");
    case TDialogType::Confirmation:
        return QStringLiteral("question");
    case TDialogType::Error:
        return QStringLiteral("error");
    case TDialogType::Information:
        break;
    }
    return QStringLiteral("info");
}

QString AnswerTag(TModalResult result) {
    switch (result) {
    case TModalResult::Yes:
        return QStringLiteral("yes");
    case TModalResult::No:
        return QStringLiteral("no");
    case TModalResult::OK:
        return QStringLiteral("ok");
    case TModalResult::Cancel:
        return QStringLiteral("cancel");
    case TModalResult::None:
        break;
    }
    return QStringLiteral("none");
}

} // namespace

TConsoleReporter::TConsoleReporter(TModalResult defaultAnswer, QIODevice* out, QIODevice* err,
                                   bool interactive)
    : DefaultAnswer(defaultAnswer), Out(out), Err(err), Interactive(interactive) {
    if (!Out) {
        StdOut = std::make_unique<QFile>();
        StdOut->open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
        Out = StdOut.get();
    }
    if (!Err) {
        StdErr = std::make_unique<QFile>();
        StdErr->open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
        Err = StdErr.get();
    }
}

TConsoleReporter::~TConsoleReporter() {
    Flush();
}

void TConsoleReporter::Write(QIODevice* device, const QString& text) {
    device->write(text.toUtf8());
}

void TConsoleReporter::Flush() {
    if (!HasPending)
        return;
    Write(Out, PendingLine + u'\n');
    HasPending = false;
    PendingLine.clear();
}

void TConsoleReporter::LogLine(const QString& text) {
    if (Interactive) {
        Write(Out, text + u'\n');
        return;
    }
    Flush();
    PendingLine = text;
    HasPending = true;
}

void TConsoleReporter::ReplaceLastLogLine(const QString& text) {
    if (Interactive) {
        // Up one line, back to its start, clear it, write the new text.
        Write(Out, QStringLiteral("\x1b[1A\r\x1b[2K") + text + u'\n');
        return;
    }
    PendingLine = text;
    HasPending = true;
}

void TConsoleReporter::SetStatusText(const QString& text) {
    if (!ShowStatus || text.isEmpty())
        return;
    Flush();
    Write(Err, text + u'\n');
}

TModalResult TConsoleReporter::AskUser(const QString& message, TDialogType type, unsigned buttons,
                                       int /*helpContext*/) {
    TModalResult answer = TModalResult::None;
    if (buttons & ButtonOfResult(DefaultAnswer)) {
        answer = DefaultAnswer;
    } else {
        for (unsigned button :
             {unsigned(mbNo), unsigned(mbCancel), unsigned(mbOK), unsigned(mbYes)})
            if (buttons & button) {
                answer = ResultOfButton(button);
                break;
            }
    }
    Flush();
    Write(
        Err,
        QStringLiteral("[%1] %2\n[answer] %3\n").arg(DialogTag(type), message, AnswerTag(answer)));
    return answer;
}

void TConsoleReporter::ShowInfo(const QString& text) {
    Flush();
    Write(Err, text + u'\n');
}
