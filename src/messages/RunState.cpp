#include "messages/RunState.h"

void TRunState::Set(quint8 value) {
    FValue = value;
    Q_EMIT changed(value);
}
