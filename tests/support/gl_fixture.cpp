#include "tests/support/gl_fixture.h"

#include "platform/draw2d.h"
#include "platform/graphics.h"

#include <SDL_opengl.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>

std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

Rgb ReadPixel(int x, int y) {
    uint8_t p[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, 599 - y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

std::vector<uint8_t> ReadFrame() {
    std::vector<uint8_t> frame(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, frame.data());
    return frame;
}

int ColorDistance(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

void ResetFrame() {
    SetCentredProjection(GraphicsWidth(), GraphicsHeight());
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SetBlend(2);
    SetColor(255, 255, 255);
    SetAlpha(1);
    SetRotation(0);
    SetScale(1, 1);
    SetLineWidth(1);
}

void FillRect(int x, int y, int w, int h, Rgb c) {
    glPushAttrib(GL_SCISSOR_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, 600 - y - h, w, h);
    glClearColor(c.r / 255.f, c.g / 255.f, c.b / 255.f, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
}

Rgb FramePixel(const std::vector<uint8_t>& frame, int x, int y) {
    const uint8_t* p = &frame[((599 - y) * 800 + x) * 3];
    return {p[0], p[1], p[2]};
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    SetGraphicsDriver(GL2DDriver(), kDefaultGraphicsFlags);
    Graphics(800, 600, 32, 0, GRAPHICS_BACKBUFFER | GRAPHICS_DEPTHBUFFER);
    const int rc = RUN_ALL_TESTS();
    EndGraphics();
    return rc;
}
