// What the 2D layer puts on the screen: placement, blend modes, tint and
// alpha, lines, and the textures made from pictures.
#include "platform/draw2d.h"
#include "tests/platform/png_files.h"
#include "tests/support/gl_fixture.h"

#include <cmath>
#include <vector>

namespace {

const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255}, kGreen{0, 255, 0};

class Draw2DTest : public GLTest {
  protected:
    TImage* Load(const PngLayout& layout, int flags, const char* name = "pic.png") {
        std::string path = dir_.Path(name);
        EXPECT_TRUE(WritePng(path, layout));
        return LoadImage(path.c_str(), flags); // null draws nothing: pixel checks fail
    }

    // 10x10: red top left, green top right, blue bottom left, white bottom right.
    static PngLayout Quadrants() {
        const uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
        PngLayout layout = SolidLayout(10, 10, 3, colours[0]);
        for (int i = 0; i < 100; ++i)
            SetPixel(layout, i % 10, i / 10, colours[i / 50 * 2 + i % 10 / 5]);
        return layout;
    }

    TempDir dir_;
};

// Where the 10x10 quadrant picture lands: its handle on the position,
// turned about the handle and stretched from it. Mid handles come from
// AutoMidHandle, as the demo loads its pictures.
enum { R, G, B, W, K };
const Rgb kColours[] = {{255, 0, 0}, kGreen, {0, 0, 255}, kWhite, kBlack};

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
// columns have alpha 0, 127, 128 and 255, tinted by T and drawn in a blend
// mode at a global alpha (stored as alpha * 255 truncated): all five modes,
// and the demo's faded alpha and light (section 2: light at 0.4).
struct Blend {
    int mode;
    float alpha;
};
class BlendMode : public Draw2DTest, public ::testing::WithParamInterface<Blend> {};

const uint8_t kB[3] = {200, 100, 50};
const uint8_t kF[4] = {100, 200, 40, 0};
const int kT[3] = {255, 128, 192};
const int kAlphas[4] = {0, 127, 128, 255};

int Expected(Blend blend, int alpha, int i) {
    const double a = alpha / 255.0 * int(blend.alpha * 255) / 255.0;
    const double f = kF[i] * kT[i] / 255.0, b = kB[i];
    // Modes 1 to 5: mask, solid, alpha, light, shade.
    const double by_mode[] = {
        b, a >= 0.5 ? f : b, f, f * a + b * (1 - a), std::min(255.0, b + f * a), f * b / 255};
    return int(std::lround(by_mode[blend.mode]));
}

TEST_P(BlendMode, CombinesKnownColours) {
    const Blend blend = GetParam();
    TImage* back = Load(SolidLayout(16, 4, 3, kB), 0, "back.png");
    PngLayout layout = SolidLayout(16, 4, 4, kF);
    for (size_t i = 0; i < 16 * 4; ++i)
        layout.rows[i * 4 + 3] = uint8_t(kAlphas[i % 16 / 4]);
    TImage* front = Load(layout, 0, "front.png");
    DrawImage(back, -400, -300);
    SetBlend(blend.mode);
    SetColor(kT[0], kT[1], kT[2]);
    SetAlpha(blend.alpha);
    DrawImage(front, -400, -300);
    for (int i = 0; i < 4; ++i) {
        const int a = kAlphas[i];
        const Rgb want{Expected(blend, a, 0), Expected(blend, a, 1), Expected(blend, a, 2)};
        EXPECT_NEAR_RGB(ReadPixel(4 * i + 1, 1), want, 1)
            << "mode " << blend.mode << " at " << blend.alpha << ", alpha " << a;
    }
}

// The demo's faded use of alpha and light modes too (section 2: light at 0.4).
INSTANTIATE_TEST_SUITE_P(AllModes, BlendMode,
                         ::testing::Values(Blend{1, 1}, Blend{2, 1}, Blend{3, 1}, Blend{4, 1},
                                           Blend{5, 1}, Blend{3, 0.5f}, Blend{4, 0.4f}));

// Lines cover both end pixels and turn about their start; drawn after a
// picture, so a texture left bound would colour them.
TEST_F(Draw2DTest, LinesCoverEveryPixelAndTurnAboutTheirStart) {
    uint8_t red[3] = {255, 0, 0};
    DrawImage(Load(SolidLayout(4, 4, 3, red), 0), -100, -100);
    DrawLine(-400, -300, -391, -300); // row 0, columns 0..9
    DrawLine(0, 0, 0, 9);             // column 400, rows 300..309
    SetRotation(90);
    SetColor(0, 255, 0);
    DrawLine(-200, 0, -195, 0); // turned to run down column 200, rows 300..305
    for (int i = 0; i <= 9; ++i) {
        EXPECT_EQ(ReadPixel(i, 0), kWhite) << "x " << i;
        EXPECT_EQ(ReadPixel(400, 300 + i), kWhite) << "y " << 300 + i;
        EXPECT_EQ(ReadPixel(200, 300 + i), i <= 5 ? kGreen : kBlack) << "y " << 300 + i;
    }
    for (auto [x, y] : {std::pair{10, 0}, {0, 1}, {400, 310}, {400, 299}, {401, 305}, {201, 300}})
        EXPECT_EQ(ReadPixel(x, y), kBlack) << x << ", " << y;
}

// The texture is padded to a power of two; on screen the picture still
// ends exactly at its last column and row.
TEST_F(Draw2DTest, Picture600EndsExactlyAtItsEdge) {
    const uint8_t grey[3] = {60, 60, 60}, edge[3] = {250, 10, 10};
    PngLayout layout = SolidLayout(600, 600, 3, grey);
    for (int i = 0; i < 600; ++i)
        SetPixel(layout, 599, i, edge), SetPixel(layout, i, 599, edge);
    DrawImage(Load(layout, 0), -400, -300);
    for (auto [x, y] : {std::pair{599, 0}, {0, 599}, {599, 599}, {600, 0}, {0, 600}})
        EXPECT_EQ(ReadPixel(x, y), (x < 600 && y < 600 ? Rgb{250, 10, 10} : kBlack))
            << x << ", " << y;
}

} // namespace
