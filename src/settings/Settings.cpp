#include "Settings.h"

#include "messages/Sonabel_L.h"

#include <QThread>
#include <algorithm>

void TPreferences::Set(const TSettings& record) {
    if (record == FRecord)
        return;
    FRecord = record;
    Q_EMIT changed();
}

int TPreferences::TargetBitRate() const {
    return BitRateTable[std::clamp(FRecord.BitRateIndex, 0, int(BitRateTable.size()) - 1)];
}

void TPreferences::SetTargetBitRate(int bitRate) {
    const auto it = std::find(BitRateTable.begin(), BitRateTable.end(), bitRate);
    Q_ASSERT(it != BitRateTable.end());
    Edit()->BitRateIndex = int(it - BitRateTable.begin());
}

void SetLanguage(int index, bool reapply) {
    const int language = SetLanguage(index, reapply, Settings().DefaultLanguage);
    Preferences().Edit()->Language = language;
}

int PriorityIndex(quint32 flags) {
    switch (flags & flPriorityMask) {
    case 0x10000:
        return 0;
    case 0x20000:
        return 1;
    case 0x30000:
        return 3;
    case 0x40000:
        return 4;
    default:
        return 2;
    }
}

quint32 SetPriorityIndex(quint32 flags, int level) {
    flags &= ~flPriorityMask;
    switch (level) {
    case 0:
        return flags | 0x10000;
    case 1:
        return flags | 0x20000;
    case 3:
        return flags | 0x30000;
    case 4:
        return flags | 0x40000;
    default:
        return flags;
    }
}

TPriorityClass EncoderPriorityClass(int level) {
    if (level <= 1)
        return TPriorityClass::Idle;
    if (level >= 3)
        return TPriorityClass::High;
    return TPriorityClass::Normal;
}

int PriorityNiceness(int level) {
    static constexpr int table[5] = {19, 10, 0, -5, -10};
    return (level >= 0 && level <= 4) ? table[level] : 0;
}

int NewUserJobs() {
    return qBound(1, QThread::idealThreadCount(), MaxJobs);
}
