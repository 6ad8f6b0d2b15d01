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
    std::vector<uint8_t> raw(800 * 600 * 3), out(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    for (int y = 0; y < 600; ++y)
        std::copy_n(&raw[(599 - y) * 2400], 2400, &out[y * 2400]);
    return out;
}

int ColorDistance(Rgb a, Rgb b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

void ResetFrame() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-400, 400, 300, -300, 0, 1000);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

namespace {
class DisplayEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        SetGraphicsDriver(GL2DDriver(), 2);
        Graphics(800, 600, 32, 0, 10);
    }
    void TearDown() override { EndGraphics(); }
};
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new DisplayEnvironment);
    return RUN_ALL_TESTS();
}
