// Section 7, shrinking number images (to 112 s): section 6 backwards at half
// the speed, with the shine in place of the square blur.
#include "demo/timeline.h"

#include "fx/fx.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"

#include <GL/gl.h>

void DrawSection7(Demo& d) {
    const double t = d.t;
    glMatrixMode(GL_MODELVIEW);
    ShakeNumbers(t);
    // The large multiple of 5 keeps fmod's argument, and so the phase,
    // positive for the whole demo.
    double u[kNumberImages];
    for (int i = 0; i < kNumberImages; ++i)
        u[i] = std::fmod(1000000.0 - t / 2000 + (5 - i), 5.0);
    DrawNumbers(d, u);
    fx_shine(0.05f, 0.05f, 0.05f, 0.03f, 3.0f);
    SetScale(1.0f, 1.0f);
    DrawImage(d.images[29], 0.0f, 0.0f, 0);
}

bool Section7Frame(Demo& d) {
    Cls();
    ReadClock(d);
    DrawSection7(d);
    Flip(-1);
    return !KeyHit(kEscapeKey);
}
