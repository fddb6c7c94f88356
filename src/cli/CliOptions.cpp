#include "CliOptions.h"

#include "CliCommands.h"
#include "messages/FormatMsg.h"
#include "messages/Messages.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <climits>

namespace {

QString BitRateList() {
    QStringList rates;
    for (const int rate : BitRateTable)
        rates << QString::number(rate);
    return rates.join(QStringLiteral(", "));
}

bool ParseInt(const QString& text, int low, int high, int& value) {
    bool ok = false;
    value = text.toInt(&ok);
    return ok && value >= low && value <= high;
}

QString Dashed(const QString& name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

int ParseCommandLine(QCommandLineParser& parser, const QString& command, const QString& syntax,
                     const QStringList& args) {
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(QStringList{QStringLiteral("sonabel-cli")} + args)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return UsageError(MsgFmt(msgCliUnknownOption, {command, Dashed(unknown.first())}));
        return UsageError(parser.errorText());
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // Qt's usage line names neither the command nor the path syntax.
        QStringList lines = parser.helpText().split(QLatin1Char('\n'));
        lines[0] = MsgFmt(msgCliHelpUsage, {command, syntax}).trimmed();
        std::fputs(lines.join(QLatin1Char('\n')).toUtf8().constData(), stdout);
        return ExitOk;
    }
    if (parser.isSet(version)) {
        PrintOut(QStringLiteral("sonabel-cli %1").arg(QCoreApplication::applicationVersion()));
        return ExitOk;
    }
    return -1;
}

void AddSettingsOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {QStringLiteral("settings"), Msg(msgCliOptSettings), QStringLiteral("FILE")},
        {QStringLiteral("encoder"), Msg(msgCliOptEncoder), QStringLiteral("PATH")},
    });
}

void AddEncodingOptions(QCommandLineParser& parser) {
    AddSettingsOptions(parser);
    parser.addOptions({
        {QStringLiteral("bitrate"), MsgFmt(msgCliOptBitRate, {BitRateList()}),
         QStringLiteral("KBPS")},
        {QStringLiteral("mode"), Msg(msgCliOptMode), QStringLiteral("cbr|abr")},
        {QStringLiteral("dest"), Msg(msgCliOptDest), QStringLiteral("DIR")},
        {QStringLiteral("keep-subdirs"), Msg(msgCliOptKeepSubdirs)},
        {QStringLiteral("quality"), Msg(msgCliOptQuality), QStringLiteral("N")},
        {QStringLiteral("priority"), Msg(msgCliOptPriority), QStringLiteral("N")},
        {QStringLiteral("params"), Msg(msgCliOptParams), QStringLiteral("TEXT")},
        {QStringLiteral("skip-done"), Msg(msgCliOptSkipDone)},
        {QStringLiteral("no-skip-done"), Msg(msgCliOptOff)},
        {QStringLiteral("replace"), Msg(msgCliOptReplace)},
    });
}

TOptionRead ReadEncodingOptions(const QCommandLineParser& parser, TEncodingOptions& o,
                                QString& error) {
    // Every value given is checked, the last one counts.
    const auto check = [&](const char* name, const auto& valid, TMsgId message,
                           std::initializer_list<QVariant> allowed) {
        for (const QString& v : parser.values(QLatin1String(name)))
            if (!valid(v)) {
                QVariantList args{QLatin1String(name), v};
                args.append(QVariantList(allowed));
                error = FormatMsgArgs(Msg(message), args);
                return false;
            }
        return true;
    };
    int n = 0;
    const auto bitRate = [&n](const QString& v) {
        return ParseInt(v, 0, INT_MAX, n) &&
               std::find(BitRateTable.begin(), BitRateTable.end(), n) != BitRateTable.end();
    };
    const auto mode = [](const QString& v) {
        return v.compare(QLatin1String("cbr"), Qt::CaseInsensitive) == 0 ||
               v.compare(QLatin1String("abr"), Qt::CaseInsensitive) == 0;
    };
    const auto quality = [&n](const QString& v) { return ParseInt(v, 0, 9, n); };
    const auto priority = [&n](const QString& v) { return ParseInt(v, 0, 4, n); };
    if (!check("bitrate", bitRate, msgCliNotOneOf, {BitRateList()}) ||
        !check("mode", mode, msgCliNotCbrAbr, {}) ||
        !check("quality", quality, msgCliNotInRange, {0, 9}) ||
        !check("priority", priority, msgCliNotInRange, {0, 4}))
        return TOptionRead::Error;

    for (const QString& file : parser.values(QStringLiteral("settings")))
        if (!LoadCliSettings(file))
            return TOptionRead::Failed;
    o.Encoder = parser.value(QStringLiteral("encoder"));
    if (parser.isSet(QStringLiteral("bitrate")))
        o.BitRate = parser.value(QStringLiteral("bitrate")).toInt();
    if (parser.isSet(QStringLiteral("mode")))
        o.Mode = parser.value(QStringLiteral("mode"))
                     .compare(QLatin1String("abr"), Qt::CaseInsensitive) == 0;
    if (parser.isSet(QStringLiteral("quality")))
        o.Quality = parser.value(QStringLiteral("quality")).toInt();
    if (parser.isSet(QStringLiteral("priority")))
        o.Priority = parser.value(QStringLiteral("priority")).toInt();
    if (parser.isSet(QStringLiteral("dest")))
        o.Dest = parser.value(QStringLiteral("dest"));
    if (parser.isSet(QStringLiteral("params")))
        o.Params = parser.value(QStringLiteral("params"));
    o.KeepSubDirs = parser.isSet(QStringLiteral("keep-subdirs"));
    // The later of the two wins.
    for (const QString& given : parser.optionNames()) {
        if (given == QLatin1String("skip-done"))
            o.SkipDone = true;
        else if (given == QLatin1String("no-skip-done"))
            o.SkipDone = false;
    }
    o.Replace = parser.isSet(QStringLiteral("replace"));
    return TOptionRead::Ok;
}

void ApplyEncodingOptions(const TEncodingOptions& o) {
    auto edit = Preferences().Edit();
    TSettings& s = *edit;
    if (o.Mode)
        s.EncodingMode = quint8(*o.Mode);
    if (o.Quality)
        s.Flags = (s.Flags & ~flQualityMask) | quint32(*o.Quality);
    if (o.Priority)
        s.Flags = SetPriorityIndex(s.Flags, *o.Priority);
    if (o.Params)
        s.LameParamsByMode[s.EncodingMode & 1] = *o.Params;
    if (o.Dest) {
        s.DestDir = QDir::cleanPath(QFileInfo(*o.Dest).absoluteFilePath());
        s.Flags |= flDestFolder;
    }
    if (o.KeepSubDirs)
        s.Flags |= flKeepSubDirs;
    if (o.SkipDone)
        s.SkipDone = *o.SkipDone;
    s.ReplaceSources = o.Replace;
    if (o.BitRate) {
        const auto it = std::find(BitRateTable.begin(), BitRateTable.end(), *o.BitRate);
        s.BitRateIndex = int(it - BitRateTable.begin());
    }
}
