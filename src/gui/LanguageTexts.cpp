#include "gui/LanguageTexts.h"

#include "messages/Sonabel_L.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
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
