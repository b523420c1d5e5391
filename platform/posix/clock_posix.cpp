#include "platform/clock.h"

#include <chrono>
#include <ctime>

uint32_t platformClock() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);
}

long long processCpuMs() {
    timespec used = {};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used) != 0) return 0;
    return used.tv_sec * 1000LL + used.tv_nsec / 1000000;
}
