#pragma once
// Splitting and joining the parts of paths, in the forms the rest of the
// program expects ('/' separators, trailing slashes on folders).

#include <QString>

// The absolute path of an existing file, empty otherwise.
QString ExistingAbsolutePath(const QString& path);

struct TFileNameParts {
    QString Dir;  // without a trailing '/', except for a file in '/'
    QString Name; // without the extension
    QString Ext;  // with its dot, empty when there is none
};
TFileNameParts SplitFileName(const QString& path);
// Replaces everything from the last dot after the last '/', or appends.
QString ChangeFileExt(const QString& path, const QString& ext);
QString IncludeTrailingSlash(const QString& path);
