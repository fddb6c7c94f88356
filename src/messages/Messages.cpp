#include "messages/Messages.h"

#include "messages/FormatMsg.h"

std::array<QString, MessageCount> MessageTable;
std::array<QString, 8> StateTexts;

QString MsgFmt(TMsgId id, std::initializer_list<QVariant> args) {
    if (id < 0 || id >= MessageCount)
        return QString();
    return FormatMsg(MessageTable[id], args);
}
