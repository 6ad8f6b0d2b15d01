// The real binary as a user starts it: every way it ends exits 0, and a
// missing file is named on stderr.
#include "tests/demo/child_run.h"

#include <gtest/gtest.h>

namespace {

struct MissingCase {
    const char* file;
    const char* message; // must appear on stderr
};

void PrintTo(const MissingCase& c, std::ostream* os) {
    *os << c.file;
}

class MissingFile : public testing::TestWithParam<MissingCase> {};

TEST_P(MissingFile, StopsAtStartUpNamingItAndExitsZero) {
    Scratch s({GetParam().file});
    ChildResult r = s.Run({"SDL_AUDIODRIVER=dummy"}, 60);
    ASSERT_TRUE(r.exited) << "still running after 60 s; stderr: " << r.err;
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << "stderr: " << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line; stderr: " << r.err;
}

// Scenes are checked first and in order, before the soundtrack and pictures.
INSTANTIATE_TEST_SUITE_P(
    StartUp, MissingFile,
    testing::Values(MissingCase{"scene1.obj", "data/scene1.obj: not found (looked in "},
                    MissingCase{"scene2.obj", "data/scene2.obj: cannot open"},
                    MissingCase{"music.ogg", "data/music.ogg: cannot open"},
                    MissingCase{"img00.png", "ninefold: data/img00.png: cannot open picture"},
                    MissingCase{"img07.png", "ninefold: data/img07.png: cannot open picture"},
                    MissingCase{"img29.png", "ninefold: data/img29.png: cannot open picture"}),
    [](const testing::TestParamInfo<MissingCase>& i) {
        std::string n = i.param.file;
        return n.substr(0, n.find('.'));
    });

TEST(Binary, UnreadablePictureIsNamedAndExitsZero) {
    Scratch s;
    s.WriteData("img12.png", "not a picture\n");
    ChildResult r = s.Run({"SDL_AUDIODRIVER=dummy"}, 60);
    ASSERT_TRUE(r.exited) << "stderr: " << r.err;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "ninefold: data/img12.png: cannot load picture\n");
}

TEST(Binary, EscapeEndsItAtOnceWithStatusZero) {
    Scratch s;
    ChildResult r = s.Run({"SDL_AUDIODRIVER=dummy"}, 30, "sleep 3; xdotool key Escape");
    ASSERT_TRUE(r.exited) << "Escape did not end the demo; stderr: " << r.err;
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::printf("ended %.2f s after start (3 s of them before the key)\n", r.seconds);
}

} // namespace
