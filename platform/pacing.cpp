#include "platform/pacing.h"

#include "platform/clock.h"

#include <cerrno>
#include <ctime>

namespace {

// The first presents may return at once while the driver has free buffers;
// after them a waiting driver presents on the display's beat.
const int kUntimedPresents = 3;
const int kTimedPresents = 7;
// How far from a whole number of periods a present may land and still be in
// step: a waiting driver's scheduling jitter, well under the 28 % by which a
// 12 ms swap misses a 60 Hz beat.
const int kBeatToleranceDivisor = 8;

} // namespace

bool PresentsInStep(const PresentTiming& timing, int64_t period_ns) {
    if (period_ns <= 0) return false;
    for (int i = 0; i < kUntimedPresents; ++i)
        timing.present(timing.user);
    int64_t last = timing.now_ns(timing.user);
    int in_step = 0;
    for (int i = 0; i < kTimedPresents; ++i) {
        timing.present(timing.user);
        const int64_t now = timing.now_ns(timing.user), apart = now - last;
        last = now;
        // Whole periods apart: a frame that missed one beat lands on the next.
        const int64_t beats = (apart + period_ns / 2) / period_ns;
        const int64_t off = apart - beats * period_ns;
        in_step += beats >= 1 && off < period_ns / kBeatToleranceDivisor &&
                   -off < period_ns / kBeatToleranceDivisor;
    }
    return in_step > kTimedPresents / 2;
}

// Deadlines one period apart from the first frame, so they do not drift; a
// frame more than a period late starts them again rather than rushing.
void WaitForFrameDeadline(FramePacing& p) {
    const int64_t now = MonotonicNs();
    if (p.next_ns != 0 && now < p.next_ns) {
        const timespec deadline = {time_t(p.next_ns / 1000000000), long(p.next_ns % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
        }
    } else if (p.next_ns == 0 || now - p.next_ns > p.period_ns) {
        p.next_ns = now;
    }
    p.next_ns += p.period_ns;
}
