#pragma once
// How files reach the list: the file dialog, the folder window, and drops
// (also the paths named on the command line). No widgets: it asks through
// the window's prompts and tells the window when it is busy.

#include "gui/RunPanel.h"

#include <QElapsedTimer>
#include <QObject>

class TReporter;
class TSourceList;
class TWindowPrompts;

class TSourceAdder : public QObject {
    Q_OBJECT

public:
    TSourceAdder(TSourceList& list, TWindowPrompts& prompts, TReporter& reporter,
                 QObject* parent = nullptr);

    void AddFiles();
    void AddFolder();
    // Files and folders handled as one drop.
    void AddDroppedPaths(const QStringList& paths);
    void DropBegin();
    void DropPath(const QString& path);
    void DropEnd();
    // A scan or a long drop is letting events run.
    bool Busy() const { return Scanning; }
    // A drop of many files lets events run this often, like a scan.
    int DropSliceMs = 40;

Q_SIGNALS:
    void BusyChanged(TBusy busy);

private:
    QString StartFolder() const;
    void LetDropBreathe();
    void ScanBegin();
    void ScanEnd();

    TSourceList& List;
    TWindowPrompts& Prompts;
    TReporter& Reporter;
    QElapsedTimer DropSlice;
    bool DropFirstFolder = false;
    bool DropContinue = false;
    bool LongDrop = false;
    bool DropStopped = false; // a close asked meanwhile
    bool Scanning = false;
};
