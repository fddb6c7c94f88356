#pragma once
// The information log: read-only, green on black, one line per message.

#include <QPlainTextEdit>

class TLogView : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TLogView(QWidget* parent = nullptr);

    void LogLine(const QString& text);
    // Rewrites the last line; with an empty log it appends instead.
    void ReplaceLastLogLine(const QString& text);

protected:
    void changeEvent(QEvent* event) override;
};
