// Section 7, shrinking number images (to 112 s): section 6 backwards at half
// the speed, with the shine in place of the square blur.
#include "demo/timeline.h"

#include "fx/fx.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"

#include <GL/gl.h>

namespace {

bool Frame(Demo& d) {
    Cls();
    ReadClock(d);
    const double t = d.t;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(float(20 * Sin(t / 10)), float(20 * Cos(t / 13)), 0.0f);
    SetRotation(float(20 * Sin(t / 10)));
    for (int i = 0; i < kNumberImages; ++i) {
        // The large multiple of 5 keeps fmod's argument, and so the phase,
        // positive for the whole demo.
        const double u = std::fmod(1000000.0 - t / 2000 + (5 - i), 5.0);
        const double s = double(0.003f) * std::exp(u * std::log(5.0));
        SetScale(float(s), float(s));
        DrawImage(d.numbers[i], 0.0f, 0.0f, 0);
    }
    fx_shine(0.05f, 0.05f, 0.05f, 0.03f, 3.0f);
    SetScale(1.0f, 1.0f);
    DrawImage(d.images[29], 0.0f, 0.0f, 0);
    Flip(-1);
    return !KeyHit(27);
}

} // namespace

bool Section7(Demo& d) {
    return RunSection(d, 112.0, Frame);
}
