// The demo clock, the section runner and the common exit: the main program
// reads top to bottom as start-up, start mark and music, nine sections, exit.
#include "demo/timeline.h"
#include "demo/demo.h"

#include "platform/audio/audio.h"
#include "platform/draw2d.h"
#include "platform/graphics.h"

#include <vector>

void ReadClock(Demo& d) {
    d.t = double(int32_t(uint32_t(MilliSecs()) - uint32_t(d.start_ms)));
}

bool RunSection(Demo& d, double end_s, SectionFrame frame) {
    // The test uses the previous frame's t, so a section's last frame is
    // drawn with a t that already meets its end, and a section whose end
    // the previous section's last frame passed draws nothing.
    while (d.t / 1000 < end_s)
        if (!frame(d)) return false;
    return true;
}

void DrawTimedPictures(const Demo& d, const TimedPicture* list, int count, float x, float y) {
    for (int i = 0; i < count; ++i)
        if (InWindow(d.t, list[i].from_s, list[i].to_s)) DrawImage(d.images[list[i].slot], x, y, 0);
}

namespace {

void StartClockAndMusic(Demo& d) {
    // The mark comes first: the time PlaySound takes already counts.
    d.start_ms = MilliSecs();
    PlaySound(d.soundtrack);
}

bool RunTimeline(Demo& d) {
    return Section1(d) && Section2(d) && Section3(d) && Section4(d) && Section5(d) && Section6(d) &&
           Section7(d) && Section8(d) && Section9(d);
}

// Reached at the end, on Escape and when start-up fails. Resources stay
// loaded: the process ends right after.
void CommonExit() {
    EndGraphics();
}

} // namespace

void DemoMain() {
    // Kept to the end of the process like the resources it holds, and
    // reachable, so that a leak check at exit tells them from lost memory
    // (tests run the timeline several times in one process). The list is
    // never destroyed: static destructors run before that check.
    static std::vector<Demo*>& runs = *new std::vector<Demo*>;
    runs.push_back(new Demo);
    Demo& demo = *runs.back();
    if (StartUp(demo)) {
        StartClockAndMusic(demo);
        RunTimeline(demo);
    }
    CommonExit();
}
