#include "gui/LanguageTexts.h"

#include "messages/Sonabel_L.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

void SetHint(QWidget* widget, int hint) {
    widget->setToolTip(hint == NoHint ? QString() : Msg(TMsgId(hint)));
}

void SetCaption(QLabel* label, TMsgId caption, int hint) {
    label->setText(Msg(caption));
    SetHint(label, hint);
}

void SetCaption(QAbstractButton* button, TMsgId caption, int hint) {
    button->setText(Msg(caption));
    SetHint(button, hint);
}

void SetCaption(QGroupBox* group, TMsgId caption, int hint) {
    group->setTitle(Msg(caption));
    SetHint(group, hint);
}

void ApplyToolkitLanguage(int languageIndex) {
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    if (languageIndex <= 0 || languageIndex >= LanguageCount || !QCoreApplication::instance())
        return;
    auto* translator = new QTranslator;
    if (translator->load(QLocale(LanguageTable[size_t(languageIndex)].Locale),
                         QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator)) {
        installed = translator;
        return;
    }
    delete translator;
}

void BindButtonKey(QAbstractButton* button, const QKeySequence& key) {
    auto* action = new QAction(button);
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(action, &QAction::triggered, button, [button] {
        if (button->isEnabled())
            button->click();
    });
    // An action sits on a widget; the button's own would follow its
    // visibility, which is what a window-wide key wants.
    button->addAction(action);
}

void AddKeyToHint(QAbstractButton* button, const QKeySequence& key) {
    const QString suffix = QStringLiteral(" (%1)").arg(key.toString(QKeySequence::NativeText));
    if (!button->toolTip().endsWith(suffix))
        button->setToolTip(button->toolTip() + suffix);
}

QString PlainCaption(TMsgId caption) {
    QString text = Msg(caption);
    text.replace(QLatin1String("&&"), QLatin1String("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}
