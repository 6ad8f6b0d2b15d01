// Pixel maps: 8-bit pictures in memory (grey, RGB or RGBA, rows top to
// bottom), the PNG decoder and the operations the texture upload needs.
// Loaders return null, print nothing and leave the reason in
// ImageLoadError(). Pictures: regular PNG files of at most 64 MB and
// 4096 x 4096 pixels (64 MB as RGBA), checked before any pixel memory is taken.
#pragma once

#include <cstdint>

enum { PF_I8 = 1, PF_RGB888 = 3, PF_RGBA8888 = 4 }; // TPixmap formats: bytes per pixel

// Largest side of a pixel map (keeps every size product in range).
const int kMaxPixmapSide = 16384;
const int kMaxPictureSide = 4096;
const int64_t kMaxPictureFileBytes = int64_t(64) << 20;

struct TPixmap {
    int width = 0, height = 0;
    int format = 0; // PF_I8, PF_RGB888 or PF_RGBA8888
    int pitch = 0;  // bytes per row
    uint8_t* pixels = nullptr;
    TPixmap() = default;
    TPixmap(const TPixmap&) = delete;
    TPixmap& operator=(const TPixmap&) = delete;
    ~TPixmap();
};

// Decodes a PNG file (or null). Exposed for the loaders and their tests.
TPixmap* LoadPixmapPNG(const char* path);
// Why the last LoadPixmapPNG or LoadImage failed: "path: reason", with
// libpng's own message for a damaged file.
const char* ImageLoadError();

// Pixel map operations; each returns a new map or null (bad size, no memory).
TPixmap* CreatePixmap(int width, int height, int format); // zero-filled
TPixmap* PixmapToRGBA(const TPixmap* src);                // grey into r, g, b; alpha 255
// RGBA copy where mask-coloured pixels get alpha 0 and the mean colour of
// their non-mask 3x3 neighbours (black when none); the rest alpha 255.
TPixmap* MaskPixmap(const TPixmap* src, int r, int g, int b);
TPixmap* ResizePixmap(const TPixmap* src, int width, int height); // box filter
// RGBA map of width x height with src in the top-left corner, its last
// column, last row and corner pixel repeated once beyond (the rest zero).
TPixmap* PadPixmap(const TPixmap* src, int width, int height);
