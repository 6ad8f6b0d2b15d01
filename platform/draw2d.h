// The 2D drawing layer: PNG pictures as OpenGL textures, drawn as quads under
// one global drawing state (blend mode, colour, alpha, rotation, scale),
// plus lines and clearing. Pictures are masked on black. Draws through the
// current projection and model-view matrices of the display opened by
// Graphics; fixed-function GL.
// Caches the blend mode, the bound texture and the texturing switch, so code
// that changes GL state directly must save and restore it (glPushAttrib).
// Loaders return null, print nothing and leave the reason in
// ImageLoadError(); pictures stay loaded until exit.
// Pictures: regular PNG files of at most 64 MB and 4096 x 4096 pixels (64 MB
// as RGBA), checked before any pixel memory is taken.
#pragma once

#include <cstdint>

enum { PF_I8 = 1, PF_RGB888 = 3, PF_RGBA8888 = 4 }; // TPixmap formats: bytes per pixel
enum { MASKEDIMAGE = 1, FILTEREDIMAGE = 2, MIPMAPPEDIMAGE = 4 };
const int DEFAULTIMAGEFLAGS = -1; // the layer's default: masked and filtered

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

struct TImage {
    int width = 0, height = 0;
    float handle_x = 0, handle_y = 0;
    int flags = 0;
    TPixmap* pixmap = nullptr;
    // Texture frame, made on first draw.
    uint32_t texture = 0;
    int tex_width = 0, tex_height = 0;
    float umax = 0, vmax = 0;
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

TImage* LoadImage(const char* path, int flags = DEFAULTIMAGEFLAGS);
void MidHandleImage(TImage* image);
void AutoMidHandle(int enable);
void DrawImage(TImage* image, float x, float y, int frame = 0);

// Blend modes: mask (alpha test, no blending), solid, alpha, light
// (additive), shade (multiply); any other value draws like solid.
enum { kMaskBlend = 1, kSolidBlend = 2, kAlphaBlend = 3, kLightBlend = 4, kShadeBlend = 5 };
void SetBlend(int mode);
void SetAlpha(float alpha);         // clamped to 0..1
void SetColor(int r, int g, int b); // clamped to 0..255
void SetRotation(float degrees);
void SetScale(float sx, float sy);
void SetLineWidth(float width);
void DrawLine(float x, float y, float x2, float y2, int drawLastPixel = 1);
void Cls(); // to black, colour buffer only

// Called by Graphics when a display becomes current: resets GL and the caches.
void ResetDraw2D(int width, int height);
