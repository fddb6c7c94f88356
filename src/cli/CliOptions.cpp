#include "CliOptions.h"

#include "CliCommands.h"
#include "settings/Settings.h"

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

} // namespace

TOptionTake TakeEncodingOption(const QStringList& args, qsizetype& i, TEncodingOptions& o,
                               QString& error) {
    const QString& a = args.at(i);
    if (a == QLatin1String("--keep-subdirs")) {
        o.KeepSubDirs = true;
        return TOptionTake::Taken;
    }
    static const QStringList valued = {QStringLiteral("--settings"), QStringLiteral("--encoder"),
                                       QStringLiteral("--bitrate"),  QStringLiteral("--mode"),
                                       QStringLiteral("--dest"),     QStringLiteral("--quality"),
                                       QStringLiteral("--priority"), QStringLiteral("--params")};
    if (!valued.contains(a))
        return TOptionTake::NotOurs;
    if (i + 1 >= args.size()) {
        error = QStringLiteral("%1 needs a value").arg(a);
        return TOptionTake::Error;
    }
    const QString& v = args.at(++i);
    int n = 0;
    if (a == QLatin1String("--settings")) {
        if (!LoadCliSettings(v))
            return TOptionTake::Failed;
    } else if (a == QLatin1String("--encoder")) {
        o.Encoder = v;
    } else if (a == QLatin1String("--bitrate")) {
        if (!ParseInt(v, 0, INT_MAX, n) ||
            std::find(BitRateTable.begin(), BitRateTable.end(), n) == BitRateTable.end()) {
            error = QStringLiteral("--bitrate %1 is not one of %2").arg(v, BitRateList());
            return TOptionTake::Error;
        }
        o.BitRate = n;
    } else if (a == QLatin1String("--mode")) {
        if (v.compare(QLatin1String("cbr"), Qt::CaseInsensitive) == 0) {
            o.Mode = 0;
        } else if (v.compare(QLatin1String("abr"), Qt::CaseInsensitive) == 0) {
            o.Mode = 1;
        } else {
            error = QStringLiteral("--mode %1 is not cbr or abr").arg(v);
            return TOptionTake::Error;
        }
    } else if (a == QLatin1String("--dest")) {
        o.Dest = v;
    } else if (a == QLatin1String("--quality")) {
        if (!ParseInt(v, 0, 9, n)) {
            error = QStringLiteral("--quality %1 is not 0 to 9").arg(v);
            return TOptionTake::Error;
        }
        o.Quality = n;
    } else if (a == QLatin1String("--priority")) {
        if (!ParseInt(v, 0, 4, n)) {
            error = QStringLiteral("--priority %1 is not 0 to 4").arg(v);
            return TOptionTake::Error;
        }
        o.Priority = n;
    } else {
        o.Params = v;
    }
    return TOptionTake::Taken;
}

void ApplyEncodingOptions(const TEncodingOptions& o) {
    TSettings& s = Settings();
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
    if (o.BitRate) {
        const auto it = std::find(BitRateTable.begin(), BitRateTable.end(), *o.BitRate);
        s.BitRateIndex = int(it - BitRateTable.begin());
    }
    const int index = qBound(0, s.BitRateIndex, int(BitRateTable.size()) - 1);
    TargetBitRate = BitRateTable[index];
}
