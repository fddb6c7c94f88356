#include "encoder/EncoderFacts.h"

#include "encoder/FilePaths.h"
#include "encoder/ProcessRunner.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

const QString DefaultLameWebSite = QStringLiteral("lame.sourceforge.io");

TEncoderFacts::TEncoderFacts(TPreferences& preferences, bool bannerOnChange, QObject* parent)
    : QObject(parent), Preferences(preferences), BannerOnChange(bannerOnChange) {
    connect(&Preferences, &TPreferences::changed, this,
            [this] { SetEncoderPath(Preferences.Record().LamePath); });
    SetEncoderPath(Preferences.Record().LamePath);
}

TEncoderFacts::~TEncoderFacts() {
    if (Probe)
        EndChild(*Probe);
}

void TEncoderFacts::SetEncoderPath(const QString& path) {
    if (path == PathSeen)
        return;
    PathSeen = path;
    FShortPath = ExistingAbsolutePath(path);
    if (BannerOnChange)
        ReadBanner();
    else
        ClearBanner();
    Q_EMIT changed();
}

void TEncoderFacts::SetShortPath(const QString& path) {
    FShortPath = path;
    Q_EMIT changed();
}

// The encoder run without arguments prints its banner and usage and ends.
void TEncoderFacts::ClearBanner() {
    if (Probe) {
        Probe->disconnect(this);
        EndChild(*Probe);
        Probe->deleteLater();
        Probe = nullptr;
    }
    FVersion.clear();
    FWebSite = DefaultLameWebSite;
}

void TEncoderFacts::ReadBanner() {
    ClearBanner();
    if (FShortPath.isEmpty())
        return;
    Probe = new QProcess(this);
    Probe->setProcessChannelMode(QProcess::MergedChannels);
    Probe->setStandardInputFile(QProcess::nullDevice());
    EndWithParent(*Probe);
    connect(Probe, &QProcess::finished, this, &TEncoderFacts::ProbeEnded);
    connect(Probe, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            ProbeEnded();
    });
    // A program that does not end is not the encoder the banner would name.
    QTimer::singleShot(EncoderProbeTimeLimitMs, Probe, [probe = Probe] { probe->kill(); });
    Probe->start(FShortPath, {});
}

void TEncoderFacts::ProbeEnded() {
    if (!Probe)
        return;
    QStringList lines = QString::fromLocal8Bit(Probe->readAll()).split(QLatin1Char('\n'));
    Probe->deleteLater();
    Probe = nullptr;
    ParseLameBanner(lines, FVersion, FWebSite);
    Q_EMIT changed();
}

bool TEncoderFacts::WaitForBanner(int timeLimitMs) {
    if (Probe && !Probe->waitForFinished(timeLimitMs) && Probe) {
        Probe->kill();
        Probe->waitForFinished(1000);
    }
    return Probe == nullptr;
}

namespace {

// Trims blanks and control characters, as the banner may end with CR.
QString TrimControls(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

void ParseLameBanner(const QStringList& lines, QString& version, QString& site) {
    version.clear();
    site = DefaultLameWebSite;
    for (const QString& line : lines) {
        if (!line.toUpper().contains(QStringLiteral("LAME")))
            continue;
        // Banners have used both schemes; the first one found wins.
        qsizetype p = line.indexOf(QStringLiteral("http://"));
        qsizetype schemeLength = 7;
        if (p < 0) {
            p = line.indexOf(QStringLiteral("https://"));
            schemeLength = 8;
        }
        if (p < 0)
            return;
        QString address = TrimControls(line.mid(p + schemeLength));
        if (address.startsWith(QLatin1Char('(')))
            address.remove(0, 1);
        if (address.endsWith(QLatin1Char(')')))
            address.chop(1);
        if (address.endsWith(QLatin1Char('/')))
            address.chop(1);
        site = address;
        qsizetype blank = p - 1;
        while (blank >= 0 && line.at(blank) != QLatin1Char(' '))
            --blank;
        version = TrimControls(line.left(blank + 1));
        return;
    }
}

void ReadLameVersion(int timeLimitMs) {
    TEncoderFacts& facts = TEncoderFacts::Current();
    facts.ReadBanner();
    facts.WaitForBanner(timeLimitMs);
}

QStringList ReadLameHelp(const QString& encoderPath, int timeLimitMs) {
    QStringList lines;
    const QString program = ExistingAbsolutePath(encoderPath);
    if (program.isEmpty())
        return lines;
    RunConsoleProcess(program, {QStringLiteral("-?")}, lines, timeLimitMs);
    return lines;
}

bool IsEncoderFileName(const QString& path) {
    return QFileInfo(path).fileName().compare(QLatin1String(LameExeName), Qt::CaseInsensitive) == 0;
}

QString FindEncoderIn(const QString& folder) {
    if (folder.isEmpty())
        return QString();
    const QDir dir(folder);
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Executable | QDir::Hidden, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (IsEncoderFileName(entry.fileName()))
            return QDir::cleanPath(entry.absoluteFilePath());
    }
    return QString();
}

QString FindEncoder(const QString& appDir) {
    QString found = FindEncoderIn(appDir);
    if (!found.isEmpty())
        return found;
    const QString path = QProcessEnvironment::systemEnvironment().value(QStringLiteral("PATH"));
    const QStringList folders = path.split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        found = FindEncoderIn(folder);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}
