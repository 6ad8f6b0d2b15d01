// The contact sheet: one thumbnail per second of demo time, in rows, each
// labelled with its second in a tiny built-in digit font. Thumbnails are
// box-filtered copies of the frame; the sheet grows a row at a time.
#pragma once

#include "tools/capture/rgb_image.h"

#include <vector>

struct ContactSheet {
    int thumb_w = 160, thumb_h = 120;
    int columns = 12;
    int gap = 4; // pixels between thumbnails and around the sheet
    std::vector<RgbImage> thumbs;
    std::vector<int> seconds;
};

// Adds the frame shown at the given whole second (frames of 800x600 give
// 160x120 thumbnails with a box filter of 5).
void AddThumbnail(ContactSheet& sheet, const RgbImage& frame, int second);
RgbImage ComposeSheet(const ContactSheet& sheet);

// Draws a decimal number with 3x5 digit glyphs scaled by scale, on a black
// box, with its top-left corner at (x, y).
void DrawNumber(RgbImage& image, int x, int y, int number, int scale);
