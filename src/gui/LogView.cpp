#include "gui/LogView.h"

#include "gui/LanguageTexts.h"

#include <QEvent>
#include <QFontDatabase>
#include <QScrollBar>
#include <QTextBlock>

TLogView::TLogView(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("memoInfo"));
    setReadOnly(true);
    // Selectable by mouse and keyboard, yet without an editing caret; the
    // focus frame shows that Tab reached it.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QPalette log = palette();
    for (const QPalette::ColorGroup group :
         {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        log.setColor(group, QPalette::Base, Qt::black);
        log.setColor(group, QPalette::Text, QColor(0, 255, 0));
    }
    setPalette(log);
    setFixedHeight(170);
    setMinimumWidth(220);
}

void TLogView::LogLine(const QString& text) {
    appendPlainText(text);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TLogView::ReplaceLastLogLine(const QString& text) {
    if (document()->isEmpty()) {
        LogLine(text);
        return;
    }
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(text);
}

void TLogView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LanguageChange)
        SetHint(this, msgHintMemoInfo);
    QPlainTextEdit::changeEvent(event);
}
