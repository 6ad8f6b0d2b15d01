// Display, frame presentation and the polled keyboard, on SDL2 (the clock is
// in clock.h).
// One display at a time. A full-screen request (depth != 0) never changes the
// desktop's mode: a borderless window covers the screen at its own mode and
// the demo draws into an off-screen width x height surface (colour 8 bits per
// channel, depth buffer), which Flip scales onto the window, 4:3 letterboxed
// with black bars, so nothing is left to restore after a kill or a crash.
// Everything that reads or clears the frame works on that surface.
// Without a usable display: "ninefold: no display: <reason>", exit 1.
// Fatal errors ("Unable to set display mode", "Unable to create GL Context")
// print one line on stderr and exit with status 1. Stop signals: see
// stop_signal.h. Quit requests from the window manager are refused. Key codes: 27 Escape, 13
// Return, 32 Space, 48-57 digits, 65-90 letters, 37-40 arrows. Main thread.
// Test seams: injected keys, a hook that sees each frame before it is
// presented, and a hidden window for off-screen capture.
#pragma once

#include <cstdint>

struct TGraphicsDriver;
struct TGraphics;

// Key codes the demo asks for by name.
enum { kEscapeKey = 27 };

// Graphics flags.
enum { GRAPHICS_BACKBUFFER = 2, GRAPHICS_ALPHABUFFER = 4, GRAPHICS_DEPTHBUFFER = 8,
       GRAPHICS_STENCILBUFFER = 16, GRAPHICS_ACCUMBUFFER = 32 };

TGraphicsDriver* GL2DDriver();                                // the OpenGL 2D driver
void SetGraphicsDriver(TGraphicsDriver* driver, int defaultFlags = 2);
TGraphics* Graphics(int width, int height, int depth = 0, int hertz = 0, int flags = 0);
void EndGraphics();                                           // close the display, show the cursor
void HideMouse();
void Flip(int sync = -1);                                     // -1: vblank wait in full screen
int KeyHit(int key);                                          // presses since the last call

int GraphicsWidth();
int GraphicsHeight();
int GraphicsDepth();
int GraphicsHertz();
int GraphicsFlags();

// Stops the program with a message: closes the display, exits with status 1.
[[noreturn]] void RuntimeError(const char* message);

// --- Test seams ---------------------------------------------------------
// Feeds key events as if they came from the keyboard.
void InjectKeyDown(int key);
void InjectKeyUp(int key);
// Called inside Flip after the frame is complete and before it is presented,
// with the off-screen surface bound: glReadPixels reads the finished frame.
using FlipHook = void (*)(void* user);
void SetFlipHook(FlipHook hook, void* user);
// Next Graphics call opens a hidden window instead of covering the screen
// (off-screen rendering for capture, any video driver); Flip then never
// waits, and skips the scaling pass unless a window size is given (to
// measure the pass at that screen size).
void SetHiddenDisplay(bool hidden, int window_width = 0, int window_height = 0);
// Replaces the process exit of the fatal paths (tests catch it); null restores exit.
using ExitHook = void (*)(int status);
void SetExitHook(ExitHook hook);
// Ends the process with status, through the exit hook when one is set.
[[noreturn]] void ExitProgram(int status);
