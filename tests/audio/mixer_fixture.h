// Test fixture: the Manual driver with a scripted clock, so each test pulls
// blocks itself and start delays are exact. Expected output is built from the
// decoded frames with the mixer's arithmetic written out in the test.
#pragma once

#include "platform/audio/audio.h"
#include "platform/audio/mixer.h"
#include "platform/clock.h"
#include "tests/audio/ogg_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

inline int16_t Clip(int64_t v) {
    return int16_t(std::clamp<int64_t>(v, -32768, 32767));
}
// One sample through a gain, as the mixer adds it (4096 = 1.0).
inline int32_t Scaled(int32_t sample, int32_t gain) {
    return (sample * gain) >> 8;
}
inline int32_t VolumeWord(float volume) {
    return int32_t(std::trunc(double(volume) * 4096.0));
}
// Decoded frame i, side c (mono repeats on both).
inline int16_t At(const TSound& s, int i, int c) {
    return s.sample->samples[size_t(i) * s.sample->channels + (s.sample->channels == 2 ? c : 0)];
}

class ManualMixer : public ::testing::Test {
  protected:
    static inline int32_t now_ms = 0;
    static int32_t Clock(void*) { return now_ms; }

    void SetUp() override {
        now_ms = 100000;
        SetMilliSecsSource(Clock, nullptr);
        SetAudioDriver("Manual");
        ASSERT_STREQ(AudioDriverName(), "Manual");
    }
    void TearDown() override {
        ShutdownAudio();
        SetMilliSecsSource(nullptr, nullptr);
    }

    // Pulls frames in blocks of block_frames; returns interleaved stereo.
    static std::vector<int16_t> Mix(int frames, int block_frames = 4096) {
        std::vector<int16_t> out(size_t(frames) * 2);
        for (int at = 0; at < frames; at += block_frames)
            AudioMixBlock(out.data() + size_t(at) * 2, std::min(block_frames, frames - at));
        return out;
    }
    // Lets the 20 ms start latency pass before the next block.
    static void PassLatency() { now_ms += 20; }
};
