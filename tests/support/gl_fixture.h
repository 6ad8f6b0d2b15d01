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
std::vector<uint8_t> ReadFrame();  // 800*600 RGB, top row first
// Maximum channel difference between a pixel and an expected colour.
int ColorDistance(Rgb a, Rgb b);

// Fresh frame and the state the demo sets at start-up: centred 2D projection
// (-400..400, -300..300), identity model-view, black clear.
void ResetFrame();

class GLTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetFrame(); }
};

#define EXPECT_NEAR_RGB(actual, expected, tol)                                          \
    EXPECT_LE(ColorDistance((actual), (expected)), (tol))                              \
        << "actual " << (actual) << " expected " << (expected)
