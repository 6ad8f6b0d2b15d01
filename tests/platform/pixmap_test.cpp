// Masking, resizing and edge padding of pixel maps, and what LoadImage keeps.
#include "platform/draw2d.h"
#include "tests/platform/png_files.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Pixmap = std::unique_ptr<TPixmap>;

Pixmap MakeRgb(int w, int h, std::initializer_list<int> values) {
    Pixmap pm(CreatePixmap(w, h, PF_RGB888));
    int i = 0;
    for (int v : values)
        pm->pixels[i++] = uint8_t(v);
    return pm;
}

const uint8_t* At(const TPixmap& pm, int x, int y) {
    return pm.pixels + size_t(y) * pm.pitch + size_t(x) * pm.format;
}

std::vector<int> Rgba(const TPixmap& pm, int x, int y) {
    const uint8_t* p = At(pm, x, y);
    return {p[0], p[1], p[2], p[3]};
}

// 3x3 picture: black corners and centre (the mask colour), four coloured edges.
Pixmap Cross() {
    return MakeRgb(3, 3, {0,  0,  0,  31, 61,  91,  0,  0,   0,   //
                          10, 20, 30, 0,  0,   0,   50, 100, 150, //
                          0,  0,  0,  70, 140, 210, 0,  0,   0});
}

TEST(MaskPixmap, MaskColourGetsAlphaZeroAndNeighbourMean) {
    Pixmap m(MaskPixmap(Cross().get(), 0, 0, 0));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->format, PF_RGBA8888);
    // Centre: mean of the four edges, each channel divided down.
    EXPECT_EQ(Rgba(*m, 1, 1), (std::vector<int>{161 / 4, 321 / 4, 481 / 4, 0}));
    // Corner, clipped to the picture: top and left edge only.
    EXPECT_EQ(Rgba(*m, 0, 0), (std::vector<int>{41 / 2, 81 / 2, 121 / 2, 0}));
    EXPECT_EQ(Rgba(*m, 2, 2), (std::vector<int>{120 / 2, 240 / 2, 360 / 2, 0}));
    // Visible pixels keep their colour and become opaque.
    EXPECT_EQ(Rgba(*m, 1, 0), (std::vector<int>{31, 61, 91, 255}));
    EXPECT_EQ(Rgba(*m, 0, 1), (std::vector<int>{10, 20, 30, 255}));
}

TEST(MaskPixmap, AllMaskColourGivesTransparentBlack) {
    Pixmap m(MaskPixmap(MakeRgb(2, 2, {9, 8, 7, 9, 8, 7, 9, 8, 7, 9, 8, 7}).get(), 9, 8, 7));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(Rgba(*m, x, y), (std::vector<int>{0, 0, 0, 0}));
}

TEST(MaskPixmap, OnlyTheExactColourIsMasked) {
    Pixmap m(MaskPixmap(MakeRgb(2, 1, {1, 0, 0, 0, 0, 0}).get(), 0, 0, 0));
    EXPECT_EQ(Rgba(*m, 0, 0), (std::vector<int>{1, 0, 0, 255}));
    EXPECT_EQ(Rgba(*m, 1, 0), (std::vector<int>{1, 0, 0, 0}));
}

TEST(MaskPixmap, GreyPixelsCompareAsGreyColour) {
    Pixmap grey(CreatePixmap(2, 1, PF_I8));
    grey->pixels[0] = 40;
    grey->pixels[1] = 200;
    Pixmap m(MaskPixmap(grey.get(), 40, 40, 40));
    EXPECT_EQ(Rgba(*m, 0, 0), (std::vector<int>{200, 200, 200, 0}));
    EXPECT_EQ(Rgba(*m, 1, 0), (std::vector<int>{200, 200, 200, 255}));
}

TEST(ResizePixmap, HalvingAveragesEachTwoByTwoBox) {
    Pixmap src(CreatePixmap(4, 2, PF_RGBA8888));
    for (int i = 0; i < 4 * 2 * 4; ++i)
        src->pixels[i] = uint8_t(i * 8);
    Pixmap half(ResizePixmap(src.get(), 2, 1));
    ASSERT_NE(half, nullptr);
    // Box of pixels 0, 1 (row 0) and 4, 5 (row 1): channel c averages
    // (4c, 4+c, 16+c, 20+c) * 8 = (40 + 4c) * 8 / 4 * ... rounded.
    for (int c = 0; c < 4; ++c) {
        int sum = (c + (4 + c) + (16 + c) + (20 + c)) * 8;
        EXPECT_EQ(half->pixels[c], (sum + 2) / 4);
    }
}

TEST(ResizePixmap, RejectsEmptyAndOversizedTargets) {
    Pixmap src(CreatePixmap(2, 2, PF_RGB888));
    EXPECT_EQ(ResizePixmap(src.get(), 0, 1), nullptr);
    EXPECT_EQ(ResizePixmap(src.get(), kMaxPixmapSide + 1, 1), nullptr);
    EXPECT_EQ(ResizePixmap(nullptr, 1, 1), nullptr);
}

TEST(PadPixmap, RepeatsLastColumnRowAndCornerOnce) {
    Pixmap src(CreatePixmap(2, 2, PF_RGBA8888));
    for (int i = 0; i < 16; ++i)
        src->pixels[i] = uint8_t(10 + i);
    Pixmap pad(PadPixmap(src.get(), 4, 4));
    ASSERT_NE(pad, nullptr);
    EXPECT_EQ(Rgba(*pad, 2, 0), Rgba(*src, 1, 0));
    EXPECT_EQ(Rgba(*pad, 2, 1), Rgba(*src, 1, 1));
    EXPECT_EQ(Rgba(*pad, 0, 2), Rgba(*src, 0, 1));
    EXPECT_EQ(Rgba(*pad, 1, 2), Rgba(*src, 1, 1));
    EXPECT_EQ(Rgba(*pad, 2, 2), Rgba(*src, 1, 1));
    EXPECT_EQ(Rgba(*pad, 3, 0), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(Rgba(*pad, 0, 3), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(Rgba(*pad, 3, 3), (std::vector<int>{0, 0, 0, 0}));
}

TEST(CreatePixmap, RefusesBadSizesAndFormats) {
    EXPECT_EQ(CreatePixmap(0, 5, PF_RGB888), nullptr);
    EXPECT_EQ(CreatePixmap(5, -1, PF_RGB888), nullptr);
    EXPECT_EQ(CreatePixmap(kMaxPixmapSide + 1, 1, PF_I8), nullptr);
    EXPECT_EQ(CreatePixmap(1, 1, 2), nullptr);
}

class LoadImageFlags : public ::testing::Test {
  protected:
    TempDir dir;
    std::string Write(int channels, const uint8_t* rgba) {
        std::string path = dir.Path(channels == 4 ? "rgba.png" : "rgb.png");
        PngLayout layout = SolidLayout(4, 2, channels, rgba);
        uint8_t white[4] = {255, 255, 255, 255};
        SetPixel(layout, 3, 1, white);
        EXPECT_TRUE(WritePng(path, layout));
        return path;
    }
};

TEST_F(LoadImageFlags, DefaultFlagsMaskBlackAndFilter) {
    uint8_t black[3] = {0, 0, 0};
    TImage* image = LoadImage(Write(3, black).c_str(), -1);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->flags, MASKEDIMAGE | FILTEREDIMAGE);
    EXPECT_EQ(image->width, 4);
    EXPECT_EQ(image->height, 2);
    ASSERT_EQ(image->pixmap->format, PF_RGBA8888);
    EXPECT_EQ(Rgba(*image->pixmap, 0, 0), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(Rgba(*image->pixmap, 2, 0), (std::vector<int>{255, 255, 255, 0}));
    EXPECT_EQ(Rgba(*image->pixmap, 3, 1), (std::vector<int>{255, 255, 255, 255}));
}

TEST_F(LoadImageFlags, UnmaskedKeepsTheFileFormat) {
    uint8_t black[3] = {0, 0, 0};
    TImage* image = LoadImage(Write(3, black).c_str(), FILTEREDIMAGE);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixmap->format, PF_RGB888);
}

TEST_F(LoadImageFlags, OwnAlphaChannelIsNotMasked) {
    uint8_t black[4] = {0, 0, 0, 200};
    TImage* image = LoadImage(Write(4, black).c_str(), MASKEDIMAGE);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Rgba(*image->pixmap, 0, 0), (std::vector<int>{0, 0, 0, 200}));
}

TEST_F(LoadImageFlags, AutoMidHandleCentresNewImagesOnly) {
    uint8_t grey[3] = {50, 50, 50};
    std::string path = Write(3, grey);
    TImage* before = LoadImage(path.c_str(), 0);
    AutoMidHandle(1);
    TImage* after = LoadImage(path.c_str(), 0);
    AutoMidHandle(0);
    TImage* later = LoadImage(path.c_str(), 0);
    EXPECT_EQ(before->handle_x, 0.0f);
    EXPECT_EQ(after->handle_x, 2.0f);
    EXPECT_EQ(after->handle_y, 1.0f);
    EXPECT_EQ(later->handle_y, 0.0f);
    MidHandleImage(before);
    EXPECT_EQ(before->handle_x, 2.0f);
    EXPECT_EQ(before->handle_y, 1.0f);
}

} // namespace
