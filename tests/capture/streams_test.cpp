// Frame timing, options, colour conversion, WAV and y4m layout, the box
// filter and the contact sheet's digits, without a display.
#include "tools/capture/capture.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/streams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

TEST(CaptureTiming, FramesFallOnRoundedMilliseconds) {
    // 1000/60 = 16.67 ms per frame: 16.67 -> 17, 33.33 -> 33, 50 exactly.
    EXPECT_EQ(FrameTimeMs(0, 60), 0);
    EXPECT_EQ(FrameTimeMs(1, 60), 17);
    EXPECT_EQ(FrameTimeMs(2, 60), 33);
    EXPECT_EQ(FrameTimeMs(3, 60), 50);
    EXPECT_EQ(FrameTimeMs(8101, 60), 135017);
    EXPECT_EQ(FrameTimeMs(1, 30), 33);
    EXPECT_EQ(FrameTimeMs(2, 30), 67);
    EXPECT_EQ(FrameTimeMs(3, 30), 100);
}

TEST(CaptureTiming, ChosenFrameIsTheFirstAtOrAfterTheTime) {
    EXPECT_EQ(FirstFrameAtOrAfter(0, 60), 0);
    EXPECT_EQ(FirstFrameAtOrAfter(1, 60), 1);
    EXPECT_EQ(FirstFrameAtOrAfter(17, 60), 1);
    EXPECT_EQ(FirstFrameAtOrAfter(18, 60), 2);
    EXPECT_EQ(FirstFrameAtOrAfter(70010, 60), 4201); // 70000, then 70017
    EXPECT_EQ(FirstFrameAtOrAfter(135500, 60), 8130);
    EXPECT_EQ(AudioFrameAt(1000), 44100);
    EXPECT_EQ(AudioFrameAt(17), 749); // 749.7 samples
}

std::vector<char*> Argv(std::vector<std::string>& args) {
    std::vector<char*> v;
    for (std::string& a : args)
        v.push_back(a.data());
    return v;
}

TEST(CaptureOptions, ParsesEveryOption) {
    std::vector<std::string> args = {
        "tool", "-o",         "x",      "--fps",         "30",   "--png", "--y4m",
        "-",    "--no-audio", "--from", "1.5",           "--to", "2",     "--crf",
        "0",    "--preset",   "slow",   "--sheet-every", "12"};
    auto argv = Argv(args);
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(ParseCaptureOptions(int(argv.size()), argv.data(), &o, &error)) << error;
    EXPECT_EQ(o.out_dir, "x");
    EXPECT_EQ(o.fps, 30);
    EXPECT_TRUE(o.png);
    EXPECT_FALSE(o.audio);
    EXPECT_EQ(o.from_ms, 1500);
    EXPECT_EQ(o.to_ms, 2000);
    EXPECT_EQ(o.y4m_path, "-");
    EXPECT_EQ(o.crf, 0);
    EXPECT_EQ(o.preset, "slow");
    EXPECT_EQ(o.sheet_every, 12);
    std::vector<std::string> at = {"tool", "--frames-at", "2.5,70.01,0"};
    auto argv2 = Argv(at);
    CaptureOptions o2;
    ASSERT_TRUE(ParseCaptureOptions(int(argv2.size()), argv2.data(), &o2, &error)) << error;
    EXPECT_EQ(o2.frames_at_ms, (std::vector<int32_t>{2500, 70010, 0}));
}

class CaptureBadOption : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(CaptureBadOption, IsRefusedWithAReason) {
    std::vector<std::string> args = {"tool"};
    for (const std::string& a : GetParam())
        args.push_back(a);
    auto argv = Argv(args);
    CaptureOptions o;
    std::string error;
    EXPECT_FALSE(ParseCaptureOptions(int(argv.size()), argv.data(), &o, &error));
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_EQ(error.rfind(GetParam()[0], 0), 0u) << error; // names the option
}

INSTANTIATE_TEST_SUITE_P(Options, CaptureBadOption,
                         ::testing::Values(std::vector<std::string>{"--fps", "0"},
                                           std::vector<std::string>{"--fps", "241"},
                                           std::vector<std::string>{"--fps", "30x"},
                                           std::vector<std::string>{"--fps"},
                                           std::vector<std::string>{"--from", "-1"},
                                           std::vector<std::string>{"--to", "nan"},
                                           std::vector<std::string>{"--from", "5", "--to", "4"},
                                           std::vector<std::string>{"--frames-at", "1,,2"},
                                           std::vector<std::string>{"--frames-at", "1", "--png"},
                                           std::vector<std::string>{"--crf", "52"},
                                           std::vector<std::string>{"--preset", ""},
                                           std::vector<std::string>{"--bogus"},
                                           std::vector<std::string>{"-o", ""}));

struct YcbcrCase {
    uint8_t r, g, b, y, cb, cr;
};
class CaptureColour : public ::testing::TestWithParam<YcbcrCase> {};

// Y = .299 R + .587 G + .114 B; Cb = 128 + .5 (B - Y) / (1 - .114);
// Cr = 128 + .5 (R - Y) / (1 - .299); rounded, kept in 0..255.
TEST_P(CaptureColour, ConvertsFullRangeBt601) {
    const YcbcrCase c = GetParam();
    uint8_t y, cb, cr;
    RgbToYcbcr(c.r, c.g, c.b, &y, &cb, &cr);
    EXPECT_EQ(int(y), int(c.y));
    EXPECT_EQ(int(cb), int(c.cb));
    EXPECT_EQ(int(cr), int(c.cr));
}

INSTANTIATE_TEST_SUITE_P(
    Colours, CaptureColour,
    ::testing::Values(YcbcrCase{0, 0, 0, 0, 128, 128}, YcbcrCase{255, 255, 255, 255, 128, 128},
                      YcbcrCase{255, 0, 0, 76, 85, 255}, YcbcrCase{0, 255, 0, 150, 44, 21},
                      YcbcrCase{0, 0, 255, 29, 255, 107}, YcbcrCase{128, 128, 128, 128, 128, 128}));

std::string TempPath(const char* name) {
    return "/tmp/capture_streams_" + std::to_string(getpid()) + "_" + name;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(CaptureStreams, WavHeaderCarriesTheFinalSizes) {
    const std::string path = TempPath("a.wav");
    WavWriter w;
    ASSERT_TRUE(OpenWav(w, path));
    const int16_t block[6] = {1, -1, 256, -256, 32767, -32768};
    ASSERT_TRUE(WriteWav(w, block, 3));
    ASSERT_TRUE(CloseWav(w));
    const std::string f = Slurp(path);
    std::remove(path.c_str());
    ASSERT_EQ(f.size(), 44u + 12u);
    auto le32 = [&](size_t at) {
        return uint32_t(uint8_t(f[at])) | uint32_t(uint8_t(f[at + 1])) << 8 |
               uint32_t(uint8_t(f[at + 2])) << 16 | uint32_t(uint8_t(f[at + 3])) << 24;
    };
    EXPECT_EQ(f.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(4), 36u + 12u);
    EXPECT_EQ(f.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(16), 16u);
    EXPECT_EQ(le32(20), 1u | 2u << 16); // PCM, two channels
    EXPECT_EQ(le32(24), 44100u);
    EXPECT_EQ(le32(28), 44100u * 4);
    EXPECT_EQ(le32(32), 4u | 16u << 16); // 4 bytes a frame, 16 bits
    EXPECT_EQ(f.substr(36, 4), "data");
    EXPECT_EQ(le32(40), 12u);
    // Little-endian samples: 1, -1, 256, -256, 32767, -32768.
    EXPECT_EQ(f.substr(44), std::string("\x01\x00\xff\xff\x00\x01\x00\xff\xff\x7f\x00\x80", 12));
}

TEST(CaptureStreams, Y4mFrameHoldsThreeFullPlanes) {
    const std::string path = TempPath("a.y4m");
    Y4mWriter w;
    ASSERT_TRUE(OpenY4m(w, path, 2, 1, 30));
    RgbImage frame = MakeRgbImage(2, 1);
    frame.rgb = {255, 255, 255, 255, 0, 0}; // white, red
    ASSERT_TRUE(WriteY4mFrame(w, frame));
    EXPECT_FALSE(WriteY4mFrame(w, MakeRgbImage(1, 1))); // size changed
    EXPECT_NE(w.error.find("frame size changed"), std::string::npos);
    CloseY4m(w);
    const std::string f = Slurp(path);
    std::remove(path.c_str());
    const std::string header = "YUV4MPEG2 W2 H1 F30:1 Ip A1:1 C444 XCOLORRANGE=FULL\nFRAME\n";
    ASSERT_EQ(f.size(), header.size() + 6);
    EXPECT_EQ(f.substr(0, header.size()), header);
    EXPECT_EQ(f.substr(header.size()), std::string("\xff\x4c\x80\x55\x80\xff", 6));
}

TEST(CaptureStreams, UnwritablePathIsNamed) {
    WavWriter w;
    EXPECT_FALSE(OpenWav(w, "/nonexistent/dir/a.wav"));
    EXPECT_EQ(w.error.rfind("/nonexistent/dir/a.wav", 0), 0u) << w.error;
}

TEST(CaptureImage, BoxFilterAveragesAndRounds) {
    RgbImage src = MakeRgbImage(4, 2);
    // Left block: 0, 1, 1, 1 -> 0.75 -> 1; right block: 10, 20, 30, 41 -> 25.25 -> 25.
    const uint8_t red[8] = {0, 1, 10, 20, 1, 1, 30, 41};
    for (int i = 0; i < 8; ++i)
        src.rgb[size_t(i) * 3] = red[i];
    RgbImage dst = DownscaleBox(src, 2);
    ASSERT_EQ(dst.width, 2);
    ASSERT_EQ(dst.height, 1);
    EXPECT_EQ(dst.rgb[0], 1);
    EXPECT_EQ(dst.rgb[3], 25);
    EXPECT_EQ(dst.rgb[1], 0);
}

TEST(CaptureSheet, DigitsAreDrawnWhiteOnBlack) {
    RgbImage image = MakeRgbImage(20, 10);
    FillRect(image, 0, 0, 20, 10, 100, 100, 100);
    DrawNumber(image, 0, 0, 17, 1);
    auto at = [&](int x, int y) { return image.rgb[(size_t(y) * 20 + x) * 3]; };
    // "1": rows 010 110 010 010 111 at x 1..3; "7": 111 001 001 001 001 at x 5..7.
    EXPECT_EQ(at(2, 1), 255);
    EXPECT_EQ(at(1, 1), 0);
    EXPECT_EQ(at(1, 2), 255);
    EXPECT_EQ(at(1, 5), 255);
    EXPECT_EQ(at(5, 1), 255);
    EXPECT_EQ(at(5, 2), 0);
    EXPECT_EQ(at(7, 5), 255);
    EXPECT_EQ(at(0, 0), 0);    // the box behind the digits
    EXPECT_EQ(at(15, 5), 100); // beyond it the picture is untouched
}

TEST(CaptureSheet, TwelveThumbnailsARow) {
    ContactSheet sheet;
    RgbImage frame = MakeRgbImage(800, 600);
    FillRect(frame, 0, 0, 800, 600, 0, 200, 0);
    for (int s = 0; s < 13; ++s)
        AddThumbnail(sheet, frame, s);
    RgbImage out = ComposeSheet(sheet);
    EXPECT_EQ(out.width, 4 + 12 * 164);
    EXPECT_EQ(out.height, 4 + 2 * 124);
    // Thumbnail 13 (second 12) opens the second row; its lower right is the frame.
    const size_t px = (size_t(4 + 124 + 100) * out.width + 4 + 100) * 3;
    EXPECT_EQ(out.rgb[px + 1], 200);
    EXPECT_EQ(out.rgb[(size_t(2) * out.width + 2) * 3], 48); // the gap
}

} // namespace
