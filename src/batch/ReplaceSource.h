#pragma once
// An output taking its source's place: the finished output is kept only when
// it is smaller, synced and marked whole; then the source goes to the trash,
// and only then does the output take its name, never replacing anything. A
// kill between any two steps leaves every file's audio where a user finds it,
// and the next run in the folder finishes or restarts the job (CleanLeftovers).

#include "messages/ReasonTexts.h"

#include <QSet>
#include <QString>

class TOutputFile;

struct TReplaceOutcome {
    QString Published; // the output's name; empty when it was discarded
    bool Skipped = false;
    QString Reason; // why: the output was not smaller, or the source stayed
};

// file: the whole output with its tags and time. replaceName: where it goes
// when the source is in the trash; besideName: where it goes when the trash
// cannot take the source. Names taken meanwhile give the next free name, and
// reserved holds the run's other outputs. Throws EWriteError when a step fails
// (the output is then still a temporary file, the source untouched or trashed).
TReplaceOutcome ReplaceSource(TOutputFile& file, const QString& source, const QString& replaceName,
                              const QString& besideName, const QSet<QString>& reserved);

// A run killed after the output of a source that keeps its own name (a WAV's
// NAME.mp3) was published, before the source went to the trash: when output
// holds as much audio as the source, the source goes now. True when it did.
bool TrashReplacedSource(const QString& source, int sourceMs, bool sourceVbr,
                         const QString& output);
