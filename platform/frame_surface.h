// The off-screen surface the demo draws every frame into, and its scaling
// onto the window. Internal to platform/. One surface at a time, on the
// current GL context, main thread; needs framebuffer objects (OpenGL 3.0 or
// GL_ARB_framebuffer_object) and rows stored top first where the driver can
// (GL_MESA_framebuffer_flip_y), so frames are the pixels a window would hold.
#pragma once

#include <SDL.h>
#include <SDL_opengl.h>

struct FrameSurface {
    GLuint framebuffer = 0;
    GLuint buffers[2] = {0, 0}; // colour, depth (and stencil)
    int width = 0, height = 0;
};

// The buffers beside the colour, as the display's flags ask for them.
struct SurfaceBuffers {
    bool alpha = false, depth = false, stencil = false;
};

// Colour 8 bits per channel (alpha only when asked for), depth when asked
// for, depth and stencil when stencil is asked for. Left bound for drawing;
// false when the context cannot give one.
bool OpenFrameSurface(FrameSurface& s, int width, int height, const SurfaceBuffers& buffers);

// Copies the finished frame onto the window's back buffer: the largest
// centred rectangle of its shape, black bars around it. Rebinds the surface.
void PresentFrameSurface(const FrameSurface& s, SDL_Window* window);

// Deletes what OpenFrameSurface made; the context must still be current.
void CloseFrameSurface(FrameSurface& s);
