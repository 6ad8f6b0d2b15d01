// Frame timing, options and the WAV and y4m files, without a display.
#include "tests/support/child_process.h"
#include "tools/capture/frames.h"
#include "tools/capture/options.h"
#include "tools/capture/streams.h"

#include <gtest/gtest.h>

namespace {

// Frame k is drawn at round(k * 1000 / fps) ms; a time asks for the first
// frame at or after it.
TEST(CaptureTiming, FramesFallOnRoundedMilliseconds) {
    struct {
        int fps;
        int64_t frame;
        int32_t ms, asked;
    } cases[] = {{60, 0, 0, 0},   {60, 1, 17, 1},           {60, 2, 33, 18},
                 {60, 3, 50, 50}, {60, 4201, 70017, 70010}, {60, 8130, 135500, 135500},
                 {30, 2, 67, 34}, {30, 3, 100, 100},        {10, 1355, 135500, 135401}};
    for (const auto& c : cases) {
        EXPECT_EQ(FrameTimeMs(c.frame, c.fps), c.ms) << c.frame << " at " << c.fps;
        EXPECT_EQ(FirstFrameAtOrAfter(c.asked, c.fps), c.frame) << c.asked << " ms at " << c.fps;
    }
}

bool Parse(std::vector<std::string> args, CaptureOptions* o, std::string* error) {
    args.insert(args.begin(), "tool");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    return ParseCaptureOptions(int(argv.size()), argv.data(), o, error);
}

// One case for each way a value can be wrong; the reason names the option.
TEST(CaptureOptions, BadOptionIsRefusedWithItsName) {
    // clang-format off
    const std::vector<std::vector<std::string>> cases = {
        {"--fps", "0"}, {"--crf", "52"}, {"--fps", "30x"}, {"--fps"}, {"--to", "nan"},
        {"--from", "5", "--to", "4"}, {"--frames-at", "1,,2"}, {"--frames-at", "1", "--png"},
        {"--bogus"}, {"-o", ""}, {"--height", "601"}, {"--height", "2166"},
        {"--frames-at", "1", "--master"}};
    // clang-format on
    for (const auto& args : cases) {
        CaptureOptions o;
        std::string error;
        EXPECT_FALSE(Parse(args, &o, &error)) << args[0];
        EXPECT_EQ(error.rfind(args[0], 0), 0u) << error;
        EXPECT_GT(error.size(), args[0].size() + 2) << error; // and gives a reason
    }
}

// Every field from first principles: PCM, two channels, 44100 Hz, 16 bits.
TEST(CaptureStreams, WavHeaderCarriesTheFinalSizes) {
    const TempDir dir;
    WavWriter w;
    ASSERT_TRUE(OpenWav(w, dir.Path("a.wav")));
    const int16_t block[6] = {1, -1, 256, -256, 32767, -32768};
    ASSERT_TRUE(WriteWav(w, block, 3));
    ASSERT_TRUE(CloseWav(w));
    const std::string f = ReadWholeFile(dir.Path("a.wav"));
    const std::string expected("RIFF\x30\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0"
                               "\x44\xac\0\0\x10\xb1\x02\0\x04\0\x10\0data\x0c\0\0\0"
                               "\x01\0\xff\xff\0\x01\0\xff\xff\x7f\0\x80",
                               56);
    EXPECT_TRUE(f == expected);
}

// Y = .299 R + .587 G + .114 B; Cb = 128 + .5 (B - Y) / (1 - .114);
// Cr = 128 + .5 (R - Y) / (1 - .299); rounded, full range.
TEST(CaptureStreams, Y4mFrameHoldsThreeFullPlanesOfBt601) {
    const TempDir dir;
    Y4mWriter w;
    ASSERT_TRUE(OpenY4m(w, dir.Path("a.y4m"), 2, 2, 30));
    RgbImage frame = MakeRgbImage(2, 2);
    frame.rgb = {255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255}; // white, red, green, blue
    ASSERT_TRUE(WriteY4mFrame(w, frame));
    CloseY4m(w);
    const std::string f = ReadWholeFile(dir.Path("a.y4m"));
    EXPECT_EQ(f, "YUV4MPEG2 W2 H2 F30:1 Ip A1:1 C444 XCOLORRANGE=FULL\nFRAME\n"
                 "\xff\x4c\x96\x1d"
                 "\x80\x55\x2c\xff"
                 "\x80\xff\x15\x6b");
}

} // namespace
