// The frames the demo draws for a capture: their size, the demo time each
// one shows and how many there are. Frame k is drawn at demo time
// round(k * 1000 / fps) ms; its sound is the mixer's 44100 Hz stream from
// that time to the next frame's.
#pragma once

#include <cstdint>

// The demo's picture; --height scales it inside ffmpeg, never here.
const int kCaptureWidth = 800, kCaptureHeight = 600;
const int kCaptureSoundRate = 44100;

// Demo time of frame k, round(k * 1000 / fps) with halves rounded up.
int32_t FrameTimeMs(int64_t frame, int fps);
// The first frame shown at or after demo time ms.
int64_t FirstFrameAtOrAfter(int32_t ms, int fps);
// Index of the first audio sample frame at demo time ms.
int64_t AudioFrameAt(int32_t ms);
// Frames the demo draws at this rate, the ending's included.
int64_t DemoFrameCount(int fps);
