#include "platform/clock.h"

#include <atomic>
#include <ctime>
#include <forward_list>

namespace {

struct ClockSource {
    MilliSecsSource read;
    void* user;
};

// The audio thread reads the source while the main thread may replace it:
// one atomic pointer to a record that never changes once published. The
// records stay allocated, to the end of the process (replacing the source
// is rare: tests), so an audio thread still running at exit can read them.
auto* const records = new std::forward_list<ClockSource>;
std::atomic<const ClockSource*> clock_source{nullptr};

} // namespace

int32_t MilliSecs() {
    if (const ClockSource* c = clock_source.load(std::memory_order_acquire))
        return c->read(c->user);
    return int32_t(uint32_t(uint64_t(MonotonicNs() / 1000000)));
}

int64_t MonotonicNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void SetMilliSecsSource(MilliSecsSource source, void* user) {
    if (!source) {
        clock_source.store(nullptr, std::memory_order_release);
        return;
    }
    records->push_front({source, user});
    clock_source.store(&records->front(), std::memory_order_release);
}

void Delay(int ms) {
    if (ms <= 0) return;
    timespec ts{ms / 1000, long(ms % 1000) * 1000000};
    while (nanosleep(&ts, &ts) != 0) {
    } // a signal handler ran: sleep the rest
}
