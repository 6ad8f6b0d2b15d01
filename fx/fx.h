// Screen effects: each copies the frame being drawn into a capture texture
// and draws it back as textured quads (moved, mirrored, scaled, tinted,
// added). Every effect saves and restores all GL attributes and both
// matrices, so the caller's 2D and 3D state survive it; it allocates nothing
// and never reads pixels back to the CPU. fx_init must run once after the GL
// context exists; screens up to 2048 x 2048 (larger ones are a fatal error).
#pragma once

#include <cstdint>

extern uint32_t fx_tex, fx_tex2; // capture textures
extern int32_t fx_tx, fx_ty;     // their size in texels
extern float fx_x, fx_y;         // screen size in pixels

// Side of the capture textures for one screen dimension: the smallest power
// of two from 256 to 2048 that holds it, -1 when none does.
int fx_texture_size(int pixels);
void fx_init(int width, int height); // fatal error for sizes outside 1..2048
void fx_shine(float r, float g, float b, float zstep, float angle);
void fx_kaleido(int blend, float bright);
void fx_separatergb(float dx, float dy);
void fx_blur();
void fx_squareblur(float size, int nearest, int overlay, float r, float g, float b);
void fx_duplicate(int n);
void fx_stack(int grab, int blend, float bright, float x);
