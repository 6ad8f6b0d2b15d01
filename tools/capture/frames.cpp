#include "tools/capture/frames.h"

#include "demo/demo.h"

#include <algorithm>

int32_t FrameTimeMs(int64_t frame, int fps) {
    return int32_t((frame * 2000 + fps) / (2 * int64_t(fps)));
}

int64_t FirstFrameAtOrAfter(int32_t ms, int fps) {
    int64_t k = std::max<int64_t>(0, int64_t(ms) * fps / 1000 - 1);
    while (FrameTimeMs(k, fps) < ms)
        ++k;
    while (k > 0 && FrameTimeMs(k - 1, fps) >= ms)
        --k;
    return k;
}

int64_t AudioFrameAt(int32_t ms) {
    return int64_t(ms) * kCaptureSoundRate / 1000;
}

int64_t DemoFrameCount(int fps) {
    return FirstFrameAtOrAfter(kEndingStartMs, fps) + 1 + kEndingFrames;
}
