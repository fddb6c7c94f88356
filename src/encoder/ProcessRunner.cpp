#include "ProcessRunner.h"

#include "encoder/EncoderFacts.h"
#include "encoder/FilePaths.h"
#include "messages/Messages.h"
#include "messages/Reporting.h"
#include "messages/RunState.h"
#include "settings/Settings.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QList>
#include <algorithm>
#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t AbortRequested = 0;

constexpr int PollMs = 200;
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

void SetUpOwnGroupChild(QProcess& process, std::optional<int> niceness) {
    ApplyChildNiceness(process, niceness);
    const std::function<void()> modifier = process.childProcessModifier();
    process.setChildProcessModifier([modifier] {
        if (modifier)
            modifier();
        (void)::setpgid(0, 0);
    });
}

void EndChild(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(KillWaitMs);
}

TRunResult RunConsoleProcess(const QString& exeName, const QStringList& params, QStringList& output,
                             int timeLimitMs) {
    TRunResult result;
    // Only a stop confirmed while we wait ends the child, not one already pending.
    const bool stopAtStart = RunState == rsStopRequested;
    output.clear();
    QString program = ExistingAbsolutePath(exeName);
    if (program.isEmpty())
        program = exeName; // a bare name is looked up in PATH
    if (program.isEmpty())
        return result;

    const TPriorityTranslation translated = TranslatePriority(params);
    QProcess process;
    const TRegistration registration(&process);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    ApplyChildNiceness(process, translated.Niceness);
    process.start(program, translated.Arguments);
    if (!process.waitForStarted(StartTimeoutMs)) {
        EndChild(process);
        return result;
    }
    result.Started = true;

    const QDeadlineTimer deadline =
        timeLimitMs > 0 ? QDeadlineTimer(timeLimitMs) : QDeadlineTimer(QDeadlineTimer::Forever);
    QByteArray bytes;
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        if (AbortRequested || (!stopAtStart && RunState == rsStopRequested)) {
            result.Aborted = true;
            break;
        }
        const qint64 left = deadline.remainingTime();
        process.waitForFinished(left < 0 ? PollMs : int(std::clamp<qint64>(left, 1, PollMs)));
        bytes += process.readAll();
    }
    result.TimedOut = !result.Aborted && process.state() != QProcess::NotRunning;
    EndChild(process);
    output = SplitLines(QString::fromLocal8Bit(bytes + process.readAll()));
    result.ExitCode = process.exitCode();
    result.ExitStatus =
        result.TimedOut || result.Aborted ? QProcess::CrashExit : process.exitStatus();
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
    reporter.SetState(rsStopRequested);
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
    EndChild(*Process);
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
    SetUpOwnGroupChild(*Process, niceness);
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
