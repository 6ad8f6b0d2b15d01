// Pixel tests of the effects the demo uses, on the 800x600 display.
#include "fx/fx.h"
#include "tests/fx/fx_support.h"

#include <GL/gl.h>

#include <tuple>

namespace {
const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255};
} // namespace

TEST_F(FxTest, KaleidoBlendedDoublesUpperLeftAndMirrorsIt) {
    FillRect(50, 40, 60, 30, {60, 30, 90}); // x 50..109, y 40..69
    fx_kaleido(FX_ADD, 1);
    // Doubled in place, mirrored into the other three corners; black between.
    const std::tuple<int, int, Rgb> kChecks[] = {{80, 55, {120, 60, 180}}, {719, 55, {60, 30, 90}},
                                                 {80, 544, {60, 30, 90}},  {719, 544, {60, 30, 90}},
                                                 {300, 200, kBlack},       {500, 400, kBlack}};
    for (auto [x, y, want] : kChecks)
        EXPECT_NEAR_RGB(ReadPixel(x, y), want, 2) << x << ", " << y;
}

struct SeparationCase {
    float dx, dy;
    int shift_x, shift_y; // red's shift in screen pixels (right, down)
};

class FxSeparation : public FxTest, public ::testing::WithParamInterface<SeparationCase> {};

TEST_P(FxSeparation, ShiftsRedAndBlueOppositeWaysByHalfScreenPerUnit) {
    const SeparationCase& c = GetParam();
    // White bar over black, x 300..399, y 250..349.
    auto bar = [](int x, int y) { return x >= 300 && x < 400 && y >= 250 && y < 350; };
    FillRect(300, 250, 100, 100, kWhite);
    fx_separatergb(c.dx, c.dy);
    std::vector<uint8_t> frame = ReadFrame();
    int wrong = 0;
    for (int y = 150; y < 450; ++y) {
        for (int x = 200; x < 500; ++x) {
            Rgb want{bar(x - c.shift_x, y - c.shift_y) ? 255 : 0, bar(x, y) ? 255 : 0,
                     bar(x + c.shift_x, y + c.shift_y) ? 255 : 0};
            wrong += ColorDistance(FramePixel(frame, x, y), want) > 2;
        }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Offsets, FxSeparation,
                         ::testing::Values(SeparationCase{0.1f, 0, 40, 0},
                                           SeparationCase{-0.05f, -0.2f, -20, 60}));

// Each of the 40 x 40 reduced pixels stands for a 20 x 15 block; a white
// block on black comes back whole and in place, and nothing else lights up.
TEST_F(FxTest, SquareBlurNearestShowsEachBlockInPlace) {
    FillRect(200, 150, 20, 15, kWhite); // the eleventh block of each direction
    fx_squareblur(40, FX_NEAREST, FX_ALONE, 1, 1, 1);
    for (auto [x, y] :
         {std::pair{200, 150}, {219, 164}, {199, 150}, {220, 164}, {200, 149}, {219, 165}})
        EXPECT_EQ(ReadPixel(x, y), x >= 200 && x < 220 && y >= 150 && y < 165 ? kWhite : kBlack)
            << x << ", " << y;
}

TEST_F(FxTest, SquareBlurOverlayAddsTheTintedReduction) {
    FillRect(0, 0, 800, 600, {40, 80, 120});
    fx_squareblur(40, FX_LINEAR, FX_OVER_SHARP, 0.5f, 0.25f, 1);
    EXPECT_NEAR_RGB(ReadPixel(400, 300), (Rgb{60, 100, 240}), 1);
    EXPECT_NEAR_RGB(ReadPixel(10, 590), (Rgb{60, 100, 240}), 1);
}

// Copies in place: each adds the content times the colour (whole levels
// here: 40 + 15 * 40 * 0.1 = 100 ...); white clips at white.
TEST_F(FxTest, ShineInPlaceMultipliesTheFrameByFifteenCopies) {
    FillRect(100, 100, 300, 200, {40, 40, 80});
    FillRect(500, 350, 100, 100, kWhite);
    fx_shine(0.1f, 0.2f, 0.05f, 0, 0);
    EXPECT_NEAR_RGB(ReadPixel(250, 200), (Rgb{100, 160, 140}), 3);
    EXPECT_NEAR_RGB(ReadPixel(700, 100), kBlack, 0);
    EXPECT_NEAR_RGB(ReadPixel(550, 400), kWhite, 0);
}

TEST_F(FxTest, ShineCopiesGrowTowardsTheViewer) {
    // A bar 100..104 pixels right of the centre; copy k is scaled by
    // 1 / (1 - k * 0.02), up to 1 / 0.7 for the last.
    FillRect(500, 0, 4, 600, {200, 200, 200});
    fx_shine(0.25f, 0.25f, 0.25f, 0.02f, 0);
    EXPECT_NEAR_RGB(ReadPixel(500, 300), (Rgb{200, 200, 200}), 2); // first copy: 102..106
    EXPECT_NEAR_RGB(ReadPixel(498, 300), kBlack, 0);               // no copy shrinks
    EXPECT_GT(ReadPixel(545, 300).r, 40);                          // last copy: 143..149
    EXPECT_NEAR_RGB(ReadPixel(552, 300), kBlack, 0);               // nothing beyond it
}

TEST_F(FxTest, ShineTurnsCopiesCounterClockwise) {
    // A dot 200 pixels right of the centre. With 60 degrees per copy, 3 of
    // the 15 copies land 60 degrees counter-clockwise, 2 at 60 clockwise.
    FillRect(598, 298, 5, 5, {80, 80, 80});
    fx_shine(0.1f, 0.1f, 0.1f, 0, 60);
    EXPECT_NEAR_RGB(ReadPixel(500, 127), (Rgb{24, 24, 24}), 2); // up: y - 173
    EXPECT_NEAR_RGB(ReadPixel(500, 473), (Rgb{16, 16, 16}), 2); // down
    EXPECT_NEAR_RGB(ReadPixel(200, 300), (Rgb{24, 24, 24}), 2); // half turn
    EXPECT_NEAR_RGB(ReadPixel(600, 300), (Rgb{96, 96, 96}), 2); // 2 full turns
}
