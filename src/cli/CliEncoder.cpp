// sonabel-cli encoder: which encoder this machine would use and what its
// banner says.

#include "CliCommands.h"
#include "CliOptions.h"
#include "Json.h"
#include "encoder/EncoderFacts.h"
#include "encoder/FilePaths.h"
#include "messages/Messages.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

bool LoadCliSettings(const QString& file) {
    if (!QFileInfo(file).isFile()) {
        PrintErr(MsgFmt(msgCliError, {MsgFmt(msgCliSettingsNotFound, {file})}));
        return false;
    }
    // Loading may write (the folder-filter upgrade, the old placement key); a
    // throw-away copy keeps the user's file exactly as it was.
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("settings.ini"));
    if (!dir.isValid() || !QFile::copy(file, copy)) {
        PrintErr(MsgFmt(msgCliError, {MsgFmt(msgCliSettingsUnreadable, {file})}));
        return false;
    }
    TRegFile store(copy);
    TSettings loaded = Settings();
    LoadSettings(store, loaded);
    Preferences().Set(loaded);
    return true;
}

QString EncoderNotFoundText(const QString& option) {
    return option.isEmpty() ? MsgFmt(msgCliNoEncoderNamed, {QLatin1String(LameExeName)})
                            : MsgFmt(msgCliEncoderNotFound, {option});
}

QString ResolveEncoderPath(const QString& option) {
    if (!option.isEmpty())
        return ExistingAbsolutePath(option);
    const QString stored = ExistingAbsolutePath(Settings().LamePath);
    if (!stored.isEmpty() && QFileInfo(stored).isFile())
        return stored;
    return FindEncoder(IncludeTrailingSlash(QCoreApplication::applicationDirPath()));
}

int RunEncoderCommand(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(Msg(msgCliAboutEncoder));
    AddSettingsOptions(parser);
    const int exitCode = ParseCommandLine(parser, QStringLiteral("encoder"), QString(), args);
    if (exitCode >= 0)
        return exitCode;
    if (!parser.positionalArguments().isEmpty())
        return UsageError(MsgFmt(
            msgCliNoPathWanted, {QStringLiteral("encoder"), parser.positionalArguments().first()}));
    for (const QString& file : parser.values(QStringLiteral("settings")))
        if (!LoadCliSettings(file))
            return ExitFailed;
    const QString encoder = parser.value(QStringLiteral("encoder"));
    const QString path = ResolveEncoderPath(encoder);
    if (path.isEmpty()) {
        PrintErr(MsgFmt(msgCliError, {EncoderNotFoundText(encoder)}));
        return ExitFailed;
    }
    Preferences().Edit()->LamePath = path;
    ReadLameVersion();
    PrintOut(TJsonObject()
                 .Add("path", path)
                 .Add("version", LameVersion())
                 .Add("site", LameWebSite())
                 .ToString());
    return ExitOk;
}
