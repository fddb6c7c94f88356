// Analysis cost against a plain sequential read of the same files, measured in
// the same run: bytes fetched per CBR file, and time of the full VBR walk.
//   bench_analysis [seconds-per-file]

#include "formats/MP3Stream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

qint64 PlainRead(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 0;
    static char buf[1 << 16];
    qint64 total = 0, n = 0;
    while ((n = f.read(buf, sizeof buf)) > 0)
        total += n;
    return total;
}

// Best of several rounds, in microseconds per pass over all files. The two
// contenders alternate round by round so machine noise hits both alike.
template <typename A, typename B>
std::pair<double, double> BestOfInterleaved(int rounds, A&& a, B&& b) {
    double bestA = 1e300, bestB = 1e300;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        a();
        bestA = std::min(bestA, double(t.nsecsElapsed()) / 1000.0);
        t.restart();
        b();
        bestB = std::min(bestB, double(t.nsecsElapsed()) / 1000.0);
    }
    return {bestA, bestB};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(10, atoi(argv[1])) : 131; // ~5,000 frames
    QTemporaryDir dir;
    const QString wav = dir.filePath("src.wav");
    if (!Run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth",
                     QString::number(seconds), "pinknoise", "vol", "0.3"})) {
        std::fprintf(stderr, "sox failed\n");
        return 1;
    }
    const QString cbr = dir.filePath("cbr.mp3"), vbr = dir.filePath("vbr.mp3");
    if (!Run("lame", {"--quiet", "-b", "128", wav, cbr}) ||
        !Run("lame", {"--quiet", "-V", "4", wav, vbr})) {
        std::fprintf(stderr, "lame failed\n");
        return 1;
    }
    constexpr int Copies = 8;
    QStringList cbrFiles, vbrFiles;
    for (int i = 0; i < Copies; ++i) {
        cbrFiles << dir.filePath(QStringLiteral("cbr%1.mp3").arg(i));
        vbrFiles << dir.filePath(QStringLiteral("vbr%1.mp3").arg(i));
        QFile::copy(cbr, cbrFiles.last());
        QFile::copy(vbr, vbrFiles.last());
    }

    const TMP3Info cbrInfo = GetMP3Info(cbr);
    const TMP3Info vbrInfo = GetMP3Info(vbr);
    const qint64 before = TFileStream::TotalBytesRead();
    GetMP3Info(cbrFiles.first());
    const qint64 cbrBytes = TFileStream::TotalBytesRead() - before;

    constexpr int Rounds = 40;
    auto analyse = [](const QStringList& files) {
        return [&files] {
            for (const QString& f : files)
                GetMP3Info(f);
        };
    };
    auto plain = [](const QStringList& files) {
        return [&files] {
            for (const QString& f : files)
                PlainRead(f);
        };
    };
    const auto [vbrAnalysis, vbrPlain] =
        BestOfInterleaved(Rounds, analyse(vbrFiles), plain(vbrFiles));
    const auto [cbrAnalysis, cbrPlain] =
        BestOfInterleaved(Rounds, analyse(cbrFiles), plain(cbrFiles));

    std::printf("files: %d CBR (%d frames, %d bytes), %d VBR (%d frames, %d bytes)\n", Copies,
                (cbrInfo.AudioSize / 418), cbrInfo.FileSize, Copies, vbrInfo.FrameCount,
                vbrInfo.FileSize);
    std::printf("cbr_bytes_read_per_file: %lld (target <= 131072)\n", (long long)cbrBytes);
    std::printf("cbr_analysis_vs_plain_read: %.3f\n", cbrAnalysis / cbrPlain);
    std::printf("per file (us): vbr walk %.1f, vbr plain read %.1f, cbr analysis %.1f, cbr plain "
                "read %.1f\n",
                vbrAnalysis / Copies, vbrPlain / Copies, cbrAnalysis / Copies, cbrPlain / Copies);
    std::printf("vbr_walk_vs_plain_read: %.3f (target <= 1.3)\n", vbrAnalysis / vbrPlain);
    const bool ok = cbrBytes <= 131072 && vbrAnalysis / vbrPlain <= 1.3;
    std::printf("%s\n", ok ? "within target" : "OUT OF TARGET");
    return ok ? 0 : 1;
}
