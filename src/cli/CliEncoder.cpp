// sonabel-cli encoder: which encoder this machine would use and what its
// banner says.

#include "CliCommands.h"
#include "Json.h"
#include "encoder/SonabelMisc.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

bool LoadCliSettings(const QString& file) {
    if (!QFileInfo(file).isFile()) {
        PrintErr(QStringLiteral("sonabel-cli: settings file not found: %1").arg(file));
        return false;
    }
    // Loading may write (the folder-filter upgrade, the old placement key); a
    // throw-away copy keeps the user's file exactly as it was.
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("settings.ini"));
    if (!dir.isValid() || !QFile::copy(file, copy)) {
        PrintErr(QStringLiteral("sonabel-cli: settings file cannot be read: %1").arg(file));
        return false;
    }
    TRegFile store(copy);
    LoadSettings(store, Settings());
    return true;
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
            if (a == QLatin1String("--settings")) {
                if (!LoadCliSettings(args.at(i)))
                    return ExitFailed;
            } else {
                encoder = args.at(i);
            }
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
