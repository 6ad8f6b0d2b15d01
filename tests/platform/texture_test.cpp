// Textures made from pictures (size, padding, filters, mipmaps) and the GL
// state the layer sets and caches.
#include "platform/draw2d.h"
#include "tests/platform/draw2d_fixture.h"

#include <SDL_opengl.h>

#include <vector>

namespace {

// Reads level `level` of the image's texture as RGBA, rows bottom-up as GL
// stores them (row 0 is the picture's top row here: no flip on upload).
std::vector<uint8_t> TextureLevel(const TImage* image, int level, int* w, int* h) {
    glPushAttrib(GL_TEXTURE_BIT);
    glBindTexture(GL_TEXTURE_2D, image->texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, h);
    std::vector<uint8_t> texels(size_t(*w) * size_t(*h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glPopAttrib();
    return texels;
}

std::vector<int> Texel(const std::vector<uint8_t>& t, int w, int x, int y) {
    const uint8_t* p = &t[(size_t(y) * w + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

TEST_F(Draw2DTest, Picture600Gets1024TextureWithEdgeRepeated) {
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
    int w = 0, h = 0;
    std::vector<uint8_t> t = TextureLevel(image, 0, &w, &h);
    ASSERT_EQ(w, 1024);
    ASSERT_EQ(h, 1024);
    for (int i : {0, 300, 598}) {
        EXPECT_EQ(Texel(t, w, 600, i), (std::vector<int>{250, 10, 10, 255})) << "row " << i;
        EXPECT_EQ(Texel(t, w, i, 600), (std::vector<int>{10, 250, 10, 255})) << "column " << i;
        EXPECT_EQ(Texel(t, w, 601, i), (std::vector<int>{0, 0, 0, 0}));
        EXPECT_EQ(Texel(t, w, i, 601), (std::vector<int>{0, 0, 0, 0}));
    }
    EXPECT_EQ(Texel(t, w, 600, 600), (std::vector<int>{10, 10, 250, 255}));
    EXPECT_EQ(Texel(t, w, 599, 599), (std::vector<int>{10, 10, 250, 255}));
    EXPECT_EQ(Texel(t, w, 601, 601), (std::vector<int>{0, 0, 0, 0}));
    // On screen the picture ends exactly at column and row 599.
    EXPECT_EQ(ReadPixel(599, 0), (Rgb{250, 10, 10}));
    EXPECT_EQ(ReadPixel(600, 0), kBlack);
    EXPECT_EQ(ReadPixel(0, 599), (Rgb{10, 250, 10}));
}

TEST_F(Draw2DTest, PowerOfTwoPictureFillsItsTexture) {
    uint8_t red[3] = {255, 0, 0};
    TImage* image = Load(SolidLayout(64, 16, 3, red), 0);
    DrawImage(image, -400, -300);
    EXPECT_EQ(image->tex_width, 64);
    EXPECT_EQ(image->tex_height, 16);
    EXPECT_EQ(image->umax, 1.0f);
    EXPECT_EQ(image->vmax, 1.0f);
}

struct FilterCase {
    int flags;
    GLint mag, min;
};

class TextureFilter : public Draw2DTest, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(TextureFilter, FollowsTheImageFlags) {
    uint8_t red[3] = {255, 0, 0};
    TImage* image = Load(SolidLayout(4, 4, 3, red), GetParam().flags);
    DrawImage(image, -400, -300);
    GLint mag = 0, min = 0, wrap_s = 0, wrap_t = 0;
    glPushAttrib(GL_TEXTURE_BIT);
    glBindTexture(GL_TEXTURE_2D, image->texture);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap_s);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap_t);
    glPopAttrib();
    EXPECT_EQ(mag, GetParam().mag);
    EXPECT_EQ(min, GetParam().min);
    EXPECT_EQ(wrap_s, GL_CLAMP_TO_EDGE);
    EXPECT_EQ(wrap_t, GL_CLAMP_TO_EDGE);
    GLint row_length = -1;
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &row_length);
    EXPECT_EQ(row_length, 0);
}

INSTANTIATE_TEST_SUITE_P(AllFlags, TextureFilter,
                         ::testing::Values(FilterCase{0, GL_NEAREST, GL_NEAREST},
                                           FilterCase{FILTEREDIMAGE, GL_LINEAR, GL_LINEAR},
                                           FilterCase{MIPMAPPEDIMAGE, GL_NEAREST,
                                                      GL_NEAREST_MIPMAP_NEAREST},
                                           FilterCase{FILTEREDIMAGE | MIPMAPPEDIMAGE, GL_LINEAR,
                                                      GL_LINEAR_MIPMAP_LINEAR}));

TEST_F(Draw2DTest, MipmapLevelsHalveDownToOnePixel) {
    // 4x2 picture: left half black, right half white.
    uint8_t black[3] = {0, 0, 0}, white[3] = {255, 255, 255};
    PngLayout layout = SolidLayout(4, 2, 3, black);
    for (int y = 0; y < 2; ++y)
        for (int x = 2; x < 4; ++x)
            SetPixel(layout, x, y, white);
    TImage* image = Load(layout, MIPMAPPEDIMAGE);
    DrawImage(image, -400, -300);
    int w = 0, h = 0;
    std::vector<uint8_t> level1 = TextureLevel(image, 1, &w, &h);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(Texel(level1, w, 0, 0), (std::vector<int>{0, 0, 0, 255}));
    EXPECT_EQ(Texel(level1, w, 1, 0), (std::vector<int>{255, 255, 255, 255}));
    std::vector<uint8_t> level2 = TextureLevel(image, 2, &w, &h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    EXPECT_NEAR(Texel(level2, w, 0, 0)[0], 128, 1);
}

TEST_F(Draw2DTest, SetBlendTwiceIssuesGlOnce) {
    SetBlend(2);
    int before = Draw2DBlendChanges();
    SetBlend(3);
    SetBlend(3);
    EXPECT_EQ(Draw2DBlendChanges(), before + 1);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    GLint src = 0, dst = 0;
    glGetIntegerv(GL_BLEND_SRC, &src);
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(src, GL_SRC_ALPHA);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
    SetBlend(1);
    EXPECT_EQ(Draw2DBlendChanges(), before + 2);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    GLint func = 0;
    GLfloat ref = 0;
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &func);
    glGetFloatv(GL_ALPHA_TEST_REF, &ref);
    EXPECT_EQ(func, GL_GEQUAL);
    EXPECT_FLOAT_EQ(ref, 0.5f);
    SetBlend(9); // unknown modes draw solid
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
}

struct AlphaCase {
    float alpha;
    int stored; // alpha x 255, truncated
};

class SetAlphaClamp : public Draw2DTest, public ::testing::WithParamInterface<AlphaCase> {};

TEST_P(SetAlphaClamp, StoresClampedTruncatedAlpha) {
    SetAlpha(GetParam().alpha);
    GLfloat c[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_NEAR(c[3], GetParam().stored / 255.0f, 1e-4f);
    EXPECT_FLOAT_EQ(c[0], 1.0f); // colour left alone
}

INSTANTIATE_TEST_SUITE_P(Range, SetAlphaClamp,
                         ::testing::Values(AlphaCase{1.5f, 255}, AlphaCase{-0.2f, 0},
                                           AlphaCase{0.5f, 127}, AlphaCase{1.0f, 255},
                                           AlphaCase{0.0f, 0}, AlphaCase{0.999f, 254}));

TEST_F(Draw2DTest, SetColorClampsEachChannel) {
    SetAlpha(0.5f);
    SetColor(300, -5, 128);
    GLfloat c[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_FLOAT_EQ(c[0], 1.0f);
    EXPECT_FLOAT_EQ(c[1], 0.0f);
    EXPECT_NEAR(c[2], 128 / 255.0f, 1e-4f);
    EXPECT_NEAR(c[3], 127 / 255.0f, 1e-4f);
}

TEST_F(Draw2DTest, ResetRestoresGlFromTheKeptState) {
    SetBlend(4);
    SetColor(10, 20, 30);
    SetLineWidth(3);
    glDisable(GL_BLEND); // as a new context would have it
    glColor4f(1, 1, 1, 1);
    int before = Draw2DBlendChanges();
    ResetDraw2D(800, 600);
    EXPECT_EQ(Draw2DBlendChanges(), before + 1);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat c[4] = {}, width = 0, proj[16] = {};
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_NEAR(c[0], 10 / 255.0f, 1e-4f);
    EXPECT_NEAR(c[2], 30 / 255.0f, 1e-4f);
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_FLOAT_EQ(width, 3.0f);
    // glOrtho(0, 800, 600, 0, -1, 1): x scale 2/800, y scale -2/600.
    glGetFloatv(GL_PROJECTION_MATRIX, proj);
    EXPECT_FLOAT_EQ(proj[0], 2.0f / 800.0f);
    EXPECT_FLOAT_EQ(proj[5], -2.0f / 600.0f);
    EXPECT_FLOAT_EQ(proj[12], -1.0f);
    EXPECT_FLOAT_EQ(proj[13], 1.0f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

} // namespace
