#include "platform/graphics.h"

#include "platform/draw2d.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

struct TGraphicsDriver {
    const char* name;
};

struct TGraphics {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    int width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
};

namespace {

const int kKeyCount = 256;

struct PlatformState {
    TGraphicsDriver* driver = nullptr;
    int default_flags = 0;
    TGraphics* display = nullptr;
    bool video_up = false;
    bool hidden = false;
    int swap_interval = -2; // last one set on the current context; -2: none yet
    bool key_down[kKeyCount] = {};
    int key_hits[kKeyCount] = {};
    FlipHook flip_hook = nullptr;
    void* flip_user = nullptr;
    ExitHook exit_hook = nullptr;
};

PlatformState g;
TGraphicsDriver gl2d_driver = {"GL2D"};
std::atomic<int> pending_signal{0};
std::atomic<bool> display_open{false};

[[noreturn]] void exit_process(int status) {
    if (g.exit_hook) g.exit_hook(status);
    std::exit(status);
}

// With a display open the next poll closes it and exits; without one there
// is nothing to restore, and waiting for a poll that may never come would
// leave the process running.
void on_signal(int sig) {
    if (!display_open.load()) _exit(0);
    pending_signal.store(sig);
}

void install_signal_handlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    // SDL would turn these into quit events, which the demo refuses; handle
    // them ourselves so the desktop mode is always restored.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    std::signal(SIGINT, on_signal);
    std::signal(SIGTERM, on_signal);
}

// Maps SDL key codes onto the demo's key code space (see the header).
int key_code(SDL_Keycode k) {
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

void clear_keys() {
    for (int i = 0; i < kKeyCount; ++i) {
        g.key_down[i] = false;
        g.key_hits[i] = 0;
    }
}

void key_event(int key, bool down) {
    if (key < 0 || key >= kKeyCount) return;
    if (down && !g.key_down[key]) ++g.key_hits[key];
    g.key_down[key] = down;
}

void close_display() {
    if (!g.display) return;
    if (g.display->context) SDL_GL_DeleteContext(g.display->context);
    // Destroying the full-screen window makes SDL switch the desktop mode back.
    if (g.display->window) SDL_DestroyWindow(g.display->window);
    delete g.display;
    g.display = nullptr;
    display_open.store(false);
    SDL_ShowCursor(SDL_ENABLE);
}

[[noreturn]] void fatal(const char* message) {
    std::fprintf(stderr, "%s\n", message);
    close_display();
    exit_process(1);
}

bool video_init() {
    if (g.video_up) return true;
    install_signal_handlers();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    g.video_up = true;
    return true;
}

} // namespace

TGraphicsDriver* GL2DDriver() { return &gl2d_driver; }

void SetGraphicsDriver(TGraphicsDriver* driver, int defaultFlags) {
    g.driver = driver;
    g.default_flags = defaultFlags;
}

void RuntimeError(const char* message) { fatal(message); }

TGraphics* Graphics(int width, int height, int depth, int hertz, int flags) {
    close_display();
    if (!video_init()) fatal("Unable to set display mode");
    flags |= g.default_flags;
    bool fullscreen = depth != 0 && !g.hidden;

    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (flags & GRAPHICS_BACKBUFFER) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, (flags & GRAPHICS_ALPHABUFFER) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, (flags & GRAPHICS_DEPTHBUFFER) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, (flags & GRAPHICS_STENCILBUFFER) ? 1 : 0);
    int accum = (flags & GRAPHICS_ACCUMBUFFER) ? 1 : 0;
    SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, accum);
    SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, accum);

    auto* d = new TGraphics;
    d->width = width;
    d->height = height;
    d->depth = depth;
    d->hertz = hertz;
    d->flags = flags;
    g.display = d;
    display_open.store(true);

    Uint32 wflags = SDL_WINDOW_OPENGL;
    if (g.hidden) wflags |= SDL_WINDOW_HIDDEN;
    d->window = SDL_CreateWindow("ninefold", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                 width, height, wflags);
    if (!d->window) fatal("Unable to set display mode");

    if (fullscreen) {
        SDL_DisplayMode want = {};
        want.format = SDL_PIXELFORMAT_RGB888;
        want.w = width;
        want.h = height;
        want.refresh_rate = hertz;
        SDL_DisplayMode best;
        int index = SDL_GetWindowDisplayIndex(d->window);
        if (!SDL_GetClosestDisplayMode(index < 0 ? 0 : index, &want, &best) ||
            best.w < width || best.h < height)
            fatal("Unable to set display mode");
        if (SDL_SetWindowDisplayMode(d->window, &best) != 0 ||
            SDL_SetWindowFullscreen(d->window, SDL_WINDOW_FULLSCREEN) != 0)
            fatal("Unable to set display mode");
    }

    d->context = SDL_GL_CreateContext(d->window);
    if (!d->context) fatal("Unable to create GL Context");
    SDL_GL_MakeCurrent(d->window, d->context);
    g.swap_interval = -2; // a new context starts with its own setting
    clear_keys();
    ResetDraw2D(width, height);
    return d;
}

void EndGraphics() {
    close_display();
    if (g.video_up) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        g.video_up = false;
    }
}

void HideMouse() { SDL_ShowCursor(SDL_DISABLE); }
void ShowMouse() { SDL_ShowCursor(SDL_ENABLE); }

void PollSystem() {
    if (int sig = pending_signal.exchange(0)) {
        (void)sig;
        EndGraphics();
        exit_process(0);
    }
    if (!g.video_up) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
        case SDL_KEYDOWN:
            key_event(key_code(e.key.keysym.sym), true);
            break;
        case SDL_KEYUP:
            key_event(key_code(e.key.keysym.sym), false);
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST ||
                e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                clear_keys();
            break;
        case SDL_APP_TERMINATING:
            EndGraphics();
            exit_process(0);
        case SDL_QUIT:  // the demo ends only by its own decision
        default:
            break;
        }
    }
}

void Flip(int sync) {
    if (!g.display) return;
    if (g.flip_hook) g.flip_hook(g.flip_user);
    int interval = sync;
    if (sync < 0) interval = (g.display->depth != 0 && g.display->hertz == 0) ? 1 : 0;
    if (g.hidden) interval = 0;
    // Set only when it changes: the demo presents with the same one every frame.
    if (interval != g.swap_interval) {
        SDL_GL_SetSwapInterval(interval);
        g.swap_interval = interval;
    }
    SDL_GL_SwapWindow(g.display->window);
    PollSystem();
}

int KeyHit(int key) {
    PollSystem();
    if (key < 0 || key >= kKeyCount) return 0;
    int n = g.key_hits[key];
    g.key_hits[key] = 0;
    return n;
}

int KeyDown(int key) {
    PollSystem();
    return key >= 0 && key < kKeyCount && g.key_down[key] ? 1 : 0;
}

int GraphicsWidth() { return g.display ? g.display->width : 0; }
int GraphicsHeight() { return g.display ? g.display->height : 0; }
int GraphicsDepth() { return g.display ? g.display->depth : 0; }
int GraphicsHertz() { return g.display ? g.display->hertz : 0; }
int GraphicsFlags() { return g.display ? g.display->flags : 0; }

void InjectKeyDown(int key) { key_event(key, true); }
void InjectKeyUp(int key) { key_event(key, false); }
void SetFlipHook(FlipHook hook, void* user) {
    g.flip_hook = hook;
    g.flip_user = user;
}
void SetHiddenDisplay(bool hidden) { g.hidden = hidden; }
void SetExitHook(ExitHook hook) { g.exit_hook = hook; }
