#include "platform/full_screen.h"

#include "platform/x11_errors.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>

namespace {

// A manager that takes the window on answers within tens of milliseconds; a
// second covers a busy machine, and asking again covers a dropped request.
const Uint32 kConfirmWaitMs = 1000;
const Uint32 kAskAgainMs = 100;
const Uint32 kCheckEveryMs = 10;
// The window state is a short list of atoms; more than this is read in part.
const long kMaxStateAtoms = 64;

// The 32-bit items of a window's property (at most kMaxStateAtoms); empty
// when the property or the window does not exist.
int ReadProperty(Display* x, Window w, const char* name, long* items) {
    XErrorTrap trap(x); // the window may be gone
    Atom type = None;
    int format = 0, n = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x, w, XInternAtom(x, name, False), 0, kMaxStateAtoms, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data) {
        for (unsigned long i = 0; format == 32 && i < count; ++i)
            items[n++] = reinterpret_cast<long*>(data)[i];
        XFree(data);
    }
    return trap.Clean() ? n : 0;
}

bool HasAtom(Display* x, Window w, const char* name, Atom wanted) {
    long items[kMaxStateAtoms];
    const int n = ReadProperty(x, w, name, items);
    for (int i = 0; i < n; ++i)
        if (items[i] == long(wanted)) return true;
    return false;
}

// A running manager names a check window on the root window, and that window
// names itself back; after the manager exits the root's property stays,
// naming a window that is gone.
bool WindowManagerRuns(Display* x) {
    long root_names[kMaxStateAtoms], check_names[kMaxStateAtoms];
    const char* kCheck = "_NET_SUPPORTING_WM_CHECK";
    if (ReadProperty(x, DefaultRootWindow(x), kCheck, root_names) < 1) return false;
    const Window check = Window(root_names[0]);
    return ReadProperty(x, check, kCheck, check_names) >= 1 && Window(check_names[0]) == check;
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
    if (!WindowManagerRuns(x)) return;
    const Atom full = XInternAtom(x, "_NET_WM_STATE_FULLSCREEN", False);
    const Uint32 start = SDL_GetTicks();
    for (Uint32 asked = 0, waited = 0; waited < kConfirmWaitMs; waited = SDL_GetTicks() - start) {
        if (HasAtom(x, w, "_NET_WM_STATE", full)) return;
        if (waited / kAskAgainMs > asked) {
            RequestFullScreen(x, w);
            ++asked;
        }
        SDL_Delay(kCheckEveryMs);
    }
}
