#include "platform/graphics.h"

#include "platform/draw2d.h"
#include "platform/frame_surface.h"
#include "platform/full_screen.h"
#include "platform/keyboard.h"
#include "platform/stop_signal.h"

#include <SDL.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

struct TGraphicsDriver {};

// Presentation in step with the display where the driver's vertical-blank
// wait does not wait: Flip sleeps to deadlines one refresh period apart.
struct FramePacing {
    bool in_software = false;
    int64_t period_ns = 0;
    int64_t next_ns = 0; // the next frame's deadline; 0 before the first
};

struct TGraphics {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    FrameSurface surface; // what the demo draws into
    FramePacing pacing;
    bool gl_loaded = false;
    int width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
};

namespace {

struct DisplayState {
    int default_flags = 0;
    TGraphics* display = nullptr;
    bool video_up = false;
    bool hidden = false;
    int hidden_width = 0, hidden_height = 0;
    int swap_interval = -2; // last one set on the current context; -2: none yet
    FlipHook flip_hook = nullptr;
    void* flip_user = nullptr;
    ExitHook exit_hook = nullptr;
};

DisplayState display_state;
TGraphicsDriver gl2d_driver;

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
// to a driver that shows nothing, or fails: try a few times before giving up.
void OpenVideo() {
    if (display_state.video_up) return;
    InstallStopSignals();
    const char* x = std::getenv("DISPLAY");
    const char* wl = std::getenv("WAYLAND_DISPLAY");
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    const bool named = (x && *x) || (wl && *wl);
    const bool user_chose = chosen && *chosen;
    // Nothing names a display: say so before SDL probes its back ends (and
    // they print their own complaints), unless a back end was chosen.
    if (!named && !display_state.hidden && !user_chose)
        NoDisplay("neither DISPLAY nor WAYLAND_DISPLAY is set");
    // Without a Wayland display SDL would still try Wayland first, and
    // libwayland prints its complaints (no XDG_RUNTIME_DIR) for a stale X one.
    const bool x11_only = x && *x && !(wl && *wl) && !user_chose;
    if (x11_only) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    // A borderless full-screen window needs no decorations, and libdecor
    // complains on stderr when it finds no plugin.
    SDL_SetHint(SDL_HINT_VIDEO_WAYLAND_ALLOW_LIBDECOR, "0");
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            display_state.video_up = true;
            if (display_state.hidden || !ShowsNothing(SDL_GetCurrentVideoDriver())) return;
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            display_state.video_up = false;
        } else if (!x11_only) {
            NoDisplay(SDL_GetError());
        }
        if (!named) NoDisplay("neither DISPLAY nor WAYLAND_DISPLAY is set");
        SDL_Delay(100);
    }
    char reason[256];
    std::snprintf(reason, sizeof reason, "cannot open display \"%s\"", x && *x ? x : wl);
    NoDisplay(reason);
}

// The installed icon, for task bars and window switchers; none is no error.
void SetIcon(SDL_Window* window) {
    TPixmap* png = LoadPixmapPNG("data/icon.png");
    TPixmap* rgba = png && png->format != PF_RGBA8888 ? PixmapToRGBA(png) : nullptr;
    const TPixmap* icon = rgba ? rgba : png;
    if (icon && icon->format == PF_RGBA8888)
        if (SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
                icon->pixels, icon->width, icon->height, 32, icon->pitch, SDL_PIXELFORMAT_RGBA32)) {
            SDL_SetWindowIcon(window, surface);
            SDL_FreeSurface(surface);
        }
    delete rgba;
    delete png;
}

// A full-screen window is made hidden, so that its icon is there before a
// task bar sees it; ShowWindow covers the screen.
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
    SDL_Window* window = SDL_CreateWindow("ninefold", screen.x, screen.y, screen.w, screen.h,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI |
                                              SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    if (window) SetIcon(window);
    return window;
}

void PresentBlack(SDL_Window* window) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(window);
}

int64_t NowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The refresh period of the window's display, from its current mode (the
// demo never changes it); 60 Hz when the display does not say.
int64_t RefreshPeriodNs(SDL_Window* window) {
    SDL_DisplayMode mode = {};
    int index = SDL_GetWindowDisplayIndex(window);
    int hz = index >= 0 && SDL_GetCurrentDisplayMode(index, &mode) == 0 ? mode.refresh_rate : 0;
    return 1000000000 / (hz > 0 ? hz : 60);
}

// Asks for the vertical-blank wait and times black frames to see that it
// waits: a driver can accept the interval and present at once (no GPU,
// virtual machines, remote desktops). The first swaps may pass while free
// buffers remain; after them a waiting driver presents about one period apart.
void ChooseFramePacing(TGraphics* d) {
    FramePacing& p = d->pacing;
    p.period_ns = RefreshPeriodNs(d->window);
    display_state.swap_interval = 1;
    p.in_software = SDL_GL_SetSwapInterval(1) != 0;
    const int kTimed = 10, kUntimed = 3;
    int64_t last = 0;
    int quick = 0;
    for (int i = 0; i < kTimed && !p.in_software; ++i) {
        PresentBlack(d->window);
        const int64_t now = NowNs();
        if (i >= kUntimed) quick += now - last < p.period_ns / 2;
        last = now;
    }
    if (quick > (kTimed - kUntimed) / 2) p.in_software = true;
}

// Deadlines one period apart from the first frame, so they do not drift; a
// frame more than a period late starts them again rather than rushing.
void WaitForFrameDeadline(FramePacing& p) {
    const int64_t now = NowNs();
    if (p.next_ns != 0 && now < p.next_ns) {
        const timespec deadline = {time_t(p.next_ns / 1000000000), long(p.next_ns % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
        }
    } else if (p.next_ns == 0 || now - p.next_ns > p.period_ns) {
        p.next_ns = now;
    }
    p.next_ns += p.period_ns;
}

} // namespace

void PollDisplayEvents() {
    PollStopSignal();
    if (!display_state.video_up) return;
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
            EndGraphics();
            ExitProgram(0);
        case SDL_QUIT: // the demo ends only by its own decision
        default:
            break;
        }
    }
}

TGraphicsDriver* GL2DDriver() {
    return &gl2d_driver;
}

void SetGraphicsDriver(TGraphicsDriver*, int defaultFlags) {
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

    const bool cover_screen = depth != 0 && !display_state.hidden;
    d->window = OpenWindow(d, cover_screen);
    if (!d->window) Fatal("Unable to set display mode", SDL_GetError());
    d->context = SDL_GL_CreateContext(d->window);
    if (!d->context) Fatal("Unable to create GL Context", SDL_GetError());
    SDL_GL_MakeCurrent(d->window, d->context);
    display_state.swap_interval = -2; // a new context starts with its own setting
    // Black from the first instant: loading takes seconds, and until the
    // first frame the window would show what lay under it.
    // Full screen is asked for once the window is shown: asked for at
    // creation, together with the position, some compositors drop it.
    if (cover_screen) {
        SDL_ShowWindow(d->window);
        SDL_SetWindowFullscreen(d->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        PresentBlack(d->window);
        ConfirmFullScreen(d->window);
        PresentBlack(d->window); // the parts uncovered since
        if (hertz == 0) ChooseFramePacing(d);
    }
    if (!OpenFrameSurface(d->surface, d->width, d->height, d->flags))
        Fatal("Unable to create GL Context", "no off-screen framebuffer");
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
        if (interval == 1 && d->pacing.in_software) WaitForFrameDeadline(d->pacing);
        SDL_GL_SwapWindow(d->window);
    }
    PollDisplayEvents();
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
