// Shared pieces of every effect: the open/close bracket that saves all GL
// state and makes the capture, and textured axis-aligned quads.
// Internal to the effects module; all calls need the GL context's thread.
#pragma once

// What an effect copies into fx_tex as it opens.
enum FxCapture {
    FX_CAPTURE_SCREEN,     // the whole screen into the lower-left corner
    FX_CAPTURE_UPPER_LEFT, // the upper-left quarter into the lower-left corner
    FX_CAPTURE_NONE,       // nothing: fx_tex keeps the last capture
};

// A perspective projection for an effect (glFrustum's bounds).
struct FxFrustum {
    float left, right, bottom, top, near_z, far_z;
};

// Opens an effect, always in this order: push all attributes, texturing on,
// blending on or off, depth test off, push an identity projection (times
// the frustum when given), bind fx_tex and capture, push an identity
// model-view. fx_frame_close pops both matrices and the attributes again;
// the pop of the transform group brings back the caller's matrix mode.
void fx_frame_open(bool blend, FxCapture capture = FX_CAPTURE_SCREEN,
                   const FxFrustum* frustum = nullptr);
void fx_frame_close();

// Upper-right texture coordinate of a capture (screen / texture size).
float fx_extent_u();
float fx_extent_v();

// Four vertices of one quad inside an open glBegin(GL_QUADS): texture
// (s0,t0)..(s1,t1) onto positions (x0,y0)..(x1,y1) at depth z, starting at
// the (s0,t0) corner and going to s1, then to t1. Mirrored quads swap ends.
void fx_quad_vertices(float s0, float t0, float s1, float t1, float x0, float y0, float x1,
                      float y1, float z = 0);
// The same as one glBegin/glEnd.
void fx_quad(float s0, float t0, float s1, float t1, float x0, float y0, float x1, float y1,
             float z = 0);
// The capture drawn back over the whole screen, each pixel onto its place
// when both matrices are identity.
void fx_screen_quad();
