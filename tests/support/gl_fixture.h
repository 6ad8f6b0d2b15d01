// One 800x600 display for pixel tests (on tests/xrun.sh's Xvfb), opened
// before the first test; read-back helpers in top-left-origin pixels.
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
std::vector<uint8_t> ReadFrame(); // 800*600 RGB as read back: look pixels up with FramePixel
// Maximum channel difference between a pixel and an expected colour.
int ColorDistance(Rgb a, Rgb b);

// Solid rectangle through a scissored clear: exact pixels, no blending.
void FillRect(int x, int y, int w, int h, Rgb c);

Rgb FramePixel(const std::vector<uint8_t>& frame, int x, int y); // x, y from the top left

// Black frame, centred 2D projection (-400..400, -300..300) and the 2D
// layer's start-up state (solid blend, white, unturned, unscaled).
void ResetFrame();

class GLTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetFrame(); }
};

#define EXPECT_NEAR_RGB(actual, expected, tol)                                                     \
    EXPECT_LE(ColorDistance((actual), (expected)), (tol))                                          \
        << "actual " << (actual) << " expected " << (expected)
