// Test pictures written with libpng, so no binary file is kept in the tree.
#pragma once

#include "tests/support/child_process.h" // TempDir

#include <cstdint>
#include <string>
#include <vector>

struct PngLayout {
    int width = 1, height = 1, color_type = 2 /* PNG_COLOR_TYPE_* */, bit_depth = 8;
    bool interlaced = false;
    std::vector<uint8_t> rows;    // packed rows as libpng expects them
    std::vector<uint8_t> palette; // r, g, b triples for palette pictures
    std::vector<uint8_t> trns;    // palette alphas, or one 16-bit grey value
};

bool WritePng(const std::string& path, const PngLayout& layout);
// An 8-bit RGB (channels 3) or RGBA (4) picture filled with one colour.
PngLayout SolidLayout(int width, int height, int channels, const uint8_t* rgba);
// Sets one pixel of such a picture.
void SetPixel(PngLayout& layout, int x, int y, const uint8_t* rgba);
