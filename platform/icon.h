// The window's icon for task bars and window switchers, from the installed
// data/icon.png. A missing or unreadable icon is no error, and no icon ever
// ends the program: a large one is scaled down to kMaxIconSide, and an X
// server that still refuses it leaves the window without one. Internal to
// platform/; main thread.
#pragma once

#include <SDL.h>

// Plenty for any task bar, and within the request size every X server takes.
const int kMaxIconSide = 256;

void SetWindowIconFromData(SDL_Window* window);
