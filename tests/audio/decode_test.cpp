// The decoder as the soundtrack goes through it: length, rate, channels and
// signal kept. Damaged files are the fuzzer's.
#include "tests/audio/ogg_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

// Normalised correlation of channel c of the decoded sample with the source.
double Correlation(const TAudioSample& s, const std::vector<int16_t>& pcm, int c) {
    double xy = 0, xx = 0, yy = 0;
    for (int i = 0; i < s.length; ++i) {
        double x = s.samples[size_t(i) * s.channels + c], y = pcm[size_t(i) * s.channels + c];
        xy += x * y;
        xx += x * x;
        yy += y * y;
    }
    return xy / std::sqrt(xx * yy);
}

struct Format {
    int channels, rate, frames;
};
class Decode : public ::testing::TestWithParam<Format> {};

TEST_P(Decode, KeepsLengthRateChannelsAndSignal) {
    const Format f = GetParam();
    std::vector<int16_t> pcm = SynthesizePcm(f.frames, f.channels, f.rate, 16000);
    std::string path = TempAudioPath("decode.ogg");
    ASSERT_TRUE(WriteOgg(path, pcm, f.channels, f.rate));
    std::unique_ptr<TAudioSample> s(LoadAudioSample(path.c_str()));
    std::remove(path.c_str());
    ASSERT_TRUE(s);
    EXPECT_EQ(s->length, f.frames);
    EXPECT_EQ(s->rate, f.rate);
    EXPECT_EQ(s->channels, f.channels);
    // Lossy, but each channel must carry its own sine (a different pitch on
    // each side), so swapped sides fail too.
    for (int c = 0; c < f.channels; ++c)
        EXPECT_GT(Correlation(*s, pcm, c), 0.99) << c;
}

INSTANTIATE_TEST_SUITE_P(Audio, Decode,
                         ::testing::Values(Format{1, 44100, 5000}, Format{2, 44100, 12345},
                                           Format{1, 22050, 3000}, Format{2, 48000, 7000}));

} // namespace
