#include "platform/clock.h"

#include <windows.h>

uint32_t platformClock() { return timeGetTime(); }
