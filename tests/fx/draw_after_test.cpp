// The 2D layer caches its blend mode, colour and texture binding; after each
// effect, as the demo calls it (the square blur also inside a 3D view), and
// after a textured scene is loaded, a picture must come out exactly as it
// does without.
#include "platform/draw2d.h"
#include "scene/scene.h"
#include "tests/fx/fx_support.h"
#include "tests/platform/png_files.h"
#include "tests/scene/scene_files.h"

#include <GL/gl.h>

#include <algorithm>

namespace {

struct EffectCase {
    const char* name;
    void (*run)();
};
const EffectCase kEffects[] = {
    {"shine", [] { fx_shine(0.2f, 0.2f, 0.2f, 0.04f, 5); }},
    {"kaleido", [] { fx_kaleido(FX_ADD, 1); }},
    {"separatergb", [] { fx_separatergb(0.03f, 0); }},
    {"squareblur", [] { fx_squareblur(40, FX_LINEAR, FX_OVER_SHARP, 0.8f, 0.7f, 0.5f); }},
    {"squareblur_in_view",
     [] {
         glsetup(1.0f);
         gllite(0, 0, 100, 100, 1);
         glRotatef(30, 0, 1, 0);
         fx_squareblur(40, FX_LINEAR, FX_OVER_SHARP, 0.5f, 0.5f, 0.5f);
         gldone();
     }},
    // Kept loaded, as the demo keeps its scenes.
    {"scene_load",
     [] {
         LoadFiles("mtllib s.mtl\n", "newmtl t\nmap_Kd t.tga\n", TgaBytes(1, 1, {{0, 0, 255}}));
     }},
};

// 16x16 with colour and alpha varying over it, so that blending, tint,
// filtering and placement all show in the result.
TImage* LoadTestPicture(const TempDir& dir) {
    const uint8_t clear[4] = {0, 0, 0, 0};
    PngLayout layout = SolidLayout(16, 16, 4, clear);
    for (int i = 0; i < 256; ++i) {
        const int x = i % 16, y = i / 16;
        const uint8_t p[4] = {uint8_t(x * 16), uint8_t(y * 16), uint8_t(255 - x * 8),
                              uint8_t(64 + (x + y) * 6)};
        SetPixel(layout, x, y, p);
    }
    const std::string path = dir.Path("fx_picture.png");
    if (!WritePng(path, layout)) return nullptr;
    return LoadImage(path.c_str());
}

void DrawPicture(TImage* image) {
    Cls();
    DrawImage(image, -60, 40);
    DrawImage(image, 150, -120);
}

class FxDrawAfter : public FxTest, public ::testing::WithParamInterface<EffectCase> {
  protected:
    void SetUp() override {
        FxTest::SetUp();
        // The fixture sets GL state behind the layer's back; make the layer
        // forget its caches, then restore the centred projection.
        ResetDraw2D(800, 600);
        ResetFrame();
        image_ = LoadTestPicture(dir_);
        ASSERT_NE(image_, nullptr);
        // A mid-run 2D state: alpha blend, tint, rotation, scale, moved pictures.
        SetBlend(3);
        SetColor(220, 180, 255);
        SetAlpha(0.8f);
        SetRotation(20);
        SetScale(6, 4);
        glTranslatef(25, -15, 0); // on the fixture's identity model-view
        DrawPicture(image_);      // fills the layer's caches
        DrawPicture(image_);
        want_ = ReadFrame();
        FillRect(0, 0, 800, 600, {120, 60, 30});
        DrawImage(image_, 0, 0); // content for the effect to capture
    }
    TempDir dir_;
    TImage* image_ = nullptr;
    std::vector<uint8_t> want_;
};

} // namespace

TEST_P(FxDrawAfter, DrawImageAsWithoutEffect) {
    GetParam().run();
    DrawPicture(image_);
    const std::vector<uint8_t> got = ReadFrame();
    const size_t at = std::mismatch(got.begin(), got.end(), want_.begin()).first - got.begin();
    const int x = int(at / 3 % 800), y = 599 - int(at / 3 / 800); // the first difference
    EXPECT_EQ(at, got.size()) << "at (" << x << ", " << y << "): " << FramePixel(got, x, y)
                              << " instead of " << FramePixel(want_, x, y);
}

INSTANTIATE_TEST_SUITE_P(Effects, FxDrawAfter, ::testing::ValuesIn(kEffects),
                         [](const auto& info) { return std::string(info.param.name); });
