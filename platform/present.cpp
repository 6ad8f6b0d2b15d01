// Frame presentation: Flip and the hook that sees each finished frame.
#include "platform/graphics.h"

#include "platform/display.h"
#include "platform/events.h"

namespace {

struct FlipObserver {
    FlipHook hook = nullptr;
    void* user = nullptr;
};

FlipObserver flip_observer;

} // namespace

// sync -1: with a refresh rate asked for, software pacing at that rate;
// without, the vertical-blank wait in full screen (paced in software where
// the driver's wait does not wait) and none in a window.
void Flip(int sync) {
    TGraphics* d = CurrentDisplay();
    if (!d) return;
    if (flip_observer.hook) flip_observer.hook(flip_observer.user);
    int interval = sync;
    bool paced = false;
    if (sync < 0 && d->hertz != 0) {
        interval = 0;
        paced = true;
    } else if (sync < 0) {
        interval = d->depth != 0 ? 1 : 0;
    }
    paced |= interval == 1 && d->pacing.in_software;
    if (d->hidden) interval = 0, paced = false;
    // Set only when it changes: the demo presents with the same one every frame.
    if (interval != d->swap_interval) {
        SDL_GL_SetSwapInterval(interval);
        d->swap_interval = interval;
    }
    // A hidden window shows nothing: it gets the scaling pass only when a
    // size was asked for, to measure it.
    if (!d->hidden || d->measure_scaling) {
        PresentFrameSurface(d->surface, d->window);
        if (paced) WaitForFrameDeadline(d->pacing);
        SDL_GL_SwapWindow(d->window);
    }
    PollDisplayEvents();
}

void SetFlipHook(FlipHook hook, void* user) {
    flip_observer.hook = hook;
    flip_observer.user = user;
}
