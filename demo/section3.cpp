// Section 3, background and captions (to 47.974 s): image 7 behind image 1
// sliding right, and from 36 s six captions in turn near the top.
#include "demo/timeline.h"

#include "platform/draw2d.h"

#include <iterator>

namespace {

// Image 13 comes before image 12; 9's window overlaps 10's by 30 ms.
const TimedPicture kCaptions[] = {
    {36, 38, 8}, {38, double(40.03f), 9}, {40, 42, 10}, {42, 44, 11}, {44, 46, 13}, {46, 48, 12}};

} // namespace

void DrawSection3(Demo& d) {
    const double t = d.t;
    SetPlainDrawing(kAlphaBlend);
    DrawImage(d.images[7], -400, -300, 0);
    DrawImage(d.images[1], float(-700 + t / 100), float(-70 - t / 1000), 0);
    DrawTimedPictures(d, kCaptions, int(std::size(kCaptions)), -400, -280);
}

bool Section3Frame(Demo& d) {
    ReadClock(d);
    DrawSection3(d);
    return PresentAndClear();
}
