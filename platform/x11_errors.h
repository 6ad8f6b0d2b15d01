// X errors the display expects and handles itself: a request that may name a
// window gone since (a stale window manager's check window) or that the
// server may refuse (an icon too large for it). Without a trap Xlib prints
// the error and exits. Internal to platform/; main thread, one trap at a time.
#pragma once

#include <X11/Xlib.h>

// Holds X errors on x from its creation to its end, instead of exiting.
class XErrorTrap {
  public:
    explicit XErrorTrap(Display* x);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;
    // Waits for the server's answers to everything sent so far; true when
    // none of them since the trap was set was an error.
    bool Clean();

  private:
    Display* x_;
    int (*previous_)(Display*, XErrorEvent*);
};
