// The 2D drawing layer: PNG pictures as OpenGL textures, drawn as quads under
// one global drawing state (blend mode, colour, alpha, rotation, scale),
// plus lines and clearing. Pictures are masked on black. Draws through the
// current projection and model-view matrices of the display opened by
// Graphics; fixed-function GL.
// Caches the blend mode, the bound texture and the texturing switch, so code
// that changes GL state directly must save and restore it (glPushAttrib).
// Loaders return null, print nothing and leave the reason in
// ImageLoadError(); pictures stay loaded until exit (limits: pixmap.h).
#pragma once

#include "platform/pixmap.h"
#include "platform/texture.h"

#include <cstdint>

enum { MASKEDIMAGE = 1, FILTEREDIMAGE = 2, MIPMAPPEDIMAGE = 4 };
const int DEFAULTIMAGEFLAGS = -1; // the layer's default: masked and filtered

struct TImage {
    int width = 0, height = 0;
    float handle_x = 0, handle_y = 0;
    int flags = 0;
    TPixmap* pixmap = nullptr;
    TextureFrame frame; // made on first draw
};

TImage* LoadImage(const char* path, int flags = DEFAULTIMAGEFLAGS);
void MidHandleImage(TImage* image);
void AutoMidHandle(int enable);
void DrawImage(TImage* image, float x, float y, int frame = 0);
// Makes the picture's texture now instead of at its first draw; draws nothing.
void PrepareImage(TImage* image);

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

// Centred coordinates, y down, for a width x height frame: (0, 0) at the
// centre, x from -width/2 (left) to width/2, y from -height/2 (top) to
// height/2. Replaces the projection; stays in force until the next one.
void SetCentredProjection(int width, int height);

// Called by Graphics when a display becomes current: resets GL and the caches.
void ResetDraw2D(int width, int height);
