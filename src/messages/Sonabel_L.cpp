#include "messages/Sonabel_L.h"

#include "messages/Messages.h"
#include "messages/Sonabel_ENG.h"
#include "messages/Sonabel_FRN.h"

#include <utility>

const std::array<TLanguage, LanguageCount> LanguageTable = {{
    {QStringLiteral("ENG"), QStringLiteral("English"), QStringLiteral("english"), 0x09,
     QLocale::English, 8, &BuildMessagesENG},
    {QStringLiteral("FRN"), QStringLiteral("Français"), QStringLiteral("french"), 0x0C,
     QLocale::French, 8, &BuildMessagesFRN},
}};

namespace {

int CurrentIndex = 0;

std::function<void()>& ApplyHook() {
    static std::function<void()> hook;
    return hook;
}

} // namespace

int DefaultLanguageIndex(const QLocale& locale) {
    for (int i = 0; i < LanguageCount; ++i)
        if (LanguageTable[i].Locale == locale.language())
            return i;
    return 0;
}

int LanguageIndexOfCode(const QString& code) {
    for (int i = 0; i < LanguageCount; ++i)
        if (LanguageTable[i].Code == code)
            return i;
    return -1;
}

QString LanguageListItem(int index) {
    if (index < 0 || index >= LanguageCount)
        return QString();
    const TLanguage& row = LanguageTable[index];
    if (row.Name.compare(row.EnglishName, Qt::CaseInsensitive) == 0)
        return row.Name;
    return QStringLiteral("%1  (%2)").arg(row.Name, row.EnglishName);
}

void FreeMessages() {
    for (QString& text : MessageTable)
        text.clear();
}

void CopyStateTexts() {
    for (int i = 0; i < int(StateTexts.size()); ++i)
        StateTexts[i] = MessageTable[msgStateIdle + i];
}

int CurrentLanguageIndex() {
    return CurrentIndex;
}

void SetApplyLanguageHook(std::function<void()> hook) {
    ApplyHook() = std::move(hook);
}

void ApplyLanguage() {
    if (ApplyHook())
        ApplyHook()();
}

int SetLanguage(int index, bool reapply, int defaultIndex) {
    if (reapply) {
        FreeMessages();
        CopyStateTexts();
        ApplyLanguage();
    }
    if (index < 0 || index >= LanguageCount) {
        index = defaultIndex;
        // The default comes from outside; never index the table with a bad one.
        if (index < 0 || index >= LanguageCount)
            index = 0;
    }
    FreeMessages();
    CurrentIndex = index;
    LanguageTable[index].BuildMessages();
    CopyStateTexts();
    if (reapply)
        ApplyLanguage();
    return index;
}
