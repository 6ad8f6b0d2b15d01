// Section 5, picture overlays (to 80 s): image 14 behind image 1 drifting
// up and left, and from 66 s seven overlays in turn near the top-left.
#include "demo/timeline.h"

#include "platform/draw2d.h"

#include <iterator>

namespace {

// Window 2 closes at 70.03 s, so slots 16 and 17 share 70001 to 70029 ms.
const TimedPicture kOverlays[] = {
    {66, 68, 15}, {68, double(70.03f), 16}, {70, 72, 17}, {72, 74, 22}, {74, 76, 19}, {76, 78, 18},
    {78, 80, 21}};

} // namespace

void DrawSection5(Demo& d) {
    const double t = d.t;
    const double s = t / 100;
    SetPlainDrawing(kAlphaBlend);
    DrawImage(d.images[14], -400, -300, 0);
    DrawImage(d.images[1], float(600 - s), float(-40 - s / 10), 0);
    DrawTimedPictures(d, kOverlays, int(std::size(kOverlays)), -400, -280);
}

bool Section5Frame(Demo& d) {
    ReadClock(d);
    DrawSection5(d);
    return PresentAndClear();
}
