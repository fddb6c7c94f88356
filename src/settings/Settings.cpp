#include "Settings.h"

#include "messages/Sonabel_L.h"

#include <QThread>

int TargetBitRate = BitRateTable[DefaultBitRateIndex];

TSettings& Settings() {
    static TSettings settings;
    return settings;
}

void SetLanguage(int index, bool reapply) {
    TSettings& s = Settings();
    s.Language = SetLanguage(index, reapply, s.DefaultLanguage);
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
