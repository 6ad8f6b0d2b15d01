// Decoding of every PNG pixel layout into the three pixel map formats, bad
// files, and the pixel map operations behind masking and textures.
#include "platform/draw2d.h"
#include "tests/platform/png_files.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <memory>

namespace {

using Bytes = std::vector<uint8_t>;

struct FormatCase {
    const char* name;
    PngLayout layout;
    int format;
    Bytes pixels; // expected decoded pixels, rows packed
};

PngLayout Layout(int w, int h, int type, int depth, Bytes rows, Bytes palette = {}, Bytes trns = {}) {
    PngLayout s;
    s.width = w;
    s.height = h;
    s.color_type = type;
    s.bit_depth = depth;
    s.rows = std::move(rows);
    s.palette = std::move(palette);
    s.trns = std::move(trns);
    return s;
}

PngLayout Interlaced() {
    Bytes rows;
    for (int i = 0; i < 3 * 3 * 3; ++i)
        rows.push_back(uint8_t(i * 9));
    PngLayout s = Layout(3, 3, PNG_COLOR_TYPE_RGB, 8, rows);
    s.interlaced = true;
    return s;
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
    EXPECT_EQ(pm->width, c.layout.width);
    EXPECT_EQ(pm->height, c.layout.height);
    EXPECT_EQ(pm->format, c.format);
    EXPECT_EQ(pm->pitch, c.layout.width * c.format);
    Bytes got(pm->pixels, pm->pixels + size_t(pm->pitch) * pm->height);
    EXPECT_EQ(got, c.pixels);
}

INSTANTIATE_TEST_SUITE_P(
    AllLayouts, PngFormat,
    ::testing::Values(
        FormatCase{"Grey8", Layout(2, 1, PNG_COLOR_TYPE_GRAY, 8, {7, 200}), PF_I8, {7, 200}},
        FormatCase{"Grey16KeepsHighByte",
                   Layout(2, 1, PNG_COLOR_TYPE_GRAY, 16, {0x12, 0x34, 0xAB, 0xCD}),
                   PF_I8,
                   {0x12, 0xAB}},
        FormatCase{"Grey1ExpandsToFullRange",
                   Layout(8, 1, PNG_COLOR_TYPE_GRAY, 1, {0xA0}),
                   PF_I8,
                   {255, 0, 255, 0, 0, 0, 0, 0}},
        FormatCase{"GreyAlphaBecomesRgba",
                   Layout(2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {9, 100, 250, 0}),
                   PF_RGBA8888,
                   {9, 9, 9, 100, 250, 250, 250, 0}},
        FormatCase{"GreyTransparencyBecomesRgba",
                   Layout(2, 1, PNG_COLOR_TYPE_GRAY, 8, {5, 77}, {}, {0, 77}),
                   PF_RGBA8888,
                   {5, 5, 5, 255, 77, 77, 77, 0}},
        FormatCase{"Rgb8",
                   Layout(2, 1, PNG_COLOR_TYPE_RGB, 8, {1, 2, 3, 4, 5, 6}),
                   PF_RGB888,
                   {1, 2, 3, 4, 5, 6}},
        FormatCase{"Rgb16KeepsHighBytes",
                   Layout(1, 1, PNG_COLOR_TYPE_RGB, 16, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66}),
                   PF_RGB888,
                   {0x11, 0x33, 0x55}},
        FormatCase{"Rgba8",
                   Layout(1, 2, PNG_COLOR_TYPE_RGBA, 8, {1, 2, 3, 4, 5, 6, 7, 8}),
                   PF_RGBA8888,
                   {1, 2, 3, 4, 5, 6, 7, 8}},
        FormatCase{"PaletteBecomesRgb",
                   Layout(2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, {1, 2, 3, 4, 5, 6}),
                   PF_RGB888,
                   {4, 5, 6, 1, 2, 3}},
        FormatCase{"PaletteTransparencyBecomesRgba",
                   Layout(2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, {1, 2, 3, 4, 5, 6}, {255, 10}),
                   PF_RGBA8888,
                   {4, 5, 6, 10, 1, 2, 3, 255}},
        FormatCase{"InterlacedRgb", Interlaced(), PF_RGB888, Ramp(27, 9)}),
    [](const auto& info) { return std::string(info.param.name); });

// A valid 32x32 picture's bytes, for damaging.
Bytes ValidPng(const TempDir& dir) {
    uint8_t grey[4] = {90, 90, 90, 255};
    std::string path = dir.Path("valid.png");
    PngLayout layout = SolidLayout(32, 32, 3, grey);
    for (size_t i = 0; i < layout.rows.size(); ++i)
        layout.rows[i] = uint8_t(i * 7);
    WritePng(path, layout);
    return ReadFile(path);
}

Bytes WithHugeWidth(Bytes b) {
    // IHDR data starts at 16; its CRC covers the type and data (12..28).
    b[16] = 0x00, b[17] = 0x01, b[18] = 0x86, b[19] = 0xA0; // 100000
    uint32_t crc = uint32_t(crc32(0, &b[12], 17));
    for (int i = 0; i < 4; ++i)
        b[29 + i] = uint8_t(crc >> (24 - 8 * i));
    return b;
}

struct BadCase {
    const char* name;
    Bytes (*make)(Bytes valid);
};

class PngBadFile : public ::testing::TestWithParam<BadCase> {};

TEST_P(PngBadFile, ReturnsNullWithoutOutputLeavingAReason) {
    TempDir dir;
    Bytes valid = ValidPng(dir);
    ASSERT_GT(valid.size(), 100u);
    std::string path = dir.Path("bad.png");
    WriteFile(path, GetParam().make(valid));
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    TPixmap* pm = LoadPixmapPNG(path.c_str());
    TImage* image = LoadImage(path.c_str(), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(pm, nullptr);
    EXPECT_EQ(image, nullptr);
    std::string reason = ImageLoadError();
    EXPECT_EQ(reason.rfind(path + ": ", 0), 0u) << reason;
    EXPECT_GT(reason.size(), path.size() + 2) << reason;
    delete pm;
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, PngBadFile,
    ::testing::Values(
        BadCase{"Empty", [](Bytes) { return Bytes{}; }},
        BadCase{"Text",
                [](Bytes) {
                    std::string t = "this is not a picture, only some words\n";
                    return Bytes(t.begin(), t.end());
                }},
        BadCase{"SignatureOnly", [](Bytes b) { return Bytes(b.begin(), b.begin() + 8); }},
        BadCase{"CutInsideHeader", [](Bytes b) { return Bytes(b.begin(), b.begin() + 20); }},
        BadCase{"CutAfterHeader", [](Bytes b) { return Bytes(b.begin(), b.begin() + 33); }},
        BadCase{"CutInHalf", [](Bytes b) { return Bytes(b.begin(), b.begin() + b.size() / 2); }},
        BadCase{"CutBeforeEnd", [](Bytes b) { return Bytes(b.begin(), b.end() - 12); }},
        BadCase{"CorruptImageData",
                [](Bytes b) {
                    b[b.size() / 2] ^= 0x5A;
                    return b;
                }},
        BadCase{"SignatureDamaged",
                [](Bytes b) {
                    b[1] = 'Q';
                    return b;
                }},
        BadCase{"WidthBeyondLimit", WithHugeWidth}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PngLoad, MissingFileAndFolderReturnNull) {
    TempDir dir;
    EXPECT_EQ(LoadPixmapPNG(dir.Path("absent.png").c_str()), nullptr);
    EXPECT_EQ(LoadPixmapPNG(dir.Path("").c_str()), nullptr);
    EXPECT_EQ(LoadPixmapPNG(nullptr), nullptr);
    EXPECT_EQ(LoadImage(dir.Path("absent.png").c_str()), nullptr);
}

} // namespace
