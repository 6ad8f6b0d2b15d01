// Section 1, opening pictures (0 to 15.9 s): two pictures sliding along the
// top, image 2 fading in from 4 s, image 3 in its place from 8.02 s.
#include "demo/timeline.h"

#include "platform/draw2d.h"

// Image 2 fades in until image 3 takes its place.
const double kImage3From = double(8.02f);

void DrawSection1(Demo& d) {
    const double t = d.t;
    SetAlpha(1.0f);
    DrawImage(d.images[0], float(-600 + t / 200), -300, 0);
    DrawImage(d.images[1], float(-t / 100), float(-70 - t / 1000), 0);
    if (InWindow(t, 4, kImage3From)) {
        // A fixed step per frame: the fade's speed follows the frame rate.
        d.fade_in += double(0.01f);
        if (d.fade_in > 1.0) d.fade_in = 1.0;
        SetAlpha(float(d.fade_in));
        DrawImage(d.images[2], 70, -280, 0);
    }
    if (InWindow(t, kImage3From, kSection1End)) DrawImage(d.images[3], 0, -280, 0);
}

bool Section1Frame(Demo& d) {
    ReadClock(d);
    DrawSection1(d);
    return PresentAndClear();
}
