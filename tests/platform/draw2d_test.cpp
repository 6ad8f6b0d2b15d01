// What the 2D layer puts on the screen: placement, handles, rotation, scale,
// blend modes, masking, colour and alpha, lines, and the textures made from
// pictures.
#include "platform/draw2d.h"
#include "tests/platform/png_files.h"
#include "tests/support/gl_fixture.h"

#include <cmath>
#include <vector>

namespace {

const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0},
    kBlue{0, 0, 255};

class Draw2DTest : public GLTest {
  protected:
    TImage* Load(const PngLayout& layout, int flags, const char* name = "pic.png") {
        std::string path = dir_.Path(name);
        EXPECT_TRUE(WritePng(path, layout));
        TImage* image = LoadImage(path.c_str(), flags);
        EXPECT_NE(image, nullptr);
        return image;
    }

    // 10x10: red top left, green top right, blue bottom left, white bottom right.
    static PngLayout Quadrants() {
        uint8_t black[3] = {0, 0, 0};
        PngLayout layout = SolidLayout(10, 10, 3, black);
        const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                SetPixel(layout, x, y, colours[(y / 5) * 2 + x / 5]);
        return layout;
    }

    TempDir dir_;
};

// Where the 10x10 quadrant picture lands: its handle on the position,
// turned about the handle and stretched from it. Mid handles come from
// AutoMidHandle, as the demo loads its pictures.
enum { R, G, B, W, K };
const Rgb kColours[] = {kRed, kGreen, kBlue, kWhite, kBlack};

struct Placement {
    const char* name;
    bool mid;
    float rotation, sx, sy, x, y;
    std::vector<int> pixels; // screen x, y and colour, in threes
};

class Place : public Draw2DTest, public ::testing::WithParamInterface<Placement> {};

TEST_P(Place, PictureLandsWhereItsHandleRotationAndScalePutIt) {
    const Placement& c = GetParam();
    AutoMidHandle(c.mid);
    TImage* image = Load(Quadrants(), 0);
    AutoMidHandle(0);
    SetRotation(c.rotation);
    SetScale(c.sx, c.sy);
    DrawImage(image, c.x, c.y);
    for (size_t i = 0; i + 2 < c.pixels.size(); i += 3)
        EXPECT_EQ(ReadPixel(c.pixels[i], c.pixels[i + 1]), kColours[c.pixels[i + 2]])
            << c.pixels[i] << ", " << c.pixels[i + 1];
}

Placement At(const char* name, bool mid, float rotation, float sx, float sy, float x, float y,
             std::vector<int> pixels) {
    return {name, mid, rotation, sx, sy, x, y, std::move(pixels)};
}

// With rotation 90 a point (px, py) of the picture lands at (-py, px) from
// the position: the top-left quadrant goes to the top right, and so on.
INSTANTIATE_TEST_SUITE_P(
    Draw2D, Place,
    ::testing::Values(
        At("TopLeftHandleAtTheCorner", false, 0, 1, 1, -400, -300,
           {0, 0, R, 9, 0, G, 0, 9, B, 9, 9, W, 10, 0, K, 0, 10, K}),
        At("MidHandleAtTheCentre", true, 0, 1, 1, 0, 0,
           {395, 295, R, 404, 295, G, 395, 304, B, 404, 304, W,
            394, 300, K, 405, 300, K, 400, 294, K, 400, 305, K}),
        At("Rotation90AboutTheMidHandle", true, 90, 1, 1, 0, 0,
           {404, 295, R, 404, 304, G, 395, 295, B, 395, 304, W, 394, 300, K, 405, 300, K}),
        At("ScaleFromTheHandle", false, 0, 2, 3, -390, -295,
           {10, 5, R, 29, 5, G, 10, 34, B, 29, 34, W, 9, 5, K, 30, 34, K, 29, 35, K})),
    [](const auto& info) { return std::string(info.param.name); });

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

// Colour tints a white picture to (255, 128, 0); alpha 0.5 (stored as 127)
// lays it over blue.
TEST_F(Draw2DTest, ColourAndGlobalAlphaTintAndFadeAnOpaquePicture) {
    uint8_t b[3] = {0, 0, 200}, f[3] = {255, 255, 255};
    TImage* back = Load(SolidLayout(4, 4, 3, b), 0, "back.png");
    TImage* front = Load(SolidLayout(4, 4, 3, f), 0, "front.png");
    DrawImage(back, -400, -300);
    SetBlend(3);
    SetColor(255, 128, 0);
    SetAlpha(0.5f);
    DrawImage(front, -400, -300);
    double a = 127 / 255.0;
    EXPECT_NEAR_RGB(ReadPixel(1, 1),
                    (Rgb{int(std::lround(255 * a)), int(std::lround(128 * a)),
                         int(std::lround(200 * (1 - a)))}),
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

// Drawn after a picture, so a texture left bound would colour the lines.
TEST_F(Draw2DTest, LineCoversEveryPixelIncludingTheLast) {
    uint8_t red[3] = {255, 0, 0};
    DrawImage(Load(SolidLayout(4, 4, 3, red), 0), -100, -100);
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

TEST_F(Draw2DTest, LineTurnsAboutItsStartPoint) {
    SetRotation(90);
    SetColor(0, 255, 0);
    DrawLine(0, 0, 5, 0); // turned to point down the screen
    for (int y = 300; y <= 305; ++y)
        EXPECT_EQ(ReadPixel(400, y), kGreen) << "y " << y;
    EXPECT_EQ(ReadPixel(401, 300), kBlack);
    EXPECT_EQ(ReadPixel(400, 306), kBlack);
}

// The texture is padded to 1024 with the edge repeated; on screen the
// picture still ends exactly at its last column and row.
TEST_F(Draw2DTest, Picture600Gets1024TextureAndEndsAtItsEdge) {
    uint8_t grey[3] = {60, 60, 60}, last_col[3] = {250, 10, 10}, last_row[3] = {10, 250, 10},
            corner[3] = {10, 10, 250};
    PngLayout layout = SolidLayout(600, 600, 3, grey);
    for (int i = 0; i < 600; ++i) {
        SetPixel(layout, 599, i, last_col);
        SetPixel(layout, i, 599, last_row);
    }
    SetPixel(layout, 599, 599, corner);
    TImage* image = Load(layout, 0);
    DrawImage(image, -400, -300);
    ASSERT_NE(image->texture, 0u);
    EXPECT_EQ(image->tex_width, 1024);
    EXPECT_EQ(image->tex_height, 1024);
    EXPECT_FLOAT_EQ(image->umax, 600.0f / 1024.0f);
    EXPECT_FLOAT_EQ(image->vmax, 600.0f / 1024.0f);
    EXPECT_EQ(ReadPixel(599, 0), (Rgb{250, 10, 10}));
    EXPECT_EQ(ReadPixel(600, 0), kBlack);
    EXPECT_EQ(ReadPixel(0, 599), (Rgb{10, 250, 10}));
    EXPECT_EQ(ReadPixel(599, 599), (Rgb{10, 10, 250}));
    EXPECT_EQ(ReadPixel(0, 600), kBlack);
}

} // namespace
