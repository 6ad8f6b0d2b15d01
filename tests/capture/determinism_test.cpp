// Two captures of the same stretch give the same bytes: pictures and sound
// depend on the virtual clock only (section 2's colour separation included,
// which live follows the wall clock within each frame).
#include "tests/capture/tool_run.h"

#include <gtest/gtest.h>

namespace {

// 24.0 s to 24.3 s at 10 fps: frames 240 to 243, all in section 2.
const std::vector<std::string> kStretch = {"--fps", "10",   "--from", "24",
                                           "--to",  "24.3", "--y4m",  "@OUT@/ninefold.y4m"};
const size_t kFrames = 4;
const size_t kFrameBytes = 6 + 800 * 600 * 3; // "FRAME\n" and three full planes

TEST(CaptureDeterminism, TwoCapturesGiveIdenticalBytes) {
    ToolRun a, b;
    RunCaptureTool(kStretch, &a);
    RunCaptureTool(kStretch, &b);
    ASSERT_EQ(a.status, 0) << a.log;
    ASSERT_EQ(b.status, 0) << b.log;
    const std::string video_a = ReadFileBytes(a.out + "/ninefold.y4m");
    const std::string header = "YUV4MPEG2 W800 H600 F10:1 Ip A1:1 C444 XCOLORRANGE=FULL\n";
    ASSERT_EQ(video_a.size(), header.size() + kFrames * kFrameBytes);
    for (const char* file : {"/ninefold.y4m", "/ninefold.wav", "/contact_sheet.png"})
        EXPECT_TRUE(ReadFileBytes(a.out + file) == ReadFileBytes(b.out + file)) << file;
    // The sound of the frames' intervals only: from 24000 ms to the start of
    // frame 244 at 24400 ms, 44.1 samples a millisecond.
    EXPECT_EQ(ReadFileBytes(a.out + "/ninefold.wav").size(), size_t(44 + 4 * (1076040 - 1058400)));
    // The stretch is not a still: every frame differs from the one before.
    for (size_t k = 1; k < kFrames; ++k)
        EXPECT_NE(video_a.compare(header.size() + k * kFrameBytes, kFrameBytes, video_a,
                                  header.size() + (k - 1) * kFrameBytes, kFrameBytes),
                  0)
            << "frame " << k;
}

} // namespace
