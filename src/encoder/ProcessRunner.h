#pragma once
// Starting console programs: a blocking runner for short jobs (the encoder's
// banner and help), an event-driven encoder process for the batch, and the
// stop that ends the encoders this program started.

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// RunConsoleProcess options.
inline constexpr unsigned roKeepOutput = 1;      // append to Output instead of clearing it
inline constexpr unsigned roNoOemConversion = 2; // take output bytes as Latin-1, undecoded

// Stages of the input and output callbacks.
inline constexpr int rsStart = 0;
inline constexpr int rsData = 1;
inline constexpr int rsEnd = 2;

using TIdleProc = std::function<void()>;
// Sets count to the number of bytes placed in buffer (0 ends the input).
using TInputProc = std::function<void(int stage, char* buffer, int capacity, int& count)>;
using TOutputProc = std::function<void(int stage, const char* buffer, int count)>;

struct TRunResult {
    bool Started = false;
    int ExitCode = -1;
    QProcess::ExitStatus ExitStatus = QProcess::CrashExit;
    bool TimedOut = false; // ended by the time limit
    bool Aborted = false;  // ended by a stop or an abort request
};

// Runs a program and waits for it, polling every pollInterval ms (0 or less:
// 1000) and calling onIdle after every chunk, every poll and once before
// returning. The child is ended at the next poll once RunState turns to "stop
// requested" or RequestProcessAbort has been called. With an empty exeName, params is the whole
// command line, its first item the program. stdout and stderr are merged; without output and
// onOutput the child writes to the null device. A timeLimitMs above 0 ends the
// child after that long; what was read so far is kept. An encoder "--priority
// N" is taken out of the arguments and becomes the child's niceness.
TRunResult RunConsoleProcess(const QString& exeName, const QStringList& params,
                             QStringList* output = nullptr, int pollInterval = 0,
                             const TIdleProc& onIdle = {}, unsigned options = 0,
                             const TInputProc& onInput = {}, int inputBufferSize = 0,
                             const TOutputProc& onOutput = {}, int outputBufferSize = 0,
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
