#include "gui/RunFeedback.h"

#include "batch/Batch.h"
#include "batch/BatchSourceList.h"
#include "gui/RunNotifier.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "sources/SourceList.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>
#include <QWidget>

TRunFeedback::TRunFeedback(TBatch& batch, TSourceList& list, TReporter& reporter,
                           TRunNotifier& notifier, QWidget& window, QObject* parent)
    : QObject(parent), List(list), Reporter(reporter), Notifier(notifier), Window(window) {
    FollowRun(batch, list);
    connect(&batch, &TBatch::runStarted, this, &TRunFeedback::RunStarted);
    connect(&batch, &TBatch::runFinished, this, &TRunFeedback::RunFinished);
}

void TRunFeedback::SetProgress(int position, int maximum) {
    if (Running && maximum > 0)
        Notifier.SetProgress(double(qMin(position, maximum)) / maximum, true);
}

QString TRunFeedback::RowOutputFolder(const TSourceList& list, int row) {
    const TRowStatus status = list.RowStatus(row);
    if (status.State != TRowState::Done || status.Output.isEmpty())
        return {};
    return QFileInfo(status.Output).absolutePath();
}

void TRunFeedback::RunStarted() {
    Running = true;
    Notifier.SetProgress(0, true);
    if (!Folder.isEmpty()) {
        Folder.clear();
        Q_EMIT OutputFolderChanged(Folder);
    }
}

void TRunFeedback::RunFinished(const TRunSummary& summary) {
    Running = false;
    Notifier.SetProgress(0, false);
    const QString text = RunSummaryText(summary);
    Reporter.LogLine(text);
    Reporter.SetStatusText(text);
    for (int row = 0; row < List.Count() && Folder.isEmpty(); ++row)
        Folder = RowOutputFolder(List, row);
    Q_EMIT OutputFolderChanged(Folder);
    // Someone watching the window sees the end there; a failure is worth
    // telling in any case.
    if (Window.isActiveWindow() && summary.Failed == 0)
        return;
    const TMsgId title = summary.Failed > 0 ? msgNotifyFailed
                         : summary.Stopped  ? msgNotifyStopped
                                            : msgNotifyFinished;
    Notifier.Notify(Msg(title), text, summary.Failed > 0);
}

void OpenFolder(const QString& folder) {
    if (!folder.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}
