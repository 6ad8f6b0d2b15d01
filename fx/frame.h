// Shared pieces of every effect: the open/close bracket that saves all GL
// state, the screen capture into fx_tex and textured axis-aligned quads.
// Internal to the effects module; all calls need the GL context's thread.
#pragma once

// Pushes all attributes, enables texturing, sets blending on or off, turns
// depth testing off and pushes an identity projection.
void fx_frame_open(bool blend);
// Binds fx_tex and copies the whole screen into its lower-left corner.
void fx_capture_screen();
// Pushes an identity model-view (the projection is already pushed).
void fx_frame_modelview();
// Pops the model-view, then the projection, then all attributes; the pop
// of the transform group brings back the caller's matrix mode.
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
