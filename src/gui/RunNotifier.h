#pragma once
// What the desktop learns of a run beyond the window: a notification at its
// end and the progress on the task bar entry. The window talks to the
// interface; tests check what the D-Bus implementation sends.

#include <QDBusConnection>
#include <QString>

class TRunNotifier {
public:
    virtual ~TRunNotifier() = default;
    // fraction 0..1 on the task bar entry; visible false takes it away.
    virtual void SetProgress(double fraction, bool visible) = 0;
    // failed: the run ended with failures (an error rather than a completion).
    virtual void Notify(const QString& title, const QString& body, bool failed) = 0;
};

// org.freedesktop.Notifications and com.canonical.Unity.LauncherEntry on the
// given bus. Nothing is waited for: without a notification service or a
// task bar that listens, the messages are simply lost.
class TDesktopNotifier : public TRunNotifier {
public:
    explicit TDesktopNotifier(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                              const QString& desktopEntry = QString());
    void SetProgress(double fraction, bool visible) override;
    void Notify(const QString& title, const QString& body, bool failed) override;

    static constexpr const char* LauncherEntryPath = "/com/morvane/Sonabel/LauncherEntry";

private:
    QDBusConnection Bus;
    QString DesktopEntry;
    // The last progress sent, in thousandths, -1 when hidden: the bar moves
    // five times a second and the task bar needs only the changes.
    int SentPermille = -1;
};
