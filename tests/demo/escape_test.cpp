// Escape under the real main program ends the demo in every section, with
// the frame in progress shown or not as the section tests it; frames keep the display's rate.
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
// second, so section 1's fade-in and the ending's 100 frames keep their length.
TEST(Pacing, SectionOneAndTheEndingPresentAtSixtyFramesASecond) {
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> at; // as each frame is handed over
    Script s;
    for (int32_t t = 0; t <= 60; ++t) // then the clock jumps to the ending
        s.times.push_back(t);
    s.on_frame = [&at](int, int32_t) { at.push_back(Clock::now()); };
    RunDemo(s);
    ASSERT_GT(at.size(), 160u);
    // The typical interval: a frame late on a busy machine stays late, so
    // there it may be longer, never shorter.
    for (size_t from : {size_t(10), at.size() - 100}) {
        std::vector<double> d;
        for (size_t k = from; k < from + (from == 10 ? 50 : 99); ++k)
            d.push_back(std::chrono::duration<double>(at[k + 1] - at[k]).count());
        std::nth_element(d.begin(), d.begin() + d.size() / 2, d.end());
        EXPECT_GT(d[d.size() / 2], 0.97 / 60) << "from frame " << from;
        EXPECT_LT(d[d.size() / 2], 1.25 / 60) << "from frame " << from;
    }
}

} // namespace
