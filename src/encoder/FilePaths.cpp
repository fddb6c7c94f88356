#include "encoder/FilePaths.h"

#include <QDir>
#include <QFileInfo>

TFileNameParts SplitFileName(const QString& path) {
    TFileNameParts parts;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash == 0)
        parts.Dir = QStringLiteral("/");
    else if (slash > 0)
        parts.Dir = path.left(slash);
    const QString fileName = path.mid(slash + 1);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    parts.Name = dot < 0 ? fileName : fileName.left(dot);
    parts.Ext = dot < 0 ? QString() : fileName.mid(dot);
    return parts;
}

QString ChangeFileExt(const QString& path, const QString& ext) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < path.lastIndexOf(QLatin1Char('/')))
        return path + ext;
    return path.left(dot) + ext;
}

QString IncludeTrailingSlash(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QString ExistingAbsolutePath(const QString& path) {
    if (path.isEmpty())
        return QString();
    const QFileInfo info(path);
    return info.exists() ? QDir::cleanPath(info.absoluteFilePath()) : QString();
}
