#pragma once
// The languages of the user interface and the switch between them.

#include <QLocale>
#include <QString>
#include <array>
#include <functional>

struct TLanguage {
    QString Code;        // stored in the settings ("ENG", "FRN")
    QString Name;        // in the language itself
    QString EnglishName; // lower-case English name
    int PrimaryLanguage; // the system's primary language id
    QLocale::Language Locale;
    int FontSize;
    void (*BuildMessages)(); // fills MessageTable with this language's texts
};

inline constexpr int LanguageCount = 2;
extern const std::array<TLanguage, LanguageCount> LanguageTable;

// Index of the language matching the locale's language; 0 (English) when none
// matches.
int DefaultLanguageIndex(const QLocale& locale = QLocale::system());
// Index of a stored language code (exact, case-sensitive), or -1.
int LanguageIndexOfCode(const QString& code);
// The text of a language's row in a language list: the name alone, or
// "Name  (english name)" when they differ.
QString LanguageListItem(int index);

// Makes the language current (an index outside the table takes defaultIndex,
// then English), builds its message table and copies the state texts. With
// reapply, the texts are first emptied and reapplied, then applied again once
// rebuilt. Returns the index made current. The settings' own overload also
// stores it.
int SetLanguage(int index, bool reapply, int defaultIndex);
// The index SetLanguage made current last; 0 (English) before the first call.
int CurrentLanguageIndex();
// The window that writes the texts into the forms registers here; SetLanguage
// with reapply calls it (it should end with SetState(RunState)).
void SetApplyLanguageHook(std::function<void()> hook);
// Runs the registered hook, if any.
void ApplyLanguage();

// Sets every entry of MessageTable to the empty string.
void FreeMessages();
// Copies entries msgStateIdle..msgStatePowerOff into StateTexts.
void CopyStateTexts();
