#include "platform/audio/mixer.h"
#include "tests/audio/mixer_fixture.h"

namespace {

using Channels = ManualMixer;

std::vector<int16_t> Frames(const TSound& s, int from, int count) {
    std::vector<int16_t> out(size_t(count) * 2, 0);
    for (int k = 0; k < count && from + k < s.sample->length; ++k)
        for (int c = 0; c < 2; ++c)
            out[size_t(k) * 2 + c] = At(s, from + k, c);
    return out;
}

TEST_F(Channels, SoundOutlivesItsOwnerWhileAChannelPlaysIt) {
    auto sound = MakeSound("owner", 5000, 2, 44100, 20000);
    ASSERT_TRUE(sound);
    std::vector<int16_t> expected = Frames(*sound, 0, 5000);
    PlaySound(sound.get());
    sound.reset();
    PassLatency();
    EXPECT_EQ(Mix(5000), expected);
}

// A restart pushed by the main thread while the audio thread was releasing the
// same auto-release channel must not revive the released slot.
TEST(MixerRing, StartArrivingAfterReleaseIsIgnored) {
    auto* pcm = new TAudioSample;
    pcm->length = 100;
    pcm->rate = 44100;
    pcm->channels = 1;
    pcm->samples = new int16_t[101];
    for (int i = 0; i < 100; ++i)
        pcm->samples[i] = int16_t(1000 + i);
    TMixerSample* sample = CreateMixerSample(pcm, 0);
    ASSERT_TRUE(sample);
    Mixer* m = CreateMixer(0);
    MixerStart start;
    start.handle = (1u << kSlotBits) | 5u;
    start.serial = 1;
    start.sample = sample;
    start.request_ms = 0;
    ASSERT_TRUE(m->started.Push(start));
    std::vector<int16_t> out(2 * 256);
    MixBlock(*m, out.data(), 256, 20);
    EXPECT_EQ(out[0], 1000);
    EXPECT_EQ(out[2 * 99 + 1], 1099);
    EXPECT_EQ(out[2 * 100], 0);
    uint16_t released = 0;
    ASSERT_TRUE(m->finished.Pop(released));
    EXPECT_EQ(released, 5);
    start.serial = 2;
    ASSERT_TRUE(m->started.Push(start));
    MixBlock(*m, out.data(), 256, 20);
    EXPECT_EQ(out, std::vector<int16_t>(out.size(), 0));
    EXPECT_EQ(m->active_count, 0);
    EXPECT_FALSE(m->finished.Pop(released));
    DestroyMixer(m);
    ReleaseMixerSample(sample);
}

} // namespace
