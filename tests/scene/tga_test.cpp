#include "scene/scene.h"
#include "tests/scene/scene_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {
const Bgr kBlue{255, 0, 0}, kGreen{0, 255, 0}, kRed{0, 0, 255}, kWhite{255, 255, 255};

// RGB bytes of the pixels, in order.
std::vector<uint8_t> Rgb(std::initializer_list<Bgr> px) {
    std::vector<uint8_t> out;
    for (const Bgr& p : px)
        out.insert(out.end(), {p.r, p.g, p.b});
    return out;
}

struct Loaded {
    std::vector<uint8_t> pixels;
    int32_t width = -7, height = -7;
    bool ok = false;
};

Loaded Load(const std::string& bytes) {
    std::string path = MakeTempDir() + "t.tga";
    WriteFile(path, bytes);
    Loaded l;
    uint8_t* p = tga_load(path.c_str(), &l.width, &l.height);
    l.ok = p != nullptr;
    if (p) l.pixels.assign(p, p + size_t(l.width) * l.height * 3);
    free(p);
    return l;
}

struct RowCase {
    uint8_t descriptor;
    bool file_order;
};
class TgaRowOrder : public ::testing::TestWithParam<RowCase> {};
} // namespace

TEST_P(TgaRowOrder, OnlyBit7KeepsFileOrderAndPixelsBecomeRgb) {
    Loaded l = Load(TgaBytes(2, 2, {kBlue, kGreen, kRed, kWhite}, GetParam().descriptor));
    ASSERT_TRUE(l.ok);
    EXPECT_EQ(l.width, 2);
    EXPECT_EQ(l.height, 2);
    if (GetParam().file_order)
        EXPECT_EQ(l.pixels, Rgb({kBlue, kGreen, kRed, kWhite}));
    else
        EXPECT_EQ(l.pixels, Rgb({kRed, kWhite, kBlue, kGreen}));
}

INSTANTIATE_TEST_SUITE_P(SceneTga, TgaRowOrder,
                         ::testing::Values(RowCase{0x00, false}, RowCase{0x80, true},
                                           RowCase{0x20, false}, RowCase{0xA0, true}));

TEST(SceneTga, IdFieldIsSkippedBeforeThePixels) {
    Loaded l = Load(TgaBytes(1, 2, {kRed, kGreen}, 0x80, 5));
    ASSERT_TRUE(l.ok);
    EXPECT_EQ(l.pixels, Rgb({kRed, kGreen}));
}
