// sonabel-cli: the headless front end over the same core as the desktop program.

#include "CliCommands.h"
#include "encoder/EncoderFacts.h"
#include "messages/Messages.h"
#include "messages/RunState.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <cstdio>
#include <functional>
#include <map>

void PrintOut(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void PrintErr(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stderr);
    std::fflush(stderr);
}

int UsageError(const QString& message) {
    PrintErr(MsgFmt(msgCliError, {message}));
    return ExitUsage;
}

namespace {

using TCommand = std::function<int(const QStringList&)>;

const std::map<QString, TCommand>& Commands() {
    static const std::map<QString, TCommand> commands = {
        {QStringLiteral("info"), RunInfoCommand},
        {QStringLiteral("encoder"), RunEncoderCommand},
        {QStringLiteral("plan"), RunPlanCommand},
        {QStringLiteral("run"), RunRunCommand},
    };
    return commands;
}

QString Usage() {
    QStringList names;
    for (const auto& [name, command] : Commands())
        names.append(name);
    return MsgFmt(msgCliUsage, {names.join(QStringLiteral(", "))});
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Morvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Sonabel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SONABEL_VERSION));
    // English until a command chooses otherwise (run's --lang or settings).
    SetLanguage(0, false, 0);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        PrintErr(Usage());
        return ExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        PrintOut(Usage());
        return ExitOk;
    }
    if (name == QLatin1String("--version") || name == QLatin1String("-v")) {
        PrintOut(QStringLiteral("sonabel-cli %1").arg(QCoreApplication::applicationVersion()));
        return ExitOk;
    }
    TPreferences preferences;
    TRunState runState;
    TEncoderFacts encoderFacts(preferences, false);
    const auto it = Commands().find(name);
    if (it == Commands().end()) {
        PrintErr(Usage());
        return UsageError(MsgFmt(msgCliUnknownCommand, {name}));
    }
    return it->second(args);
}
