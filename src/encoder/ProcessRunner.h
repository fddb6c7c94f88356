#pragma once
// Starting console programs: a blocking runner for short jobs (the encoder's
// banner and help), an event-driven encoder process for the batch, and the
// stop that ends the encoders this program started.

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

struct TRunResult {
    bool Started = false;
    int ExitCode = -1;
    QProcess::ExitStatus ExitStatus = QProcess::CrashExit;
    bool TimedOut = false; // ended by the time limit
    bool Aborted = false;  // ended by a stop or an abort request
};

// Runs a program and waits for it, for short jobs. The child is ended at the
// next poll (every 200 ms) once RunState turns to "stop requested" or
// RequestProcessAbort has been called, and after timeLimitMs when that is
// above 0. stdout and stderr are merged into output (cleared first, decoded as
// local 8-bit, what arrived before an early end included). An encoder
// "--priority N" is taken out of the arguments and becomes the child's niceness.
TRunResult RunConsoleProcess(const QString& exeName, const QStringList& params, QStringList& output,
                             int timeLimitMs = 0);

// The encoder's "--priority N" as the child process sees it on POSIX.
struct TPriorityTranslation {
    QStringList Arguments;       // without any "--priority N"
    std::optional<int> Niceness; // from the last valid level, if any
};
TPriorityTranslation TranslatePriority(const QStringList& arguments);

// Makes the child set its own niceness before it runs; a refused value (a
// negative one without privilege) is ignored and the child runs as it is.
// Replaces any earlier child modifier and then applies EndWithParent.
void ApplyChildNiceness(QProcess& process, std::optional<int> niceness);

// Makes the child die (SIGKILL) when this program ends, however it ends, so
// that no child outlives it and keeps writing. Added in front of the child
// modifier already set; every QProcess of the program should get it.
void EndWithParent(QProcess& process);

// The set-up of a child that only this program ends (the batch's encoders and
// decoders): the niceness, death with this program, and a process group of its
// own, so that a terminal's Ctrl-C, which reaches its whole foreground group,
// leaves it to us to end it and know why it ended.
void SetUpOwnGroupChild(QProcess& process, std::optional<int> niceness);

// Kills a child that still runs and waits a bounded time for its end.
void EndChild(QProcess& process);

// Async-signal-safe: from now on RunConsoleProcess ends its child at the next
// poll and returns. For a program that is being told to quit.
void RequestProcessAbort();
bool ProcessAbortRequested();

// Ends running processes started by this program whose file name, or whole
// program path, equals name without regard to case. True when the last
// attempted termination succeeded.
bool KillProcessByName(const QString& name);

class TReporter;

// While a batch runs, asks whether to stop it; on Yes ends the encoders and
// sets RunState to "stop requested". True when stopping or closing may go on.
bool ConfirmStopEncoding(TReporter& reporter);

// One encoder run for the batch: started with an argument list, output to the
// null device, its end reported by finished(); no event loop of its own.
class TEncoderProcess : public QObject {
    Q_OBJECT
public:
    explicit TEncoderProcess(QObject* parent = nullptr);
    ~TEncoderProcess() override;

    // Translates "--priority N" into the niceness and starts.
    void Start(const QString& program, const QStringList& arguments);
    void Start(const QString& program, const QStringList& arguments, std::optional<int> niceness);
    bool IsRunning() const;
    qint64 ProcessId() const;
    void Kill();

Q_SIGNALS:
    void finished(int exitCode, QProcess::ExitStatus exitStatus, bool started,
                  const QString& errorText);

private:
    void ReportEnd(int exitCode, QProcess::ExitStatus exitStatus, bool started,
                   const QString& errorText);

    QProcess* Process;
    bool Reported = false;
};
