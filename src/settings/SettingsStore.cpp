#include "SettingsStore.h"

#include "messages/Reporting.h"

#include <QFileInfo>

namespace {

// Names of the stored values, all directly in the program key.
const QString vLanguage = QStringLiteral("Language");
const QString vBitRateIndex = QStringLiteral("BitRateIndex");
const QString vEncodingMode = QStringLiteral("EncodingMode");
const QString vDelayS = QStringLiteral("DelayS");
const QString vJobs = QStringLiteral("Jobs");
const QString vSkipDone = QStringLiteral("SkipDone");
const QString vReplaceSources = QStringLiteral("ReplaceSources");
const QString vLastDir = QStringLiteral("LastDir");
const QString vDestDir = QStringLiteral("DestDir");
const QString vLameParams = QStringLiteral("LameParams");
const QString vLameParamsABR = QStringLiteral("LameParamsABR");
const QString vFlags = QStringLiteral("Flags");
const QString vDirFlags = QStringLiteral("DirFlags");
const QString vDirSizeMin = QStringLiteral("DirSizeMin");
const QString vDownloadDir = QStringLiteral("DownloadDir");
const QString vLamePath = QStringLiteral("LamePath");

constexpr quint32 DirFlagsUpgrade = dfUpgraded | dfCBR | dfVBR; // 0x00E00000

qint32 ReadInt(const TRegFile& store, const QString& ident, qint32 def) {
    return store.ReadInteger(QString(), ident, def);
}

QString ReadStr(const TRegFile& store, const QString& ident, const QString& def) {
    return store.ReadString(QString(), ident, def);
}

void MoveOldPlacementKey(TRegFile& store) {
    if (!store.SectionExists(OldMainFormName))
        return;
    if (store.SectionExists(MainFormName))
        store.EraseSection(MainFormName);
    store.CopySection(OldMainFormName, MainFormName);
    store.EraseSection(OldMainFormName);
}

bool JobsInRange(qint32 jobs) {
    return jobs >= 1 && jobs <= MaxJobs;
}

// Compares what the store holds (read with the load defaults) with the record,
// in a fixed order, stopping at the first difference.
bool DiffersFromStore(const TRegFile& store, const TSettings& s, const TSettingsEnv& env) {
    const QString music = env.MusicFolder();
    const QString currentCode = env.LanguageCode(s.Language);
    const QString defaultCode = env.LanguageCode(env.DefaultLanguage);
    const std::function<bool()> checks[] = {
        [&] { return ReadInt(store, vBitRateIndex, DefaultBitRateIndex) != s.BitRateIndex; },
        [&] { return ReadStr(store, vLastDir, music) != s.LastDir; },
        [&] { return ReadStr(store, vDestDir, music) != s.DestDir; },
        [&] { return ReadStr(store, vLameParams, QString()) != s.LameParams(); },
        [&] { return ReadStr(store, vLameParamsABR, QString()) != s.LameParamsABR(); },
        [&] { return quint32(ReadInt(store, vFlags, qint32(DefaultFlags))) != s.Flags; },
        [&] { return quint32(ReadInt(store, vDirFlags, qint32(DefaultDirFlags))) != s.DirFlags; },
        [&] { return ReadInt(store, vDirSizeMin, 0) != s.DirSizeMin; },
        [&] { return quint8(ReadInt(store, vEncodingMode, 0)) != s.EncodingMode; },
        [&] { return ReadStr(store, vLanguage, defaultCode) != currentCode; },
        [&] { return ReadStr(store, vDownloadDir, env.DocumentsFolder()) != s.DownloadDir; },
        [&] { return ReadInt(store, vDelayS, DefaultDelayS) != s.DelayS; },
        [&] { return ReadInt(store, vJobs, DefaultJobs) != s.Jobs; },
        [&] { return (ReadInt(store, vSkipDone, 1) != 0) != s.SkipDone; },
        [&] { return (ReadInt(store, vReplaceSources, 0) != 0) != s.ReplaceSources; },
    };
    for (const auto& differs : checks)
        if (differs())
            return true;
    return false;
}

void WriteAll(TRegFile& store, const TSettings& s, const TSettingsEnv& env) {
    const QString root;
    store.WriteInteger(root, vBitRateIndex, s.BitRateIndex);
    store.WriteString(root, vLastDir, s.LastDir);
    store.WriteInteger(root, vEncodingMode, s.EncodingMode);
    store.WriteString(root, vLanguage, env.LanguageCode(s.Language));
    store.WriteInteger(root, vDelayS, s.DelayS);
    store.WriteString(root, vDestDir, s.DestDir);
    store.WriteString(root, vLameParams, s.LameParams());
    store.WriteString(root, vLameParamsABR, s.LameParamsABR());
    store.WriteInteger(root, vFlags, qint32(s.Flags));
    store.WriteInteger(root, vDirFlags, qint32(s.DirFlags));
    store.WriteInteger(root, vDirSizeMin, s.DirSizeMin);
    store.WriteString(root, vDownloadDir, s.DownloadDir);
    store.WriteInteger(root, vJobs, s.Jobs);
    store.WriteInteger(root, vSkipDone, s.SkipDone ? 1 : 0);
    store.WriteInteger(root, vReplaceSources, s.ReplaceSources ? 1 : 0);
}

} // namespace

void LoadSettings(TRegFile& store, TSettings& s, const TSettingsEnv& env) {
    MoveOldPlacementKey(store);

    s.DefaultLanguage = env.DefaultLanguage;
    const QString code = ReadStr(store, vLanguage, env.LanguageCode(env.DefaultLanguage));
    const qsizetype index = env.LanguageCodes.indexOf(code);
    s.Language = index >= 0 ? int(index) : env.DefaultLanguage;

    // Negative values fail the unsigned range checks too.
    const qint32 bitRateIndex = ReadInt(store, vBitRateIndex, DefaultBitRateIndex);
    s.BitRateIndex =
        quint32(bitRateIndex) < BitRateTable.size() ? bitRateIndex : DefaultBitRateIndex;
    const qint32 mode = ReadInt(store, vEncodingMode, 0);
    s.EncodingMode = quint32(mode) > 1 ? 0 : quint8(mode);

    s.DelayS = ReadInt(store, vDelayS, DefaultDelayS);
    const qint32 jobs = ReadInt(store, vJobs, DefaultJobs);
    s.Jobs = JobsInRange(jobs) ? jobs : DefaultJobs;
    s.SkipDone = ReadInt(store, vSkipDone, 1) != 0;
    s.ReplaceSources = ReadInt(store, vReplaceSources, 0) != 0;

    const QString music = env.MusicFolder();
    s.LastDir = ReadStr(store, vLastDir, music);
    s.DestDir = ReadStr(store, vDestDir, music);
    if (!QFileInfo(s.DestDir).isDir())
        s.DestDir = music;
    s.LameParams() = ReadStr(store, vLameParams, QString());
    s.LameParamsABR() = ReadStr(store, vLameParamsABR, QString());

    s.Flags = quint32(ReadInt(store, vFlags, qint32(DefaultFlags)));
    s.DirFlags = quint32(ReadInt(store, vDirFlags, qint32(DefaultDirFlags)));
    // Stores from before the CBR/VBR filter accept both kinds from now on.
    if (!(s.DirFlags & dfUpgraded)) {
        s.DirFlags |= DirFlagsUpgrade;
        store.WriteInteger(QString(), vDirFlags, qint32(s.DirFlags));
        store.Flush();
    }
    s.DirSizeMin = ReadInt(store, vDirSizeMin, 0);
    s.DownloadDir = ReadStr(store, vDownloadDir, env.DocumentsFolder());

    // The shutdown box, the idle run state and the message table are the main
    // window's part of loading; it does them from the record after this call.
    s.LamePath = ReadStr(store, vLamePath, s.LamePath);
}

TSaveResult SaveSettings(TRegFile& store, const TSettings& s, const TSaveRequest& request,
                         TReporter& reporter, const TSettingsEnv& env) {
    store.WriteString(QString(), vLamePath, s.LamePath);
    store.SavePlacement(MainFormName, request.MainPlacement, true);

    const bool ask = (s.Flags & flConfirmSave) && !request.PowerOffClosing;
    TSaveResult result = TSaveResult::Saved;
    if (ask) {
        if (!DiffersFromStore(store, s, env))
            result = TSaveResult::Unchanged;
        else if (reporter.AskUser(request.ConfirmQuestion, TDialogType::Confirmation,
                                  mbYes | mbNo) != TModalResult::Yes)
            result = TSaveResult::Declined;
    }
    if (result == TSaveResult::Saved)
        WriteAll(store, s, env);
    store.Flush();
    return result;
}
