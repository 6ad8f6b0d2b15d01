// Display and frame presentation, on SDL2 (the keyboard is in keyboard.h,
// the clock in clock.h, stop signals in stop_signal.h, the process's exit
// and fatal errors in process.h).
// One display at a time. A full-screen request (depth != 0) never changes the
// desktop's mode: a borderless window covers the screen at its own mode and
// the demo draws into an off-screen width x height surface (colour 8 bits per
// channel, depth buffer), which Flip scales onto the window, 4:3 letterboxed
// with black bars, so nothing is left to restore after a kill or a crash.
// Everything that reads or clears the frame works on that surface. The
// window is black from the moment it exists. Full screen presents in step
// with the display: through the driver's vertical-blank wait where it really
// waits, otherwise Flip sleeps to the display's refresh rate (60 Hz when
// unknown); a refresh rate asked for (hertz != 0) is kept by sleeping.
// Without a usable display: "ninefold: no display: <reason>", exit 1.
// Fatal errors ("Unable to set display mode", "Unable to create GL Context")
// print one line on stderr and exit with status 1; libraries are kept from
// printing their own. Quit requests from the window manager are refused.
// Main thread. Test seams: a hook that sees each frame before it is
// presented, and a hidden window for off-screen capture.
#pragma once

#include "platform/process.h"

struct TGraphicsDriver;
struct TGraphics;

// Graphics flags.
enum {
    GRAPHICS_BACKBUFFER = 2,
    GRAPHICS_ALPHABUFFER = 4,
    GRAPHICS_DEPTHBUFFER = 8,
    GRAPHICS_STENCILBUFFER = 16,
    GRAPHICS_ACCUMBUFFER = 32
};

// OR-ed into every request: a double-buffered display.
const int kDefaultGraphicsFlags = GRAPHICS_BACKBUFFER;

TGraphicsDriver* GL2DDriver(); // the OpenGL 2D driver
void SetGraphicsDriver(TGraphicsDriver* driver, int defaultFlags = kDefaultGraphicsFlags);
TGraphics* Graphics(int width, int height, int depth = 0, int hertz = 0, int flags = 0);
void EndGraphics(); // close the display, show the cursor
void HideMouse();
// -1: vblank wait in full screen, none in a window; with a refresh rate
// asked for, paced to it in software instead. 0 or 1: without or with the wait.
void Flip(int sync = -1);

int GraphicsWidth();
int GraphicsHeight();
int GraphicsDepth();
int GraphicsHertz();
int GraphicsFlags();

// --- Test seams ---------------------------------------------------------
// Called inside Flip after the frame is complete and before it is presented,
// with the off-screen surface bound: glReadPixels reads the finished frame.
using FlipHook = void (*)(void* user);
void SetFlipHook(FlipHook hook, void* user);
// Next Graphics call opens a hidden window instead of covering the screen
// (off-screen rendering for capture, any video driver); Flip then never
// waits (nor sleeps), and skips the scaling pass unless a window size is given (to
// measure the pass at that screen size).
void SetHiddenDisplay(bool hidden, int window_width = 0, int window_height = 0);
