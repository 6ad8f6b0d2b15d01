// Section 6, zooming number images (to 96 s): the five number images grow
// five-fold per second, one second apart, shaking and rocking; the frame is
// square-blurred and image 29 drawn sharp over it.
#include "demo/timeline.h"

#include "fx/fx.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"

#include <GL/gl.h>

namespace {

bool Frame(Demo& d) {
    Cls(); // at the top: this section does not clear after Flip
    ReadClock(d);
    const double t = d.t;
    // The 2D layer draws through the model-view matrix: this shakes every
    // picture of the frame.
    glLoadIdentity();
    glTranslatef(float(20 * Sin(t / 10)), float(20 * Cos(t / 13)), 0.0f);
    SetRotation(float(20 * Sin(t / 10)));
    for (int i = 0; i < kNumberImages; ++i) {
        const double u = std::fmod(t / 1000 + (5 - i), 5.0);
        const double s = double(0.003f) * std::exp(u * std::log(5.0));
        SetScale(float(s), float(s));
        DrawImage(d.numbers[i], 0.0f, 0.0f, 0);
    }
    fx_squareblur(40.0f, 0, 1, 0.8f, 0.7f, 0.5f);
    SetScale(1.0f, 1.0f);
    DrawImage(d.images[29], 0.0f, 0.0f, 0);
    Flip(-1);
    return !KeyHit(27);
}

} // namespace

bool Section6(Demo& d) {
    return RunSection(d, 96.0, Frame);
}
