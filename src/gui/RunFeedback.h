#pragma once
// What a run tells the user beyond the rows: the summary line in the log and
// the status bar, the desktop notification, the task bar progress and the
// output folder to open at its end.

#include <QObject>
#include <QString>

class QWidget;
class TBatch;
class TReporter;
class TRunNotifier;
class TSourceList;
struct TRunSummary;

class TRunFeedback : public QObject {
    Q_OBJECT
public:
    // window: the notification is shown when it is not the active window.
    TRunFeedback(TBatch& batch, TSourceList& list, TReporter& reporter, TRunNotifier& notifier,
                 QWidget& window, QObject* parent = nullptr);

    // The total bar, as the run panel shows it.
    void SetProgress(int position, int maximum);
    // The folder of the last run's first output; empty when it wrote none.
    const QString& OutputFolder() const { return Folder; }
    // The output folder of a row done in the last run; empty for any other row.
    static QString RowOutputFolder(const TSourceList& list, int row);

Q_SIGNALS:
    // At the end of a run: the folder to offer, empty when nothing was written.
    void OutputFolderChanged(const QString& folder);

private:
    void RunStarted();
    void RunFinished(const TRunSummary& summary);

    TSourceList& List;
    TReporter& Reporter;
    TRunNotifier& Notifier;
    QWidget& Window;
    bool Running = false;
    QString Folder;
};

// Opens a folder in the desktop's file manager.
void OpenFolder(const QString& folder);
