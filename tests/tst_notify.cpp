// The feedback of a run: row statuses kept by the list, the summary line, the
// desktop notification and task bar progress sent over a private session bus.

#include "BatchFixtures.h"
#include "TestUtil.h"
#include "gui/RunFeedback.h"
#include "gui/RunNotifier.h"
#include "messages/DurationTexts.h"
#include "messages/Messages.h"
#include "messages/ReasonTexts.h"
#include "messages/SizeTexts.h"
#include "messages/Sonabel_L.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

namespace {

class TFakeNotifier : public TRunNotifier {
public:
    void SetProgress(double fraction, bool visible) override {
        Progress << (visible ? fraction : -1.0);
    }
    void Notify(const QString& /*title*/, const QString& body, bool failed) override {
        Sent << (failed ? "failed: " : "done: ") + body;
    }
    QList<double> Progress;
    QStringList Sent; // "failed: " or "done: ", then the body
};

// Stands in for the desktop: the notification service and a task bar that
// listens to launcher entries, on the test's own bus.
class TDesktopRecorder : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QVariantList Notified;
    QVariantList Updated;
public Q_SLOTS:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout) {
        Notified = {app, replaces, icon, summary, body, actions, hints, timeout};
        Q_EMIT Received();
        return 1;
    }
    void Update(const QString& app, const QVariantMap& properties) {
        Updated = {app, properties};
        Q_EMIT Received();
    }
Q_SIGNALS:
    void Received();
};

} // namespace

class TestNotify : public QObject {
    Q_OBJECT
    QTemporaryDir Temp;
    QProcess Bus;
    QString BusAddress;
    TOwners Owners;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(Temp.isValid());
        Preferences().Edit()->Flags = 2 | flBRHigher;
        Preferences().Edit()->Jobs = 1;
        TEncoderFacts::Current().SetShortPath(QStandardPaths::findExecutable("lame"));
        QVERIFY2(!LameShortPath().isEmpty(), "lame is needed");
        Bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        QVERIFY2(Bus.waitForReadyRead(10000), "dbus-daemon is needed");
        BusAddress = QString::fromLocal8Bit(Bus.readLine()).trimmed();
    }
    void cleanupTestCase() {
        Bus.kill();
        Bus.waitForFinished();
    }

    // A done, a failed and a skipped row through a real run with lame.
    void rowsFollowTheRun_data() {
        QTest::addColumn<bool>("windowActive");
        QTest::addColumn<bool>("failing");
        QTest::addColumn<int>("notifications");
        QTest::newRow("failure, window inactive") << false << true << 1;
        // A failure is told even to someone watching the window.
        QTest::newRow("failure, window active") << true << true << 1;
        QTest::newRow("success, window inactive") << false << false << 1;
        QTest::newRow("success, window active") << true << false << 0;
    }
    void rowsFollowTheRun() {
        QFETCH(bool, windowActive);
        QFETCH(bool, failing);
        QFETCH(int, notifications);
        SetLanguage(0, false);
        const QString dir = Temp.filePath(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(dir));
        const QString good = dir + "/good.wav", gone = dir + "/gone.wav", low = dir + "/low.mp3";
        QVERIFY(!TestUtil::ToneWav(good).isEmpty() && !TestUtil::ToneWav(gone).isEmpty() &&
                !TestUtil::ToneMp3(low, {"-b", "32"}).isEmpty());
        TRig rig({good, gone, low});
        TSourceList& list = rig.List;
        list.UpdateList(false);
        QCOMPARE(list.Count(), 3);
        if (failing)
            QVERIFY(QFile::remove(gone));
        // The MP3 below the target is left out.
        rig.View.WarningAnswers.enqueue(TWarningAnswer::GoodFilesOnly);
        TFakeNotifier notifier;
        QWidget window;
        if (windowActive) {
            window.show();
            window.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&window));
        }
        TRunFeedback feedback(rig.Batch, list, rig.Reporter, notifier, window);
        QSignalSpy folders(&feedback, &TRunFeedback::OutputFolderChanged);
        QVERIFY(rig.Run([&feedback] { feedback.SetProgress(50, 100); }));

        const TRowStatus status = list.RowStatus(0);
        const auto state = [&list](int row) { return int(list.RowStatus(row).State); };
        const int done = int(TRowState::Done), skipped = int(TRowState::Skipped),
                  failed = int(TRowState::Failed);
        QCOMPARE(QList<int>({state(0), state(1), state(2)}),
                 QList<int>({done, failing ? failed : done, skipped}));
        QCOMPARE(status.OutputBytes, QFileInfo(status.Output).size());
        QCOMPARE(status.SourceBytes, QFileInfo(good).size());
        const auto cell = [&list](int row, int role) {
            return list.data(list.index(row, TSourceList::StatusColumn), role).toString();
        };
        QCOMPARE(cell(0, Qt::DisplayRole), MsgFmt(msgRowDone, {SizeText(status.OutputBytes)}));
        QCOMPARE(cell(0, Qt::ToolTipRole), status.Output);
        // A source gone before its turn: the data asked for was not processed.
        QCOMPARE(list.RowStatus(1).Reason, failing ? ReasonText(TReason::FileVanished) : QString());
        QCOMPARE(cell(2, Qt::ToolTipRole), list.RowStatus(2).Reason);
        QVERIFY(!list.RowStatus(2).Reason.isEmpty());

        const TRunSummary summary = rig.Summaries.value(0);
        const QString line = RunSummaryText(summary);
        QVERIFY2(line.startsWith(failing ? "1 done, 1 skipped, 1 failed in "
                                         : "2 done, 1 skipped, 0 failed in "),
                 qPrintable(line));
        const TDoneSizes sizes = list.DoneSizes();
        QCOMPARE(sizes.SourceBytes, status.SourceBytes * (failing ? 1 : 2));
        QCOMPARE(summary.SourceBytes, sizes.SourceBytes);
        QVERIFY(line.contains(SavedSizesText(sizes.SourceBytes, sizes.OutputBytes)));
        QCOMPARE(QStringList({rig.Reporter.Log.last(), rig.Reporter.Status}), QStringList(2, line));
        QCOMPARE(folders.last().at(0).toString(), dir);
        QCOMPARE(notifier.Progress, (QList<double>{0.0, 0.5, -1.0}));
        QCOMPARE(notifier.Sent,
                 QStringList(notifications, (failing ? "failed: " : "done: ") + line));

        QCOMPARE(list.RemoveFinishedRows(), failing ? 1 : 2);
        QCOMPARE(state(0), failing ? failed : skipped);
    }

    // What goes over the bus, seen by a service on a private session bus.
    void desktopNotifierOnTheBus() {
        QDBusConnection service = QDBusConnection::connectToBus(BusAddress, "service");
        TDesktopRecorder recorder;
        QVERIFY(service.connect(QString(), QString(), "com.canonical.Unity.LauncherEntry", "Update",
                                &recorder, SLOT(Update(QString, QVariantMap))));
        QDBusConnection client = QDBusConnection::connectToBus(BusAddress, "client");
        TDesktopNotifier notifier(client, "sonabel");
        QSignalSpy received(&recorder, &TDesktopRecorder::Received);

        // No notification service yet: nothing happens, and nothing breaks.
        notifier.Notify("t", "b", false);
        notifier.SetProgress(0.25, true);
        QVERIFY(received.wait(5000) && recorder.Notified.isEmpty());
        const QVariantMap shown = {{"progress", 0.25}, {"progress-visible", true}};
        QCOMPARE(recorder.Updated, QVariantList({"application://sonabel.desktop", shown}));
        // The same progress again sends nothing; hiding it does.
        notifier.SetProgress(0.2501, true);
        notifier.SetProgress(0, false);
        QVERIFY(received.wait(5000));
        QCOMPARE(received.size(), 2);
        QCOMPARE(recorder.Updated.at(1).toMap().value("progress-visible").toBool(), false);

        QVERIFY(service.registerService("org.freedesktop.Notifications"));
        QVERIFY(service.registerObject("/org/freedesktop/Notifications", &recorder,
                                       QDBusConnection::ExportAllSlots));
        for (const bool failed : {false, true}) {
            received.clear();
            notifier.Notify("Run finished", "1 done", failed);
            QVERIFY(received.wait(5000));
            const QVariantMap hints = {
                {"desktop-entry", "sonabel"},
                {"category", failed ? "transfer.error" : "transfer.complete"}};
            QCOMPARE(recorder.Notified.mid(3, 4),
                     QVariantList({"Run finished", "1 done", QStringList(), hints}));
        }
        QDBusConnection::disconnectFromBus("client");
        QDBusConnection::disconnectFromBus("service");
    }
};

QTEST_MAIN(TestNotify)
#include "tst_notify.moc"
