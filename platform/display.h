// The open display as the platform's units share it: the window, its
// context, the off-screen surface the demo draws into, the pacing chosen for
// it and the settings it was opened with. Internal to platform/; main thread.
#pragma once

#include "platform/frame_surface.h"
#include "platform/pacing.h"

#include <SDL.h>

struct TGraphics {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    FrameSurface surface; // what the demo draws into
    FramePacing pacing;
    bool gl_loaded = false;
    bool hidden = false;          // a hidden window: Flip never waits
    bool measure_scaling = false; // hidden, yet the scaling pass runs (a window size was given)
    int swap_interval = -2;       // last one set on the context; -2: none yet
    int width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
};

// The open display, or null.
TGraphics* CurrentDisplay();
