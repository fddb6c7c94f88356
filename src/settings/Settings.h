#pragma once
// The program-wide settings record and the bit layout of its two option words.

#include "messages/CurrentInstance.h"

#include <QObject>
#include <QString>
#include <array>

// Flags
inline constexpr quint32 flQualityMask = 0x0000000F; // encoder quality 0..9
inline constexpr quint32 flShutDown = 0x00000010;
inline constexpr quint32 flDelayedStart = 0x00000020;
inline constexpr quint32 flDestFolder = 0x00000100;
inline constexpr quint32 flAutoUpdate = 0x00000200;
inline constexpr quint32 flUpdateAsked = 0x00000400;
inline constexpr quint32 flKeepTagV1 = 0x00001000;
inline constexpr quint32 flKeepTagV2 = 0x00002000;
inline constexpr quint32 flBRHigher = 0x00004000;
inline constexpr quint32 flPriorityMask = 0x00070000; // coded level, see PriorityIndex
inline constexpr quint32 flShortPath = 0x00100000;
inline constexpr quint32 flCopyData = 0x00200000;
inline constexpr quint32 flKeepTime = 0x00400000;
inline constexpr quint32 flConfirmSave = 0x00800000;
inline constexpr quint32 flKeepSubDirs = 0x01000000;
inline constexpr quint32 flCompactTag = 0x02000000;
inline constexpr quint32 flNoB_ABR = 0x04000000;
inline constexpr quint32 flNoQ_ABR = 0x08000000;
inline constexpr quint32 flNoB_CBR = 0x10000000;
inline constexpr quint32 flNoQ_CBR = 0x20000000;

// Indexed by EncodingMode (0 = CBR, 1 = ABR).
inline constexpr std::array<quint32, 2> flNoBitRateSwitch = {flNoB_CBR, flNoB_ABR};
inline constexpr std::array<quint32, 2> flNoQualitySwitch = {flNoQ_CBR, flNoQ_ABR};

// DirFlags
inline constexpr quint32 dfMinBitRateIndex = 0x000000FF; // index into BitRateTable
inline constexpr quint32 dfMP1 = 0x00010000;
inline constexpr quint32 dfMP2 = 0x00020000;
inline constexpr quint32 dfMP3 = 0x00040000;
inline constexpr quint32 dfWAV = 0x00080000;
inline constexpr quint32 dfSizeMin = 0x00100000;
inline constexpr quint32 dfUpgraded = 0x00200000;
inline constexpr quint32 dfCBR = 0x00400000;
inline constexpr quint32 dfVBR = 0x00800000;
inline constexpr quint32 dfRecurse = 0x10000000;
inline constexpr quint32 dfBitRateMin = 0x20000000;

// Indexed by source type 0..3 (MP1, MP2, MP3, WAV).
inline constexpr std::array<quint32, 4> dfTypeMasks = {dfMP1, dfMP2, dfMP3, dfWAV};

// A new user keeps both tags: losing title, artist and cover is never what they want.
inline constexpr quint32 DefaultFlags = 0x01207002;
inline constexpr quint32 DefaultDirFlags = 0x00EF0000;
inline constexpr int DefaultBitRateIndex = 6;
inline constexpr qint32 DefaultDelayS = 1800;
inline constexpr int DefaultJobs = 1;
// A new user's number of jobs: every core, as peer programs do.
int NewUserJobs();
inline constexpr int MaxJobs = 64;

inline constexpr std::array<int, 14> BitRateTable = {32,  40,  48,  56,  64,  80,  96,
                                                     112, 128, 160, 192, 224, 256, 320};

struct TSettings {
    int Language = 0;        // index into the language table
    int DefaultLanguage = 0; // the system's default language index
    int BitRateIndex = DefaultBitRateIndex;
    quint8 EncodingMode = 0; // 0 CBR, 1 ABR
    qint32 DelayS = DefaultDelayS;
    QString LastDir;
    QString DestDir;
    std::array<QString, 2> LameParamsByMode; // [0] LameParams (CBR), [1] LameParamsABR
    quint32 Flags = DefaultFlags;
    quint32 DirFlags = DefaultDirFlags;
    qint32 DirSizeMin = 0;
    QString DownloadDir;
    QString LamePath;
    int Jobs = DefaultJobs; // encoders run at once during a batch
    // A source whose output exists is skipped, and scans leave outputs out.
    bool SkipDone = true;
    // Outputs take their sources' places; the sources go to the trash.
    bool ReplaceSources = false;
    QString AppDir; // the program's folder, with a trailing '/'

    QString& LameParams() { return LameParamsByMode[0]; }
    QString& LameParamsABR() { return LameParamsByMode[1]; }
    const QString& LameParams() const { return LameParamsByMode[0]; }
    const QString& LameParamsABR() const { return LameParamsByMode[1]; }
    int Quality() const { return int(Flags & flQualityMask); }
    bool operator==(const TSettings&) const = default;
};

// The owner of the settings record. Every change goes through it and is
// announced once, by changed(), when something really changed.
class TPreferences : public QObject, public TCurrentInstance<TPreferences> {
    Q_OBJECT
public:
    using QObject::QObject;
    const TSettings& Record() const { return FRecord; }
    void Set(const TSettings& record);
    // The rate in kbit/s of the selected BitRateIndex (clamped to the table).
    int TargetBitRate() const;
    // Selects the table entry of bitRate, which must be one of the table.
    void SetTargetBitRate(int bitRate);

    // A change of some fields, applied when the edit ends: for
    // Edit()->Field = value, at the end of that statement.
    class TEdit {
    public:
        explicit TEdit(TPreferences& owner) : Owner(owner), Copy(owner.FRecord) {}
        TEdit(const TEdit&) = delete;
        TEdit& operator=(const TEdit&) = delete;
        ~TEdit() { Owner.Set(Copy); }
        TSettings* operator->() { return &Copy; }
        TSettings& operator*() { return Copy; }

    private:
        TPreferences& Owner;
        TSettings Copy;
    };
    TEdit Edit() { return TEdit(*this); }

Q_SIGNALS:
    void changed();

private:
    TSettings FRecord;
};

// Thin views onto the current owner: the record and its target bit rate.
inline TPreferences& Preferences() {
    return TPreferences::Current();
}
inline const TSettings& Settings() {
    return TPreferences::Current().Record();
}
struct TTargetBitRateView {
    operator int() const { return TPreferences::Current().TargetBitRate(); }
};
inline constexpr TTargetBitRateView TargetBitRate{};

// Makes a language current (an index outside the table takes the stored
// default) and stores it in Settings().Language.
void SetLanguage(int index, bool reapply);

// Priority level 0..4 coded in flPriorityMask (all-zero means normal, level 2).
int PriorityIndex(quint32 flags);
quint32 SetPriorityIndex(quint32 flags, int level);

enum class TPriorityClass { Idle, Normal, High };
TPriorityClass EncoderPriorityClass(int level);
// Linux niceness matching a level: 0..4 -> 19, 10, 0, -5, -10.
int PriorityNiceness(int level);
