#include "platform/x11_errors.h"

namespace {

bool x_error_seen = false;

int NoteXError(Display*, XErrorEvent*) {
    x_error_seen = true;
    return 0;
}

} // namespace

XErrorTrap::XErrorTrap(Display* x) : x_(x) {
    XSync(x_, False); // earlier requests' errors are not this trap's
    x_error_seen = false;
    previous_ = XSetErrorHandler(NoteXError);
}

XErrorTrap::~XErrorTrap() {
    XSync(x_, False);
    XSetErrorHandler(previous_);
}

bool XErrorTrap::Clean() {
    XSync(x_, False);
    return !x_error_seen;
}
