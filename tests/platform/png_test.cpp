// Pictures as the demo loads them: every PNG layout decoded into the layer's
// formats, damaged files refused with a reason, and the mask colour masked.
#include "platform/draw2d.h"
#include "tests/platform/png_files.h"

#include <gtest/gtest.h>
#include <png.h>

#include <fstream>
#include <memory>

namespace {

using Bytes = std::vector<uint8_t>;

struct FormatCase {
    const char* name;
    PngLayout layout;
    int format;
    Bytes pixels; // expected decoded pixels, rows packed
};

PngLayout Layout(int w, int h, int type, int depth, Bytes rows, Bytes palette = {}, Bytes trns = {},
                 bool interlaced = false) {
    return {w, h, type, depth, interlaced, std::move(rows), std::move(palette), std::move(trns)};
}

FormatCase Case(const char* name, PngLayout layout, int format, Bytes pixels) {
    return {name, std::move(layout), format, std::move(pixels)};
}

Bytes Ramp(int n, int step) {
    Bytes b;
    for (int i = 0; i < n; ++i)
        b.push_back(uint8_t(i * step));
    return b;
}

class PngFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PngFormat, DecodesIntoTheLayerFormat) {
    const FormatCase& c = GetParam();
    TempDir dir;
    std::string path = dir.Path("pic.png");
    ASSERT_TRUE(WritePng(path, c.layout));
    std::unique_ptr<TPixmap> pm(LoadPixmapPNG(path.c_str()));
    ASSERT_NE(pm, nullptr);
    ASSERT_EQ(pm->format, c.format);
    ASSERT_EQ(pm->pitch, c.layout.width * c.format);
    EXPECT_EQ(Bytes(pm->pixels, pm->pixels + size_t(pm->pitch) * pm->height), c.pixels);
}

const int kGrey = PNG_COLOR_TYPE_GRAY, kRgb = PNG_COLOR_TYPE_RGB, kPal = PNG_COLOR_TYPE_PALETTE;

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, PngFormat,
    ::testing::Values(
        Case("Grey8", Layout(2, 1, kGrey, 8, {7, 200}), PF_I8, {7, 200}),
        Case("Grey16", Layout(2, 1, kGrey, 16, {0x12, 0x34, 0xAB, 0xCD}), PF_I8, {18, 171}),
        Case("Grey1", Layout(8, 1, kGrey, 1, {0xA0}), PF_I8, {255, 0, 255, 0, 0, 0, 0, 0}),
        Case("GreyAlpha", Layout(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {9, 100, 250, 0}), PF_RGBA8888,
             {9, 9, 9, 100, 250, 250, 250, 0}),
        Case("GreyTransparency", Layout(2, 1, kGrey, 8, {5, 77}, {}, {0, 77}), PF_RGBA8888,
             {5, 5, 5, 255, 77, 77, 77, 0}),
        Case("Rgb16", Layout(1, 1, kRgb, 16, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}), PF_RGB888,
             {0x11, 0x33, 0x55}),
        Case("Palette", Layout(2, 1, kPal, 8, {1, 0}, {1, 2, 3, 4, 5, 6}), PF_RGB888,
             {4, 5, 6, 1, 2, 3}),
        Case("PaletteTransparency", Layout(2, 1, kPal, 8, {1, 0}, {1, 2, 3, 4, 5, 6}, {255, 10}),
             PF_RGBA8888, {4, 5, 6, 10, 1, 2, 3, 255}),
        Case("InterlacedRgb", Layout(3, 3, kRgb, 8, Ramp(27, 9), {}, {}, true), PF_RGB888,
             Ramp(27, 9))),
    [](const auto& info) { return std::string(info.param.name); });

// Damage done to a valid 32x32 picture's bytes.
struct BadCase {
    const char* name;
    Bytes (*make)(Bytes valid);
};

class PngBadFile : public ::testing::TestWithParam<BadCase> {};

TEST_P(PngBadFile, ReturnsNullSilentlyLeavingAReasonNamingTheFile) {
    TempDir dir;
    ASSERT_TRUE(WritePng(dir.Path("valid.png"), Layout(32, 32, kRgb, 8, Ramp(32 * 32 * 3, 7))));
    std::string path = dir.Path("bad.png");
    const std::string valid = ReadWholeFile(dir.Path("valid.png"));
    Bytes bad = GetParam().make(Bytes(valid.begin(), valid.end()));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(bad.data()), bad.size());
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadPixmapPNG(path.c_str()), nullptr);
    EXPECT_EQ(LoadImage(path.c_str(), -1), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(), "");
    std::string reason = ImageLoadError();
    EXPECT_EQ(reason.rfind(path + ": ", 0), 0u) << reason;
    EXPECT_GT(reason.size(), path.size() + 2) << reason;
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, PngBadFile,
    ::testing::Values(BadCase{"Text", [](Bytes) { return Bytes(40, 'x'); }},
                      BadCase{"CutInImageData",
                              [](Bytes b) { return Bytes(b.begin(), b.begin() + b.size() / 2); }},
                      BadCase{"CorruptImageData",
                              [](Bytes b) {
                                  b[b.size() / 2] ^= 0x5A;
                                  return b;
                              }}),
    [](const auto& info) { return std::string(info.param.name); });

std::vector<int> Rgba(const TPixmap& pm, int x, int y) {
    const uint8_t* p = pm.pixels + size_t(y) * pm.pitch + size_t(x) * pm.format;
    return {p[0], p[1], p[2], p[3]};
}

// Black is masked by default: masked pixels take alpha 0 and the mean of
// their visible neighbours, so a filtered edge fades to the picture's own
// colour instead of a black fringe. A 3x3 picture: black corners and centre,
// four coloured edges, one of them (1, 0, 0) which is not the mask colour.
TEST(LoadImage, DefaultFlagsMaskBlackToTheNeighbourMeanButKeepTheFilesOwnAlpha) {
    TempDir dir;
    const Bytes cross = {0, 0,  0,   31,  61, 91, 0, 0, 0, 10, 20, 30, 0, 0,
                         0, 50, 100, 150, 0,  0,  0, 1, 0, 0,  0,  0,  0};
    ASSERT_TRUE(WritePng(dir.Path("rgb.png"), Layout(3, 3, kRgb, 8, cross)));
    ASSERT_TRUE(
        WritePng(dir.Path("rgba.png"), Layout(1, 1, PNG_COLOR_TYPE_RGBA, 8, {0, 0, 0, 200})));
    TImage* rgb = LoadImage(dir.Path("rgb.png").c_str(), -1);
    TImage* rgba = LoadImage(dir.Path("rgba.png").c_str(), MASKEDIMAGE);
    ASSERT_TRUE(rgb && rgba);
    const TPixmap& m = *rgb->pixmap;
    ASSERT_EQ(m.format, PF_RGBA8888);
    EXPECT_EQ(Rgba(m, 1, 1), (std::vector<int>{92 / 4, 181 / 4, 271 / 4, 0}));
    EXPECT_EQ(Rgba(m, 0, 0), (std::vector<int>{41 / 2, 81 / 2, 121 / 2, 0}));
    EXPECT_EQ(Rgba(m, 2, 2), (std::vector<int>{51 / 2, 100 / 2, 150 / 2, 0}));
    EXPECT_EQ(Rgba(m, 1, 0), (std::vector<int>{31, 61, 91, 255}));
    EXPECT_EQ(Rgba(m, 1, 2), (std::vector<int>{1, 0, 0, 255}));
    EXPECT_EQ(Rgba(*rgba->pixmap, 0, 0), (std::vector<int>{0, 0, 0, 200}));
}

} // namespace
