// Texture files: rows land the right way up (a flipped facade is plain to
// see), colours come out RGB, and an ID field is skipped.
#include "scene/scene.h"
#include "tests/scene/scene_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {
const Bgr kBlue{255, 0, 0}, kGreen{0, 255, 0}, kRed{0, 0, 255}, kWhite{255, 255, 255};

std::vector<uint8_t> Rgb(std::initializer_list<Bgr> px) {
    std::vector<uint8_t> out;
    for (const Bgr& p : px)
        out.insert(out.end(), {p.r, p.g, p.b});
    return out;
}

struct RowCase {
    uint8_t descriptor;
    bool file_order;
    int id_length;
};
class TgaRowOrder : public ::testing::TestWithParam<RowCase> {};
} // namespace

TEST_P(TgaRowOrder, OnlyBit7KeepsFileOrderAndPixelsBecomeRgb) {
    std::string path = MakeTempDir() + "t.tga";
    WriteFile(path, TgaBytes(2, 2, {kBlue, kGreen, kRed, kWhite}, GetParam().descriptor,
                             GetParam().id_length));
    int32_t width = 0, height = 0;
    uint8_t* p = tga_load(path.c_str(), &width, &height);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(std::vector<uint8_t>(p, p + 12), GetParam().file_order
                                                   ? Rgb({kBlue, kGreen, kRed, kWhite})
                                                   : Rgb({kRed, kWhite, kBlue, kGreen}));
    free(p);
}

INSTANTIATE_TEST_SUITE_P(SceneTga, TgaRowOrder,
                         ::testing::Values(RowCase{0x00, false, 0}, RowCase{0x80, true, 0},
                                           RowCase{0x20, false, 0}, RowCase{0xA0, true, 5}));
