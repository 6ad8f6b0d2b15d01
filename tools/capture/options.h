// The capture tool's command line: what to write and which stretch of the
// demo. Parsing only checks each value and how they combine; whether the
// demo draws the frames asked for is CheckCaptureWork's question.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CaptureOptions {
    std::string out_dir = "capture"; // made absolute before the data directory is entered
    std::string data_parent;         // holds data/; empty: the executable's directory
    int fps = 60;
    int height = 600; // lines of the MP4, scaled by ffmpeg at 4:3
    int crf = 18;
    std::string preset;   // x264's; empty: chosen by the height (x264_preset())
    bool master = false;  // lossless ninefold.mkv as well
    bool png = false;     // numbered PNG frames as well
    std::string y4m_path; // lossless stream as well; "-" is stdout
    bool audio = true;    // write the WAV (the mixer runs either way)
    int sheet_every = 1;  // seconds between contact sheet thumbnails
    int32_t from_ms = 0;
    int32_t to_ms = INT32_MAX;
    std::vector<int32_t> frames_at_ms; // non-empty: only PNG frames at these times
    bool frames_at() const { return !frames_at_ms.empty(); }
    // Outputs that need no ffmpeg were asked for: without it they are written alone.
    bool lossless_asked() const { return png || !y4m_path.empty(); }
    // veryfast keeps up with the renderer on two cores; above 1440 lines x264
    // costs several times the rendering, and ultrafast keeps a 2160-line
    // capture within about twice the CPU time of an 800x600 one.
    std::string x264_preset() const {
        return !preset.empty() ? preset : height > 1440 ? "ultrafast" : "veryfast";
    }
};

// Parses the command line; false with a one-line reason (or "help").
bool ParseCaptureOptions(int argc, char** argv, CaptureOptions* options, std::string* error);
const char* CaptureUsage();

// False with a one-line reason when the options ask for no frame the demo
// draws (a range past its end or between two frames, a time past its end).
bool CheckCaptureWork(const CaptureOptions& options, std::string* error);
