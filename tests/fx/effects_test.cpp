// Pixel tests of the capture textures and the mirror, offset, square-blur
// and shine effects on the 800x600 display.
#include "fx/frame.h"
#include "fx/fx.h"
#include "tests/fx/fx_support.h"

#include <GL/gl.h>

#include <cmath>

namespace {

const Rgb kBlack{0, 0, 0};

// A parameter of level 0 of a texture, or of the texture itself.
GLint TexQuery(GLuint tex, GLenum pname, bool level = false) {
    glPushAttrib(GL_TEXTURE_BIT);
    glBindTexture(GL_TEXTURE_2D, tex);
    GLint value = 0;
    if (level)
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, pname, &value);
    else
        glGetTexParameteriv(GL_TEXTURE_2D, pname, &value);
    glPopAttrib();
    return value;
}

// Content in every quarter, so that a lost or moved pixel shows.
void FillQuarters() {
    FillRect(0, 0, 800, 600, {10, 20, 30});
    FillRect(50, 40, 120, 90, {200, 30, 60});
    FillRect(500, 100, 60, 150, {20, 220, 90});
    FillRect(120, 380, 200, 50, {90, 90, 250});
    FillRect(600, 420, 100, 100, {250, 250, 10});
}

} // namespace

// --- fx_init -------------------------------------------------------------

struct InitCase {
    int width, height, tx, ty;
    float u, v;
};

class FxInitTest : public FxTest, public ::testing::WithParamInterface<InitCase> {
  protected:
    void TearDown() override { fx_init(800, 600); } // later tests expect the real screen
};

TEST_P(FxInitTest, SizesBothTexturesAndCaptureExtent) {
    const InitCase& c = GetParam();
    GLuint own = 0;
    glGenTextures(1, &own);
    glBindTexture(GL_TEXTURE_2D, own);
    fx_init(c.width, c.height);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), own) << "fx_init must restore the caller's binding";
    EXPECT_EQ(fx_tx, c.tx);
    EXPECT_EQ(fx_ty, c.ty);
    EXPECT_EQ(fx_x, float(c.width));
    EXPECT_EQ(fx_y, float(c.height));
    EXPECT_EQ(fx_extent_u(), c.u);
    EXPECT_EQ(fx_extent_v(), c.v);
    EXPECT_NE(fx_tex, 0u);
    EXPECT_NE(fx_tex2, 0u);
    EXPECT_NE(fx_tex, fx_tex2);
    for (GLuint tex : {GLuint(fx_tex), GLuint(fx_tex2)}) {
        EXPECT_EQ(TexQuery(tex, GL_TEXTURE_WIDTH, true), c.tx);
        EXPECT_EQ(TexQuery(tex, GL_TEXTURE_HEIGHT, true), c.ty);
        EXPECT_EQ(TexQuery(tex, GL_TEXTURE_WRAP_S), GL_REPEAT);
        EXPECT_EQ(TexQuery(tex, GL_TEXTURE_WRAP_T), GL_REPEAT);
        EXPECT_EQ(TexQuery(tex, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
        EXPECT_EQ(TexQuery(tex, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    }
    GLint align = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &align);
    EXPECT_EQ(align, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glBindTexture(GL_TEXTURE_2D, 0);
}

INSTANTIATE_TEST_SUITE_P(Screens, FxInitTest,
                         ::testing::Values(InitCase{800, 600, 1024, 1024, 0.78125f, 0.5859375f},
                                           InitCase{640, 480, 1024, 512, 0.625f, 0.9375f},
                                           InitCase{256, 256, 256, 256, 1, 1},
                                           InitCase{100, 2048, 256, 2048, 0.390625f, 1}));

// --- fx_kaleido ------------------------------------------------------------

TEST_F(FxTest, KaleidoShowsUpperLeftMarkFourTimesMirrored) {
    const Rgb mark{255, 200, 100};
    FillRect(100, 50, 1, 1, mark);
    FillRect(600, 450, 1, 1, {0, 255, 0}); // lower right: must be gone
    fx_kaleido(0, 1);
    // 799 - x and 599 - y: mirrored about both centre lines.
    EXPECT_NEAR_RGB(ReadPixel(100, 50), mark, 2);
    EXPECT_NEAR_RGB(ReadPixel(699, 50), mark, 2);
    EXPECT_NEAR_RGB(ReadPixel(100, 549), mark, 2);
    EXPECT_NEAR_RGB(ReadPixel(699, 549), mark, 2);
    std::vector<uint8_t> frame = ReadFrame();
    int lit = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x)
            lit += ColorDistance(FramePixel(frame, x, y), kBlack) > 8;
    EXPECT_EQ(lit, 4);
}

TEST_F(FxTest, KaleidoBlendedAtZeroBrightnessKeepsTheFrame) {
    FillQuarters();
    std::vector<uint8_t> before = ReadFrame();
    fx_kaleido(1, 0);
    EXPECT_TRUE(FrameEquals(before));
}

TEST_F(FxTest, KaleidoBlendedDoublesUpperLeftAndMirrorsIt) {
    FillRect(50, 40, 60, 30, {60, 30, 90}); // x 50..109, y 40..69
    fx_kaleido(1, 1);
    EXPECT_NEAR_RGB(ReadPixel(80, 55), (Rgb{120, 60, 180}), 2);
    EXPECT_NEAR_RGB(ReadPixel(719, 55), (Rgb{60, 30, 90}), 2);
    EXPECT_NEAR_RGB(ReadPixel(80, 544), (Rgb{60, 30, 90}), 2);
    EXPECT_NEAR_RGB(ReadPixel(719, 544), (Rgb{60, 30, 90}), 2);
    EXPECT_NEAR_RGB(ReadPixel(300, 200), kBlack, 0);
    EXPECT_NEAR_RGB(ReadPixel(500, 400), kBlack, 0);
}

// --- fx_separatergb --------------------------------------------------------

struct SeparationCase {
    float dx, dy;
    int shift_x, shift_y; // red's shift in screen pixels (right, down)
};

class FxSeparation : public FxTest, public ::testing::WithParamInterface<SeparationCase> {};

TEST_P(FxSeparation, ShiftsRedAndBlueOppositeWaysByHalfScreenPerUnit) {
    const SeparationCase& c = GetParam();
    // White bar over black, x 300..399, y 250..349.
    auto bar = [](int x, int y) { return x >= 300 && x < 400 && y >= 250 && y < 350; };
    FillRect(300, 250, 100, 100, {255, 255, 255});
    fx_separatergb(c.dx, c.dy);
    std::vector<uint8_t> frame = ReadFrame();
    int wrong = 0;
    for (int y = 150; y < 450; ++y) {
        for (int x = 200; x < 500; ++x) {
            Rgb want{bar(x - c.shift_x, y - c.shift_y) ? 255 : 0, bar(x, y) ? 255 : 0,
                     bar(x + c.shift_x, y + c.shift_y) ? 255 : 0};
            Rgb got = FramePixel(frame, x, y);
            if (ColorDistance(got, want) > 2 && wrong++ == 0)
                ADD_FAILURE() << "at (" << x << ", " << y << ") got " << got << " want " << want;
        }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(Offsets, FxSeparation,
                         ::testing::Values(SeparationCase{0.1f, 0, 40, 0},
                                           SeparationCase{0, 0.1f, 0, -30},
                                           SeparationCase{-0.05f, -0.2f, -20, 60},
                                           SeparationCase{0, 0, 0, 0}));

TEST_F(FxTest, SeparationWithoutOffsetRebuildsTheFrameExactly) {
    FillQuarters();
    std::vector<uint8_t> before = ReadFrame();
    fx_separatergb(0, 0);
    EXPECT_TRUE(FrameEquals(before));
}

TEST_F(FxTest, SeparationAndBlurAddOntoTheCallersClearColour) {
    // Levels divisible by 8, so each blur copy adds a whole level.
    FillRect(0, 0, 800, 600, {96, 48, 120});
    glClearColor(40 / 255.f, 0, 16 / 255.f, 1);
    fx_separatergb(0, 0);
    EXPECT_NEAR_RGB(ReadPixel(400, 300), (Rgb{136, 48, 136}), 1);
    fx_blur();
    EXPECT_NEAR_RGB(ReadPixel(400, 300), (Rgb{176, 48, 152}), 1);
}

// --- fx_blur ---------------------------------------------------------------

TEST_F(FxTest, BlurKeepsUniformFrameUniformAwayFromBorder) {
    const Rgb grey{96, 48, 160};
    FillRect(0, 0, 800, 600, grey);
    fx_blur();
    std::vector<uint8_t> frame = ReadFrame();
    int wrong = 0;
    for (int y = 2; y < 598; ++y)
        for (int x = 2; x < 798; ++x)
            wrong += ColorDistance(FramePixel(frame, x, y), grey) > 1;
    EXPECT_EQ(wrong, 0);
    // At the edges the three copies shifted off-screen leave five eighths.
    const Rgb edge{60, 30, 100};
    EXPECT_NEAR_RGB(FramePixel(frame, 0, 300), edge, 2);
    EXPECT_NEAR_RGB(FramePixel(frame, 799, 300), edge, 2);
    EXPECT_NEAR_RGB(FramePixel(frame, 400, 0), edge, 2);
    EXPECT_NEAR_RGB(FramePixel(frame, 400, 599), edge, 2);
}

TEST_F(FxTest, BlurSoftensAnEdgeByAboutOnePixel) {
    FillRect(0, 0, 400, 600, {255, 255, 255});
    fx_blur();
    // Shifts are 1.2 pixels across: column 399 keeps the five copies that do
    // not reach past the edge, column 400 gets the three shifted right.
    EXPECT_NEAR_RGB(ReadPixel(396, 300), (Rgb{255, 255, 255}), 1);
    EXPECT_NEAR_RGB(ReadPixel(399, 300), (Rgb{159, 159, 159}), 3);
    EXPECT_NEAR_RGB(ReadPixel(400, 300), (Rgb{96, 96, 96}), 3);
    EXPECT_NEAR_RGB(ReadPixel(403, 300), kBlack, 1);
}

// --- fx_squareblur ---------------------------------------------------------

TEST_F(FxTest, SquareBlurNearestShowsUniform20By15Blocks) {
    FillGradient();
    fx_squareblur(40, 1, 0, 1, 1, 1);
    std::vector<uint8_t> frame = ReadFrame();
    int uneven = 0, off = 0, same_as_left = 0;
    for (int by = 0; by < 40; ++by) {
        for (int bx = 0; bx < 40; ++bx) {
            Rgb first = FramePixel(frame, bx * 20, by * 15);
            for (int y = 0; y < 15; ++y)
                for (int x = 0; x < 20; ++x)
                    uneven += !(FramePixel(frame, bx * 20 + x, by * 15 + y) == first);
            // Each block is a sample of its block's middle in the old frame.
            Rgb want{int(std::lround(GradientRed(bx * 20 + 10.f))),
                     int(std::lround(GradientGreen(by * 15 + 7.5f))), 128};
            off += ColorDistance(first, want) > 3;
            if (bx > 0) same_as_left += FramePixel(frame, bx * 20 - 1, by * 15) == first;
        }
    }
    EXPECT_EQ(uneven, 0);
    EXPECT_EQ(off, 0);
    EXPECT_EQ(same_as_left, 0) << "neighbouring blocks must differ";
}

TEST_F(FxTest, SquareBlurOverlayAtColourZeroKeepsTheFrame) {
    FillQuarters();
    std::vector<uint8_t> before = ReadFrame();
    fx_squareblur(40, 0, 1, 0, 0, 0);
    EXPECT_TRUE(FrameEquals(before));
}

TEST_F(FxTest, SquareBlurOverlayAddsTheTintedReduction) {
    FillRect(0, 0, 800, 600, {40, 80, 120});
    fx_squareblur(40, 0, 1, 0.5f, 0.25f, 1);
    EXPECT_NEAR_RGB(ReadPixel(400, 300), (Rgb{60, 100, 240}), 1);
    EXPECT_NEAR_RGB(ReadPixel(10, 590), (Rgb{60, 100, 240}), 1);
}

TEST_F(FxTest, SquareBlurReductionTakesTheCallersColour) {
    FillQuarters();
    std::vector<uint8_t> before = ReadFrame();
    glColor3f(0, 0, 0);
    fx_squareblur(40, 0, 1, 1, 1, 1); // sharp frame plus a black reduction
    EXPECT_TRUE(FrameEquals(before));
    fx_squareblur(40, 0, 0, 1, 1, 1); // the black reduction alone
    EXPECT_NEAR_RGB(ReadPixel(100, 100), kBlack, 0);
    EXPECT_NEAR_RGB(ReadPixel(650, 470), kBlack, 0);
}

// Size 40.5 copies the whole 40 by 40 texels but stretches 40.5 of them over
// the screen: blocks are 800 / 40.5 = 19.75 pixels wide, and the last half
// texel, outside the copy, keeps what an earlier call left there.
TEST_F(FxTest, SquareBlurAtAFractionalSize) {
    const Rgb red{255, 0, 0};
    FillRect(0, 0, 800, 600, red);
    fx_squareblur(41, 1, 0, 1, 1, 1); // red in texel row and column 40
    FillGradient();
    fx_squareblur(40.5f, 1, 0, 1, 1, 1);
    // Block 20 covers x 395.06 to 414.81.
    EXPECT_FALSE(ReadPixel(394, 300) == ReadPixel(395, 300));
    EXPECT_EQ(ReadPixel(395, 300), ReadPixel(414, 300));
    EXPECT_FALSE(ReadPixel(414, 300) == ReadPixel(415, 300));
    // The last 9.9 columns and 7.4 rows show the old texel 40.
    EXPECT_EQ(ReadPixel(795, 300), red);
    EXPECT_EQ(ReadPixel(400, 3), red);
    EXPECT_FALSE(ReadPixel(785, 300) == red);
}

TEST_F(FxTest, SquareBlurLeavesChosenMagFilterOnSecondTexture) {
    fx_squareblur(40, 1, 0, 1, 1, 1);
    EXPECT_EQ(TexQuery(fx_tex2, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(TexQuery(fx_tex, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    fx_squareblur(40, 0, 0, 1, 1, 1);
    EXPECT_EQ(TexQuery(fx_tex2, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    fx_squareblur(40, 1, 0, 1, 1, 1);
    fx_squareblur(40, 2, 0, 1, 1, 1); // only 1 means nearest
    EXPECT_EQ(TexQuery(fx_tex2, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
}

// --- fx_shine --------------------------------------------------------------

struct ShineCase {
    float r, g, b;
    Rgb content, want;
};

class FxShineInPlace : public FxTest, public ::testing::WithParamInterface<ShineCase> {};

TEST_P(FxShineInPlace, FifteenCopiesOnTheFrameMultiplyIt) {
    const ShineCase& c = GetParam();
    FillRect(100, 100, 300, 200, c.content);
    FillRect(500, 350, 100, 100, {255, 255, 255});
    fx_shine(c.r, c.g, c.b, 0, 0);
    EXPECT_NEAR_RGB(ReadPixel(250, 200), c.want, 3);
    EXPECT_NEAR_RGB(ReadPixel(700, 100), kBlack, 0);
    EXPECT_NEAR_RGB(ReadPixel(550, 400), (Rgb{255, 255, 255}), 0);
}

// Each copy adds content times the colour; products are whole levels here.
INSTANTIATE_TEST_SUITE_P(
    Colours, FxShineInPlace,
    ::testing::Values(ShineCase{0.2f, 0.2f, 0.2f, {30, 50, 60}, {120, 200, 240}},
                      ShineCase{0.1f, 0.2f, 0.05f, {40, 40, 80}, {100, 160, 140}},
                      ShineCase{0.2f, 0.2f, 0.2f, {100, 0, 10}, {255, 0, 40}},
                      ShineCase{0, 0, 0, {70, 140, 210}, {70, 140, 210}}));

TEST_F(FxTest, ShineWithoutColourLeavesTheFrame) {
    FillQuarters();
    std::vector<uint8_t> before = ReadFrame();
    fx_shine(0, 0, 0, 0.04f, 5);
    EXPECT_TRUE(FrameEquals(before));
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
