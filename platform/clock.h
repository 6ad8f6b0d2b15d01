// The millisecond clock: a monotonic count since boot, wrapping in 32 bits
// (take differences in 32 bits). Any thread: the main program reads it for
// the demo time, the audio thread to time the start of new channels.
// Test seam: the clock behind it can be replaced by a scripted one.
#pragma once

#include <cstdint>

int32_t MilliSecs();
// The system's monotonic clock in nanoseconds, never scripted: frame pacing
// times the display with it.
int64_t MonotonicNs();
// Sleeps ms milliseconds of real time, whatever clock MilliSecs reads.
void Delay(int ms);

// Replaces the clock behind MilliSecs (null restores the system clock).
// The audio thread reads MilliSecs too, so the source must be thread safe.
using MilliSecsSource = int32_t (*)(void* user);
void SetMilliSecsSource(MilliSecsSource source, void* user);
