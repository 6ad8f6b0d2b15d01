// ninefold_capture: runs the demo's own main program on a virtual clock at a
// fixed frame rate on a hidden 800x600 display, reads every frame back and
// pipes it, with the mixer's soundtrack, as one stream into ffmpeg while the
// demo renders (an H.264/AAC MP4, and on request a lossless Matroska
// master); it also writes the soundtrack as WAV, a contact sheet and, on
// request, lossless PNG frames or a y4m stream. Outputs get their names only
// once complete and verified (output_names.h). The audio of frame k's
// interval is mixed right after its presentation, so the mixer sees the same
// clock as the pictures, and the sound ends with the last frame. One capture
// per process (the demo runs once) and per output directory (a lock).
#pragma once

#include "tools/capture/options.h"

// The process's exit statuses; a stop signal ends the run with 128 + it.
enum CaptureExit { kCaptureDone = 0, kCaptureFailed = 1, kCaptureRefused = 2 };

// Runs the whole capture; returns the process exit status. The stop
// handlers are installed first, before any file or child exists.
int RunCapture(const CaptureOptions& options);
