// Opening and closing the display: the window, its OpenGL context, the
// off-screen surface, the choice of frame pacing, and the settings it keeps.
#include "platform/graphics.h"

#include "platform/clock.h"
#include "platform/display.h"
#include "platform/draw2d.h"
#include "platform/events.h"
#include "platform/full_screen.h"
#include "platform/icon.h"
#include "platform/keyboard.h"
#include "platform/video.h"

struct TGraphicsDriver {};

namespace {

struct DisplayRequests {
    int default_flags = kDefaultGraphicsFlags;
    TGraphics* display = nullptr;
    bool hidden = false;
    int hidden_width = 0, hidden_height = 0;
};

DisplayRequests display_requests;
TGraphicsDriver gl2d_driver;

void CloseDisplay() {
    TGraphics* d = display_requests.display;
    if (!d) return;
    SetKeyPoll(nullptr);
    SetExitCleanup(nullptr);
    if (d->context) {
        CloseFrameSurface(d->surface);
        SDL_GL_MakeCurrent(d->window, nullptr);
        SDL_GL_DeleteContext(d->context);
    }
    if (d->window) SDL_DestroyWindow(d->window);
    if (d->gl_loaded) SDL_GL_UnloadLibrary();
    delete d;
    display_requests.display = nullptr;
    SDL_ShowCursor(SDL_ENABLE);
}

// A full-screen window is made hidden, so that its icon is there before a
// task bar sees it; ShowWindow covers the screen.
SDL_Window* OpenWindow(const TGraphics* d, bool cover_screen) {
    const DisplayRequests& r = display_requests;
    if (!cover_screen) {
        int w = r.hidden_width > 0 ? r.hidden_width : d->width;
        int h = r.hidden_height > 0 ? r.hidden_height : d->height;
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI;
        if (r.hidden) flags |= SDL_WINDOW_HIDDEN;
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
    if (window) SetWindowIconFromData(window);
    return window;
}

void PresentBlack(void* window) {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(static_cast<SDL_Window*>(window));
}

int64_t ReadMonotonicNs(void*) {
    return MonotonicNs();
}

// The refresh period of the window's display, from its current mode (the
// demo never changes it); 60 Hz when the display does not say.
int64_t RefreshPeriodNs(SDL_Window* window) {
    const int kAssumedHertz = 60;
    SDL_DisplayMode mode = {};
    int index = SDL_GetWindowDisplayIndex(window);
    int hz = index >= 0 && SDL_GetCurrentDisplayMode(index, &mode) == 0 ? mode.refresh_rate : 0;
    return 1000000000 / (hz > 0 ? hz : kAssumedHertz);
}

// Asks for the vertical-blank wait and times black frames to see that it
// waits: a driver can accept the interval and present at once.
void ChooseFramePacing(TGraphics* d) {
    FramePacing& p = d->pacing;
    p.period_ns = RefreshPeriodNs(d->window);
    d->swap_interval = 1;
    p.in_software = SDL_GL_SetSwapInterval(1) != 0 ||
                    !PresentsInStep({PresentBlack, ReadMonotonicNs, d->window}, p.period_ns);
}

} // namespace

TGraphics* CurrentDisplay() {
    return display_requests.display;
}

TGraphicsDriver* GL2DDriver() {
    return &gl2d_driver;
}

void SetGraphicsDriver(TGraphicsDriver*, int defaultFlags) {
    display_requests.default_flags = defaultFlags;
}

TGraphics* Graphics(int width, int height, int depth, int hertz, int flags) {
    CloseDisplay();
    OpenVideo(display_requests.hidden);

    auto* d = new TGraphics;
    d->width = width;
    d->height = height;
    d->depth = depth;
    d->hertz = hertz;
    d->flags = flags | display_requests.default_flags;
    d->hidden = display_requests.hidden;
    d->measure_scaling = d->hidden && display_requests.hidden_width > 0;
    display_requests.display = d;
    SetExitCleanup(EndGraphics);
    // Loaded here so that a machine without OpenGL is told so.
    if (SDL_GL_LoadLibrary(nullptr) != 0)
        RuntimeError("Unable to create GL Context", SDL_GetError());
    d->gl_loaded = true;

    // The window only shows the finished frame; depth, stencil and alpha
    // belong to the off-screen surface.
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (d->flags & GRAPHICS_BACKBUFFER) ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);

    const bool cover_screen = depth != 0 && !d->hidden;
    d->window = OpenWindow(d, cover_screen);
    if (!d->window) RuntimeError("Unable to set display mode", SDL_GetError());
    d->context = SDL_GL_CreateContext(d->window);
    if (!d->context) RuntimeError("Unable to create GL Context", SDL_GetError());
    SDL_GL_MakeCurrent(d->window, d->context);
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
    // A refresh rate asked for is kept in software, in any window.
    if (hertz != 0) d->pacing.period_ns = 1000000000 / hertz;
    const SurfaceBuffers buffers = {(d->flags & GRAPHICS_ALPHABUFFER) != 0,
                                    (d->flags & GRAPHICS_DEPTHBUFFER) != 0,
                                    (d->flags & GRAPHICS_STENCILBUFFER) != 0};
    if (!OpenFrameSurface(d->surface, d->width, d->height, buffers))
        RuntimeError("Unable to create GL Context", "no off-screen framebuffer");
    ClearKeys();
    SetKeyPoll(PollDisplayEvents);
    ResetDraw2D(width, height);
    return d;
}

void EndGraphics() {
    CloseDisplay();
    CloseVideo();
}

void HideMouse() {
    SDL_ShowCursor(SDL_DISABLE);
}

int GraphicsWidth() {
    return display_requests.display ? display_requests.display->width : 0;
}
int GraphicsHeight() {
    return display_requests.display ? display_requests.display->height : 0;
}
int GraphicsDepth() {
    return display_requests.display ? display_requests.display->depth : 0;
}
int GraphicsHertz() {
    return display_requests.display ? display_requests.display->hertz : 0;
}
int GraphicsFlags() {
    return display_requests.display ? display_requests.display->flags : 0;
}

void SetHiddenDisplay(bool hidden, int window_width, int window_height) {
    display_requests.hidden = hidden;
    display_requests.hidden_width = window_width;
    display_requests.hidden_height = window_height;
}
