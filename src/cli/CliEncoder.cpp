// sonabel-cli encoder: which encoder this machine would use and what its
// banner says.

#include "CliCommands.h"
#include "Json.h"
#include "engine/SonabelMisc.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QFileInfo>

void LoadCliSettings(const QString& file) {
    // The settings store is not part of the program yet: the option is taken
    // and the built-in defaults stay in force.
    Q_UNUSED(file);
}

QString ResolveEncoderPath(const QString& option) {
    if (!option.isEmpty())
        return GetShortPath(option);
    const QString stored = GetShortPath(Settings().LamePath);
    if (!stored.isEmpty() && QFileInfo(stored).isFile())
        return stored;
    return FindEncoder(IncludeTrailingSlash(QCoreApplication::applicationDirPath()));
}

int RunEncoderCommand(const QStringList& args) {
    QString encoder;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--settings") || a == QLatin1String("--encoder")) {
            if (++i >= args.size())
                return UsageError(QStringLiteral("%1 needs a value").arg(a));
            if (a == QLatin1String("--settings"))
                LoadCliSettings(args.at(i));
            else
                encoder = args.at(i);
        } else {
            return UsageError(QStringLiteral("unknown option for encoder: %1").arg(a));
        }
    }
    const QString path = ResolveEncoderPath(encoder);
    if (path.isEmpty()) {
        PrintErr(encoder.isEmpty()
                     ? QStringLiteral("sonabel-cli: no encoder named %1 found")
                           .arg(QLatin1String(LameExeName))
                     : QStringLiteral("sonabel-cli: encoder not found: %1").arg(encoder));
        return ExitFailed;
    }
    LameShortPath = path;
    ReadLameVersion();
    PrintOut(TJsonObject()
                 .Add("path", path)
                 .Add("version", LameVersion)
                 .Add("site", LameWebSite)
                 .ToString());
    return ExitOk;
}
