#include "messages/RunState.h"

quint8 RunState = rsIdle;
