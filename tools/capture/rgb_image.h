// Plain 8-bit RGB pictures for the capture tool: a frame read back from the
// display, thumbnails and reference images. Rows run top to bottom with no
// padding. PNG output goes through libpng; reading uses the platform loader.
// Sizes are limited to 16384 on a side, so every size product fits in int.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // width * height * 3 bytes
};

RgbImage MakeRgbImage(int width, int height); // black
// Box filter by a whole factor: each output pixel is the rounded mean of a
// factor x factor block; a partial block at the right or bottom is dropped.
RgbImage DownscaleBox(const RgbImage& src, int factor);
// Copies src into dst with its top-left corner at (x, y), clipped to dst.
void PasteImage(RgbImage& dst, const RgbImage& src, int x, int y);
void FillRect(RgbImage& dst, int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b);

// Writes an 8-bit RGB PNG; level is the zlib compression level (0-9).
// On failure returns false with a one-line reason in *error.
bool WritePng(const std::string& path, const RgbImage& image, int level, std::string* error);
// Reads a PNG (grey, RGB or RGBA; alpha dropped); false with a reason.
bool ReadPng(const std::string& path, RgbImage* image, std::string* error);
