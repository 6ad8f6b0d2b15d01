#include "platform/events.h"

#include "platform/keyboard.h"
#include "platform/process.h"
#include "platform/stop_signal.h"

#include <SDL.h>

void PollDisplayEvents() {
    PollStopSignal();
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_KEYDOWN:
            KeyboardEvent(e.key.keysym.sym, true);
            break;
        case SDL_KEYUP:
            KeyboardEvent(e.key.keysym.sym, false);
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST ||
                e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                ClearKeys();
            break;
        case SDL_APP_TERMINATING:
            ExitProgram(0); // its cleanup closes the display
        case SDL_QUIT:      // the demo ends only by its own decision
        default:
            break;
        }
    }
}
