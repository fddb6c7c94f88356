#include "UpdateCheck.h"

#include "encoder/FilePaths.h"
#include "formats/MulDiv.h"
#include "messages/FormatMsg.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "settings/RegFile.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QStringList>
#include <QUrl>
#include <limits>

TUpdateInfo ParseUpdateInfo(const QString& text, qint32 currentVersion) {
    TUpdateInfo info;
    QString version;
    bool inSection = false;
    bool seen[4] = {};
    const QString keys[4] = {QStringLiteral("version"), QStringLiteral("down_url"),
                             QStringLiteral("file_name"), QStringLiteral("comment")};
    QString* values[4] = {&version, &info.DownUrl, &info.FileName, &info.Comment};
    // CR LF, LF and a lone CR all end a line: no value ever spans two.
    QString lines = text;
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& raw : lines.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            inSection =
                line.mid(1, line.size() - 2).trimmed().compare(AppTitle, Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inSection || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        for (int i = 0; i < 4; ++i)
            if (!seen[i] && key.compare(keys[i], Qt::CaseInsensitive) == 0) {
                seen[i] = true;
                *values[i] = line.mid(eq + 1).trimmed();
            }
    }
    bool ok = false;
    info.Version = version.toInt(&ok);
    if (!ok)
        info.Version = currentVersion;
    info.Comment.replace(QStringLiteral("||"), QStringLiteral("\n"));
    return info;
}

QString VersionText(qint32 version) {
    QString text = QString::number(double(version) / 1000.0, 'g', 15);
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".0");
    return text;
}

qint32 ProgramVersionNumber() {
    const QStringList parts = QStringLiteral(SONABEL_VERSION).split(QLatin1Char('.'));
    return parts.value(0).toInt() * 1000 + parts.value(1).toInt();
}

bool UpdateCheckAvailable() {
    return !QStringLiteral(SONABEL_UPDATE_HOST).trimmed().isEmpty();
}

QString UpdateBaseUrl(const TRegFile& store) {
    QString host = store.ReadString(QString(), QStringLiteral("UpdateHost"), QString()).trimmed();
    if (host.isEmpty())
        host = QStringLiteral(SONABEL_UPDATE_HOST).trimmed();
    if (const qsizetype scheme = host.indexOf(QStringLiteral("://")); scheme >= 0)
        host.remove(0, scheme + 3);
    while (host.endsWith(QLatin1Char('/')))
        host.chop(1);
    return host.isEmpty() ? QString() : QStringLiteral("https://") + host;
}

QByteArray UpdateUserAgent() {
    return QByteArrayLiteral("Sonabel/" SONABEL_VERSION);
}

namespace {

// The client ends a silent transfer as if cancelled; nothing else cancels a
// reply still connected to us, so say what happened.
QString ErrorText(const QNetworkReply* reply) {
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return QCoreApplication::translate("QAbstractSocket", "Socket operation timed out");
    return reply->errorString();
}

} // namespace

int DownloadBarPosition(qint64 done, qint64 expected) {
    // A server that sends no length gives an expected count of 0.
    constexpr qint64 most = std::numeric_limits<qint32>::max();
    return MulDiv(qint32(qBound<qint64>(0, done, most)), 1000,
                  qint32(qBound<qint64>(0, expected, most)));
}

TUpdateCheck::TUpdateCheck(TPreferences& preferences, const TRegFile& store, TReporter& reporter,
                           TUpdateView& view, QObject* parent)
    : QObject(parent), FPreferences(preferences), FStore(store), FReporter(reporter), FView(view),
      FNet(std::make_unique<QNetworkAccessManager>()) {
    // The proxy the desktop or the environment (https_proxy, no_proxy) names.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

TUpdateCheck::~TUpdateCheck() {
    if (FReply) {
        FReply->disconnect(this);
        FReply->abort();
    }
}

QNetworkReply* TUpdateCheck::Get(const QString& url, int timeoutMs) {
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("Accept", "text/html, */*");
    request.setRawHeader("User-Agent", UpdateUserAgent());
    // A redirect may not leave HTTPS.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setTransferTimeout(timeoutMs);
    return FNet->get(request);
}

void TUpdateCheck::CheckForUpdate(bool manual) {
    if (FRunning)
        return;
    const QString base = UpdateBaseUrl(FStore);
    if (base.isEmpty())
        return;
    FRunning = true;
    FManual = manual;
    FReply = Get(base + InfoRequestTarget, InfoTimeoutMs);
    connect(FReply, &QNetworkReply::finished, this, &TUpdateCheck::InfoDone);
}

void TUpdateCheck::InfoDone() {
    QNetworkReply* reply = FReply;
    FReply.clear();
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        AskFailure(ErrorText(reply));
        Finish();
        return;
    }
    const QString text = QString::fromUtf8(reply->readAll());
    if (text.isEmpty()) {
        Finish();
        return;
    }
    const TUpdateInfo info = ParseUpdateInfo(text, CurrentVersion);
    if (quint32(CurrentVersion) >= quint32(info.Version) || info.DownUrl.isEmpty() ||
        info.FileName.isEmpty()) {
        if (FManual)
            FReporter.ShowInfo(Msg(msgNoNewVersion));
        Finish();
        return;
    }
    if (QUrl(info.DownUrl).scheme() != QLatin1String("https")) {
        AskFailure(MsgFmt(msgUpdateNotHttps, {info.DownUrl}));
        Finish();
        return;
    }
    Offer(info);
}

void TUpdateCheck::AskFailure(const QString& error) {
    // The check at start-up failing (no network, say) is worth a log line,
    // not a box at every start; a check the user asked for gets the box.
    if (!FManual) {
        FReporter.LogLine(MsgFmt(msgUpdateCheckFailed, {error}));
        return;
    }
    FReporter.AskUser(MsgFmt(msgUpdateCheckFailed, {error}), TDialogType::Warning, mbOK);
}

void TUpdateCheck::Offer(const TUpdateInfo& info) {
    if (FReporter.AskUser(MsgFmt(msgNewVersionOffer, {VersionText(info.Version), info.Comment}),
                          TDialogType::Confirmation, mbYes | mbNo) != TModalResult::Yes) {
        Finish();
        return;
    }
    // Only the name part: the server does not choose the folder.
    const QString name = QFileInfo(info.FileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot >= 0 ? name.mid(dot) : QString();
    const QString dir = FPreferences.Record().DownloadDir;
    const QString chosen =
        FView.AskSaveFileName(MsgFmt(msgUpdateSaveFilter, {AppTitle, info.FileName}), ext,
                              dir.isEmpty() ? name : IncludeTrailingSlash(dir) + name);
    if (chosen.isEmpty()) {
        Finish();
        return;
    }
    StartDownload(info.DownUrl, chosen);
}

void TUpdateCheck::StartDownload(const QString& url, const QString& fileName) {
    FFileName = fileName;
    FWriteError.clear();
    FView.ShowDownload(url, fileName, [self = QPointer<TUpdateCheck>(this)] {
        if (self)
            self->DownloadClosed();
    });
    // A save file would replace the link's target, a file we were not asked about.
    if (QFileInfo(fileName).isSymLink()) {
        EndDownload(MsgFmt(msgDownloadLinkRefused, {fileName}));
        return;
    }
    // Written aside and renamed only when whole: a failure keeps any earlier file.
    FFile = std::make_unique<QSaveFile>(fileName);
    if (!FFile->open(QIODevice::WriteOnly)) {
        EndDownload(FFile->errorString());
        return;
    }
    FReply = Get(url, StallTimeoutMs);
    connect(FReply, &QNetworkReply::downloadProgress, this, [this](qint64 done, qint64 total) {
        FView.DownloadProgress(DownloadBarPosition(done, total));
    });
    connect(FReply, &QNetworkReply::readyRead, this, &TUpdateCheck::DownloadData);
    connect(FReply, &QNetworkReply::finished, this, &TUpdateCheck::DownloadDone);
}

void TUpdateCheck::DownloadData() {
    const QByteArray chunk = FReply->readAll();
    if (FWriteError.isEmpty() && FFile->write(chunk) != chunk.size()) {
        FWriteError = FFile->errorString();
        FReply->abort();
    }
}

void TUpdateCheck::DownloadDone() {
    QNetworkReply* reply = FReply;
    FReply.clear();
    reply->deleteLater();
    QString error = FWriteError;
    if (error.isEmpty() && reply->error() != QNetworkReply::NoError)
        error = ErrorText(reply);
    if (error.isEmpty()) {
        const QByteArray rest = reply->readAll();
        // Saved as data: whatever the file it replaces was, it is not executable.
        const auto data = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                          QFileDevice::ReadGroup | QFileDevice::ReadOther;
        if (FFile->write(rest) != rest.size() || !FFile->setPermissions(data) || !FFile->commit())
            error = FFile->errorString();
    }
    EndDownload(error);
}

void TUpdateCheck::EndDownload(const QString& error) {
    FFile.reset(); // uncommitted: the partial data goes, an earlier file stays
    if (error.isEmpty())
        FView.DownloadFinished(MsgFmt(msgDownloadFinished, {FFileName}), false);
    else
        FView.DownloadFinished(MsgFmt(msgDownloadFailed, {error}), true);
}

void TUpdateCheck::DownloadClosed() {
    if (FReply) { // closed before the end: the transfer is cancelled
        FReply->disconnect(this);
        FReply->abort();
        FReply->deleteLater();
        FReply.clear();
    }
    FFile.reset();
    FPreferences.Edit()->DownloadDir = IncludeTrailingSlash(QFileInfo(FFileName).absolutePath());
    Finish();
}

void TUpdateCheck::Finish() {
    FRunning = false;
    Q_EMIT Finished();
}
