#pragma once
// Loading the settings record from the store at start-up and saving it on exit.

#include "settings/RegFile.h"
#include "settings/Settings.h"

#include <QString>
#include <QStringList>
#include <functional>

class TReporter;

inline const QString MainFormName = QStringLiteral("SonabelMainForm");
// The main window's placement key of older versions, moved on first load.
inline const QString OldMainFormName = QStringLiteral("tavoraMainForm");

// What the store needs from outside: the language codes (stored by code, held by
// index), the system's default language and where the shell folders are.
struct TSettingsEnv {
    QStringList LanguageCodes{QStringLiteral("ENG"), QStringLiteral("FRN")};
    int DefaultLanguage = 0;
    std::function<QString(const QString&)> ShellFolder = GetShellFolder;

    QString LanguageCode(int index) const { return LanguageCodes.value(index); }
    QString MusicFolder() const { return ShellFolder(QStringLiteral("My Music")); }
    QString DocumentsFolder() const { return ShellFolder(QStringLiteral("Personal")); }
};

// Fills `settings` from the store; missing or unparsable values take their
// defaults, out-of-range ones are replaced. LamePath keeps its current value as
// default. Writes DirFlags back at once when the folder-filter upgrade is missing.
void LoadSettings(TRegFile& store, TSettings& settings, const TSettingsEnv& env = {});

enum class TSaveResult {
    Saved,     // every value written
    Unchanged, // nothing differed from the store: only LamePath and the placement
    Declined,  // the user said No: only LamePath and the placement
};

struct TSaveRequest {
    TPlacement MainPlacement;     // the main window's current placement
    QString ConfirmQuestion;      // asked when flConfirmSave is set and something changed
    bool PowerOffClosing = false; // run state 7: the power-off countdown closes us
};

// LamePath and the main window's placement are always written; the rest only
// when confirmation is off, the power-off closes the program, or the user agrees
// to save changed values.
TSaveResult SaveSettings(TRegFile& store, const TSettings& settings, const TSaveRequest& request,
                         TReporter& reporter, const TSettingsEnv& env = {});
