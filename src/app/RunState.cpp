#include "app/RunState.h"

quint8 RunState = rsIdle;
