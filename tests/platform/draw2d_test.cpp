// What the 2D layer puts on the screen: placement, handles, rotation, scale,
// blend modes, masking, colour and alpha, lines and clearing.
#include "platform/draw2d.h"
#include "tests/platform/draw2d_fixture.h"

#include <SDL_opengl.h>

#include <cmath>

namespace {

// Red picture with a green top-left pixel.
TEST_F(Draw2DTest, TopLeftHandledImageStartsAtScreenCorner) {
    uint8_t red[3] = {255, 0, 0}, green[3] = {0, 255, 0};
    PngLayout layout = SolidLayout(8, 8, 3, red);
    SetPixel(layout, 0, 0, green);
    TImage* image = Load(layout, 0);
    DrawImage(image, -400, -300);
    EXPECT_EQ(ReadPixel(0, 0), (Rgb{0, 255, 0}));
    EXPECT_EQ(ReadPixel(1, 0), (Rgb{255, 0, 0}));
    EXPECT_EQ(ReadPixel(7, 7), (Rgb{255, 0, 0}));
    EXPECT_EQ(ReadPixel(8, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(ReadPixel(0, 8), (Rgb{0, 0, 0}));
}

TEST_F(Draw2DTest, MidHandledImageIsCentredOnThePosition) {
    TImage* image = Load(Quadrants(), 0);
    MidHandleImage(image);
    DrawImage(image, 0, 0);
    // 10x10 around the screen centre (400, 300): columns and rows 395..404.
    EXPECT_EQ(ReadPixel(395, 295), kRed);
    EXPECT_EQ(ReadPixel(404, 295), kGreen);
    EXPECT_EQ(ReadPixel(395, 304), kBlue);
    EXPECT_EQ(ReadPixel(404, 304), kWhite);
    EXPECT_EQ(ReadPixel(394, 300), kBlack);
    EXPECT_EQ(ReadPixel(405, 300), kBlack);
    EXPECT_EQ(ReadPixel(400, 294), kBlack);
    EXPECT_EQ(ReadPixel(400, 305), kBlack);
}

// With rotation 90 a point (px, py) of the picture lands at (-py, px) from
// the position: the top-left quadrant goes to the top right, and so on.
TEST_F(Draw2DTest, Rotation90TurnsAboutTheMidHandle) {
    // The layer's own pixel projection, where (400, 300) is the centre.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 800, 600, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    TImage* image = Load(Quadrants(), 0);
    MidHandleImage(image);
    SetRotation(90);
    DrawImage(image, 400, 300);
    EXPECT_EQ(ReadPixel(404, 295), kRed);
    EXPECT_EQ(ReadPixel(404, 304), kGreen);
    EXPECT_EQ(ReadPixel(395, 295), kBlue);
    EXPECT_EQ(ReadPixel(395, 304), kWhite);
    EXPECT_EQ(ReadPixel(394, 300), kBlack);
    EXPECT_EQ(ReadPixel(405, 300), kBlack);
}

TEST_F(Draw2DTest, ScaleStretchesTheQuad) {
    uint8_t red[3] = {255, 0, 0};
    TImage* image = Load(SolidLayout(4, 4, 3, red), 0);
    SetScale(2, 3);
    DrawImage(image, -390, -295);
    // Covers x 10..17 and y 5..16.
    EXPECT_EQ(ReadPixel(10, 5), kRed);
    EXPECT_EQ(ReadPixel(17, 16), kRed);
    EXPECT_EQ(ReadPixel(9, 5), kBlack);
    EXPECT_EQ(ReadPixel(10, 4), kBlack);
    EXPECT_EQ(ReadPixel(18, 16), kBlack);
    EXPECT_EQ(ReadPixel(17, 17), kBlack);
}

TEST_F(Draw2DTest, ColourTintsThePicture) {
    uint8_t white[3] = {255, 255, 255};
    TImage* image = Load(SolidLayout(4, 4, 3, white), 0);
    SetColor(255, 128, 0);
    DrawImage(image, -400, -300);
    EXPECT_EQ(ReadPixel(1, 1), (Rgb{255, 128, 0}));
}

// A background colour B, then a picture of colour F whose four 4-pixel
// columns have alpha 0, 127, 128 and 255, drawn in each blend mode.
struct BlendCase {
    int mode;
    const char* name;
};

class BlendMode : public Draw2DTest, public ::testing::WithParamInterface<BlendCase> {};

const int kB[3] = {200, 100, 50};
const int kF[3] = {100, 200, 40};
const int kAlphas[4] = {0, 127, 128, 255};

Rgb Expected(int mode, int alpha) {
    int out[3];
    for (int c = 0; c < 3; ++c) {
        double a = alpha / 255.0, f = kF[c], b = kB[c];
        double v = b;
        if (mode == 1) v = a >= 0.5 ? f : b;
        if (mode == 2) v = f;
        if (mode == 3) v = f * a + b * (1 - a);
        if (mode == 4) v = std::min(255.0, b + f * a);
        if (mode == 5) v = f * b / 255.0;
        out[c] = int(std::lround(v));
    }
    return {out[0], out[1], out[2]};
}

TEST_P(BlendMode, CombinesKnownColours) {
    int mode = GetParam().mode;
    uint8_t b[3] = {uint8_t(kB[0]), uint8_t(kB[1]), uint8_t(kB[2])};
    TImage* back = Load(SolidLayout(16, 4, 3, b), 0, "back.png");
    uint8_t f[4] = {uint8_t(kF[0]), uint8_t(kF[1]), uint8_t(kF[2]), 0};
    PngLayout layout = SolidLayout(16, 4, 4, f);
    for (int x = 0; x < 16; ++x)
        for (int y = 0; y < 4; ++y) {
            f[3] = uint8_t(kAlphas[x / 4]);
            SetPixel(layout, x, y, f);
        }
    TImage* front = Load(layout, 0, "front.png");
    SetBlend(2);
    DrawImage(back, -400, -300);
    SetBlend(mode);
    DrawImage(front, -400, -300);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR_RGB(ReadPixel(4 * i + 1, 1), Expected(mode, kAlphas[i]), 1)
            << "alpha " << kAlphas[i];
}

INSTANTIATE_TEST_SUITE_P(AllModes, BlendMode,
                         ::testing::Values(BlendCase{1, "Mask"}, BlendCase{2, "Solid"},
                                           BlendCase{3, "Alpha"}, BlendCase{4, "Light"},
                                           BlendCase{5, "Shade"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Draw2DTest, GlobalAlphaFadesAnOpaquePicture) {
    uint8_t b[3] = {0, 0, 200}, f[3] = {255, 255, 255};
    TImage* back = Load(SolidLayout(4, 4, 3, b), 0, "back.png");
    TImage* front = Load(SolidLayout(4, 4, 3, f), 0, "front.png");
    DrawImage(back, -400, -300);
    SetBlend(3);
    SetAlpha(0.5f); // stored as 127
    DrawImage(front, -400, -300);
    double a = 127 / 255.0;
    EXPECT_NEAR_RGB(ReadPixel(1, 1),
                    (Rgb{int(std::lround(255 * a)), int(std::lround(255 * a)),
                         int(std::lround(255 * a + 200 * (1 - a)))}),
                    1);
}

// Mask-coloured pixels vanish in mode 1 and carry their neighbours' colour.
TEST_F(Draw2DTest, MaskedPixelsAreTransparentInMaskMode) {
    uint8_t blue[3] = {0, 0, 255}, black[3] = {0, 0, 0};
    PngLayout layout = SolidLayout(4, 4, 3, blue);
    SetPixel(layout, 1, 1, black);
    SetPixel(layout, 2, 2, black);
    TImage* image = Load(layout, MASKEDIMAGE);
    uint8_t red[3] = {255, 0, 0};
    TImage* back = Load(SolidLayout(4, 4, 3, red), 0, "back.png");
    DrawImage(back, -400, -300);
    SetBlend(1);
    DrawImage(image, -400, -300);
    EXPECT_EQ(ReadPixel(0, 0), kBlue);
    EXPECT_EQ(ReadPixel(1, 1), kRed);
    EXPECT_EQ(ReadPixel(2, 2), kRed);
    EXPECT_EQ(ReadPixel(2, 1), kBlue);
    // In solid mode the hidden colour shows: the blue of the neighbours.
    SetBlend(2);
    DrawImage(image, -400, -300);
    EXPECT_EQ(ReadPixel(1, 1), kBlue);
}

TEST_F(Draw2DTest, LineCoversEveryPixelIncludingTheLast) {
    DrawLine(-400, -300, -391, -300); // row 0, columns 0..9
    DrawLine(0, 0, 0, 9);             // column 400, rows 300..309
    for (int x = 0; x <= 9; ++x)
        EXPECT_EQ(ReadPixel(x, 0), kWhite) << "x " << x;
    EXPECT_EQ(ReadPixel(10, 0), kBlack);
    EXPECT_EQ(ReadPixel(0, 1), kBlack);
    for (int y = 300; y <= 309; ++y)
        EXPECT_EQ(ReadPixel(400, y), kWhite) << "y " << y;
    EXPECT_EQ(ReadPixel(400, 310), kBlack);
    EXPECT_EQ(ReadPixel(400, 299), kBlack);
    EXPECT_EQ(ReadPixel(401, 305), kBlack);
}

TEST_F(Draw2DTest, LineWithoutLastPixelStopsBeforeTheEnd) {
    DrawLine(-400, -300, -391, -300, 0);
    for (int x = 0; x <= 8; ++x)
        EXPECT_EQ(ReadPixel(x, 0), kWhite) << "x " << x;
    EXPECT_EQ(ReadPixel(9, 0), kBlack);
}

TEST_F(Draw2DTest, LineTurnsAboutItsStartPoint) {
    SetRotation(90);
    SetColor(0, 255, 0);
    DrawLine(0, 0, 5, 0); // turned to point down the screen
    for (int y = 300; y <= 305; ++y)
        EXPECT_EQ(ReadPixel(400, y), kGreen) << "y " << y;
    EXPECT_EQ(ReadPixel(401, 300), kBlack);
    EXPECT_EQ(ReadPixel(400, 306), kBlack);
}

TEST_F(Draw2DTest, LineDrawnAfterAPictureIsUntextured) {
    uint8_t red[3] = {255, 0, 0};
    DrawImage(Load(SolidLayout(4, 4, 3, red), 0), -400, -300);
    DrawLine(-100, -100, -90, -100);
    EXPECT_EQ(ReadPixel(305, 200), kWhite);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(Draw2DTest, ClsClearsToBlackAndKeepsDepth) {
    glClearDepth(0.25);
    glClearColor(10 / 255.0f, 20 / 255.0f, 30 / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    Cls();
    EXPECT_EQ(ReadPixel(0, 0), kBlack);
    EXPECT_EQ(ReadPixel(799, 599), kBlack);
    float depth = 0;
    glReadPixels(400, 300, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_NEAR(depth, 0.25f, 1e-3f);
}

TEST_F(Draw2DTest, NullImageDrawsNothing) {
    DrawImage(nullptr, 0, 0);
    EXPECT_EQ(ReadPixel(400, 300), kBlack);
}

} // namespace
