#include "fx/frame.h"
#include "fx/fx.h"
#include "platform/graphics.h"

#include <GL/gl.h>

#include <cstdio>

namespace {
FxState state;
} // namespace

const FxState& fx() {
    return state;
}

// Side of the capture textures for one screen dimension: the smallest power
// of two from 256 to 2048 that holds it, -1 when none does.
static int fx_texture_size(int pixels) {
    for (int s = 256; s <= 2048; s *= 2)
        if (s >= pixels) return s;
    return -1;
}

void fx_init(int width, int height) {
    // A texture side of -1 would only fail inside GL, silently, and every
    // effect after it would draw garbage; stop with a reason instead.
    if (width < 1 || height < 1 || fx_texture_size(width) < 0 || fx_texture_size(height) < 0) {
        char message[128];
        std::snprintf(message, sizeof message,
                      "fx_init: screen %dx%d does not fit 2048x2048 capture textures (needs 1 to "
                      "2048 pixels each way)",
                      width, height);
        RuntimeError(message);
    }
    state.fx_x = float(width);
    state.fx_y = float(height);
    state.fx_tx = fx_texture_size(width);
    state.fx_ty = fx_texture_size(height);

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    GLuint names[2] = {};
    glGenTextures(1, &names[0]);
    glGenTextures(1, &names[1]);
    state.fx_tex = names[0];
    state.fx_tex2 = names[1];
    for (GLuint texture : names) {
        glBindTexture(GL_TEXTURE_2D, texture);
        // Client state: not restored by the pop below, and meant to stay.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        // No data: captures fill the lower-left corner before anything reads it.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, state.fx_tx, state.fx_ty, 0, GL_RGB,
                     GL_UNSIGNED_BYTE, nullptr);
    }
    glPopAttrib();
}

void fx_frame_open(bool blend, FxCapture capture, const FxFrustum* frustum) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_TEXTURE_2D);
    if (blend)
        glEnable(GL_BLEND);
    else
        glDisable(GL_BLEND);
    // Effects draw over the whole screen and must leave the depth buffer of a
    // 3D view they run inside untouched.
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    if (frustum)
        glFrustum(frustum->left, frustum->right, frustum->bottom, frustum->top, frustum->near_z,
                  frustum->far_z);
    glBindTexture(GL_TEXTURE_2D, state.fx_tex);
    if (capture == FX_CAPTURE_SCREEN) {
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, GLsizei(state.fx_x), GLsizei(state.fx_y));
    } else if (capture == FX_CAPTURE_UPPER_LEFT) {
        const GLint half_w = GLint(state.fx_x / 2), half_h = GLint(state.fx_y / 2);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, half_h, half_w, half_h);
    }
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void fx_frame_close() {
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}

// Divided in double and then narrowed, so that odd sizes round once.
float fx_extent_u() {
    return float(double(state.fx_x) / state.fx_tx);
}
float fx_extent_v() {
    return float(double(state.fx_y) / state.fx_ty);
}

void fx_quad_vertices(float s0, float t0, float s1, float t1, float x0, float y0, float x1,
                      float y1, float z) {
    glTexCoord2f(s0, t0);
    glVertex3f(x0, y0, z);
    glTexCoord2f(s1, t0);
    glVertex3f(x1, y0, z);
    glTexCoord2f(s1, t1);
    glVertex3f(x1, y1, z);
    glTexCoord2f(s0, t1);
    glVertex3f(x0, y1, z);
}

void fx_quad(float s0, float t0, float s1, float t1, float x0, float y0, float x1, float y1,
             float z) {
    glBegin(GL_QUADS);
    fx_quad_vertices(s0, t0, s1, t1, x0, y0, x1, y1, z);
    glEnd();
}

void fx_screen_quad() {
    fx_quad(0, 0, fx_extent_u(), fx_extent_v(), -1, -1, 1, 1);
}
