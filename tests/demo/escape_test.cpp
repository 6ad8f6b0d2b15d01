// Escape under the real main program ends the demo in every section, with
// the frame in progress shown or not as the section tests it, and no more;
// and frames come at the display's rate where no vertical blank paces them.
#include "tests/demo/demo_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

namespace {

struct EscapeCase {
    const char* name;
    std::vector<int32_t> times; // frame 1 ends section 1 when past 15.9 s
    int escape_at;              // pressed while this frame is presented
    int frames;                 // frames presented in all
};

class Escape : public testing::TestWithParam<EscapeCase> {};

TEST_P(Escape, EndsTheDemoAtTheSectionsTestPoint) {
    const EscapeCase& c = GetParam();
    Script s;
    s.times = c.times;
    s.escape_at = c.escape_at;
    RunResult r = RunDemo(s);
    EXPECT_EQ(r.frames, c.frames);
    EXPECT_TRUE(r.display_closed);
}

INSTANTIATE_TEST_SUITE_P(Sections, Escape,
                         testing::Values(EscapeCase{"Section1", {0, 1000, 1001, 1002}, 2, 3},
                                         EscapeCase{"Section2", {0, 16000, 16001, 16002}, 2, 3},
                                         EscapeCase{"Section3", {0, 40000, 40001, 40002}, 2, 3},
                                         EscapeCase{"Section4", {0, 50000, 50001, 50002}, 2, 3},
                                         EscapeCase{"Section5", {0, 70000, 70001, 70002}, 2, 3},
                                         EscapeCase{"Section6", {0, 90000, 90001, 90002}, 2, 3},
                                         EscapeCase{"Section7", {0, 100000, 100001, 100002}, 2, 3},
                                         EscapeCase{"Section8", {0, 120000, 120001, 120002}, 2, 3},
                                         // Pressed in section 8's last frame: the check before the
                                         // ending's first frame catches it.
                                         EscapeCase{"BeforeEnding", {0, 120000, 135000}, 2, 3},
                                         // Frame 1 is section 1's last; then the ending's frames.
                                         EscapeCase{"Section9", {0, 200000}, 5, 6}),
                         [](const testing::TestParamInfo<EscapeCase>& i) {
                             return std::string(i.param.name);
                         });

// Xvfb has no vertical blank and reports no refresh rate: 60 frames a
// second, so section 1's fade-in steps and the ending's 100 frames keep their
// length. Frame k of section 1 reads k ms, then the clock jumps to the ending.
TEST(Pacing, SectionOneAndTheEndingPresentAtSixtyFramesASecond) {
    std::vector<double> at; // seconds, as each frame is handed over
    Script s;
    for (int32_t k = 0; k <= 60; ++k)
        s.times.push_back(k);
    s.on_frame = [&at](int, int32_t) {
        at.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
                .count());
    };
    RunDemo(s);
    ASSERT_GT(at.size(), 160u);
    // A frame late on a busy machine is late, not made up for: the typical
    // interval is the period, and no stretch runs ahead of it.
    auto typical = [&at](size_t from, size_t to) {
        std::vector<double> d;
        for (size_t k = from; k < to; ++k)
            d.push_back(at[k + 1] - at[k]);
        std::nth_element(d.begin(), d.begin() + d.size() / 2, d.end());
        EXPECT_GT(at[to] - at[from], (to - from) * 0.97 / 60);
        return d[d.size() / 2];
    };
    EXPECT_NEAR(typical(10, 60), 1 / 60.0, 0.03 / 60) << "section 1";
    EXPECT_NEAR(typical(at.size() - 100, at.size() - 1), 1 / 60.0, 0.03 / 60) << "ending";
}

} // namespace
