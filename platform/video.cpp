#include "platform/video.h"

#include "platform/process.h"
#include "platform/stop_signal.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Connections to a display server are occasionally refused while it is busy
// (Xvfb drops some handshakes under load), and SDL then silently falls back
// to a driver that shows nothing, or fails: a second covers a busy server.
const int kConnectTries = 10;
const Uint32 kConnectRetryMs = 100;

[[noreturn]] void NoDisplay(const char* reason) {
    RuntimeError("no display", reason);
}

// SDL falls back to drivers that show nothing (offscreen, dummy) when no
// display server answers; the demo would then play unseen.
bool ShowsNothing(const char* driver) {
    return !driver || !std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy");
}

} // namespace

void OpenVideo(bool hidden) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return;
    InstallStopSignals();
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    const bool named = (x && *x) || (wl && *wl);
    const bool user_chose = chosen && *chosen;
    // Nothing names a display: say so before SDL probes its back ends (and
    // they print their own complaints), unless a back end was chosen.
    if (!named && !hidden && !user_chose) NoDisplay("neither DISPLAY nor WAYLAND_DISPLAY is set");
    // Without a Wayland display SDL would still try Wayland first, and
    // libwayland prints its complaints (no XDG_RUNTIME_DIR) for a stale X one.
    const bool x11_only = x && *x && !(wl && *wl) && !user_chose;
    if (x11_only) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    // A borderless full-screen window needs no decorations, and libdecor
    // complains on stderr when it finds no plugin.
    SDL_SetHint(SDL_HINT_VIDEO_WAYLAND_ALLOW_LIBDECOR, "0");
    for (int attempt = 0; attempt < kConnectTries; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            if (hidden || !ShowsNothing(SDL_GetCurrentVideoDriver())) return;
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        } else if (!x11_only) {
            NoDisplay(SDL_GetError());
        }
        if (!named) NoDisplay("neither DISPLAY nor WAYLAND_DISPLAY is set");
        SDL_Delay(kConnectRetryMs);
    }
    char reason[256];
    std::snprintf(reason, sizeof reason, "cannot open display \"%s\"", x && *x ? x : wl);
    NoDisplay(reason);
}

void CloseVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}
