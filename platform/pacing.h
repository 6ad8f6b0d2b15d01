// Frames in step with the display. Where the driver's vertical-blank wait
// really waits, presenting is enough; where it accepts the wait and presents
// at once (no GPU, virtual machines, remote desktops), Flip sleeps to
// deadlines one refresh period apart. Which of the two is measured from when
// presents land, not from how long one takes: a slow swap that waits still
// lands on the display's beat. Internal to platform/; main thread.
#pragma once

#include <cstdint>

struct FramePacing {
    bool in_software = false;
    int64_t period_ns = 0;
    int64_t next_ns = 0; // the next frame's deadline; 0 before the first
};

// How the presents of a driver are timed: present shows one (black) frame
// and returns when the driver does; now_ns reads a monotonic clock. The
// display passes SDL's swap and the system clock; tests script both.
struct PresentTiming {
    void (*present)(void* user);
    int64_t (*now_ns)(void* user);
    void* user;
};

// Presents a few frames and reports whether they land in step with the
// display, whole periods apart.
bool PresentsInStep(const PresentTiming& timing, int64_t period_ns);

// Sleeps until the next deadline, one period after the last one.
void WaitForFrameDeadline(FramePacing& pacing);
