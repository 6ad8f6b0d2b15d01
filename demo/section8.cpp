// Section 8, closing picture (to 135 s): image 23, opaque, split into its
// colours swaying sideways against each other.
#include "demo/timeline.h"

#include "fx/fx.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"

#include <GL/gl.h>

namespace {

bool Frame(Demo& d) {
    ReadClock(d);
    const double t = d.t;
    SetBlend(2); // solid: the picture is opaque whatever its alpha holds
    SetAlpha(1.0f);
    SetRotation(0.0f);
    SetColor(255, 255, 255);
    DrawImage(d.images[23], -400, -300, 0);
    // Tested before the effect and the presentation: the frame is then never shown.
    if (KeyHit(27)) return false;
    const double w = 40 * Sin(t / 4) + 180;
    fx_separatergb(float(Sin(4 * w) / 30), 0.0f);
    Flip(-1);
    Cls();
    return true;
}

} // namespace

bool Section8(Demo& d) {
    // Once after section 7, even when section 8 itself draws no frame:
    // remove the shake of sections 6 and 7 and their last scale.
    glLoadIdentity();
    SetScale(1.0f, 1.0f);
    return RunSection(d, 135.0, Frame);
}
