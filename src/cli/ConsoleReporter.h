#pragma once
// The reporter of sonabel-cli: log lines on standard output, status texts,
// questions and messages on standard error, questions answered without asking.

#include "messages/Reporting.h"

#include <QFile>
#include <QIODevice>
#include <QString>

#include <memory>

class TConsoleReporter : public TReporter {
public:
    // Writes to the given devices (stdout and stderr when null). Questions
    // get defaultAnswer when it is one of the buttons offered; otherwise the
    // first offered of No, Cancel, OK, Yes, so an unattended run never agrees
    // to something it was not told to. With interactive, an in-place rewrite
    // of the last log line redraws it on the terminal; otherwise the last line
    // is held back until it is final, so pipes and files get each line once.
    explicit TConsoleReporter(TModalResult defaultAnswer = TModalResult::No,
                              QIODevice* out = nullptr, QIODevice* err = nullptr,
                              bool interactive = false);
    ~TConsoleReporter() override;

    void LogLine(const QString& text) override;
    void ReplaceLastLogLine(const QString& text) override;
    void SetStatusText(const QString& text) override;
    TModalResult AskUser(const QString& message, TDialogType type, unsigned buttons,
                         int helpContext = 0) override;
    void ShowInfo(const QString& text) override;

    // Status texts go to standard error only when this is set.
    bool ShowStatus = false;
    TModalResult DefaultAnswer;

    // Writes a held-back log line.
    void Flush();

private:
    void Write(QIODevice* device, const QString& text);
    std::unique_ptr<QFile> StdOut, StdErr; // opened here when no device was given
    QIODevice* Out;
    QIODevice* Err;
    bool Interactive;
    QString PendingLine;
    bool HasPending = false;
};
