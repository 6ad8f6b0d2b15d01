// Shared GL context for pixel tests: one 800x600 full-screen display (on the
// private Xvfb of tests/xrun.sh) opened before the first test, with the
// demo's centred 2D projection, and read-back helpers in top-left-origin
// screen pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
std::ostream& operator<<(std::ostream& os, const Rgb& c);

// Reads the frame being drawn; x, y from the top-left corner of the screen.
Rgb ReadPixel(int x, int y);
std::vector<uint8_t> ReadFrame(); // 800*600 RGB, top row first
// Maximum channel difference between a pixel and an expected colour.
int ColorDistance(Rgb a, Rgb b);

// Solid rectangle through a scissored clear: exact pixels, no blending.
void FillRect(int x, int y, int w, int h, Rgb c);
// The whole screen in a smooth gradient: red grows to the right, green
// downwards, blue fixed at 128; the red and green at a pixel centre.
void FillGradient();
inline float GradientRed(float x) {
    return x / 800 * 255;
}
inline float GradientGreen(float y) {
    return y / 600 * 255;
}

Rgb FramePixel(const std::vector<uint8_t>& frame, int x, int y);
// Whether the back buffer now holds exactly this frame; a failure names the
// number of differing pixels and the first of them.
::testing::AssertionResult FrameEquals(const std::vector<uint8_t>& want);

// Fresh frame and the state the demo sets at start-up: centred 2D projection
// (-400..400, -300..300), identity model-view, black clear, and the 2D
// layer's drawing state at its defaults (solid blend, white, unturned).
void ResetFrame();

class GLTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetFrame(); }
};

#define EXPECT_NEAR_RGB(actual, expected, tol)                                                     \
    EXPECT_LE(ColorDistance((actual), (expected)), (tol))                                          \
        << "actual " << (actual) << " expected " << (expected)
