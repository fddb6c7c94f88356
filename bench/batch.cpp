// Batch overhead and parallel gain, measured in one run on generated 20-second
// WAV files encoded at 128 kbit/s:
//   (a) Jobs 1 against a shell loop running plain lame with the same arguments
//   (b) Jobs 2 against xargs -P 2 running the same commands
//   (c) Jobs 2 against Jobs 1
//   bench_batch [files] [rounds]

#include "batch/Batch.h"
#include "RecordingReporter.h"
#include "batch/BatchSourceList.h"
#include "batch/PowerOff.h"
#include "encoder/EncoderFacts.h"
#include "encoder/ProcessRunner.h"
#include "encoder/SonabelMisc.h"
#include "messages/RunState.h"
#include "messages/Sonabel_L.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <cstdio>

namespace {

QByteArray ToneWav(double seconds) {
    const int rate = 44100;
    const int frames = int(rate * seconds);
    QByteArray data(frames * 4, '\0');
    auto* p = reinterpret_cast<qint16*>(data.data());
    for (int i = 0; i < frames; ++i) {
        // A sweep, so the encoder has real work to do.
        const double t = double(i) / rate;
        const auto v = qint16(9000 * std::sin(2 * M_PI * (220 + 40 * t) * t));
        p[2 * i] = qToLittleEndian(v);
        p[2 * i + 1] = qToLittleEndian(qint16(v / 2));
    }
    QByteArray h("RIFF");
    const auto le32 = [&h](quint32 v) {
        v = qToLittleEndian(v);
        h.append(reinterpret_cast<const char*>(&v), 4);
    };
    const auto le16 = [&h](quint16 v) {
        v = qToLittleEndian(v);
        h.append(reinterpret_cast<const char*>(&v), 2);
    };
    le32(36 + quint32(data.size()));
    h.append("WAVEfmt ");
    le32(16);
    le16(1);
    le16(2);
    le32(rate);
    le32(rate * 4);
    le16(4);
    le16(16);
    h.append("data");
    le32(quint32(data.size()));
    return h + data;
}

class TNullView : public TBatchView {
public:
    TWarningAnswer ShowWarningList(const QString&, const QString&, const QStringList&, bool,
                                   bool) override {
        return TWarningAnswer::AllFiles;
    }
    void AskDelayedStart(int, std::function<void(bool)> done) override { done(false); }
    void PowerOffCountdown(int, std::function<void(bool)> done) override { done(false); }
};

class TNoPowerOff : public TPowerOff {
public:
    TPowerOffResult PowerOff() override { return {}; }
};

void RemoveOutputs(const QString& folder) {
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.mp3")}))
        QFile::remove(QDir(folder).filePath(name));
}

double TimeBatch(TSourceList& list, int jobs, const QString& folder) {
    RemoveOutputs(folder);
    Preferences().Edit()->Jobs = jobs;
    TSourceListBatchSource source(list);
    TNullView view;
    TRecordingReporter reporter;
    TNoPowerOff powerOff;
    TBatch batch(source, view, reporter, powerOff);
    QObject::connect(&batch, &TBatch::runFinished, [] { QCoreApplication::exit(0); });
    QElapsedTimer t;
    t.start();
    if (batch.btnGOClick() != TGoResult::Started)
        return -1;
    if (batch.IsRunning())
        QCoreApplication::exec();
    return double(t.nsecsElapsed()) / 1e9;
}

double TimeShell(const QString& command, const QString& folder) {
    RemoveOutputs(folder);
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
    p.waitForFinished(-1);
    return double(t.nsecsElapsed()) / 1e9;
}

QString ShellQuote(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    TPreferences preferences;
    TRunState runState;
    TEncoderFacts encoderFacts(preferences, false);
    const int files = argc > 1 ? qMax(2, atoi(argv[1])) : 6;
    const int rounds = argc > 2 ? qMax(1, atoi(argv[2])) : 2;
    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
    if (lame.isEmpty()) {
        std::fprintf(stderr, "lame not found\n");
        return 1;
    }
    SetLanguage(0, false);
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QByteArray wav = ToneWav(20.0);
    {
        auto s = Preferences().Edit();
        s->Flags = 2;        // quality 2, outputs beside the sources, no tags, no copies
        s->BitRateIndex = 8; // 128 kbit/s
        s->LamePath = lame;
    }
    TSourceList list;
    for (int i = 0; i < files; ++i) {
        const QString path = QStringLiteral("%1/song%2.wav").arg(folder).arg(i);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(wav) != wav.size())
            return 1;
        f.close();
        list.AddSourceFile(path);
    }
    list.UpdateList(false);

    // One script per file with exactly the arguments the batch passes.
    const QString params = CurrentLameParams();
    QStringList scripts;
    for (int row = 0; row < list.Count(); ++row) {
        const QString source = list.Row(row).Path;
        const QString output = list.Row(row).OutputPath;
        const TPriorityTranslation passed =
            TranslatePriority(BuildLameArgumentList(SourceWAV, params, source, output));
        QStringList words{ShellQuote(LameShortPath())};
        for (const QString& a : passed.Arguments)
            words << ShellQuote(a);
        const QString script = QStringLiteral("%1/cmd%2.sh").arg(folder).arg(row);
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write(("exec " + words.join(QLatin1Char(' ')) + " 2>/dev/null >/dev/null\n").toUtf8());
        scripts << QStringLiteral("cmd%1.sh").arg(row);
    }
    const QString loop = QStringLiteral("for s in %1; do sh $s; done").arg(scripts.join(' '));
    const QString xargs =
        QStringLiteral("printf '%s\\n' %1 | xargs -P 2 -n 1 sh").arg(scripts.join(' '));

    // Best of a few rounds, the contenders interleaved so that load from
    // elsewhere on the machine hits them alike.
    double batch1 = 1e300, shell1 = 1e300, batch2 = 1e300, shell2 = 1e300;
    for (int round = 0; round < rounds; ++round) {
        batch1 = qMin(batch1, TimeBatch(list, 1, folder));
        shell1 = qMin(shell1, TimeShell(loop, folder));
        batch2 = qMin(batch2, TimeBatch(list, 2, folder));
        shell2 = qMin(shell2, TimeShell(xargs, folder));
    }
    std::printf("%d files of 20 s, 128 kbit/s, best of %d\n", files, rounds);
    std::printf("Jobs 1 %.2f s, shell loop %.2f s, Jobs 2 %.2f s, xargs -P 2 %.2f s\n", batch1,
                shell1, batch2, shell2);
    std::printf("(a) Jobs 1 / shell loop   %.3f (target <= 1.05)\n", batch1 / shell1);
    std::printf("(b) Jobs 2 / xargs -P 2   %.3f (target <= 1.05)\n", batch2 / shell2);
    std::printf("(c) Jobs 1 / Jobs 2       %.3f (target >= 1.7)\n", batch1 / batch2);
    return 0;
}
