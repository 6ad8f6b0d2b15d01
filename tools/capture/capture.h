// ninefold_capture: runs the demo's own main program on a virtual clock at a
// fixed frame rate on a hidden 800x600 display, reads every frame back and
// pipes it, with the mixer's soundtrack, as one stream into ffmpeg while the
// demo renders (an H.264/AAC MP4); it also writes the soundtrack as WAV, a
// contact sheet and, on request, lossless PNG frames or a y4m stream. Outputs
// get their names only when complete (writer.h). Frame k is drawn at demo
// time round(k * 1000 / fps) ms; the audio of frame k's interval is mixed
// right after its presentation, so the mixer sees the same clock as the
// pictures, and the sound ends with the last frame. A stop signal ends the
// run with 128 + the signal. One capture per process: the demo runs once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CaptureOptions {
    std::string out_dir = "capture"; // made absolute before the data directory is entered
    std::string data_parent;         // holds data/; empty: the executable's directory
    int fps = 60;
    int crf = 18;
    std::string preset = "veryfast"; // keeps up with the renderer on two cores
    bool png = false;                // numbered PNG frames as well
    std::string y4m_path;            // lossless stream as well; "-" is stdout
    bool audio = true;               // write the WAV (the mixer runs either way)
    int sheet_every = 1;             // seconds between contact sheet thumbnails
    int32_t from_ms = 0;
    int32_t to_ms = INT32_MAX;
    std::vector<int32_t> frames_at_ms; // non-empty: only PNG frames at these times
    bool frames_at() const { return !frames_at_ms.empty(); }
};

// Parses the command line; false with a one-line reason (or "help").
bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* options, std::string* error);
const char* CaptureUsage();

// Demo time of frame k, round(k * 1000 / fps) with halves rounded up.
int32_t FrameTimeMs(int64_t frame, int fps);
// The first frame shown at or after demo time ms.
int64_t FirstFrameAtOrAfter(int32_t ms, int fps);
// Index of the first audio sample frame at demo time ms (44100 per second).
int64_t AudioFrameAt(int32_t ms);

// Frames the demo draws at this rate, the ending's included.
int64_t DemoFrameCount(int fps);
// False with a one-line reason when the options ask for no frame the demo
// draws (a range past its end or between two frames, a time past its end).
bool CheckCaptureWork(const CaptureOptions& options, std::string* error);

// Runs the whole capture; returns the process exit status.
int RunCapture(const CaptureOptions& options);
