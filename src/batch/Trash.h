#pragma once
// The freedesktop trash, as file managers read it: the home trash under
// $XDG_DATA_HOME/Trash for files on its file system, else the volume's own
// $topdir/.Trash/$uid (an administrator's sticky .Trash) or $topdir/.Trash-$uid.
// The information file, holding the original path, is written and synced
// before the file moves, so a file in the trash can always be restored; a
// file is only ever renamed into the trash, never copied and deleted.
//
// QFile::moveToTrash is not used: it writes the information file after the
// move (a kill between the two leaves a file no file manager can restore),
// syncs nothing, and picks the home trash by $HOME's file system rather than
// that of $XDG_DATA_HOME.

#include <QString>
#include <optional>

struct TTrashResult {
    int Error = 0; // 0, or the errno of what failed
    QString Where; // on success the file's path in the trash; else what failed
};

TTrashResult MoveToTrash(const QString& path);
