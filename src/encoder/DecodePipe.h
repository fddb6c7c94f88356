#pragma once
// A decoder piped into the encoder, for sources the encoder cannot decode in
// full by itself: two children joined by a pipe, no shell, no event loop of
// its own; the end of both is reported by finished().

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>

class TDecodePipe : public QObject {
    Q_OBJECT
public:
    explicit TDecodePipe(QObject* parent = nullptr);
    ~TDecodePipe() override;

    // The encoder's "--priority N" becomes the niceness of both children.
    void Start(const QString& decoder, const QStringList& decoderArguments, const QString& encoder,
               const QStringList& encoderArguments);
    bool IsRunning() const;
    void Kill();

Q_SIGNALS:
    // Once both have ended; each text is empty when that child exited with 0.
    void finished(const QString& encoderError, const QString& decoderError);

private:
    // Every child of the pipe is made here, so what each must do before it
    // runs is set in one place.
    QProcess* NewChild(std::optional<int> niceness);
    void ChildEnded();
    static QString Failure(const QProcess& process, bool started);

    QProcess* Decoder = nullptr;
    QProcess* Encoder = nullptr;
    bool DecoderStarted = false;
    bool EncoderStarted = false;
    bool Reported = false;
};
