#include "tests/fx/fx_support.h"

#include "fx/fx.h"

#include <GL/gl.h>

#include <sstream>

void FxTest::SetUp() {
    GLTest::SetUp();
    if (fx_tex == 0 || fx_x != 800 || fx_y != 600) fx_init(800, 600);
    // The caller's colour tints some effects; the demo keeps it white.
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBindTexture(GL_TEXTURE_2D, 0);
}

void FillRect(int x, int y, int w, int h, Rgb c) {
    glPushAttrib(GL_SCISSOR_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, 600 - y - h, w, h);
    glClearColor(c.r / 255.f, c.g / 255.f, c.b / 255.f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
}

float GradientRed(float x) {
    return x / 800 * 255;
}
float GradientGreen(float y) {
    return y / 600 * 255;
}

void FillGradient() {
    // The fixture's projection: x -400..400, y -300 (top) .. 300.
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glBegin(GL_QUADS);
    glColor3ub(0, 0, 128);
    glVertex2f(-400, -300);
    glColor3ub(255, 0, 128);
    glVertex2f(400, -300);
    glColor3ub(255, 255, 128);
    glVertex2f(400, 300);
    glColor3ub(0, 255, 128);
    glVertex2f(-400, 300);
    glEnd();
    glPopAttrib();
}

Rgb FramePixel(const std::vector<uint8_t>& frame, int x, int y) {
    const uint8_t* p = &frame[(y * 800 + x) * 3];
    return {p[0], p[1], p[2]};
}

::testing::AssertionResult FrameEquals(const std::vector<uint8_t>& want) {
    const std::vector<uint8_t> got = ReadFrame();
    int count = 0;
    std::ostringstream first;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) {
            Rgb pw = FramePixel(want, x, y), pg = FramePixel(got, x, y);
            if (pw == pg) continue;
            if (count++ == 0)
                first << "first at (" << x << ", " << y << "): " << pg << " instead of " << pw;
        }
    }
    if (count == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << count << " pixels differ, " << first.str();
}

const std::vector<EffectCase>& AllEffects() {
    static const std::vector<EffectCase> effects = {
        {"shine", [] { fx_shine(0.2f, 0.2f, 0.2f, 0.04f, 5); }},
        {"kaleido", [] { fx_kaleido(1, 1); }},
        {"separatergb", [] { fx_separatergb(0.03f, 0); }},
        {"blur", [] { fx_blur(); }},
        {"squareblur", [] { fx_squareblur(40, 0, 1, 0.5f, 0.5f, 0.5f); }},
        {"duplicate", [] { fx_duplicate(2); }},
        {"stack", [] { fx_stack(1, 1, 1, 0.6f); }},
    };
    return effects;
}

void PrintTo(const EffectCase& c, std::ostream* os) {
    *os << c.name;
}

std::string EffectName(const ::testing::TestParamInfo<EffectCase>& info) {
    return info.param.name;
}
