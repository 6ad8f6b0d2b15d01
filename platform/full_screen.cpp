#include "platform/full_screen.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

bool HasProperty(Display* x, Window w, const char* name, Atom wanted) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(x, w, XInternAtom(x, name, False), 0, 64, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data) {
        found = wanted == None;
        for (unsigned long i = 0; format == 32 && i < count; ++i)
            found |= reinterpret_cast<long*>(data)[i] == long(wanted);
        XFree(data);
    }
    return found;
}

void RequestFullScreen(Display* x, Window w) {
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(x, "_NET_WM_STATE", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = 1; // add
    e.xclient.data.l[1] = long(XInternAtom(x, "_NET_WM_STATE_FULLSCREEN", False));
    e.xclient.data.l[3] = 1; // from an application
    XSendEvent(x, DefaultRootWindow(x), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &e);
    XFlush(x);
}

} // namespace

void ConfirmFullScreen(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    Display* x = info.info.x11.display;
    const Window w = info.info.x11.window;
    // Without a manager the window covers the screen by its own position and size.
    if (!HasProperty(x, DefaultRootWindow(x), "_NET_SUPPORTING_WM_CHECK", None)) return;
    const Atom full = XInternAtom(x, "_NET_WM_STATE_FULLSCREEN", False);
    const Uint32 start = SDL_GetTicks();
    for (Uint32 asked = 0, waited = 0; waited < 1000; waited = SDL_GetTicks() - start) {
        if (HasProperty(x, w, "_NET_WM_STATE", full)) return;
        if (waited / 100 > asked) {
            RequestFullScreen(x, w);
            ++asked;
        }
        SDL_Delay(10);
    }
}
