// Section 6, zooming number images (to 96 s): the five number images grow
// five-fold per second, one second apart, shaking and rocking; the frame is
// square-blurred and image 29 drawn sharp over it.
#include "demo/timeline.h"

#include "fx/fx.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"

void DrawSection6(Demo& d) {
    const double t = d.t;
    ShakeNumbers(t);
    double u[kNumberImages];
    for (int i = 0; i < kNumberImages; ++i)
        u[i] = std::fmod(t / 1000 + (5 - i), 5.0);
    DrawNumbers(d, u);
    fx_squareblur(40.0f, FX_LINEAR, FX_OVER_SHARP, 0.8f, 0.7f, 0.5f);
    SetScale(1.0f, 1.0f);
    DrawImage(d.images[29], 0.0f, 0.0f, 0);
}

bool Section6Frame(Demo& d) {
    Cls(); // at the top: this section does not clear after Flip
    ReadClock(d);
    DrawSection6(d);
    Flip(-1);
    return !KeyHit(kEscapeKey);
}
