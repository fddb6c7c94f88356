// The update check and download against a local HTTPS server of the test's own (its
// certificate made by openssl for this run), and its window.

#include "RecordingReporter.h"
#include "TestTable.h"
#include "TestUtil.h"
#include "gui/SonabelDownloadF.h"
#include "messages/FormatMsg.h"
#include "messages/Sonabel_L.h"
#include "settings/RegFile.h"
#include "settings/Settings.h"
#include "update/UpdateCheck.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// In canned replies Pause holds the rest back 150 ms (longer than the progress interval); a
// final Stall keeps the connection open silently. An empty reply never answers at all.
constexpr char Pause = '\x01';
constexpr char Stall = '\x02';

// Answers each request target with its canned reply, then closes.
class THttpsServer : public QObject {
public:
    explicit THttpsServer(const QSslConfiguration& tls) {
        Server.setSslConfiguration(tls);
        Server.listen(QHostAddress::LocalHost, 0);
        connect(&Server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = Server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
        });
    }
    QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(Server.serverPort()); }

    QSslServer Server;
    QMap<QByteArray, QByteArray> Replies; // by request target
    QList<QByteArray> Requests;           // request heads, in order

private:
    void Read(QTcpSocket* socket) {
        QByteArray& head = Pending[socket];
        head += socket->readAll();
        if (!head.contains("\r\n\r\n"))
            return;
        Requests << head;
        QByteArray reply = Replies.value(head.split(' ').value(1));
        const qsizetype body = reply.indexOf("\r\n\r\n") + 4;
        reply.replace("%LEN%", QByteArray::number(reply.size() - body - reply.count(Pause)));
        head.clear();
        Send(socket, reply.split(Pause));
    }
    void Send(QTcpSocket* socket, QList<QByteArray> parts) {
        if (parts.isEmpty() || parts.first().isEmpty())
            return;
        QByteArray part = parts.takeFirst();
        const bool stall = part.endsWith(Stall);
        socket->write(stall ? part.chopped(1) : part);
        if (stall)
            return;
        if (!parts.isEmpty())
            QTimer::singleShot(150, socket, [this, socket, parts] { Send(socket, parts); });
        else
            socket->disconnectFromHost();
    }
    QHash<QTcpSocket*, QByteArray> Pending;
};

// %LEN% is counted when sent, after addresses are filled in; length < 0: body ends at the close.
QByteArray Response(const QByteArray& status, const QByteArray& body, int length = 0,
                    const QByteArray& extraHeaders = {}) {
    QByteArray head = "HTTP/1.1 " + status + "\r\nConnection: close\r\n" + extraHeaders;
    if (length >= 0)
        head += "Content-Length: " + (length ? QByteArray::number(length) : "%LEN%") + "\r\n";
    return head + "\r\n" + body;
}

QByteArray Ok(const QByteArray& body, int length = 0) {
    return Response("200 OK", body, length);
}

QByteArray Moved(const QByteArray& target) {
    return Response("302 Found", {}, 0, "Location: " + target + "\r\n");
}

// The new version's bytes: printable, so never taken for a Pause or a Stall.
QByteArray Payload() {
    QByteArray bytes(3000, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(' ' + (i * 7 + i / 90) % 90);
    return bytes;
}

QString Ask(TDialogType type, unsigned buttons, const QString& text) {
    return QStringLiteral("ask %1/%2: %3").arg(int(type)).arg(buttons).arg(text);
}

// Records what the user would see and plays the user's part.
struct TTranscript : TRecordingReporter, TUpdateView {
    QStringList Lines;
    QList<int> Progress;
    QString SaveAs; // empty: the save dialog is cancelled
    bool CloseOnData = false;
    std::function<void()> Close;

    TModalResult AskUser(const QString& m, TDialogType t, unsigned b, int h) override {
        Lines << Ask(t, b, m);
        return TRecordingReporter::AskUser(m, t, b, h);
    }
    void ShowInfo(const QString& text) override { Lines << "info: " + text; }
    void LogLine(const QString& text) override { Lines << "log: " + text; }
    QString AskSaveFileName(const QString& f, const QString& ext, const QString& p) override {
        Lines << "save: " + f + " | " + ext + " | " + p;
        return SaveAs;
    }
    void ShowDownload(const QString& url, const QString& file, std::function<void()> c) override {
        Lines << "show: " + url + " -> " + file;
        Close = std::move(c);
    }
    void DownloadProgress(int position) override {
        Progress << position;
        if (CloseOnData && position > 0)
            QTimer::singleShot(0, Close);
    }
    void DownloadFinished(const QString& legend, bool failed) override {
        Lines << (failed ? "failed: " : "done: ") + legend;
        QTimer::singleShot(0, Close); // the user presses OK
    }
};

// An information reply without its empty values; the other section must not be read.
QByteArray Ini(const QByteArray& version, const QByteArray& url = {}, const QByteArray& file = {},
               const QByteArray& comment = {}) {
    QByteArray ini = "; offered release\r\n[Other]\r\nversion=9999\r\n[Sonabel]\r\n";
    const QByteArray keys[] = {"version", "down_url", "file_name", "comment"};
    const QByteArray values[] = {version, url, file, comment};
    for (int i = 0; i < 4; ++i)
        if (!values[i].isEmpty())
            ini += keys[i] + " = " + values[i] + "\r\n";
    return ini;
}

QByteArray Offer(const QByteArray& path) {
    return Ini("2050", "https://$HOST" + path, "Sonabel-2.05.zip", "First||Second");
}

// One exchange: what the server answers, what the user does, what is seen.
struct TRow {
    QByteArray Info{};    // the information reply; empty: never answers, "refused": nobody listens
    QByteArray File{};    // the download's reply
    bool StartUp = false; // the check at start-up, automatic checks on; else asked from the menu
    QList<TModalResult> Answers{};
    QString SaveAs = "sub/Sonabel-2.05.zip"; // in the download folder; empty: cancelled
    QStringList Lines{};                     // %ERR% stands for the error's message
    QString Error{};                         // a part of that message
    QList<int> Progress{};                   // bar positions, repeats dropped
    bool CloseEarly = false;                 // the window is closed once data comes
    QString StoreScheme{};                   // written before the host in the store
};

} // namespace

Q_DECLARE_METATYPE(TRow)

class TestUpdate : public QObject {
    Q_OBJECT
    TOwners Owners;
    QTemporaryDir Keys;
    QSslConfiguration ServerTls;

private Q_SLOTS:

    // A certificate for 127.0.0.1, trusted by this process alone.
    void initTestCase() {
        Preferences().Edit()->DefaultLanguage = 0;
        SetLanguage(0, false);
        QVERIFY2(QSslSocket::supportsSsl(), "no TLS backend");
        const QString key = Keys.filePath("key.pem"), cert = Keys.filePath("cert.pem");
        QVERIFY2(TestUtil::Run("openssl",
                               {"req", "-x509", "-newkey", "ec", "-pkeyopt",
                                "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1", "-subj",
                                "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                                "-keyout", key, "-out", cert},
                               60000),
                 "openssl could not make a test certificate");
        const QList<QSslCertificate> certificate = QSslCertificate::fromPath(cert);
        QCOMPARE(certificate.size(), 1);
        ServerTls.setLocalCertificate(certificate.first());
        ServerTls.setPrivateKey(QSslKey(TestUtil::ReadFile(key), QSsl::Ec));
        ServerTls.setPeerVerifyMode(QSslSocket::VerifyNone);
        QSslConfiguration client = QSslConfiguration::defaultConfiguration();
        client.setCaCertificates(certificate);
        QSslConfiguration::setDefaultConfiguration(client);
    }

    void parseUpdateInfo_data() {
        // read: version, address, file name, comment
        TestTable::Columns<QString, QStringList>({"reply", "read"});
        QTest::newRow("lone CR ends a line")
            << "[Sonabel]\rversion=1002\rdown_url=https://h/s.zip\rfile_name=s.zip"
            << QStringList{"1002", "https://h/s.zip", "s.zip", ""};
        QTest::newRow("no version: the running one; || breaks lines")
            << "[ sonabel ]\r\ncomment = New||Better|||"
            << QStringList{"1234", "", "", "New\nBetter\n|"};
        QTest::newRow("first value of a key, own section only")
            << "[Other]\nversion=9\n[Sonabel]\nversion=x7\nVERSION=8\nfile_name=a=b"
            << QStringList{"1234", "", "a=b", ""};
    }

    void parseUpdateInfo() {
        QFETCH(QString, reply);
        const TUpdateInfo info = ParseUpdateInfo(reply, 1234);
        QTEST(
            (QStringList{QString::number(info.Version), info.DownUrl, info.FileName, info.Comment}),
            "read");
    }

    void check_data() {
        QTest::addColumn<TRow>("row");
        const QByteArray body = Payload(), offer = Offer("/file");
        const QString offered = Ask(TDialogType::Confirmation, mbYes | mbNo,
                                    MsgFmt(msgNewVersionOffer, {"2.05", "First\nSecond"}));
        const QString save =
            "save: " + MsgFmt(msgUpdateSaveFilter, {"Sonabel", "Sonabel-2.05.zip"}) +
            " | .zip | $DIR/Sonabel-2.05.zip";
        const QString target = "$DIR/sub/Sonabel-2.05.zip";
        const QString show = "show: https://$HOST/file -> " + target;
        const QString done = "done: " + MsgFmt(msgDownloadFinished, {target});
        const QString failed = "failed: " + MsgFmt(msgDownloadFailed, {"%ERR%"});
        const QString logged = "log: " + MsgFmt(msgUpdateCheckFailed, {"%ERR%"});
        const QString noNew = "info: " + Msg(msgNoNewVersion);
        const QString checkFailed =
            Ask(TDialogType::Warning, mbOK, MsgFmt(msgUpdateCheckFailed, {"%ERR%"}));
        const auto Y = TModalResult::Yes, N = TModalResult::No;

        // The offer taken and a file name chosen: the rows' own lines follow these two.
        const auto taken = [&](TRow r) {
            r.Info = Ok(offer);
            r.Answers = {Y};
            r.Lines = QStringList{offered, save} + r.Lines;
            return r;
        };

        QTest::newRow("newer version downloaded with progress")
            << taken({.File = Ok(Pause + body.left(1001) + Pause + body.mid(1001)),
                      .Lines = {show, done},
                      .Progress = {334, 1000}});
        QTest::newRow("redirects followed, no length: bar at 0 until the end")
            << TRow{.Info = Moved("/info-moved"),
                    .File = Ok(Pause + body.left(1500) + Pause + body.mid(1500), -1),
                    .StartUp = true,
                    .Answers = {Y},
                    .Lines = {offered, save, "show: https://$HOST/file-moved -> " + target, done},
                    .Progress = {-1, 1000}};
        QTest::newRow("equal version, manual") << TRow{.Info = Ok(Ini("1500")), .Lines = {noNew}};
        QTest::newRow("equal version, start-up")
            << TRow{.Info = Ok(Ini("1500", "https://$HOST/file", "a.zip")), .StartUp = true};
        QTest::newRow("newer but no file name")
            << TRow{.Info = Ok(Ini("2050", "https://$HOST/file")), .Lines = {noNew}};
        QTest::newRow("empty reply says nothing") << TRow{.Info = Ok("")};
        QTest::newRow("server error, automatic checks off")
            << TRow{.Info = Response("500 Internal Server Error", "boom"),
                    .Answers = {TModalResult::OK},
                    .Lines = {checkFailed},
                    .Error = "Internal Server Error"};
        // At start-up a failure is one log line, never a box.
        QTest::newRow("connection refused at start-up")
            << TRow{.Info = "refused", .StartUp = true, .Lines = {logged}, .Error = "refused"};
        QTest::newRow("server never answers at start-up")
            << TRow{.StartUp = true, .Lines = {logged}, .Error = "timed out"};
        // -1 is above every version when compared unsigned.
        QTest::newRow("offer declined")
            << TRow{.Info = Ok(Ini("-1", "https://$HOST/file", "x")),
                    .Answers = {N},
                    .Lines = {Ask(TDialogType::Confirmation, mbYes | mbNo,
                                  MsgFmt(msgNewVersionOffer, {"-0.001", ""}))}};
        QTest::newRow("save dialog cancelled") << taken({.SaveAs = ""});
        QTest::newRow("download fails, earlier file kept")
            << taken({.File = Response("404 Not Found", "gone"),
                      .Lines = {show, failed},
                      .Error = "Not Found",
                      .Progress = {1000}});
        const QByteArray stalled = Ok(Pause + body.left(700) + Stall, 3000);
        QTest::newRow("download window closed mid-way")
            << taken({.File = stalled, .Lines = {show}, .Progress = {233}, .CloseEarly = true});
        QTest::newRow("download stalls") << taken(
            {.File = stalled, .Lines = {show, failed}, .Error = "timed out", .Progress = {233}});
        QTest::newRow("a link is not written through")
            << taken({.File = Ok(body),
                      .SaveAs = "sub/link.zip",
                      .Lines = {"show: https://$HOST/file -> $DIR/sub/link.zip", failed},
                      .Error = "link"});
        QTest::newRow("plain HTTP offer refused")
            << TRow{.Info = Ok(Ini("2050", "http://$HOST/file", "a.zip")),
                    .Answers = {TModalResult::OK},
                    .Lines = {checkFailed},
                    .Error = "HTTPS"};
        QTest::newRow("redirect to plain HTTP refused")
            << TRow{.Info = Moved("http://$HOST/info-moved"),
                    .Answers = {TModalResult::OK},
                    .Lines = {checkFailed},
                    .Error = "redirect"};
        QTest::newRow("store names a plain HTTP host: HTTPS all the same")
            << TRow{.Info = Ok(Ini("1500")), .Lines = {noNew}, .StoreScheme = "http://"};
    }

    void check() {
        QFETCH(TRow, row);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        const QString earlier = dir.filePath("sub/Sonabel-2.05.zip");
        QVERIFY(TestUtil::WriteFile(earlier, "earlier version"));
        QVERIFY(QFile::setPermissions(earlier, QFile::permissions(earlier) | QFile::ExeOwner));
        QVERIFY(QFile::link(earlier, dir.filePath("sub/link.zip")));

        THttpsServer server(ServerTls);
        QVERIFY(server.Server.isListening());
        // Nothing listens on port 1.
        const QString host = row.Info == "refused" ? "127.0.0.1:1" : server.Host();
        const auto fill = [&](QString s) {
            return s.replace("$HOST", host).replace("$DIR", dir.path());
        };
        server.Replies["/download/download.php?infofile"] = fill(row.Info).toUtf8();
        server.Replies["/info-moved"] = fill(Ok(Offer("/file-moved"))).toUtf8();
        server.Replies["/file"] = row.File;
        server.Replies["/file-moved"] = Moved("/file");

        TRegFile store(dir.filePath("store.ini"));
        store.WriteString(QString(), "UpdateHost", row.StoreScheme + host);
        TPreferences settings;
        settings.Edit()->Flags =
            row.StartUp ? (DefaultFlags | flAutoUpdate) : (DefaultFlags & ~flAutoUpdate);
        settings.Edit()->DownloadDir = dir.path() + "/";
        TTranscript user;
        for (TModalResult answer : row.Answers)
            user.QueueAnswer(answer);
        user.SaveAs = row.SaveAs.isEmpty() ? QString() : dir.filePath(row.SaveAs);
        user.CloseOnData = row.CloseEarly;

        TUpdateCheck check(settings, store, user, user);
        check.CurrentVersion = 1500; // the running version in these tests
        check.InfoTimeoutMs = 1000;
        check.StallTimeoutMs = 1500;
        QSignalSpy finished(&check, &TUpdateCheck::Finished);
        check.CheckForUpdate(!row.StartUp);
        QVERIFY(check.Running());
        QVERIFY(finished.wait(5000));
        QVERIFY(!check.Running());

        QCOMPARE(user.Lines.size(), row.Lines.size());
        for (int i = 0; i < row.Lines.size(); ++i) {
            const QStringList around = fill(row.Lines[i]).split("%ERR%");
            const QString& line = user.Lines[i];
            QVERIFY2(line.startsWith(around.first()) && line.endsWith(around.last()) &&
                         (around.size() == 1 || line.contains(row.Error, Qt::CaseInsensitive)),
                     qPrintable(line));
        }
        QVERIFY(user.Answers.isEmpty()); // every answer was asked for
        const bool stopped =
            row.Answers.value(0) == TModalResult::Yes && row.Lines.value(0).contains("%ERR%");
        QCOMPARE(bool(settings.Record().Flags & flAutoUpdate), row.StartUp && !stopped);

        QList<int> seen = user.Progress; // repeated positions say nothing new
        seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
        QCOMPARE(seen, row.Progress);
        // Only a finished download replaces the earlier file, and nothing half-written stays.
        const bool replaced = row.Lines.value(row.Lines.size() - 1).startsWith("done:");
        QCOMPARE(TestUtil::ReadFile(earlier), replaced ? Payload() : QByteArray("earlier version"));
        // Saved as data, even over an executable: never run nor made runnable.
        QCOMPARE(QFileInfo(earlier).isExecutable(), !replaced);
        QCOMPARE(QDir(dir.filePath("sub")).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 (QStringList{"link.zip", "Sonabel-2.05.zip"}));
        // The folder follows the choice once the download window has been shown and closed.
        const bool shown = !row.Lines.filter(QRegularExpression("^show: ")).isEmpty();
        QCOMPARE(settings.Record().DownloadDir, dir.path() + (shown ? "/sub/" : "/"));

        for (const QByteArray& request : server.Requests)
            for (const char* header :
                 {"Accept: text/html, */*", "User-Agent: Sonabel/" SONABEL_VERSION})
                QVERIFY2(request.contains(QByteArray("\r\n") + header + "\r\n"), header);
        if (!server.Requests.isEmpty())
            QVERIFY(server.Requests.first().startsWith(
                "GET /download/download.php?infofile HTTP/1.1\r\n"));
    }

    void downloadWindow_data() {
        TestTable::Columns<int, bool>({"language", "failed"});
        QTest::newRow("English, done") << 0 << false;
        QTest::newRow("French, failed") << 1 << true;
    }

    void downloadWindow() {
        QFETCH(int, language);
        QFETCH(bool, failed);
        SetLanguage(language, false);
        QWidget owner;
        owner.setGeometry(100, 100, 900, 600);
        owner.show();
        TSonabelDownloadForm form(&owner);
        form.ApplyLanguage();
        int closed = 0;
        const QString file = "/home/someone/Documents/Sonabel-2.05.zip";
        form.ShowDownload("http://www.example.com/Sonabel-2.05.zip", file, [&] { ++closed; });

        QCOMPARE(form.size(), QSize(446, 106));
        QCOMPARE(form.geometry().center(), owner.geometry().center());
        QVERIFY(form.isVisible() && form.btnOK->isHidden());
        QCOMPARE(form.lblLegend->text(), Msg(msgDownloading));
        // Nothing clipped: the legend and the button caption fit their boxes.
        const auto fits = [&] {
            return form.lblLegend->heightForWidth(form.lblLegend->width()) <=
                       form.lblLegend->height() &&
                   form.btnOK->sizeHint().width() <= form.btnOK->width();
        };
        QVERIFY(fits());
        QCOMPARE(form.ProgressBar->maximum(), 1000);
        form.DownloadProgress(-1); // the size is not known: the bar waits at 0
        QCOMPARE(form.ProgressBar->value(), 0);
        form.DownloadProgress(620);
        QCOMPARE(form.ProgressBar->value(), 620);

        const QString legend =
            failed ? MsgFmt(msgDownloadFailed, {"Error transferring http://www.example.com/"
                                                "Sonabel-2.05.zip - server replied: Not Found"})
                   : MsgFmt(msgDownloadFinished, {file});
        form.DownloadFinished(legend, failed);
        QVERIFY(form.btnOK->isVisible());
        QCOMPARE(form.lblLegend->text(), legend);
        QCOMPARE(form.lblLegend->palette().color(QPalette::WindowText) == Qt::red, failed);
        QVERIFY(fits());

        QTest::mouseClick(form.btnOK, Qt::LeftButton);
        QVERIFY(!form.isVisible());
        QCOMPARE(closed, 1);
        SetLanguage(0, false);
    }
};

QTEST_MAIN(TestUpdate)
#include "tst_update.moc"
