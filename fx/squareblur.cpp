#include "fx/frame.h"
#include "fx/fx.h"

#include <GL/gl.h>

void fx_squareblur(float size, FxMagnify magnify, FxOverlay overlay, float r, float g, float b) {
    fx_frame_open(false);
    glClear(GL_COLOR_BUFFER_BIT);
    const float u = fx_extent_u(), v = fx_extent_v();

    // Shrink into the lower-left size x size pixels. No colour is set: the
    // caller's current colour tints the reduction.
    const float sx = -1 + 2 * size / fx().fx_x, sy = -1 + 2 * size / fx().fx_y;
    fx_quad(0, 0, u, v, -1, -1, sx, sy);
    glBindTexture(GL_TEXTURE_2D, fx().fx_tex2);
    const GLsizei n = GLsizei(size);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, n, n);
    // Set on every call: it is what makes the mosaic or the blur.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER,
                    magnify == FX_NEAREST ? GL_NEAREST : GL_LINEAR);
    glColor3f(1, 1, 1);
    glBlendFunc(GL_ONE, GL_ONE);
    if (overlay == FX_OVER_SHARP) {
        // Unblended: the sharp capture replaces the cleared screen and the
        // shrunk copy, then the stretched copy is added onto it.
        glBindTexture(GL_TEXTURE_2D, fx().fx_tex);
        fx_screen_quad();
        glEnable(GL_BLEND);
    } else {
        glDisable(GL_BLEND);
    }
    glColor3f(r, g, b);
    glBindTexture(GL_TEXTURE_2D, fx().fx_tex2);
    // From the unrounded size, like the shrink geometry.
    const float su = size / fx().fx_tx, sv = size / fx().fx_ty;
    fx_quad(0, 0, su, sv, -1, -1, 1, 1);
    fx_frame_close();
}
