// A generated sound's way out: decoded with its length, rate, channels and
// signal kept (damaged files are the fuzzer's), then played through the real
// SDL output, recorded by SDL's disk driver (raw S16 stereo).
#include "platform/audio/mixer.h"
#include "tests/audio/ogg_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace {

// The demo's one sound: a stereo 44100 Hz file.
TEST(Audio, DecodeKeepsLengthRateChannelsAndSignal) {
    const int kFrames = 12345;
    std::vector<int16_t> pcm = SynthesizePcm(kFrames, 16000);
    std::string path = TempAudioPath("decode.ogg");
    ASSERT_TRUE(WriteOgg(path, pcm));
    std::unique_ptr<TAudioSample> s(LoadAudioSample(path.c_str()));
    std::remove(path.c_str());
    ASSERT_TRUE(s);
    ASSERT_EQ(s->length, kFrames);
    EXPECT_EQ(s->rate, 44100);
    EXPECT_EQ(s->channels, 2);
    // Lossy, but each side must carry its own sine (a different pitch on
    // each), so swapped sides fail too.
    for (int c = 0; c < 2; ++c) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = c; i < pcm.size(); i += 2) {
            xy += double(s->samples[i]) * pcm[i];
            xx += double(s->samples[i]) * s->samples[i];
            yy += double(pcm[i]) * pcm[i];
        }
        EXPECT_GT(xy / std::sqrt(xx * yy), 0.99) << "normalised correlation, side " << c;
    }
}

// Index of the first frame with a non-zero side, or -1.
long FirstSound(const int16_t* samples, long frames) {
    for (long k = 0; k < frames; ++k)
        if (samples[2 * k] || samples[2 * k + 1]) return k;
    return -1;
}

TEST(AudioOutput, DiskRecordingHoldsTheDecodedSamples) {
    std::string recording = TempAudioPath("recording.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", recording.c_str(), 1);
    SetAudioDriver("SDL"); // the Null fallback would record nothing

    const int kFrames = 22050;
    auto sound = MakeSound("e2e", kFrames, 20000);
    ASSERT_TRUE(sound);
    // Cued, set and resumed as the ending does, while the output thread mixes.
    TChannel ch = CueSound(sound.get());
    SetChannelVolume(ch, 1.0f);
    ResumeChannel(ch);
    ASSERT_NE(ch.handle, 0u);
    // Waits for the output thread to play the sound out (a condition, not a time).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ChannelPlaying(ch) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(ChannelPlaying(ch), 0) << "the output never finished the sound";
    ShutdownAudio();

    std::ifstream in(recording, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(recording.c_str());
    const auto* recorded = reinterpret_cast<const int16_t*>(bytes.data());
    long recorded_frames = long(bytes.size() / 4);

    const int16_t* decoded = sound->sample->samples;
    long lead = FirstSound(decoded, kFrames);
    long start = FirstSound(recorded, recorded_frames);
    ASSERT_GE(lead, 0);
    ASSERT_GE(start, 0) << "silent recording of " << recorded_frames << " frames";
    long run = kFrames - lead;
    ASSERT_GE(recorded_frames - start, run) << "recording stops early";
    std::vector<int16_t> want(decoded + 2 * lead, decoded + 2 * kFrames);
    std::vector<int16_t> got(recorded + 2 * start, recorded + 2 * (start + run));
    EXPECT_EQ(got, want);
    SetAudioDriver("Null");
}

TEST(AudioOutput, NoDeviceFallsBackToTheSilentNullDriver) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SetAudioDriver("SDL");
    EXPECT_STREQ(AudioDriverName(), "Null");
    auto sound = MakeSound("nodevice", 500, 20000);
    ASSERT_TRUE(sound);
    TChannel ch = PlaySound(sound.get());
    SetChannelVolume(ch, 0.5f);
    EXPECT_EQ(ChannelPlaying(ch), 0);
    ShutdownAudio();
    SetAudioDriver("Null");
}

} // namespace
