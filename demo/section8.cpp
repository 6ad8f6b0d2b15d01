// Section 8, closing picture (to 135 s): image 23, opaque, split into its
// colours swaying sideways against each other.
#include "demo/timeline.h"

#include "fx/fx.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"

namespace {

// From the section's second frame on, what lies under the split is the same
// in every frame: the frame the previous one cleared, then image 23 where it
// always is. The split copies it there once and from then on splits that
// copy, which covers the whole screen: the picture is neither drawn nor
// copied again.
bool ClosingPictureCaptured(const Demo& d) {
    return d.closing_splits >= 2;
}

} // namespace

void DrawClosingPicture(Demo& d) {
    SetPlainDrawing(kSolidBlend); // opaque whatever the picture's alpha holds
    if (!ClosingPictureCaptured(d)) DrawImage(d.images[23], -400, -300, 0);
}

void SplitClosingPicture(Demo& d) {
    const double w = 40 * Sin(d.t / 4) + 180;
    fx_separatergb(float(Sin(4 * w) / 30), 0.0f, !ClosingPictureCaptured(d));
    ++d.closing_splits;
}

bool Section8Frame(Demo& d) {
    ReadClock(d);
    DrawClosingPicture(d);
    // Tested before the effect and the presentation: the frame is then never shown.
    if (KeyHit(kEscapeKey)) return false;
    SplitClosingPicture(d);
    Flip(-1);
    Cls();
    return true;
}
