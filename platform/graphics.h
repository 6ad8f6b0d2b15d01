// Display, frame presentation, polled keyboard and millisecond clock, on SDL2.
// One display at a time, full screen when depth != 0 (a real mode switch to
// the closest width x height mode), windowed otherwise. Main thread only.
// Fatal errors ("Unable to set display mode", "Unable to create GL Context")
// print one line on stderr, restore the desktop mode and exit with status 1.
// SIGINT/SIGTERM restore the desktop mode and exit 0; quit requests from the
// window manager are refused. Key codes: 27 Escape, 13 Return, 32 Space,
// 48-57 digits, 65-90 letters, 37-40 arrows (left, up, right, down).
// Test seams: a scripted clock, injected keys, a hook that sees each frame
// before it is presented, and a hidden window for off-screen capture.
#pragma once

#include <cstdint>

struct TGraphicsDriver;
struct TGraphics;

// Graphics flags.
enum { GRAPHICS_BACKBUFFER = 2, GRAPHICS_ALPHABUFFER = 4, GRAPHICS_DEPTHBUFFER = 8,
       GRAPHICS_STENCILBUFFER = 16, GRAPHICS_ACCUMBUFFER = 32 };

TGraphicsDriver* GL2DDriver();                                // the OpenGL 2D driver
void SetGraphicsDriver(TGraphicsDriver* driver, int defaultFlags = 2);
TGraphics* Graphics(int width, int height, int depth = 0, int hertz = 0, int flags = 0);
void EndGraphics();                                           // restore desktop mode and cursor
void HideMouse();
void ShowMouse();
void Flip(int sync = -1);                                     // -1: vblank wait in full screen
int KeyHit(int key);                                          // presses since the last call
int KeyDown(int key);                                         // 1 while held
void PollSystem();                                            // pump the event queue

int GraphicsWidth();
int GraphicsHeight();
int GraphicsDepth();
int GraphicsHertz();
int GraphicsFlags();

// Stops the program with a message: restores the screen, exits with status 1.
[[noreturn]] void RuntimeError(const char* message);

// --- Test seams ---------------------------------------------------------
// Feeds key events as if they came from the keyboard.
void InjectKeyDown(int key);
void InjectKeyUp(int key);
// Called inside Flip after the frame is complete and before it is presented;
// the back buffer can be read with glReadPixels there.
using FlipHook = void (*)(void* user);
void SetFlipHook(FlipHook hook, void* user);
// Next Graphics call opens a hidden window instead of switching the screen
// (off-screen rendering for capture); Flip then never waits.
void SetHiddenDisplay(bool hidden);
// Replaces the process exit of the fatal paths (tests catch it); null restores exit.
using ExitHook = void (*)(int status);
void SetExitHook(ExitHook hook);
