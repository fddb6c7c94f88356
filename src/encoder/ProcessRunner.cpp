#include "ProcessRunner.h"

#include "SonabelMisc.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"
#include "settings/Settings.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QList>
#include <QStringDecoder>
#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t AbortRequested = 0;

constexpr int DefaultBufferSize = 4096;
constexpr int DefaultPollInterval = 1000;
constexpr int StartTimeoutMs = 30000;
constexpr int KillWaitMs = 5000;

// The processes this program has started and not yet released: the only ones
// a stop may end.
QList<QProcess*>& StartedProcesses() {
    static QList<QProcess*> processes;
    return processes;
}

class TRegistration {
public:
    explicit TRegistration(QProcess* process) : Process(process) {
        StartedProcesses().append(process);
    }
    ~TRegistration() { StartedProcesses().removeAll(Process); }
    TRegistration(const TRegistration&) = delete;
    TRegistration& operator=(const TRegistration&) = delete;

private:
    QProcess* Process;
};

// Lines as a text list would hold them: no empty line after a final break.
QStringList SplitLines(const QString& text) {
    if (text.isEmpty())
        return {};
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (normalised.endsWith(QLatin1Char('\n')))
        normalised.chop(1);
    return normalised.split(QLatin1Char('\n'));
}

} // namespace

TPriorityTranslation TranslatePriority(const QStringList& arguments) {
    TPriorityTranslation result;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) != QLatin1String("--priority")) {
            result.Arguments << arguments.at(i);
            continue;
        }
        if (i + 1 >= arguments.size())
            break;
        bool ok = false;
        const int level = arguments.at(++i).toInt(&ok);
        if (ok && level >= 0 && level <= 4)
            result.Niceness = PriorityNiceness(level);
    }
    return result;
}

void ApplyChildNiceness(QProcess& process, std::optional<int> niceness) {
    if (!niceness) {
        process.setChildProcessModifier({});
    } else {
        const int value = *niceness;
        // Runs in the child between fork and exec; the result is deliberately
        // ignored, an unprivileged child keeps its inherited niceness.
        process.setChildProcessModifier([value] { (void)::setpriority(PRIO_PROCESS, 0, value); });
    }
    EndWithParent(process);
}

void EndWithParent(QProcess& process) {
    const pid_t parent = ::getpid();
    const std::function<void()> modifier = process.childProcessModifier();
    process.setChildProcessModifier([parent, modifier] {
        (void)::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may have died between the fork and the prctl.
        if (::getppid() != parent)
            ::_exit(127);
        if (modifier)
            modifier();
    });
}

void RequestProcessAbort() {
    AbortRequested = 1;
}

bool ProcessAbortRequested() {
    return AbortRequested != 0;
}

TRunResult RunConsoleProcess(const QString& exeName, const QStringList& params, QStringList* output,
                             int pollInterval, const TIdleProc& onIdle, unsigned options,
                             const TInputProc& onInput, int inputBufferSize,
                             const TOutputProc& onOutput, int outputBufferSize, int timeLimitMs) {
    TRunResult result;
    const bool inputInUse = bool(onInput);
    const bool outputInUse = output != nullptr || bool(onOutput);
    const int inputSize = inputBufferSize > 0 ? inputBufferSize : DefaultBufferSize;
    const int outputSize = outputBufferSize > 0 ? outputBufferSize : DefaultBufferSize;
    const int poll = pollInterval > 0 ? pollInterval : DefaultPollInterval;
    const auto idle = [&onIdle] {
        if (onIdle)
            onIdle();
    };

    QString program;
    QStringList arguments;
    if (!exeName.isEmpty()) {
        program = GetShortPath(exeName);
        if (program.isEmpty())
            program = exeName; // a bare name is looked up in PATH
        arguments = params;
    } else if (!params.isEmpty()) {
        program = params.first();
        arguments = params.mid(1);
    }
    if (output && !(options & roKeepOutput))
        output->clear();
    if (program.isEmpty()) {
        idle();
        return result;
    }

    const TPriorityTranslation translated = TranslatePriority(arguments);
    QProcess process;
    const TRegistration registration(&process);
    process.setProcessChannelMode(QProcess::MergedChannels);
    // An unread pipe would block or kill a talkative child.
    if (!outputInUse)
        process.setStandardOutputFile(QProcess::nullDevice());
    if (!inputInUse)
        process.setStandardInputFile(QProcess::nullDevice());
    ApplyChildNiceness(process, translated.Niceness);
    process.start(program, translated.Arguments);
    if (!process.waitForStarted(StartTimeoutMs)) {
        process.kill();
        process.waitForFinished(KillWaitMs);
        idle();
        return result;
    }
    result.Started = true;

    QByteArray inputBuffer(inputSize + 1, '\0');
    QByteArray outputBuffer(outputSize + 1, '\0');
    if (onInput) {
        int count = 0;
        onInput(rsStart, inputBuffer.data(), inputSize, count);
    }
    if (onOutput)
        onOutput(rsStart, outputBuffer.constData(), 0);

    const QDeadlineTimer deadline =
        timeLimitMs > 0 ? QDeadlineTimer(timeLimitMs) : QDeadlineTimer(QDeadlineTimer::Forever);
    const auto waitMs = [&] {
        const qint64 left = deadline.remainingTime();
        return left < 0 ? poll : int(qMin<qint64>(poll, qMax<qint64>(left, 1)));
    };
    // A stop confirmed while we wait, or a quit request, ends the child.
    const bool stopAtStart = RunState == rsStopRequested;
    const auto abort = [&] {
        if (!result.Aborted && (AbortRequested || (!stopAtStart && RunState == rsStopRequested))) {
            result.Aborted = true;
            process.kill();
        }
        return result.Aborted;
    };
    const auto running = [&] { return !abort() && process.state() != QProcess::NotRunning; };

    QStringDecoder decoder(QStringDecoder::System);
    QString collected;
    const auto readChunk = [&] {
        const qint64 n = process.read(outputBuffer.data(), outputSize);
        if (n <= 0)
            return false;
        outputBuffer[n] = '\0';
        if (onOutput)
            onOutput(rsData, outputBuffer.constData(), int(n));
        // The chunk's text ends at its first zero byte.
        const qsizetype length = qstrnlen(outputBuffer.constData(), size_t(n));
        if (options & roNoOemConversion)
            collected += QString::fromLatin1(outputBuffer.constData(), length);
        else
            collected += decoder.decode(QByteArrayView(outputBuffer.constData(), length));
        idle();
        return true;
    };

    if (inputInUse) {
        int count = 0;
        do {
            count = 0;
            onInput(rsData, inputBuffer.data(), inputSize, count);
            count = qBound(0, count, inputSize);
            if (count > 0 && running()) {
                process.write(inputBuffer.constData(), count);
                while (process.bytesToWrite() > 0 && running() && !deadline.hasExpired()) {
                    if (!process.waitForBytesWritten(waitMs()) && process.bytesToWrite() > 0)
                        idle(); // a poll while the child does not read
                }
            }
            idle();
        } while (count > 0 && !deadline.hasExpired() && !result.Aborted);
        process.closeWriteChannel();
    }

    if (outputInUse) {
        while (!deadline.hasExpired() && !abort()) {
            if (process.bytesAvailable() > 0) {
                readChunk();
                continue;
            }
            if (!running())
                break;
            if (!process.waitForReadyRead(waitMs()) && process.bytesAvailable() == 0 && running())
                idle(); // a poll without data
        }
    }

    do {
        if (running() && !deadline.hasExpired())
            process.waitForFinished(waitMs());
        idle();
    } while (running() && !deadline.hasExpired());

    if (running()) {
        result.TimedOut = true;
        process.kill();
    }
    if (process.state() != QProcess::NotRunning)
        process.waitForFinished(KillWaitMs);
    // What arrived before the end (or the kill) still counts.
    if (outputInUse)
        while (readChunk()) {
        }
    if (output)
        output->append(SplitLines(collected));

    if (onInput) {
        int count = 0;
        onInput(rsEnd, inputBuffer.data(), inputSize, count);
    }
    if (onOutput)
        onOutput(rsEnd, outputBuffer.constData(), 0);
    result.ExitCode = process.exitCode();
    result.ExitStatus =
        result.TimedOut || result.Aborted ? QProcess::CrashExit : process.exitStatus();
    idle();
    return result;
}

bool KillProcessByName(const QString& name) {
    bool result = false;
    const QString wanted = name.toUpper();
    const QList<QProcess*> processes = StartedProcesses();
    for (QProcess* process : processes) {
        // A child still "starting" for Qt has already been forked.
        if (process->state() == QProcess::NotRunning)
            continue;
        const QString program = process->program();
        if (QFileInfo(program).fileName().toUpper() != wanted && program.toUpper() != wanted)
            continue;
        const qint64 pid = process->processId();
        result = pid > 0 && ::kill(pid_t(pid), SIGKILL) == 0;
    }
    return result;
}

bool ConfirmStopEncoding(TReporter& reporter) {
    if (RunState != rsBatch)
        return true;
    if (reporter.AskUser(Msg(msgStopEncodingQuestion), TDialogType::Warning, mbYes | mbNo) !=
        TModalResult::Yes)
        return false;
    // The run may have ended while the question was open: nothing is left to
    // stop, and a "stop requested" without a run would never be cleared.
    if (RunState != rsBatch)
        return true;
    // The name is fixed: the configured encoder path is not consulted.
    KillProcessByName(QString::fromLatin1(LameExeName));
    RunState = rsStopRequested;
    return true;
}

TEncoderProcess::TEncoderProcess(QObject* parent) : QObject(parent), Process(new QProcess(this)) {
    StartedProcesses().append(Process);
    Process->setProcessChannelMode(QProcess::MergedChannels);
    Process->setStandardOutputFile(QProcess::nullDevice());
    Process->setStandardInputFile(QProcess::nullDevice());
    connect(Process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus exitStatus) {
                ReportEnd(exitCode, exitStatus, true,
                          exitStatus == QProcess::CrashExit ? Process->errorString() : QString());
            });
    connect(Process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        // Queued, so that a caller never sees the end from inside Start.
        const QString text = Process->errorString();
        QMetaObject::invokeMethod(
            this, [this, text] { ReportEnd(-1, QProcess::CrashExit, false, text); },
            Qt::QueuedConnection);
    });
}

TEncoderProcess::~TEncoderProcess() {
    StartedProcesses().removeAll(Process);
    Process->disconnect(this);
    if (Process->state() != QProcess::NotRunning) {
        Process->kill();
        Process->waitForFinished(KillWaitMs);
    }
}

void TEncoderProcess::Start(const QString& program, const QStringList& arguments) {
    const TPriorityTranslation translated = TranslatePriority(arguments);
    Start(program, translated.Arguments, translated.Niceness);
}

void TEncoderProcess::Start(const QString& program, const QStringList& arguments,
                            std::optional<int> niceness) {
    if (Process->state() != QProcess::NotRunning)
        return;
    Reported = false;
    ApplyChildNiceness(*Process, niceness);
    // A terminal's Ctrl-C reaches its whole foreground group; the encoders of
    // a batch are ended by the batch itself, which then knows why they ended.
    const std::function<void()> modifier = Process->childProcessModifier();
    Process->setChildProcessModifier([modifier] {
        if (modifier)
            modifier();
        (void)::setpgid(0, 0);
    });
    Process->start(program, arguments);
}

bool TEncoderProcess::IsRunning() const {
    return Process->state() != QProcess::NotRunning;
}

qint64 TEncoderProcess::ProcessId() const {
    return Process->processId();
}

void TEncoderProcess::Kill() {
    if (Process->state() != QProcess::NotRunning)
        Process->kill();
}

void TEncoderProcess::ReportEnd(int exitCode, QProcess::ExitStatus exitStatus, bool started,
                                const QString& errorText) {
    if (Reported)
        return;
    Reported = true;
    Q_EMIT finished(exitCode, exitStatus, started, errorText);
}
