#include "platform/graphics.h"

#include "platform/draw2d.h"
#include "platform/frame_surface.h"
#include "platform/stop_signal.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

struct TGraphicsDriver {
    const char* name;
};

struct TGraphics {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    FrameSurface surface; // what the demo draws into
    bool gl_loaded = false;
    int width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
};

namespace {

const int kKeyCount = 256;

struct DisplayState {
    TGraphicsDriver* driver = nullptr;
    int default_flags = 0;
    TGraphics* display = nullptr;
    bool video_up = false;
    bool hidden = false;
    int hidden_width = 0, hidden_height = 0;
    int swap_interval = -2; // last one set on the current context; -2: none yet
    bool key_down[kKeyCount] = {};
    int key_hits[kKeyCount] = {};
    FlipHook flip_hook = nullptr;
    void* flip_user = nullptr;
    ExitHook exit_hook = nullptr;
};

DisplayState display_state;
TGraphicsDriver gl2d_driver = {"GL2D"};

// Maps SDL key codes onto the demo's key code space (see the header).
int KeyCode(SDL_Keycode k) {
    if (k == SDLK_ESCAPE) return 27;
    if (k == SDLK_RETURN || k == SDLK_KP_ENTER) return 13;
    if (k == SDLK_SPACE) return 32;
    if (k == SDLK_BACKSPACE) return 8;
    if (k == SDLK_TAB) return 9;
    if (k >= SDLK_0 && k <= SDLK_9) return 48 + (k - SDLK_0);
    if (k >= SDLK_a && k <= SDLK_z) return 65 + (k - SDLK_a);
    if (k == SDLK_LEFT) return 37;
    if (k == SDLK_UP) return 38;
    if (k == SDLK_RIGHT) return 39;
    if (k == SDLK_DOWN) return 40;
    return -1;
}

void ClearKeys() {
    for (int i = 0; i < kKeyCount; ++i) {
        display_state.key_down[i] = false;
        display_state.key_hits[i] = 0;
    }
}

void KeyEvent(int key, bool down) {
    if (key < 0 || key >= kKeyCount) return;
    if (down && !display_state.key_down[key]) ++display_state.key_hits[key];
    display_state.key_down[key] = down;
}

void CloseDisplay() {
    TGraphics* d = display_state.display;
    if (!d) return;
    if (d->context) {
        CloseFrameSurface(d->surface);
        SDL_GL_MakeCurrent(d->window, nullptr);
        SDL_GL_DeleteContext(d->context);
    }
    if (d->window) SDL_DestroyWindow(d->window);
    if (d->gl_loaded) SDL_GL_UnloadLibrary();
    delete d;
    display_state.display = nullptr;
    SDL_ShowCursor(SDL_ENABLE);
}

[[noreturn]] void Fatal(const char* message, const char* reason) {
    if (reason && *reason)
        std::fprintf(stderr, "ninefold: %s: %s\n", message, reason);
    else
        std::fprintf(stderr, "ninefold: %s\n", message);
    CloseDisplay();
    ExitProgram(1);
}

[[noreturn]] void NoDisplay(const char* reason) {
    Fatal("no display", reason);
}

// SDL falls back to drivers that show nothing (offscreen, dummy) when no
// display server answers; the demo would then play unseen.
bool ShowsNothing(const char* driver) {
    return !driver || !std::strcmp(driver, "offscreen") || !std::strcmp(driver, "dummy");
}

// Connections to a display server are occasionally refused while it is busy
// (Xvfb drops some handshakes under load), and SDL then silently falls back
// to a driver that shows nothing: try a few times before giving up.
void OpenVideo() {
    if (display_state.video_up) return;
    InstallStopSignals();
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    const bool named = (x && *x) || (wl && *wl);
    // Nothing names a display: say so before SDL probes its back ends (and
    // they print their own complaints), unless a back end was chosen.
    if (!named && !display_state.hidden && !(chosen && *chosen))
        NoDisplay("neither DISPLAY nor WAYLAND_DISPLAY is set");
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) NoDisplay(SDL_GetError());
        display_state.video_up = true;
        if (display_state.hidden || !ShowsNothing(SDL_GetCurrentVideoDriver())) return;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        display_state.video_up = false;
        if (!named) NoDisplay("neither DISPLAY nor WAYLAND_DISPLAY is set");
        SDL_Delay(100);
    }
    char reason[256];
    std::snprintf(reason, sizeof reason, "cannot open display \"%s\"", x && *x ? x : wl);
    NoDisplay(reason);
}

SDL_Window* OpenWindow(const TGraphics* d, bool cover_screen) {
    if (!cover_screen) {
        int w = display_state.hidden_width > 0 ? display_state.hidden_width : d->width;
        int h = display_state.hidden_height > 0 ? display_state.hidden_height : d->height;
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI;
        if (display_state.hidden) flags |= SDL_WINDOW_HIDDEN;
        return SDL_CreateWindow("ninefold", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                                flags);
    }
    // Created at the screen's own position and size, so it covers the screen
    // even where no window manager acts on the full-screen request.
    SDL_Rect screen = {0, 0, d->width, d->height};
    SDL_GetDisplayBounds(0, &screen);
    return SDL_CreateWindow("ninefold", screen.x, screen.y, screen.w, screen.h,
                            SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI |
                                SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
}

void PollEvents() {
    PollStopSignal();
    if (!display_state.video_up) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_KEYDOWN:
            KeyEvent(KeyCode(e.key.keysym.sym), true);
            break;
        case SDL_KEYUP:
            KeyEvent(KeyCode(e.key.keysym.sym), false);
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST ||
                e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                ClearKeys();
            break;
        case SDL_APP_TERMINATING:
            EndGraphics();
            ExitProgram(0);
        case SDL_QUIT: // the demo ends only by its own decision
        default:
            break;
        }
    }
}

} // namespace

TGraphicsDriver* GL2DDriver() {
    return &gl2d_driver;
}

void SetGraphicsDriver(TGraphicsDriver* driver, int defaultFlags) {
    display_state.driver = driver;
    display_state.default_flags = defaultFlags;
}

void RuntimeError(const char* message) {
    Fatal(message, nullptr);
}

TGraphics* Graphics(int width, int height, int depth, int hertz, int flags) {
    CloseDisplay();
    OpenVideo();

    auto* d = new TGraphics;
    d->width = width;
    d->height = height;
    d->depth = depth;
    d->hertz = hertz;
    d->flags = flags | display_state.default_flags;
    display_state.display = d;
    // Loaded here so that a machine without OpenGL is told so.
    if (SDL_GL_LoadLibrary(nullptr) != 0) Fatal("Unable to create GL Context", SDL_GetError());
    d->gl_loaded = true;

    // The window only shows the finished frame; depth, stencil and alpha
    // belong to the off-screen surface.
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (d->flags & GRAPHICS_BACKBUFFER) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);

    d->window = OpenWindow(d, depth != 0 && !display_state.hidden);
    if (!d->window) Fatal("Unable to set display mode", SDL_GetError());
    d->context = SDL_GL_CreateContext(d->window);
    if (!d->context) Fatal("Unable to create GL Context", SDL_GetError());
    SDL_GL_MakeCurrent(d->window, d->context);
    if (!OpenFrameSurface(d->surface, d->width, d->height, d->flags))
        Fatal("Unable to create GL Context", "no off-screen framebuffer");
    display_state.swap_interval = -2; // a new context starts with its own setting
    ClearKeys();
    ResetDraw2D(width, height);
    return d;
}

void EndGraphics() {
    CloseDisplay();
    if (display_state.video_up) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        display_state.video_up = false;
    }
}

void HideMouse() {
    SDL_ShowCursor(SDL_DISABLE);
}

void Flip(int sync) {
    TGraphics* d = display_state.display;
    if (!d) return;
    if (display_state.flip_hook) display_state.flip_hook(display_state.flip_user);
    int interval = sync;
    if (sync < 0) interval = (d->depth != 0 && d->hertz == 0) ? 1 : 0;
    if (display_state.hidden) interval = 0;
    // Set only when it changes: the demo presents with the same one every frame.
    if (interval != display_state.swap_interval) {
        SDL_GL_SetSwapInterval(interval);
        display_state.swap_interval = interval;
    }
    // A hidden window shows nothing: it gets the scaling pass only when a
    // size was asked for, to measure it.
    if (!display_state.hidden || display_state.hidden_width > 0) {
        PresentFrameSurface(d->surface, d->window);
        SDL_GL_SwapWindow(d->window);
    }
    PollEvents();
}

int KeyHit(int key) {
    PollEvents();
    if (key < 0 || key >= kKeyCount) return 0;
    int n = display_state.key_hits[key];
    display_state.key_hits[key] = 0;
    return n;
}

int GraphicsWidth() {
    return display_state.display ? display_state.display->width : 0;
}
int GraphicsHeight() {
    return display_state.display ? display_state.display->height : 0;
}
int GraphicsDepth() {
    return display_state.display ? display_state.display->depth : 0;
}
int GraphicsHertz() {
    return display_state.display ? display_state.display->hertz : 0;
}
int GraphicsFlags() {
    return display_state.display ? display_state.display->flags : 0;
}

void InjectKeyDown(int key) {
    KeyEvent(key, true);
}
void InjectKeyUp(int key) {
    KeyEvent(key, false);
}
void SetFlipHook(FlipHook hook, void* user) {
    display_state.flip_hook = hook;
    display_state.flip_user = user;
}
void SetHiddenDisplay(bool hidden, int window_width, int window_height) {
    display_state.hidden = hidden;
    display_state.hidden_width = window_width;
    display_state.hidden_height = window_height;
}
void SetExitHook(ExitHook hook) {
    display_state.exit_hook = hook;
}
void ExitProgram(int status) {
    if (display_state.exit_hook) display_state.exit_hook(status);
    std::exit(status);
}
