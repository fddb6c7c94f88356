#include "CliSources.h"
#include "messages/Messages.h"

#include "CliCommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace {

constexpr QLatin1String FilesFrom("files-from");
constexpr QLatin1String Null("null");
constexpr QLatin1String ShardOption("shard");

// Reads a whole list, from standard input for "-".
bool ReadList(const QString& name, QByteArray& data) {
    QFile file(name);
    const bool fromStdin = name == QLatin1String("-");
    if (!(fromStdin ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly))) {
        PrintErr(MsgFmt(msgCliError, {MsgFmt(msgCliListUnreadable, {name, file.errorString()})}));
        return false;
    }
    data = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// Entries separated by NUL or by line ends; empty entries (the last
// separator's) carry no path.
QStringList SplitList(const QByteArray& data, char separator) {
    QStringList paths;
    for (const QByteArray& entry : data.split(separator))
        if (!entry.isEmpty())
            paths.append(QFile::decodeName(entry));
    return paths;
}

QString Absolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The deepest folder holding every path: a folder holds itself, anything
// else (a file, a missing name) is held by its parent.
QString CommonRoot(const QStringList& paths) {
    QStringList common;
    bool first = true;
    for (const QString& path : paths) {
        QStringList parts = path.split(QLatin1Char('/'));
        if (!QFileInfo(path).isDir())
            parts.removeLast();
        if (first) {
            common = parts;
            first = false;
            continue;
        }
        qsizetype n = 0;
        while (n < common.size() && n < parts.size() && common[n] == parts[n])
            ++n;
        common.resize(n);
    }
    const QString root = common.join(QLatin1Char('/'));
    return root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
}

TPathGroup MakeGroup(const QStringList& given) {
    TPathGroup group;
    group.Paths.reserve(given.size());
    for (const QString& path : given)
        group.Paths.append(Absolute(path));
    group.Root = CommonRoot(group.Paths);
    return group;
}

bool ParseShard(const QString& text, TShard& shard) {
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() != 2)
        return false;
    bool okIndex = false, okCount = false;
    shard.Index = parts[0].toInt(&okIndex);
    shard.Count = parts[1].toInt(&okCount);
    return okIndex && okCount && shard.Index >= 1 && shard.Index <= shard.Count;
}

} // namespace

bool TShard::Takes(const QString& path, const QString& root) const {
    if (Count <= 1)
        return true;
    const QString key = path.startsWith(root) ? path.mid(root.size()) : path;
    return ShardOfKey(key, Count) == Index;
}

int ShardOfKey(const QString& key, int count) {
    quint64 hash = 14695981039346656037ULL;
    for (const char byte : key.toUtf8()) {
        hash ^= quint8(byte);
        hash *= 1099511628211ULL;
    }
    return int(hash % quint64(count)) + 1;
}

void AddSourceInputOptions(QCommandLineParser& parser) {
    parser.addOptions({
        {FilesFrom, Msg(msgCliOptFilesFrom), QStringLiteral("FILE")},
        {{QStringLiteral("0"), Null}, Msg(msgCliOptNull)},
        {ShardOption, Msg(msgCliOptShard), QStringLiteral("K/N")},
    });
}

TSourceRead ReadSourceInputs(const QCommandLineParser& parser, QList<TPathGroup>& groups,
                             TShard& shard, QString& error) {
    for (const QString& v : parser.values(ShardOption))
        if (!ParseShard(v, shard)) {
            error = MsgFmt(msgCliNotShard, {v});
            return TSourceRead::Error;
        }
    groups.clear();
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty())
        groups.append(MakeGroup(positional));
    const char separator = parser.isSet(Null) ? '\0' : '\n';
    for (const QString& list : parser.values(FilesFrom)) {
        QByteArray data;
        if (!ReadList(list, data))
            return TSourceRead::Failed;
        const QStringList paths = SplitList(data, separator);
        if (!paths.isEmpty())
            groups.append(MakeGroup(paths));
    }
    return TSourceRead::Ok;
}

bool GivesPaths(const QCommandLineParser& parser) {
    return !parser.positionalArguments().isEmpty() || parser.isSet(FilesFrom);
}
