#include "SourceType.h"

#include <array>

TSourceType SourceTypeOfExtension(const QString& path) {
    static const std::array<QString, 4> extensions = {
        QStringLiteral(".mp1"), QStringLiteral(".mp2"), QStringLiteral(".mp3"),
        QStringLiteral(".wav")};
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return SourceUnusable;
    const QString ext = path.mid(dot).toLower();
    for (int type = 0; type < int(extensions.size()); ++type)
        if (ext == extensions[type])
            return TSourceType(type);
    return SourceUnusable;
}
