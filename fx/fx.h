// Screen effects: each copies the frame being drawn into a capture texture
// and draws it back as textured quads (moved, mirrored, scaled, tinted,
// added). Every effect saves and restores all GL attributes and both
// matrices, so the caller's 2D and 3D state survive it; it allocates nothing
// and never reads pixels back to the CPU. fx_init must run once after the GL
// context exists; screens up to 2048 x 2048 (larger ones are a fatal error).
#pragma once

#include <cstdint>

// What fx_init made, read by every effect; zero before it.
struct FxState {
    uint32_t fx_tex = 0, fx_tex2 = 0; // capture textures
    int32_t fx_tx = 0, fx_ty = 0;     // their size in texels
    float fx_x = 0, fx_y = 0;         // screen size in pixels
};
const FxState& fx();

// How an effect puts its result on the frame.
enum FxBlend { FX_REPLACE = 0, FX_ADD = 1 };
// How the square blur magnifies its reduced image, and whether it lays it
// over the sharp frame or in its place.
enum FxMagnify { FX_LINEAR = 0, FX_NEAREST = 1 };
enum FxOverlay { FX_ALONE = 0, FX_OVER_SHARP = 1 };

void fx_init(int width, int height); // fatal error for sizes outside 1..2048
void fx_shine(float r, float g, float b, float zstep, float angle);
void fx_kaleido(FxBlend blend, float bright);
// grab false: split the last capture again, for a caller whose frame has not
// changed since (a copy of the whole screen saved).
void fx_separatergb(float dx, float dy, bool grab = true);
void fx_blur();
void fx_squareblur(float size, FxMagnify magnify, FxOverlay overlay, float r, float g, float b);
void fx_duplicate(int n);
// grab: capture the screen first, else draw the last capture made.
void fx_stack(bool grab, FxBlend blend, float bright, float x);
