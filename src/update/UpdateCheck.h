#pragma once
// Asking the update server for a newer version and downloading it, over HTTPS
// only, through the system's proxy. What is downloaded is only saved: never
// run, opened or made executable.
//
// Both requests run asynchronously on the user-interface thread: CheckForUpdate
// returns at once and the check goes on in the replies' signals, so windows keep
// painting and a dead server only costs a timeout. The end is announced by
// Finished(). Windows are reached through TUpdateView, so the whole exchange can
// run without any.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;
class TRegFile;
class TReporter;
class TPreferences;

inline const QString AppTitle = QStringLiteral("Sonabel");
inline const QString InfoRequestTarget = QStringLiteral("/download/download.php?infofile");
// The maker's web site, shown in About; not where updates come from.
inline const QString ProductWebSite = QStringLiteral("www.morvane.com");

// True when the build names an update host (SONABEL_UPDATE_HOST). Without one,
// as distribution packages are built, the program has no update check and
// shows none of its controls: the package manager brings new versions.
bool UpdateCheckAvailable();

// The save dialog and the download window.
class TUpdateView {
public:
    virtual ~TUpdateView() = default;
    // Asks where to save, confirming before an existing file is replaced; an empty
    // result means cancelled. defaultExt keeps its leading point (".zip").
    virtual QString AskSaveFileName(const QString& filter, const QString& defaultExt,
                                    const QString& proposedFile) = 0;
    // Shows the download window (legend announcing the download, bar at 0, OK
    // hidden) and returns at once; onClose runs when the user closes it.
    virtual void ShowDownload(const QString& url, const QString& fileName,
                              std::function<void()> onClose) = 0;
    // Bar position 0..1000; -1 (unknown length) shows as 0.
    virtual void DownloadProgress(int position) = 0;
    // The final legend (red when failed); the OK button appears.
    virtual void DownloadFinished(const QString& legend, bool failed) = 0;
};

// What the server's information reply offers.
struct TUpdateInfo {
    qint32 Version = 0; // major * 1000 + minor
    QString DownUrl;
    QString FileName;
    QString Comment; // "||" already turned into line breaks
};

// Reads the reply's INI text (section AppTitle); a missing version takes
// currentVersion.
TUpdateInfo ParseUpdateInfo(const QString& text, qint32 currentVersion);
// 1234 -> "1.234", 2000 -> "2.0".
QString VersionText(qint32 version);
// The running program's major * 1000 + minor.
qint32 ProgramVersionNumber();
// "https://host" from the store's UpdateHost value (a test server, a mirror)
// or the build's update host; any other scheme given is replaced, since the
// exchange is HTTPS only. Empty when neither names a host.
QString UpdateBaseUrl(const TRegFile& store);
// What the requests say they come from.
QByteArray UpdateUserAgent();
// Bar position for a transfer: done * 1000 / expected, rounded; -1 when the
// length is unknown.
int DownloadBarPosition(qint64 done, qint64 expected);

class TUpdateCheck : public QObject {
    Q_OBJECT
public:
    TUpdateCheck(TPreferences& preferences, const TRegFile& store, TReporter& reporter,
                 TUpdateView& view, QObject* parent = nullptr);
    ~TUpdateCheck() override;

    // Starts a check; ignored while one is under way.
    void CheckForUpdate(bool manual);
    bool Running() const { return FRunning; }

    // Silence on either request for this long fails it.
    int InfoTimeoutMs = 30000;
    int StallTimeoutMs = 60000;
    qint32 CurrentVersion = ProgramVersionNumber();

Q_SIGNALS:
    void Finished();

private:
    void InfoDone();
    void AskFailure(const QString& error);
    void Offer(const TUpdateInfo& info);
    void StartDownload(const QString& url, const QString& fileName);
    void DownloadData();
    void DownloadDone();
    void EndDownload(const QString& error);
    void DownloadClosed();
    void Finish();
    QNetworkReply* Get(const QString& url, int timeoutMs);

    TPreferences& FPreferences;
    const TRegFile& FStore;
    TReporter& FReporter;
    TUpdateView& FView;
    std::unique_ptr<QNetworkAccessManager> FNet;
    QPointer<QNetworkReply> FReply;
    std::unique_ptr<QSaveFile> FFile;
    QString FFileName;
    QString FWriteError;
    bool FManual = false;
    bool FRunning = false;
};
