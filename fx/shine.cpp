#include "fx/frame.h"
#include "fx/fx.h"

#include <GL/gl.h>

void fx_shine(float r, float g, float b, float zstep, float angle) {
    // At distance 1 this frustum spans exactly the 4:3 quad below; the bounds
    // are single-precision values on purpose.
    const FxFrustum frustum = {-0.01f, 0.01f, -0.0075f, 0.0075f, 0.01f, 1135};
    fx_frame_open(true, FX_CAPTURE_SCREEN, &frustum);
    glBlendFunc(GL_ONE, GL_ONE);
    const float u = fx_extent_u(), v = fx_extent_v();
    for (int k = 1; k <= 15; ++k) {
        // Not reset between copies: each one moves and turns one step further.
        glTranslatef(0, 0, zstep);
        glRotatef(angle, 0, 0, 1);
        glColor3f(r, g, b);
        fx_quad(0, 0, u, v, -1, -0.75f, 1, 0.75f, -1);
    }
    fx_frame_close();
}
