// The generated soundtrack as a listener hears it: its length, its gentle
// start (heard again under the ending) and its final chord.
#include "platform/audio/audio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

double rms(const TAudioSample& s, double t0, double t1) {
    size_t i0 = size_t(t0 * s.rate) * 2,
           i1 = std::min(size_t(t1 * s.rate) * 2, size_t(s.length) * 2);
    double acc = 0;
    for (size_t i = i0; i < i1; ++i)
        acc += double(s.samples[i]) * s.samples[i];
    return std::sqrt(acc / double(std::max<size_t>(1, i1 - i0))) / 32768.0;
}

TEST(Content, SoundtrackStartsSoftlyAndEndsOnARingingChord) {
    std::unique_ptr<TAudioSample> s(LoadAudioSample("data/music.ogg"));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->rate, 44100);
    EXPECT_EQ(s->channels, 2);
    EXPECT_NEAR(s->length / 44100.0, 137.0, 0.2);
    // The start is heard a hundred times over at the end: it must be gentle.
    EXPECT_LT(rms(*s, 0.0, 0.5), 0.01);
    EXPECT_LT(rms(*s, 0.0, 2.0), rms(*s, 20.0, 30.0) / 4);
    // The groove after the first section is louder than the intro before it.
    EXPECT_GT(rms(*s, 16.0, 24.0), 1.5 * rms(*s, 0.0, 8.0));
    // The final chord sounds after 135 s and dies away by the end.
    EXPECT_GT(rms(*s, 135.0, 135.5), 0.03);
    EXPECT_LT(rms(*s, 136.8, 137.0), rms(*s, 135.0, 135.5) / 4);
}

} // namespace
