#pragma once
// An output in the making. It is written to a hidden temporary file of our own
// in the destination folder (created exclusively, named so that no folder scan
// takes it for a source) and appears under its real name only when whole, by a
// rename that never replaces anything. Whatever is not published is deleted,
// and only that temporary file is ever deleted.
//
// The temporary name carries the host name, and the file is held under an
// flock for the object's whole life, so that a later run can tell a leftover
// of a killed run from a live one (CleanLeftovers).

#include <QSet>
#include <QString>

class TOutputFile {
public:
    // Creates the temporary file in the folder of name (which must exist);
    // throws EFOpenError when it cannot.
    explicit TOutputFile(const QString& name);
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Where the output is written until it is published.
    const QString& TempPath() const { return Temp; }

    // Moves the temporary file to the name MakeUniqueOutputName gives planned
    // with the names in reserved (those other outputs of the run hold); when
    // another program takes that name first, the next free one is used.
    // Returns the name published; throws EWriteError when it cannot be done.
    QString Publish(const QString& planned, const QSet<QString>& reserved);

    // Flushes the file's data to the disk; false when that failed.
    bool Sync();
    // Renames the whole, synced temporary file to its ready name (".ready"
    // for ".part"), which a later run publishes when the name it stands for
    // is free; the folder is synced. Returns 0 or the errno.
    int MarkReady();

    // Deletes the temporary file unless it was published.
    void Discard();

private:
    void Close();

    QString Temp;
    int Fd = -1; // holds the lock
    bool Done = false;
};

// Why a rename fails, or 0: the rename that never replaces (the kernel's
// no-replace flag, else a hard link and an unlink, else an exclusively created
// place holder taken over). EEXIST when to is taken, by a dangling link too.
int RenameNoReplace(const QString& from, const QString& to);

// The ways RenameNoReplace tries, in its order; a file system without the
// first (NFS, SMB, FUSE) falls through to the next.
enum class TRenameStep { Kernel, HardLink, Placeholder };
// RenameNoReplace starting at the given way, so that each one can be checked
// on file systems that would never reach it.
int RenameNoReplaceFrom(TRenameStep first, const QString& from, const QString& to);

// This machine's name as temporary names carry it: letters, digits, '-' and
// '_' only.
QString TempHostName();

// What a run finds of earlier runs' temporary files in folder: those no live
// process holds, of this host (or of any host when older than a day, since a
// lock is not seen across network hosts). A ".part" file is deleted; a
// ".ready" file (whole, its source already in the trash) is published under
// the name it stands for when that is free, and deleted when it is not (the
// source is still there). Returns the names published.
QStringList CleanLeftovers(const QString& folder);

// True for the name of a temporary output, ours or another run's.
bool IsTemporaryOutputName(const QString& path);

// Flushes a folder's entries to the disk (after a rename in it).
void SyncFolder(const QString& folder);
