#pragma once
// The paths plan and run take: those on the command line and those read from
// --files-from lists, and the shard of them this call keeps (--shard K/N), so
// that several machines can share one library without a scheduler of ours.

#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

// Paths of one origin (the command line, or one list), made absolute. Root is
// the deepest folder holding them all (a folder counts as itself): a source's
// shard is decided by its path below Root, so machines that mount the library
// at different places still agree.
struct TPathGroup {
    QStringList Paths;
    QString Root; // with a trailing '/'
};

struct TShard {
    int Index = 1; // K, 1-based
    int Count = 1; // N
    bool Takes(const QString& path, const QString& root) const;
};

// Failed: a list could not be read (already said on stderr).
enum class TSourceRead { Ok, Error, Failed };

// --files-from FILE, --null (-0) and --shard K/N.
void AddSourceInputOptions(QCommandLineParser& parser);
// The command-line paths, then each list in the order given; paths are taken
// as the command line takes them (relative ones from the working folder,
// names decoded as file names). On Error, error holds the usage message.
TSourceRead ReadSourceInputs(const QCommandLineParser& parser, QList<TPathGroup>& groups,
                             TShard& shard, QString& error);
// Whether paths were given at all: on the command line or as a list (which may be empty).
bool GivesPaths(const QCommandLineParser& parser);

// The shard (1..count) of a path relative to its origin: FNV-1a (64 bits) of
// its UTF-8 bytes, modulo count, plus one. Stable across machines and versions.
int ShardOfKey(const QString& key, int count);
