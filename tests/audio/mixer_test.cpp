// The mixer through the Manual driver with a scripted clock, so each test
// pulls blocks itself and start delays are exact. Expected output is built
// from the sound's frames with the design's arithmetic written out here.
#include "platform/audio/audio.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

const int kRate = 44100;

// A sound of `frames` frames at `rate` Hz: hz on the left (or alone), 1.5
// times hz on the right, loud enough that every interpolation step shows.
TAudioSample* Tone(int rate, int channels, int frames, double hz = 440) {
    auto* s = new TAudioSample;
    s->rate = rate, s->channels = channels, s->length = frames;
    s->samples = new int16_t[size_t(frames + 1) * channels]();
    for (int i = 0; i < frames * channels; ++i)
        s->samples[i] = int16_t(
            20000 * std::sin(2 * M_PI * hz * (1 + 0.5 * (i % channels)) * (i / channels) / rate));
    // The frame after the last repeats it, as the mixer's copy does.
    std::copy_n(s->samples + (frames - 1) * channels, channels, s->samples + frames * channels);
    return s;
}

class Mixer : public ::testing::Test {
  protected:
    static inline int32_t now_ms = 0;
    static int32_t Clock(void*) { return now_ms; }
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
    TAudioSample* tone = Tone(kRate, 2, 20000, 100);
    std::unique_ptr<TSound> sound(CreateSound(tone));
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
                if (pos >= 0 && pos < 20000) sum += (tone->samples[2 * pos + c] * volume[i]) >> 8;
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

// Output frame k of one channel started at frame 0: the sound's position
// k * rate / 44100, read between its two frames with the top 16 bits of the
// fraction; times the gain (4096 = 1.0) >> 8, then >> 4. A mono sound
// feeds both sides. The mixer's own position may lose one step of the
// fraction to rounding: a difference of 1 is allowed.
int Expected(const TAudioSample& s, int64_t k, int side, int32_t gain) {
    const int64_t at = k * s.rate / kRate, frac = k * s.rate % kRate * 65536 / kRate;
    if (at >= s.length) return 0;
    const int16_t* p = s.samples + at * s.channels + (s.channels == 2 ? side : 0);
    const int v = p[0] + int((int64_t(p[s.channels] - p[0]) * frac) >> 16);
    return std::clamp(((v * gain) >> 8) >> 4, -32768, 32767);
}

struct PlayCase {
    const char* name;
    int rate, channels;
    int mix_after_ms, silent_frames;
};
class Play : public Mixer, public ::testing::WithParamInterface<PlayCase> {};

// The sound starts 20 ms after the request and plays at its own speed,
// even when its owner lets go of it while it plays.
TEST_P(Play, StartsTwentyMillisecondsAfterTheRequestAtItsOwnSpeed) {
    const PlayCase& c = GetParam();
    const std::unique_ptr<TAudioSample> tone(Tone(c.rate, c.channels, 4000));
    std::unique_ptr<TSound> sound(CreateSound(Tone(c.rate, c.channels, 4000)));
    ASSERT_TRUE(sound);
    PlaySound(sound.get());
    sound.reset();
    now_ms += c.mix_after_ms;
    const std::vector<int16_t> out = Mix(8192, 512); // a delay may span blocks
    for (int k = 0; k < 8192; ++k) {
        const int64_t j = k - c.silent_frames;    // the sound's own frame count
        if (j * c.rate == 4000 * kRate) continue; // its end, within rounding
        for (int side = 0; side < 2; ++side)
            ASSERT_NEAR(out[2 * k + side], j < 0 ? 0 : Expected(*tone, j, side, 4096), 1)
                << "frame " << k << " side " << side;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Mixer, Play,
    ::testing::Values(PlayCase{"At0ms", kRate, 2, 0, 882}, PlayCase{"At5ms", kRate, 2, 5, 661},
                      PlayCase{"At19ms", kRate, 2, 19, 44}, PlayCase{"At20ms", kRate, 2, 20, 0},
                      PlayCase{"At500ms", kRate, 2, 500, 0}, PlayCase{"Mono22050", 22050, 1, 20, 0},
                      PlayCase{"Stereo48000", 48000, 2, 20, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Volume set on a paused channel holds at once; on a playing one it is
// reached over the next block, in steps of (target - current) * 256 / frames
// kept with 8 fractional bits: to 1.0 from silence, and back to silence.
TEST_F(Mixer, VolumeRampsToAndFromSilenceWithinOneBlock) {
    TAudioSample* tone = Tone(kRate, 2, 20000);
    std::unique_ptr<TSound> sound(CreateSound(tone));
    ASSERT_TRUE(sound);
    TChannel ch = CueSound(sound.get());
    SetChannelVolume(ch, 0);
    ResumeChannel(ch);
    now_ms += 20;
    const int n = 1000;
    int64_t k = 0;
    int32_t current = 0;
    for (float target : {0.0f, 1.0f, 1.0f, 0.0f, 0.0f}) {
        SetChannelVolume(ch, target);
        const std::vector<int16_t> out = Mix(n, n);
        const int64_t step = (int64_t(target * 4096) - current) * 256 / n;
        for (int i = 0; i < n; ++i, ++k)
            for (int side = 0; side < 2; ++side)
                ASSERT_EQ(out[2 * i + side],
                          Expected(*tone, k, side, int32_t((current * 256 + i * step) >> 8)))
                    << "frame " << k << " side " << side << " towards " << target;
        current = int32_t(target * 4096);
    }
}

} // namespace
