#include "gui/SourceAdder.h"

#include "gui/WindowPrompts.h"
#include "messages/RunState.h"
#include "settings/RegFile.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"

#include <QApplication>
#include <QFileInfo>

TSourceAdder::TSourceAdder(TSourceList& list, TWindowPrompts& prompts, TReporter& reporter,
                           QObject* parent)
    : QObject(parent), List(list), Prompts(prompts), Reporter(reporter) {
    connect(&List, &TSourceList::AddFilesBegin, this,
            [] { QApplication::setOverrideCursor(Qt::WaitCursor); });
    connect(&List, &TSourceList::AddFilesEnd, this, [] { QApplication::restoreOverrideCursor(); });
    connect(&List, &TSourceList::ScanBegin, this, &TSourceAdder::ScanBegin);
    connect(&List, &TSourceList::ScanEnd, this, &TSourceAdder::ScanEnd);
}

QString TSourceAdder::StartFolder() const {
    const QString& last = Settings().LastDir;
    return last.isEmpty() ? GetShellFolder(QStringLiteral("My Music")) : last;
}

void TSourceAdder::AddFiles() {
    Reporter.SetState(rsAddingFiles);
    const QStringList names = Prompts.ChooseFiles(StartFolder());
    if (names.isEmpty()) {
        List.UpdateList(false);
        return;
    }
    List.BeginAddFiles();
    for (const QString& name : names)
        List.AddSourceFile(name);
    List.EndAddFiles();
}

void TSourceAdder::AddFolder() {
    Reporter.SetState(rsFolderScan);
    QString folder = StartFolder();
    // The folder window comes before the wait cursor.
    if (Prompts.ChooseScanFolder(folder)) {
        List.BeginAddFiles();
        List.AddFolder(folder);
        List.EndAddFiles();
    } else {
        List.UpdateList(false);
    }
}

void TSourceAdder::DropBegin() {
    List.BeginAddFiles();
    DropFirstFolder = true;
    DropContinue = true;
    DropStopped = false;
    DropSlice.start();
}

void TSourceAdder::DropPath(const QString& name) {
    const QFileInfo info(name);
    if (info.isFile()) {
        if (DropStopped)
            return;
        List.AddSourceFile(name);
        LetDropBreathe();
        return;
    }
    if (!info.isDir() || !DropContinue || DropStopped)
        return;
    if (DropFirstFolder) {
        Reporter.SetState(rsFolderScan);
        DropFirstFolder = false;
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        DropContinue = Prompts.ChooseScanFilter();
        QApplication::restoreOverrideCursor();
    }
    if (DropContinue) {
        List.AddFolder(name);
        // A stop asked during that scan holds for the rest of the drop too.
        if (RunState == rsStopRequested)
            DropContinue = false;
    }
}

// Thousands of dropped files take longer than a frame: the window paints
// now and then meanwhile, with the controls disabled, and a close waits for
// the drop to end, as during a scan.
void TSourceAdder::LetDropBreathe() {
    if (DropSlice.elapsed() < DropSliceMs)
        return;
    // A folder scan of the same drop enables the controls when it ends.
    if (!LongDrop || !Scanning) {
        LongDrop = true;
        Scanning = true;
        Q_EMIT BusyChanged(TBusy::Drop);
    }
    QCoreApplication::processEvents();
    if (RunState == rsStopRequested)
        DropStopped = true;
    DropSlice.restart();
}

void TSourceAdder::DropEnd() {
    // Recomputing a whole library's rows takes seconds too: it breathes as the adding did.
    List.SetBreather([this] { LetDropBreathe(); });
    List.EndAddFiles();
    List.SetBreather({});
    if (LongDrop) {
        LongDrop = false;
        Scanning = false;
        Q_EMIT BusyChanged(TBusy::None);
    }
}

void TSourceAdder::AddDroppedPaths(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    DropBegin();
    for (const QString& path : paths)
        DropPath(QFileInfo(path).absoluteFilePath());
    DropEnd();
}

void TSourceAdder::ScanBegin() {
    Scanning = true;
    Q_EMIT BusyChanged(TBusy::Scan);
}

void TSourceAdder::ScanEnd() {
    Scanning = false;
    Q_EMIT BusyChanged(TBusy::None);
}
