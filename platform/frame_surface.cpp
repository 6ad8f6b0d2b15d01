#include "platform/frame_surface.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Framebuffer-object entry points, looked up once a context exists.
struct SurfaceCalls {
    PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
    PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
    PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;
    PFNGLFRAMEBUFFERPARAMETERIPROC FramebufferParameteri = nullptr; // null: no row-order choice
};

// Stores a framebuffer object's rows top first (GL_MESA_framebuffer_flip_y).
const GLenum kFramebufferFlipY = 0x8BBB;

SurfaceCalls gl; // for the current context

template <typename Fn> bool LookUp(Fn& fn, const char* name) {
    fn = reinterpret_cast<Fn>(SDL_GL_GetProcAddress(name));
    return fn != nullptr;
}

bool LookUpRowOrder() {
    gl.FramebufferParameteri = nullptr;
    // The core entry point takes it on desktop contexts; the extension's own
    // one is refused there.
    if (SDL_GL_ExtensionSupported("GL_MESA_framebuffer_flip_y"))
        LookUp(gl.FramebufferParameteri, "glFramebufferParameteri");
    return true;
}

bool LookUpSurfaceCalls() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = version ? std::atoi(version) : 0;
    if (major < 3 && !SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object")) return false;
    return LookUp(gl.GenFramebuffers, "glGenFramebuffers") &&
           LookUp(gl.DeleteFramebuffers, "glDeleteFramebuffers") &&
           LookUp(gl.BindFramebuffer, "glBindFramebuffer") &&
           LookUp(gl.CheckFramebufferStatus, "glCheckFramebufferStatus") &&
           LookUp(gl.GenRenderbuffers, "glGenRenderbuffers") &&
           LookUp(gl.DeleteRenderbuffers, "glDeleteRenderbuffers") &&
           LookUp(gl.BindRenderbuffer, "glBindRenderbuffer") &&
           LookUp(gl.RenderbufferStorage, "glRenderbufferStorage") &&
           LookUp(gl.FramebufferRenderbuffer, "glFramebufferRenderbuffer") &&
           LookUp(gl.BlitFramebuffer, "glBlitFramebuffer") && LookUpRowOrder();
}

} // namespace

bool OpenFrameSurface(FrameSurface& s, int width, int height, const SurfaceBuffers& buffers) {
    if (!LookUpSurfaceCalls()) return false;
    s.width = width;
    s.height = height;
    // No alpha channel unless asked for: blends that read the destination's
    // alpha then see 1, as on a window without one.
    GLenum colour = buffers.alpha ? GL_RGBA8 : GL_RGB8;
    bool stencil = buffers.stencil;
    bool depth = stencil || buffers.depth;
    gl.GenFramebuffers(1, &s.framebuffer);
    gl.BindFramebuffer(GL_FRAMEBUFFER, s.framebuffer);
    // Where the driver stores the window's rows top first, rasterisation
    // breaks ties (a line's first pixel, a shared polygon edge) by that
    // order: store the surface the same way, so frames are the very pixels
    // the window itself would hold.
    if (gl.FramebufferParameteri)
        gl.FramebufferParameteri(GL_FRAMEBUFFER, kFramebufferFlipY, GL_TRUE);
    gl.GenRenderbuffers(2, s.buffers);
    gl.BindRenderbuffer(GL_RENDERBUFFER, s.buffers[0]);
    gl.RenderbufferStorage(GL_RENDERBUFFER, colour, s.width, s.height);
    gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s.buffers[0]);
    if (depth) {
        gl.BindRenderbuffer(GL_RENDERBUFFER, s.buffers[1]);
        gl.RenderbufferStorage(GL_RENDERBUFFER,
                               stencil ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT24, s.width,
                               s.height);
        gl.FramebufferRenderbuffer(GL_FRAMEBUFFER,
                                   stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                                   GL_RENDERBUFFER, s.buffers[1]);
    }
    gl.BindRenderbuffer(GL_RENDERBUFFER, 0);
    return gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

// In the drawable's own pixels, which differ from window units on HiDPI
// screens.
void PresentFrameSurface(const FrameSurface& s, SDL_Window* window) {
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(window, &dw, &dh);
    int w = dw, h = dh;
    if (int64_t(dw) * s.height > int64_t(dh) * s.width)
        w = int(int64_t(dh) * s.width / s.height);
    else
        h = int(int64_t(dw) * s.height / s.width);
    int x = (dw - w) / 2, y = (dh - h) / 2;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(0, 0, 0, 1);
    gl.BindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    // Only the bars are cleared: the frame covers the rest. Both pairs are
    // empty when the shapes match.
    glEnable(GL_SCISSOR_TEST);
    const int bars[4][4] = {
        {0, 0, x, dh}, {x + w, 0, dw - x - w, dh}, {0, 0, dw, y}, {0, y + h, dw, dh - y - h}};
    for (const auto& bar : bars)
        if (bar[2] > 0 && bar[3] > 0) {
            glScissor(bar[0], bar[1], bar[2], bar[3]);
            glClear(GL_COLOR_BUFFER_BIT);
        }
    glDisable(GL_SCISSOR_TEST);
    // Same size: a plain copy, which is exact and cheaper than filtering.
    const GLenum filter = (w == s.width && h == s.height) ? GL_NEAREST : GL_LINEAR;
    gl.BlitFramebuffer(0, 0, s.width, s.height, x, y, x + w, y + h, GL_COLOR_BUFFER_BIT, filter);
    // The surface is bound again before the pop: the draw-buffer setting
    // being restored is the surface's own.
    gl.BindFramebuffer(GL_FRAMEBUFFER, s.framebuffer);
    glPopAttrib();
}

void CloseFrameSurface(FrameSurface& s) {
    if (s.framebuffer) gl.DeleteFramebuffers(1, &s.framebuffer);
    if (s.buffers[0]) gl.DeleteRenderbuffers(2, s.buffers);
    s = FrameSurface();
}
