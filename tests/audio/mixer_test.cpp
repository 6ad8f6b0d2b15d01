// The mixer through the Manual driver with a scripted clock, so each test
// pulls blocks itself and start delays are exact. Expected output is built
// from the decoded frames with the mixer's arithmetic written out here.
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "tests/audio/ogg_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

class Mixer : public ::testing::Test {
  protected:
    static inline int32_t now_ms = 0;
    static int32_t Clock(void*) { return now_ms; }
    // Decoded frame i, side c of a stereo sound.
    static int16_t At(const TSound& s, int i, int c) { return s.sample->samples[i * 2 + c]; }

    void SetUp() override {
        now_ms = 100000;
        SetMilliSecsSource(Clock, nullptr);
        SetAudioDriver("Manual"); // or silence: every test fails
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
};

// One cue, volume and resume per 10 ms frame, as the ending does: the volume
// holds from the first frame, without a ramp from 1.0. The output pulls 441
// frames per frame, so channel i starts 882 frames (20 ms) after the block it
// arrived in.
// A 100 Hz left side repeats every 441 frames, so the channels add up there.
TEST_F(Mixer, HundredCuedChannelsSumAtTheirOwnVolumesWithClipping) {
    auto sound = MakeSound("hundred", 20000, 12000, 100.0);
    ASSERT_TRUE(sound);
    const int kChannels = 100, kFrameBlock = 441;
    std::vector<int32_t> volume(kChannels);
    std::vector<int16_t> out;
    for (int i = 0; i < kChannels; ++i) {
        float v = 0.3f + 0.007f * float(i);
        volume[i] = int32_t(std::trunc(double(v) * 4096.0));
        TChannel ch = CueSound(sound.get());
        ASSERT_NE(ch.handle, 0u);
        SetChannelVolume(ch, v);
        ResumeChannel(ch);
        std::vector<int16_t> block = Mix(kFrameBlock);
        out.insert(out.end(), block.begin(), block.end());
        now_ms += 10;
    }
    const int total = kFrameBlock * (kChannels + 2) + 20000;
    std::vector<int16_t> rest = Mix(total - int(out.size() / 2));
    out.insert(out.end(), rest.begin(), rest.end());

    int clipped = 0, unclipped = 0;
    for (int k = 0; k < total; ++k) {
        for (int c = 0; c < 2; ++c) {
            int64_t sum = 0;
            for (int i = 0; i < kChannels; ++i) {
                int pos = k - kFrameBlock * (i + 2);
                if (pos >= 0 && pos < 20000) sum += (At(*sound, pos, c) * volume[i]) >> 8;
            }
            int64_t level = sum >> 4;
            (level > 32767 || level < -32768 ? clipped : unclipped)++;
            ASSERT_EQ(out[size_t(k) * 2 + c], int16_t(std::clamp<int64_t>(level, -32768, 32767)))
                << "frame " << k << " side " << c;
        }
    }
    EXPECT_GT(clipped, 1000);
    EXPECT_GT(unclipped, 1000);
}

struct DelayCase {
    int mix_after_ms;
    int silent_frames;
};
class StartDelay : public Mixer, public ::testing::WithParamInterface<DelayCase> {};

// At volume 1.0 the samples come out unchanged, even when the sound's owner
// lets go of it while it plays.
TEST_P(StartDelay, SoundStartsTwentyMillisecondsAfterTheRequest) {
    auto sound = MakeSound("delay", 3000, 20000);
    ASSERT_TRUE(sound);
    const int silent = GetParam().silent_frames;
    std::vector<int16_t> want(2 * 8192, 0);
    for (int k = silent; k - silent < 3000; ++k)
        for (int c = 0; c < 2; ++c)
            want[2 * k + c] = At(*sound, k - silent, c);
    PlaySound(sound.get());
    sound.reset();
    now_ms += GetParam().mix_after_ms;
    // Small blocks, so a delay can span more than one of them.
    EXPECT_EQ(Mix(8192, 512), want);
}

INSTANTIATE_TEST_SUITE_P(Mixer, StartDelay,
                         ::testing::Values(DelayCase{0, 882}, DelayCase{5, 661}, DelayCase{19, 44},
                                           DelayCase{20, 0}, DelayCase{500, 0}));

} // namespace
