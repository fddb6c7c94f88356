// Source list costs: UpdateList over 10,000 rows (outputs beside the sources,
// one write test per folder; and into one default folder), and AddFolder over
// 2,000 files (CBR and VBR MP3, PCM WAV) in a recursive scan.
//   bench_list

#include "messages/RunState.h"
#include "settings/Settings.h"
#include "sources/SourceList.h"
#include "encoder/EncoderFacts.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitCode() == 0;
}

// Rows need distinct paths, not distinct bytes: hard links cost no space.
bool HardLink(const QString& from, const QString& to) {
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool MakeMedia(const QString& dir) {
    const QString wav = dir + QStringLiteral("/tone.wav");
    return Run(QStringLiteral("sox"),
               {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("22050"),
                QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-b"),
                QStringLiteral("16"), wav, QStringLiteral("synth"), QStringLiteral("1"),
                QStringLiteral("sine"), QStringLiteral("440")}) &&
           Run(QStringLiteral("lame"),
               {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("64"), wav,
                dir + QStringLiteral("/cbr.mp3")}) &&
           Run(QStringLiteral("lame"),
               {QStringLiteral("--quiet"), QStringLiteral("-V"), QStringLiteral("5"), wav,
                dir + QStringLiteral("/vbr.mp3")});
}

double Seconds(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TPreferences preferences;
    TRunState runState;
    TEncoderFacts encoderFacts(preferences, false);
    QTemporaryDir tmp;
    if (!tmp.isValid() || !MakeMedia(tmp.path())) {
        std::fprintf(stderr, "cannot make the media (sox and lame needed)\n");
        return 1;
    }
    const QString media = tmp.path();
    const std::array<QString, 3> kinds = {media + QStringLiteral("/cbr.mp3"),
                                          media + QStringLiteral("/vbr.mp3"),
                                          media + QStringLiteral("/tone.wav")};
    const std::array<const char*, 3> exts = {".mp3", ".mp3", ".wav"};

    // UpdateList: 10,000 rows in 100 folders.
    {
        const QString root = media + QStringLiteral("/rows");
        QStringList paths;
        for (int f = 0; f < 100; ++f) {
            const QString folder = root + QStringLiteral("/f%1").arg(f, 3, 10, QLatin1Char('0'));
            QDir().mkpath(folder);
            for (int i = 0; i < 100; ++i) {
                const int kind = (f * 100 + i) % 3;
                const QString path =
                    folder + QStringLiteral("/s%1").arg(i) + QLatin1String(exts[kind]);
                if (!HardLink(kinds[kind], path)) {
                    std::fprintf(stderr, "cannot link %s\n", qPrintable(path));
                    return 1;
                }
                paths << path;
            }
        }
        TSourceList list;
        QElapsedTimer add;
        add.start();
        list.BeginAddFiles();
        for (const QString& path : paths)
            list.AddSourceFile(path);
        const double addS = Seconds(add);
        QElapsedTimer update;
        update.start();
        list.EndAddFiles(); // one UpdateList
        const double besideS = Seconds(update);

        Preferences().Edit()->Flags |= flDestFolder;
        Preferences().Edit()->DestDir = media + QStringLiteral("/out");
        QDir().mkpath(Settings().DestDir);
        update.restart();
        list.UpdateList(true);
        const double destS = Seconds(update);
        Preferences().Edit()->Flags &= ~flDestFolder;

        std::printf("rows: %d (added one by one in %.2f s, %.1f us per row)\n", list.Count(), addS,
                    addS * 1e6 / list.Count());
        std::printf("UpdateList beside the sources (100 folders): %.1f ms, %.2f us per row\n",
                    besideS * 1e3, besideS * 1e6 / list.Count());
        std::printf("UpdateList into one default folder: %.1f ms, %.2f us per row\n", destS * 1e3,
                    destS * 1e6 / list.Count());
    }

    // AddFolder: 2,000 real copies in 20 sub-folders, recursive scan.
    {
        const QString root = media + QStringLiteral("/scan");
        for (int n = 0; n < 2000; ++n) {
            const QString folder = root + QStringLiteral("/d%1").arg(n / 100);
            QDir().mkpath(folder);
            const int kind = n % 3;
            if (!QFile::copy(kinds[kind],
                             folder + QStringLiteral("/x%1").arg(n) + QLatin1String(exts[kind]))) {
                std::fprintf(stderr, "cannot copy\n");
                return 1;
            }
        }
        Preferences().Edit()->DirFlags = dfMP1 | dfMP2 | dfMP3 | dfWAV | dfCBR | dfVBR | dfRecurse;
        TSourceList list;
        QElapsedTimer scan;
        scan.start();
        list.BeginAddFiles();
        list.AddFolder(root);
        const double scanS = Seconds(scan);
        list.EndAddFiles();
        std::printf("AddFolder, 2,000 files (CBR, VBR, WAV), recursive: %d rows in %.2f s, "
                    "%.0f files per second\n",
                    list.Count(), scanS, 2000 / scanS);
    }
    return 0;
}
