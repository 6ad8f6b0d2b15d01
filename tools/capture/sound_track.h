// The capture's soundtrack: the mixer run on the virtual clock, one stretch
// per frame interval. The latest stretch is held back until the next one
// comes, so the very last one (whichever frame turns out to be last) can be
// faded out: the sound ends with the last frame, without a click.
#pragma once

#include "tools/capture/job_queue.h"

#include <atomic>
#include <cstdint>
#include <vector>

const int kFadeOutFrames = 441; // 10 ms

struct SoundTrack {
    std::vector<int16_t> mix; // one mixer block
    Job held;                 // the latest stretch, not yet queued
};

// Mixes demo time [from_ms, to_ms) with the clock (clock_base + ms) standing
// at from_ms, so a playback requested in the frame just shown starts after
// the mixer's own start latency, as it would live. keep: the stretch goes
// into the outputs (the mixer runs either way).
void MixInterval(SoundTrack& s, std::atomic<int32_t>& clock, int32_t clock_base, int32_t from_ms,
                 int32_t to_ms, bool keep, JobQueue& queue);
// Fades out and queues the held stretch.
void EndSoundTrack(SoundTrack& s, JobQueue& queue);
// Linear fade to zero over the last min(frames, kFadeOutFrames) stereo frames.
void FadeOut(std::vector<int16_t>& interleaved);
