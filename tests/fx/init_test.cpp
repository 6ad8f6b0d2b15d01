// Capture texture sizes and the fatal paths of fx_init; no display needed,
// since the size check comes before any GL call.
#include "fx/fx.h"

#include <gtest/gtest.h>

struct SizeCase {
    int pixels, side;
};

class FxTextureSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FxTextureSize, IsSmallestPowerOfTwoFrom256ThatHolds) {
    EXPECT_EQ(fx_texture_size(GetParam().pixels), GetParam().side);
}

INSTANTIATE_TEST_SUITE_P(Sides, FxTextureSize,
                         ::testing::Values(SizeCase{1, 256}, SizeCase{255, 256}, SizeCase{256, 256},
                                           SizeCase{257, 512}, SizeCase{480, 512},
                                           SizeCase{600, 1024}, SizeCase{800, 1024},
                                           SizeCase{1024, 1024}, SizeCase{1025, 2048},
                                           SizeCase{2048, 2048}, SizeCase{2049, -1},
                                           SizeCase{3000, -1}));

struct BadScreen {
    int width, height;
    const char* message;
};

class FxInitRejects : public ::testing::TestWithParam<BadScreen> {};

TEST_P(FxInitRejects, ScreenOutside1To2048WithFatalMessage) {
    const BadScreen& s = GetParam();
    EXPECT_EXIT(fx_init(s.width, s.height), ::testing::ExitedWithCode(1), s.message);
}

INSTANTIATE_TEST_SUITE_P(Screens, FxInitRejects,
                         ::testing::Values(BadScreen{3000, 600, "fx_init: screen 3000x600"},
                                           BadScreen{800, 2049, "fx_init: screen 800x2049"},
                                           BadScreen{0, 600, "fx_init: screen 0x600"},
                                           BadScreen{800, -5, "fx_init: screen 800x-5"}));

TEST(FxInit, StateIsZeroBeforeInit) {
    EXPECT_EQ(fx_tex, 0u);
    EXPECT_EQ(fx_tex2, 0u);
    EXPECT_EQ(fx_tx, 0);
    EXPECT_EQ(fx_ty, 0);
    EXPECT_EQ(fx_x, 0.f);
    EXPECT_EQ(fx_y, 0.f);
}
