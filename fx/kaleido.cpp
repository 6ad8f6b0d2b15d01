#include "fx/frame.h"
#include "fx/fx.h"

#include <GL/gl.h>

void fx_kaleido(FxBlend blend, float bright) {
    fx_frame_open(blend != FX_REPLACE, FX_CAPTURE_UPPER_LEFT);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor3f(bright, bright, bright);
    // Exact halves of the extent, so the quarter's right edge lands on x = 0
    // and its lower edge on y = 0 in every quad.
    const float hu = float(double(fx().fx_x) / fx().fx_tx / 2),
                hv = float(double(fx().fx_y) / fx().fx_ty / 2);
    glBegin(GL_QUADS);
    fx_quad_vertices(0, 0, hu, hv, -1, 0, 0, 1);  // upper left, as captured
    fx_quad_vertices(hu, 0, 0, hv, 0, 0, 1, 1);   // upper right, mirrored left-right
    fx_quad_vertices(0, hv, hu, 0, -1, -1, 0, 0); // lower left, mirrored top-bottom
    fx_quad_vertices(hu, hv, 0, 0, 0, -1, 1, 0);  // lower right, mirrored both ways
    glEnd();
    fx_frame_close();
}
