// Pixel tests of the tiling effects: duplicate and the thumbnail stack.
#include "fx/fx.h"
#include "tests/fx/fx_support.h"

namespace {

const Rgb kRed{200, 0, 0}, kGreen{0, 200, 0}, kBlue{0, 0, 200}, kWhite{255, 255, 255};

void FillFourColours() {
    FillRect(0, 0, 400, 300, kRed);
    FillRect(400, 0, 400, 300, kGreen);
    FillRect(0, 300, 400, 300, kBlue);
    FillRect(400, 300, 400, 300, kWhite);
}

} // namespace

TEST_F(FxTest, DuplicateTwoShowsFourHalfSizeCopies) {
    FillFourColours();
    fx_duplicate(2);
    for (int tx = 0; tx < 2; ++tx) {
        for (int ty = 0; ty < 2; ++ty) {
            const int x = tx * 400, y = ty * 300; // tile corner
            EXPECT_NEAR_RGB(ReadPixel(x + 100, y + 75), kRed, 1);
            EXPECT_NEAR_RGB(ReadPixel(x + 300, y + 75), kGreen, 1);
            EXPECT_NEAR_RGB(ReadPixel(x + 100, y + 225), kBlue, 1);
            EXPECT_NEAR_RGB(ReadPixel(x + 300, y + 225), kWhite, 1);
            // Colour borders of the half-size copy lie at 200 and 150.
            EXPECT_NEAR_RGB(ReadPixel(x + 198, y + 20), kRed, 1);
            EXPECT_NEAR_RGB(ReadPixel(x + 201, y + 20), kGreen, 1);
            EXPECT_NEAR_RGB(ReadPixel(x + 20, y + 148), kRed, 1);
            EXPECT_NEAR_RGB(ReadPixel(x + 20, y + 151), kBlue, 1);
        }
    }
}

TEST_F(FxTest, DuplicateThreeTilesInThirds) {
    FillFourColours();
    fx_duplicate(3);
    // Tile width 266.67, height 200: the middle tile's red corner and the
    // last tile's white corner.
    EXPECT_NEAR_RGB(ReadPixel(266 + 30, 200 + 30), kRed, 1);
    EXPECT_NEAR_RGB(ReadPixel(533 + 240, 400 + 180), kWhite, 1);
}

class FxDuplicateNoChange : public FxTest, public ::testing::WithParamInterface<int> {};

TEST_P(FxDuplicateNoChange, LeavesTheFrame) {
    FillFourColours();
    FillRect(123, 456, 3, 3, {17, 34, 51});
    std::vector<uint8_t> before = ReadFrame();
    fx_duplicate(GetParam());
    EXPECT_TRUE(FrameEquals(before));
}

// 1 redraws in place; 0 and below draw no tile.
INSTANTIATE_TEST_SUITE_P(Counts, FxDuplicateNoChange, ::testing::Values(1, 0, -1));

TEST_F(FxTest, StackDrawsFiveThumbnailsInAColumn) {
    FillRect(0, 0, 400, 600, kGreen);
    FillRect(400, 0, 400, 600, kBlue);
    fx_stack(1, 0, 1, 0.6f);
    // Left edge 0.6 units = 240 pixels right of the centre; 132 x 99 pixels,
    // lower-left corners 7.5 + 120k pixels above the bottom edge.
    for (int k = 0; k < 5; ++k) {
        const int bottom = 600 - int(7.5 + 120 * k); // top-left row below the thumbnail
        const int middle = bottom - 50;
        EXPECT_NEAR_RGB(ReadPixel(645, middle), kGreen, 1) << "thumbnail " << k;
        EXPECT_NEAR_RGB(ReadPixel(765, middle), kBlue, 1) << "thumbnail " << k;
        EXPECT_NEAR_RGB(ReadPixel(645, bottom + 5), kBlue, 1) << "gap under " << k;
    }
    EXPECT_NEAR_RGB(ReadPixel(638, 300), kBlue, 1); // left of the column
    EXPECT_NEAR_RGB(ReadPixel(775, 300), kBlue, 1); // right of it
    EXPECT_NEAR_RGB(ReadPixel(645, 5), kBlue, 1);   // above the top one
}

TEST_F(FxTest, StackWithoutGrabDrawsTheLastCaptureAdded) {
    FillRect(0, 0, 800, 600, {100, 0, 0});
    fx_duplicate(1); // captures the red frame
    FillRect(0, 0, 800, 600, {0, 60, 0});
    fx_stack(0, 1, 0.5f, -1);
    EXPECT_NEAR_RGB(ReadPixel(60, 540), (Rgb{50, 60, 0}), 1);
    EXPECT_NEAR_RGB(ReadPixel(300, 540), (Rgb{0, 60, 0}), 0);
}
