// The folder scan: listing the files of a folder tree and adding those that
// pass the folder filter. This is the one long loop on the user-interface
// thread, so it lets pending events run and watches RunState for a stop.

#include "sources/SourceList.h"

#include "encoder/FilePaths.h"
#include "encoder/OutputFile.h"
#include "encoder/OutputNaming.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// A folder on the way down: its name as shown, and its bytes, which open it
// even when they are not valid UTF-8 (old Latin-1 archives).
struct TScanFolder {
    QString Path;
    QByteArray Raw;
};

// Entries of a folder that the decoded listing cannot reach: names that are
// not valid UTF-8, or every entry when the folder's own path is not. Decoded,
// such names carry U+FFFD and open nothing; they are found by their bytes so
// that a run can report them instead of losing them. Files pass the filters;
// folders are those a scan enters (not hidden, not links).
QList<TScanFolder> UndecodableEntries(const TScanFolder& folder, const QStringList& nameFilters,
                                      bool folders) {
    QList<TScanFolder> found;
    DIR* dir = ::opendir(folder.Raw.constData());
    if (!dir)
        return found;
    const bool folderDecodes = QFile::encodeName(folder.Path) == folder.Raw;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray raw(entry->d_name);
        const QString name = QFile::decodeName(raw);
        if (folderDecodes && QFile::encodeName(name) == raw)
            continue;
        struct stat st {};
        const int flags = folders ? AT_SYMLINK_NOFOLLOW : 0;
        if (::fstatat(::dirfd(dir), entry->d_name, &st, flags) != 0)
            continue;
        const bool wanted = folders ? S_ISDIR(st.st_mode) && !raw.startsWith('.')
                                    : S_ISREG(st.st_mode) && QDir::match(nameFilters, name);
        if (wanted)
            found.append({folder.Path + name, folder.Raw + raw});
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end(),
              [](const TScanFolder& a, const TScanFolder& b) { return a.Raw < b.Raw; });
    return found;
}

// The files of one folder; false when the callback asked to stop.
bool ListFiles(const TScanFolder& folder, const QStringList& nameFilters, QStringList* list,
               const TScanProgress& progress) {
    QDir dir(folder.Path);
    dir.setNameFilters(nameFilters);
    // Regular files and links to them only: pipes and devices would block a reader.
    QStringList paths;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name))
        paths.append(folder.Path + name);
    for (const TScanFolder& file : UndecodableEntries(folder, nameFilters, false))
        paths.append(file.Path);
    paths.removeDuplicates();
    for (const QString& path : std::as_const(paths)) {
        if (list)
            list->append(path);
        if (progress && !progress(path))
            return false;
    }
    return true;
}

// Sub-folders to enter: hidden ones and links to folders are left out, so a
// link pointing back up the tree cannot make the scan endless.
QList<TScanFolder> SubFolders(const TScanFolder& folder) {
    QList<TScanFolder> found;
    for (const QString& name :
         QDir(folder.Path)
             .entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name))
        found.append(
            {folder.Path + name + QLatin1Char('/'), QFile::encodeName(folder.Path + name) + '/'});
    for (TScanFolder& sub : UndecodableEntries(folder, {}, true)) {
        sub.Path += QLatin1Char('/');
        sub.Raw += '/';
        found.append(sub);
    }
    return found;
}

} // namespace

bool ScanFolder(const QString& folder, QStringList* list, const QString& mask,
                const TScanProgress& progress, bool recursive) {
    if (list)
        list->clear();
    const QStringList nameFilters = mask.isEmpty() || mask == QLatin1String("*.*")
                                        ? QStringList{QStringLiteral("*")}
                                        : QStringList{mask};
    // Depth first without recursion: the folders still to visit, next on top.
    const QString top = IncludeTrailingSlash(folder);
    QList<TScanFolder> pending{{top, QFile::encodeName(top)}};
    while (!pending.isEmpty()) {
        const TScanFolder current = pending.takeLast();
        if (!ListFiles(current, nameFilters, list, progress))
            return false;
        if (!recursive)
            break;
        const QList<TScanFolder> subFolders = SubFolders(current);
        for (auto it = subFolders.crbegin(); it != subFolders.crend(); ++it)
            pending.append(*it);
    }
    return true;
}

void TSourceList::ShowScanProgress(const QString& path) {
    const QString folder = SplitFileName(path).Dir;
    if (folder == ScanStatusFolder)
        return;
    ScanStatusFolder = folder;
    if (Reporter)
        Reporter->SetStatusFmt(ScanStatusFormat, {folder});
}

namespace {

bool HoldsSourceName(const QStringList& paths) {
    return std::any_of(paths.begin(), paths.end(), [](const QString& path) {
        return SourceTypeOfExtension(path) != SourceUnusable;
    });
}

// Stops at the first file of a known kind below the folder.
bool SubfoldersHoldSources(const QString& folder) {
    QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QDirIterator files(it.next(), QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext())
            if (SourceTypeOfExtension(files.next()) != SourceUnusable)
                return true;
    }
    return false;
}

} // namespace

void TSourceList::AddFolder(const QString& folder) {
    TRunState::Current().Set(rsFolderScan);
    const TSettings& s = Settings();
    const quint32 dirFlags = s.DirFlags;
    const int minBitRateIndex =
        std::min(int(dirFlags & dfMinBitRateIndex), int(BitRateTable.size()) - 1);
    const int minBitRate = (dirFlags & dfBitRateMin) ? BitRateTable[minBitRateIndex] : -1;
    const int minSizeKB = (dirFlags & dfSizeMin) ? s.DirSizeMin : -1;
    const bool requireVbr = (dirFlags & dfCBR) == 0;
    const bool requireCbr = (dirFlags & dfVBR) == 0;
    bool recursive = (dirFlags & dfRecurse) != 0;
    const QString baseFolder = IncludeTrailingSlash(folder);

    QStringList paths;
    if (!recursive) {
        ScanFolder(folder, &paths, QStringLiteral("*.*"), {}, false);
        // Nothing to add in the folder itself, yet files below: the user
        // most likely meant those.
        if (Reporter && !HoldsSourceName(paths) && SubfoldersHoldSources(folder) &&
            Reporter->AskUser(MsgFmt(msgFolderFilesBelow, {folder}), TDialogType::Confirmation,
                              mbYes | mbNo) == TModalResult::Yes) {
            recursive = true;
            paths.clear();
        }
    }
    if (recursive) {
        Q_EMIT ScanBegin();
        ScanStatusFormat = Msg(msgScanListing);
        ScanStatusFolder.clear();
        // Events run at each new folder, so the status shows and a stop
        // confirmed while listing a large tree is heeded.
        ScanFolder(
            folder, &paths, QStringLiteral("*.*"),
            [this](const QString& path) {
                const QString shown = ScanStatusFolder;
                ShowScanProgress(path);
                if (ScanStatusFolder != shown)
                    QCoreApplication::processEvents();
                return RunState == rsFolderScan;
            },
            true);
    }

    // Killed runs' temporary files: a whole output whose source is in the
    // trash already is published, the rest removed, and the folder listed anew.
    QSet<QString> leftovers;
    for (const QString& path : std::as_const(paths))
        if (IsTemporaryOutputName(path))
            leftovers.insert(SplitFileName(path).Dir);
    for (const QString& dir : std::as_const(leftovers))
        CleanLeftovers(dir);
    if (!leftovers.isEmpty())
        ScanFolder(folder, &paths, QStringLiteral("*.*"), {}, recursive);

    ScanStatusFolder.clear();
    ScanStatusFormat = Msg(msgScanAnalysing);
    for (const QString& path : std::as_const(paths)) {
        if (RunState != rsFolderScan)
            break;
        // The program's own outputs are not sources to convert again.
        if (!IsNewSource(path) || (s.SkipDone && HasOutputSuffix(path)) ||
            (ScanFilter && !ScanFilter(path)))
            continue;
        TSourceAnalysis analysis;
        const TSourceType type = ClassifySource(path, &analysis);
        const TSourceType wantedType = SourceTypeOfExtension(path);
        // A file of a wanted type that cannot be used is left out of the
        // list without a message, yet reported by the run.
        if (type == SourceUnusable && wantedType != SourceUnusable &&
            (dirFlags & dfTypeMasks[wantedType]))
            Reject(path, UnusableReason(path));
        if (type != SourceUnusable && (dirFlags & dfTypeMasks[type])) {
            if (recursive)
                ShowScanProgress(path);
            if (type == SourceMP3)
                AddMpegEntry(path, requireVbr, requireCbr, minSizeKB, minBitRate, baseFolder,
                             &analysis.MP3);
            else if (type == SourceWAV)
                AddWavEntry(path, baseFolder, &analysis.WAV);
            else
                AddMpegEntry(path, false, false, -1, -1, baseFolder, &analysis.MP3);
        }
        if (recursive)
            QCoreApplication::processEvents();
    }

    Preferences().Edit()->LastDir = folder;
    if (recursive)
        Q_EMIT ScanEnd();
}
