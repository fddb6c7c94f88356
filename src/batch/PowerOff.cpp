#include "batch/PowerOff.h"

#include "messages/Messages.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <cstring>

namespace {

QString TrimLineBreaks(QString text) {
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

} // namespace

TPowerOffResult TLogindPowerOff::PowerOff() {
    TPowerOffResult result;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        const QDBusError error = bus.lastError();
        result.Code = int(error.type());
        result.Text = TrimLineBreaks(error.message());
        return result;
    }
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"),
                           QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    // Not interactive: nobody may be there to answer an authorisation prompt.
    const QDBusMessage reply = manager.call(QStringLiteral("PowerOff"), false);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QDBusError error(reply);
        result.Code = int(error.type());
        result.Text = TrimLineBreaks(MsgFmt(msgErrSystem, {error.name(), error.message()}));
        return result;
    }
    result.Accepted = true;
    return result;
}

QString SystemErrorText(int code) {
    char buffer[1025] = {};
    // The GNU variant may return a static text instead of filling the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer - 1);
    return TrimLineBreaks(QString::fromLocal8Bit(text ? text : buffer));
}
