#include "gui/RunNotifier.h"

#include <QDBusMessage>
#include <QGuiApplication>
#include <QVariantMap>
#include <cmath>

TDesktopNotifier::TDesktopNotifier(const QDBusConnection& bus, const QString& desktopEntry)
    : Bus(bus), DesktopEntry(desktopEntry) {
    if (DesktopEntry.isEmpty())
        DesktopEntry = QGuiApplication::desktopFileName();
    if (DesktopEntry.isEmpty())
        DesktopEntry = QStringLiteral("sonabel");
}

void TDesktopNotifier::SetProgress(double fraction, bool visible) {
    const int permille = visible ? int(std::lround(qBound(0.0, fraction, 1.0) * 1000)) : -1;
    if (permille == SentPermille)
        return;
    SentPermille = permille;
    QDBusMessage update = QDBusMessage::createSignal(
        QLatin1String(LauncherEntryPath), QStringLiteral("com.canonical.Unity.LauncherEntry"),
        QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), visible ? permille / 1000.0 : 0.0);
    properties.insert(QStringLiteral("progress-visible"), visible);
    update << QStringLiteral("application://%1.desktop").arg(DesktopEntry) << properties;
    Bus.send(update);
}

void TDesktopNotifier::Notify(const QString& title, const QString& body, bool failed) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), DesktopEntry);
    hints.insert(QStringLiteral("category"),
                 failed ? QStringLiteral("transfer.error") : QStringLiteral("transfer.complete"));
    call << QGuiApplication::applicationDisplayName() << 0u << DesktopEntry << title << body
         << QStringList() << hints << -1;
    // The reply (the notification's id) is of no use; an error reply just
    // means there is no one to show it.
    Bus.send(call);
}
