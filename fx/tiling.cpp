#include "fx/frame.h"
#include "fx/fx.h"

#include <GL/gl.h>

void fx_duplicate(int n) {
    fx_frame_open(false);
    glColor3f(1, 1, 1);
    const float u = fx_extent_u(), v = fx_extent_v();
    const float count = float(n);
    // Bottom row first, left column first; n <= 0 draws no tile.
    for (float i = 0; i <= count - 1; i += 1) {
        for (float j = 0; j <= count - 1; j += 1) {
            const float x0 = -1 + 2 * j / count, x1 = -1 + 2 * (j + 1) / count;
            const float y0 = -1 + 2 * i / count, y1 = -1 + 2 * (i + 1) / count;
            fx_quad(0, 0, u, v, x0, y0, x1, y1);
        }
    }
    fx_frame_close();
}

void fx_stack(bool grab, FxBlend blend, float bright, float x) {
    // Without grab the column shows whatever the last capture left in fx_tex.
    fx_frame_open(blend != FX_REPLACE, grab ? FX_CAPTURE_SCREEN : FX_CAPTURE_NONE);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(bright, bright, bright);
    glTranslatef(x, -0.975f, 0);
    const float u = fx_extent_u(), v = fx_extent_v();
    for (int k = 0; k < 5; ++k) {
        fx_quad(0, 0, u, v, 0, 0, 0.33f, 0.33f);
        glTranslatef(0, 0.4f, 0); // accumulates up the column
    }
    fx_frame_close();
}
