// Escape under the real main program ends the demo in every section, after
// the frame in progress is shown or before, as the section tests it (where
// each section tests it the timeline test checks).
#include "tests/demo/demo_run.h"

#include <gtest/gtest.h>

namespace {

struct EscapeCase {
    const char* name;
    std::vector<int32_t> times; // frame 1 ends section 1 when past 15.9 s
    int escape_at;              // pressed while this frame is presented
    int frames;                 // frames presented in all
};

// Frame 1 is section 1's last; frame 2 the given section's first, where
// Escape is pressed: it is the last frame presented.
EscapeCase In(const char* name, int32_t t) {
    return {name, {0, t, t + 1, t + 2}, 2, 3};
}

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
                         testing::Values(In("Section1", 1000), In("Section2", 16000),
                                         In("Section3", 40000), In("Section4", 50000),
                                         In("Section5", 70000), In("Section6", 90000),
                                         In("Section7", 100000), In("Section8", 120000),
                                         // Pressed in section 8's last frame: the check before the
                                         // ending's first frame catches it.
                                         EscapeCase{"BeforeEnding", {0, 120000, 135000}, 2, 3},
                                         // Frame 1 is section 1's last; then the ending's frames.
                                         EscapeCase{"Section9", {0, 200000}, 5, 6}),
                         [](const testing::TestParamInfo<EscapeCase>& i) {
                             return std::string(i.param.name);
                         });

} // namespace
