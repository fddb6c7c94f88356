#include "messages/Reporting.h"

#include "messages/FormatMsg.h"
#include "messages/RunState.h"

void TReporter::LogFmt(const QString& fmt, std::initializer_list<QVariant> args) {
    LogLine(FormatMsg(fmt, args));
}

void TReporter::LogFmt(TMsgId id, std::initializer_list<QVariant> args) {
    LogLine(MsgFmt(id, args));
}

void TReporter::SetStatusFmt(const QString& fmt, std::initializer_list<QVariant> args) {
    SetStatusText(FormatMsg(fmt, args));
}

void TReporter::SetStatusFmt(TMsgId id, std::initializer_list<QVariant> args) {
    SetStatusText(MsgFmt(id, args));
}

void TReporter::ShowInfoFmt(const QString& fmt, std::initializer_list<QVariant> args) {
    ShowInfo(FormatMsg(fmt, args));
}

void TReporter::ShowInfoFmt(TMsgId id, std::initializer_list<QVariant> args) {
    ShowInfo(MsgFmt(id, args));
}

void TReporter::SetState(quint8 value) {
    TRunState::Current().Set(value);
}

void FollowRunState(TRunState& state, TReporter& reporter, QObject* context) {
    QObject::connect(&state, &TRunState::changed, context, [&reporter](quint8 value) {
        reporter.SetStatusText(value < StateTexts.size() ? StateTexts[value] : QString());
    });
}
