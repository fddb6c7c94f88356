#include "gui/SonabelTextF.h"

#include "gui/LanguageTexts.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TSonabelTextForm::TSonabelTextForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("SonabelTextForm"));
    resize(600, 370);

    memoText = new QPlainTextEdit(this);
    memoText->setObjectName(QStringLiteral("memoText"));
    memoText->setReadOnly(true);
    // Selectable with the mouse only, so the read-only text shows no caret.
    memoText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    memoText->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoText->viewport()->setCursor(Qt::ArrowCursor);
    QPalette palette = memoText->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, QColor(0xE0, 0xE0, 0xE0));
    memoText->setPalette(palette);

    BitBtn1 = new QPushButton(this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(BitBtn1);
    auto* form = new QVBoxLayout(this);
    form->addWidget(memoText, 1);
    form->addLayout(bottom);
    ApplyLanguage();
}

void TSonabelTextForm::ApplyLanguage() {
    SetCaption(BitBtn1, msgCaptionOK);
}

void TSonabelTextForm::ShowText(const QString& title, const QStringList& lines) {
    setWindowTitle(title);
    memoText->setPlainText(lines.join(QLatin1Char('\n')));
    if (QWidget* owner = parentWidget())
        move(owner->window()->geometry().center() - rect().center());
    exec();
}

void TSonabelTextForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    memoText->setFocus();
}
