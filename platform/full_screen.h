// Full screen that holds: the window manager's full-screen state confirmed
// on X11, where a request sent while the manager is still taking the window
// on (weston's Xwayland) is dropped without a word. Internal to platform/;
// main thread.
#pragma once

#include <SDL.h>

// Waits, at most a second, until a running window manager shows the window
// in full screen, asking again every tenth of a second; returns at once on
// other video drivers and where no window manager runs, including where the
// root window still names the check window of a manager that has exited.
void ConfirmFullScreen(SDL_Window* window);
