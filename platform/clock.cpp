#include "platform/clock.h"

#include <ctime>

namespace {

struct ClockSource {
    MilliSecsSource read = nullptr;
    void* user = nullptr;
};

ClockSource clock_source;

} // namespace

int32_t MilliSecs() {
    if (clock_source.read) return clock_source.read(clock_source.user);
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    int64_t ms = int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
    return int32_t(uint32_t(uint64_t(ms)));
}

void SetMilliSecsSource(MilliSecsSource source, void* user) {
    clock_source.read = source;
    clock_source.user = user;
}
