#include "platform/clock.h"

#include <windows.h>

uint32_t platformClock() { return timeGetTime(); }

long long processCpuMs() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto ms = [](const FILETIME& time) {
        return static_cast<long long>(((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) /
                                      10000);
    };
    return ms(kernel) + ms(user);
}
