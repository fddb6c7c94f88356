#pragma once
// Every question and dialog the main window puts to the user goes through
// this, so tests answer without a real window. A new question (a confirmation
// before a run, say) becomes one more method here.

#include "messages/Reporting.h"

#include <QString>
#include <QStringList>

class QUrl;

class TWindowPrompts {
public:
    virtual ~TWindowPrompts() = default;

    virtual TModalResult Ask(const QString& text, TDialogType type, unsigned buttons) = 0;
    virtual QStringList ChooseFiles(const QString& startFolder) = 0;
    // The encoder picked, or empty when the user gave up.
    virtual QString ChooseEncoder(const QString& current) = 0;
    // In and out: the start folder, then the folder chosen.
    virtual bool ChooseScanFolder(QString& folder) = 0;
    // The filter of a dropped folder; false: the folders of the drop are left out.
    virtual bool ChooseScanFilter() = 0;
    // True when the options were changed.
    virtual bool ExecuteOptions() = 0;
    virtual void ShowProperties(const QString& path) = 0;
    virtual void OpenUrl(const QUrl& url) = 0;
};
