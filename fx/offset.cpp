#include "fx/frame.h"
#include "fx/fx.h"

#include <GL/gl.h>

namespace {

struct OffsetPass {
    float ox, oy;
    float r, g, b;
};

// Rebuilds the frame from shifted copies of its capture, each added onto the
// clear colour. With one_colour the first pass's colour is set once for all
// passes; otherwise each pass sets its own after its translation. A first
// pass without a shift covers the whole screen: laid unblended, it stands in
// for the clear and its own addition onto it, one full-screen pass less.
void draw_offset_passes(const OffsetPass* passes, int count, bool one_colour,
                        FxCapture capture = FX_CAPTURE_SCREEN) {
    fx_frame_open(true, capture);
    const bool covers = passes[0].ox == 0 && passes[0].oy == 0;
    if (covers)
        glDisable(GL_BLEND);
    else
        glClear(GL_COLOR_BUFFER_BIT);
    glBlendFunc(GL_ONE, GL_ONE);
    if (one_colour) glColor3f(passes[0].r, passes[0].g, passes[0].b);
    for (int i = 0; i < count; ++i) {
        const OffsetPass& p = passes[i];
        glPushMatrix(); // offsets must not accumulate
        glTranslatef(p.ox, p.oy, 0);
        if (!one_colour) glColor3f(p.r, p.g, p.b);
        fx_screen_quad();
        glPopMatrix();
        if (i == 0 && covers) glEnable(GL_BLEND);
    }
    fx_frame_close();
}

} // namespace

void fx_separatergb(float dx, float dy, bool grab) {
    // Each colour lands in its own channel, so the order of the additions
    // does not matter: green, unshifted, goes first and covers the screen.
    const OffsetPass passes[3] = {{0, 0, 0, 1, 0}, {dx, dy, 1, 0, 0}, {-dx, -dy, 0, 0, 1}};
    draw_offset_passes(passes, 3, false, grab ? FX_CAPTURE_SCREEN : FX_CAPTURE_NONE);
}

void fx_blur() {
    const float d = 0.003f; // about one pixel on an 800x600 screen
    const float e = 0.125f; // eight eighths keep the brightness
    const OffsetPass passes[8] = {{0, d, e, e, e},  {0, -d, e, e, e}, {-d, 0, e, e, e},
                                  {d, 0, e, e, e},  {d, d, e, e, e},  {d, -d, e, e, e},
                                  {-d, d, e, e, e}, {-d, -d, e, e, e}};
    draw_offset_passes(passes, 8, true);
}
