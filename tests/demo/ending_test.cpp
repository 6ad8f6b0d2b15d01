// The ending under the real main program: exactly 100 frames, each starting
// one more playback of the soundtrack at a volume 0.01 below the one before.
#include "tests/demo/demo_run.h"

#include "platform/audio/audio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

std::vector<TChannel> NewChannels(std::set<uint32_t>& seen) {
    std::vector<TChannel> all(8192);
    int n = ListChannels(all.data(), int(all.size()));
    all.resize(std::min<size_t>(n, all.size()));
    std::vector<TChannel> fresh;
    for (TChannel c : all)
        if (seen.insert(c.handle).second) fresh.push_back(c);
    return fresh;
}

} // namespace

TEST(Ending, DrawsHundredFramesEachStartingAQuieterPlayback) {
    std::set<uint32_t> seen;
    NewChannels(seen); // whatever earlier runs in this process left
    std::vector<float> volumes;
    Script s;
    s.times = {0, 200000}; // frame 1 ends section 1, sections 2 to 8 are skipped
    s.on_frame = [&](int k, int32_t) {
        std::vector<TChannel> fresh = NewChannels(seen);
        if (k == 0) {
            ASSERT_EQ(fresh.size(), 1u) << "the soundtrack starts on one channel";
            EXPECT_FLOAT_EQ(ChannelVolume(fresh[0]), 1.0f);
            EXPECT_EQ(ChannelPaused(fresh[0]), 0);
            return;
        }
        if (k == 1) {
            EXPECT_TRUE(fresh.empty());
            return;
        }
        ASSERT_EQ(fresh.size(), 1u) << "ending frame " << k - 1;
        EXPECT_EQ(ChannelPaused(fresh[0]), 0) << "ending frame " << k - 1;
        volumes.push_back(ChannelVolume(fresh[0]));
    };
    RunResult r = RunDemo(s);
    EXPECT_EQ(r.frames, 2 + 100);
    ASSERT_EQ(volumes.size(), 100u);
    // The mixer holds volumes in steps of 1/4096: 0.99 ... 0.01, then about
    // 2.2e-8, which it holds as silence.
    for (int n = 1; n <= 100; ++n)
        EXPECT_NEAR(volumes[n - 1], 1.0 - n / 100.0, 1.0 / 4096 + 1e-6) << "ending frame " << n;
    EXPECT_GT(volumes[98], 0.0f) << "frame 99 plays at 0.01";
}
