// Frame timing, options, the WAV and y4m files and the contact sheet,
// without a display.
#include "tests/support/child_process.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/frames.h"
#include "tools/capture/options.h"
#include "tools/capture/streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

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

TEST(CaptureOptions, EveryOptionIsTakenUp) {
    CaptureOptions o, at;
    std::string error;
    ASSERT_TRUE(Parse({"-o", "x", "--fps", "30", "--png", "--y4m", "-", "--no-audio", "--from",
                       "1.5", "--to", "2", "--crf", "0", "--preset", "slow", "--sheet-every", "12"},
                      &o, &error))
        << error;
    EXPECT_EQ(std::make_tuple(o.out_dir, o.fps, o.png, o.y4m_path, o.audio, o.from_ms, o.to_ms,
                              o.crf, o.preset, o.sheet_every),
              std::make_tuple(std::string("x"), 30, true, std::string("-"), false, 1500, 2000, 0,
                              std::string("slow"), 12));
    ASSERT_TRUE(Parse({"--frames-at", "2.5,70.01,0"}, &at, &error)) << error;
    EXPECT_EQ(at.frames_at_ms, (std::vector<int32_t>{2500, 70010, 0}));
}

// One case for each way a value can be wrong; the reason names the option.
TEST(CaptureOptions, BadOptionIsRefusedWithItsName) {
    // clang-format off
    const std::vector<std::vector<std::string>> cases = {
        {"--fps", "0"}, {"--crf", "52"}, {"--fps", "30x"}, {"--fps"}, {"--to", "nan"},
        {"--from", "5", "--to", "4"}, {"--frames-at", "1,,2"}, {"--frames-at", "1", "--png"},
        {"--bogus"}, {"-o", ""}};
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
    const std::string dir = MakeTempDir(), path = dir + "/a.wav";
    WavWriter w;
    ASSERT_TRUE(OpenWav(w, path));
    const int16_t block[6] = {1, -1, 256, -256, 32767, -32768};
    ASSERT_TRUE(WriteWav(w, block, 3));
    ASSERT_TRUE(CloseWav(w));
    const std::string f = ReadWholeFile(path);
    std::filesystem::remove_all(dir);
    const std::string expected("RIFF\x30\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0"
                               "\x44\xac\0\0\x10\xb1\x02\0\x04\0\x10\0data\x0c\0\0\0"
                               "\x01\0\xff\xff\0\x01\0\xff\xff\x7f\0\x80",
                               56);
    EXPECT_TRUE(f == expected);
}

// Y = .299 R + .587 G + .114 B; Cb = 128 + .5 (B - Y) / (1 - .114);
// Cr = 128 + .5 (R - Y) / (1 - .299); rounded, full range.
TEST(CaptureStreams, Y4mFrameHoldsThreeFullPlanesOfBt601) {
    const std::string dir = MakeTempDir(), path = dir + "/a.y4m";
    Y4mWriter w;
    ASSERT_TRUE(OpenY4m(w, path, 2, 2, 30));
    RgbImage frame = MakeRgbImage(2, 2);
    frame.rgb = {255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255}; // white, red, green, blue
    ASSERT_TRUE(WriteY4mFrame(w, frame));
    CloseY4m(w);
    const std::string f = ReadWholeFile(path);
    std::filesystem::remove_all(dir);
    EXPECT_EQ(f, "YUV4MPEG2 W2 H2 F30:1 Ip A1:1 C444 XCOLORRANGE=FULL\nFRAME\n"
                 "\xff\x4c\x96\x1d"
                 "\x80\x55\x2c\xff"
                 "\x80\xff\x15\x6b");
}

// Thumbnails of 160x120 with 4 pixels between, twelve a row, each labelled
// with its second in 3x5 digits at twice the size on a black box.
TEST(CaptureSheet, TwelveLabelledThumbnailsARow) {
    ContactSheet sheet;
    RgbImage frame = MakeRgbImage(800, 600);
    FillRect(frame, 0, 0, 800, 600, 0, 200, 0);
    for (int s = 0; s < 18; ++s)
        AddThumbnail(sheet, frame, s);
    RgbImage out = ComposeSheet(sheet);
    EXPECT_EQ(out.width, 4 + 12 * 164);
    EXPECT_EQ(out.height, 4 + 2 * 124);
    auto green = [&](int x, int y) { return out.rgb[(size_t(y) * out.width + x) * 3 + 1]; };
    EXPECT_EQ(green(2, 2), 48); // the gap
    // Thumbnail 18 (second 17) is the sixth of the second row.
    const int x0 = 4 + 5 * 164, y0 = 4 + 124;
    EXPECT_EQ(green(x0 + 100, y0 + 100), 200);
    const char* const label[] = {"..................", "..................", "....##....######..",
                                 "....##....######..", "..####........##..", "..####........##..",
                                 "....##........##..", "....##........##.."};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; label[y][x]; ++x)
            EXPECT_EQ(green(x0 + x, y0 + y), label[y][x] == '#' ? 255 : 0) << x << "," << y;
}

} // namespace
