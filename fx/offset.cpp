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
// passes; otherwise each pass sets its own after its translation.
void draw_offset_passes(const OffsetPass* passes, int count, bool one_colour) {
    fx_frame_open(true);
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
    }
    fx_frame_close();
}

} // namespace

void fx_separatergb(float dx, float dy) {
    // Green is drawn with a zero shift rather than skipped, like the others.
    const OffsetPass passes[3] = {{dx, dy, 1, 0, 0}, {0, 0, 0, 1, 0}, {-dx, -dy, 0, 0, 1}};
    draw_offset_passes(passes, 3, false);
}

void fx_blur() {
    const float d = 0.003f; // about one pixel on an 800x600 screen
    const float e = 0.125f; // eight eighths keep the brightness
    const OffsetPass passes[8] = {{0, d, e, e, e},  {0, -d, e, e, e}, {-d, 0, e, e, e},
                                  {d, 0, e, e, e},  {d, d, e, e, e},  {d, -d, e, e, e},
                                  {-d, d, e, e, e}, {-d, -d, e, e, e}};
    draw_offset_passes(passes, 8, true);
}
