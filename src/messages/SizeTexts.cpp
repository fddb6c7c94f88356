#include "messages/SizeTexts.h"

#include "messages/Messages.h"
#include "messages/Sonabel_L.h"

#include <QLocale>

namespace {

QString Decimal(double value) {
    const int index = CurrentLanguageIndex();
    QLocale locale(LanguageTable[size_t(index >= 0 && index < LanguageCount ? index : 0)].Locale);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 2);
}

} // namespace

QString SizeText(qint64 bytes) {
    constexpr double KiB = 1024.0;
    const double kb = double(bytes) / KiB;
    if (kb < KiB)
        return MsgFmt(msgSizeKB, {QString::number(qRound64(kb))});
    if (kb < KiB * KiB)
        return MsgFmt(msgSizeMB, {Decimal(kb / KiB)});
    return MsgFmt(msgSizeGB, {Decimal(kb / KiB / KiB)});
}

QString SavedSizesText(qint64 sourceBytes, qint64 outputBytes) {
    if (sourceBytes <= 0)
        return QString();
    const qint64 saved = sourceBytes - outputBytes;
    const int percent = int(qRound64(double(qAbs(saved)) * 100.0 / double(sourceBytes)));
    return MsgFmt(saved >= 0 ? msgSavedSizes : msgGrownSizes,
                  {SizeText(qAbs(saved)), SizeText(sourceBytes), percent});
}
