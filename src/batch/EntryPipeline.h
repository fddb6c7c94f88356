#pragma once
// One entry of a run from the moment its output name is reserved: the copy or
// the encoder, the encoder's end judged, the output's length checked against
// the source (and encoded again from the decoder's audio when short), tags and
// file time, then the output published or put in its source's place. The run
// learns of the end by the ended signal and schedules the next entry.

#include "batch/Batch.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <memory>

class TReporter;
class TEncoderProcess;
class TDecodePipe;
class TOutputFile;

// What every entry of a run shares; the run owns it.
struct TRunShared {
    TReporter& Reporter;
    QSet<QString>& Reserved; // names this run's outputs hold or will take
    QString Params;          // the encoder's parameters
    int Jobs = 1;
    QString DecoderPath; // empty: no second encoding
};

// What the run learnt of an entry when it decided to write it.
struct TEntryStart {
    int Row = -1;
    TBatchEntry Entry;
    TSourceType Type = SourceUnusable;
    QString Output; // the name reserved for it
    QDateTime SourceTime;
    TSourceFacts Facts;
};

class TEntryPipeline : public QObject {
    Q_OBJECT
public:
    // Creates the temporary output file; throws when it cannot.
    TEntryPipeline(const TRunShared& run, const TEntryStart& start, QObject* parent = nullptr);
    ~TEntryPipeline() override;

    // Copies an MP3 already at the target's rate; ends before returning.
    void Copy();
    void Encode();
    void Kill();

    const TBatchEntry& Entry() const { return Start.Entry; }
    // The file being written, measured by the run's progress timer.
    QString TempPath() const;

Q_SIGNALS:
    // An encoder ended: the output's last measurement is due.
    void processEnded();
    // Once, with the entry's result; its output, if any, is published.
    void ended(const TEntryResult& result);

private:
    void EncoderEnded(int exitCode, int exitStatus, bool started, const QString& errorText);
    // The output measured against the source; empty when whole.
    QString CheckOutput();
    // Encodes a short output again from the decoder's audio; false when it cannot.
    bool StartDecodePipe(const QString& shortReason);
    void DecodePipeEnded(const QString& encoderError, const QString& decoderError);
    void EncodingEnded(const QString& reason);
    // Tags and file time on the finished temporary file, then its publication.
    void Publish(TEntryAction action, const QString& note = QString());
    void Fail(const QString& reason);
    // With one encoder, the output-size line of an output that was deleted says so.
    void DiscardSizeLine();
    void End(TEntryAction action, const QString& output = QString(),
             const QString& reason = QString(), const QString& note = QString());

    const TRunShared& Run;
    const TEntryStart Start;
    std::unique_ptr<TOutputFile> File;
    TEncoderProcess* Process = nullptr;
    TDecodePipe* Pipe = nullptr; // the second encoding, once started
    int DecodableMs = -1;        // the source's audio by its frames, once measured
    QString RetryReason;         // why the decoder's audio was encoded again
    bool Ended = false;
};

// The path as the log shows it: the short form when the user asked for it.
QString DisplayedPath(const QString& path);
