#include "encoder/DecodePipe.h"

#include "encoder/ProcessRunner.h"
#include "messages/Messages.h"

#include <QFileInfo>

namespace {

bool Running(const QProcess* process) {
    return process && process->state() != QProcess::NotRunning;
}

} // namespace

TDecodePipe::TDecodePipe(QObject* parent) : QObject(parent) {}

TDecodePipe::~TDecodePipe() {
    for (QProcess* process : {Decoder, Encoder}) {
        if (!process)
            continue;
        process->disconnect(this);
        EndChild(*process);
    }
}

QProcess* TDecodePipe::NewChild(std::optional<int> niceness) {
    auto* process = new QProcess(this);
    SetUpOwnGroupChild(*process, niceness);
    connect(process, &QProcess::finished, this, &TDecodePipe::ChildEnded);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        (process == Decoder ? DecoderStarted : EncoderStarted) = false;
        // One without the other would wait for ever on the pipe.
        Kill();
        // Queued, so that a caller never sees the end from inside Start.
        QMetaObject::invokeMethod(this, &TDecodePipe::ChildEnded, Qt::QueuedConnection);
    });
    return process;
}

void TDecodePipe::Start(const QString& decoder, const QStringList& decoderArguments,
                        const QString& encoder, const QStringList& encoderArguments) {
    if (IsRunning())
        return;
    const TPriorityTranslation translated = TranslatePriority(encoderArguments);
    Reported = false;
    Decoder = NewChild(translated.Niceness);
    Encoder = NewChild(translated.Niceness);
    Decoder->setStandardInputFile(QProcess::nullDevice());
    Decoder->setStandardErrorFile(QProcess::nullDevice());
    Decoder->setStandardOutputProcess(Encoder);
    Encoder->setProcessChannelMode(QProcess::MergedChannels);
    Encoder->setStandardOutputFile(QProcess::nullDevice());
    DecoderStarted = EncoderStarted = true;
    Decoder->start(decoder, decoderArguments);
    Encoder->start(encoder, translated.Arguments);
    if (!DecoderStarted || !EncoderStarted)
        Kill();
}

bool TDecodePipe::IsRunning() const {
    return Running(Decoder) || Running(Encoder);
}

void TDecodePipe::Kill() {
    for (QProcess* process : {Decoder, Encoder})
        if (Running(process))
            process->kill();
}

QString TDecodePipe::Failure(const QProcess& process, bool started) {
    const QString name = QFileInfo(process.program()).fileName();
    if (!started)
        return process.errorString();
    if (process.exitStatus() != QProcess::NormalExit)
        return MsgFmt(msgProcessCrashed, {name});
    if (process.exitCode() != 0)
        return MsgFmt(msgProcessExitCode, {name, process.exitCode()});
    return QString();
}

void TDecodePipe::ChildEnded() {
    if (Reported || IsRunning())
        return;
    Reported = true;
    Q_EMIT finished(Failure(*Encoder, EncoderStarted), Failure(*Decoder, DecoderStarted));
}
