#pragma once
// What the program knows of the encoder: where it is, the full path it is
// started by, and what its banner says. The owner follows the settings' encoder
// path and reads the banner of a new encoder without blocking.

#include "messages/CurrentInstance.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;
class TPreferences;

// The encoder's file name; name tests ignore letter case.
#ifdef Q_OS_WIN
inline constexpr char LameExeName[] = "Lame.exe";
#else
inline constexpr char LameExeName[] = "lame";
#endif

extern const QString DefaultLameWebSite;

// Time the banner probe and the help text may take before the child is ended.
inline constexpr int EncoderProbeTimeLimitMs = 10000;

class TEncoderFacts : public QObject, public TCurrentInstance<TEncoderFacts> {
    Q_OBJECT
public:
    // Without bannerOnChange a new path clears the banner and only ReadBanner
    // reads it: the terminal runs need none.
    explicit TEncoderFacts(TPreferences& preferences, bool bannerOnChange = true,
                           QObject* parent = nullptr);
    ~TEncoderFacts() override;

    const QString& ShortPath() const { return FShortPath; }
    const QString& Version() const { return FVersion; }
    const QString& WebSite() const { return FWebSite; }

    // Takes an encoder path: its full path at once (empty when it does not
    // exist), the banner when the probe started here has ended.
    void SetEncoderPath(const QString& path);
    // The full path to start, as given; the banner is not read.
    void SetShortPath(const QString& path);
    // Reads the banner again, without waiting: changed() tells its end.
    void ReadBanner();
    // Ends once the banner probe has (at most timeLimitMs); true when it had.
    bool WaitForBanner(int timeLimitMs = EncoderProbeTimeLimitMs);

Q_SIGNALS:
    // The path or the banner changed.
    void changed();

private:
    void ClearBanner();
    void ProbeEnded();

    TPreferences& Preferences;
    bool BannerOnChange;
    QString PathSeen;
    QString FShortPath;
    QString FVersion;
    QString FWebSite = DefaultLameWebSite;
    QProcess* Probe = nullptr;
};

// Thin views onto the current owner.
inline const QString& LameShortPath() {
    return TEncoderFacts::Current().ShortPath();
}
inline const QString& LameVersion() {
    return TEncoderFacts::Current().Version();
}
inline const QString& LameWebSite() {
    return TEncoderFacts::Current().WebSite();
}

// Banner parsing: the first line holding "LAME" in any case gives the version
// text and the web site (without scheme, parentheses and final slash).
void ParseLameBanner(const QStringList& lines, QString& version, QString& site);
// Reads the current encoder's banner again and waits for it.
void ReadLameVersion(int timeLimitMs = EncoderProbeTimeLimitMs);
// The encoder's own help text (the program run with "-?").
QStringList ReadLameHelp(const QString& encoderPath, int timeLimitMs = EncoderProbeTimeLimitMs);

// Encoder lookup: the program folder first, then each PATH folder; the name is
// compared without case. Empty when none is found.
bool IsEncoderFileName(const QString& path);
QString FindEncoderIn(const QString& folder);
QString FindEncoder(const QString& appDir);
