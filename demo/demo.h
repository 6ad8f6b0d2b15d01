// The demo's main program: start-up, the nine sections of the timeline and
// the common exit, as one straight sequence on the main thread. It returns
// after closing the display with the process's exit status (0 at the end,
// on Escape or a stop signal; 1 when start-up was refused), so tests and
// the capture tool can run the real timeline in-process under the platform
// layer's scripted clock, injected keys and frame hook. Reads data/ relative
// to the working directory; a missing picture or soundtrack stops it at
// start-up with one line on stderr.
#pragma once

// The ending: the last section starts with the first frame at or after
// 135 s and draws exactly 100 frames (its fade), then the common exit.
const int kEndingStartMs = 135000;
const int kEndingFrames = 100;

int DemoMain();
