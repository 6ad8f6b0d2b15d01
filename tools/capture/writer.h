// The capture's outputs, written on the writer thread as jobs arrive, each
// under its unfinished name (output_names.h). A failure or an interrupt
// removes what is unfinished; success verifies the encoded files and then
// gives everything its final name at once.
#pragma once

#include "tools/capture/contact_sheet.h"
#include "tools/capture/encoder.h"
#include "tools/capture/job_queue.h"
#include "tools/capture/options.h"
#include "tools/capture/output_names.h"
#include "tools/capture/streams.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

// The names of the run: every one it may make is fixed before the stop
// handlers exist, so the watchdog can remove them at any moment.
struct OutputFiles {
    std::vector<std::string> unfinished;
    MadeFiles made; // (unfinished, final) of the outputs opened
    DirLock lock;
};

// The lossless files and the contact sheet, filled frame by frame.
struct FileStreams {
    Y4mWriter y4m;
    WavWriter wav;
    FILE* frames_at_list = nullptr;
    ContactSheet sheet;
    int next_second = 0; // contact sheet: next whole second to show
};

// ffmpeg and what it has been given.
struct VideoEncoding {
    FfmpegEncoder encoder;
    bool on = false;
    std::string none_because; // why there is no MP4
    int32_t origin_ms = 0;    // demo time of the first written frame (stream time 0)
    int64_t pictures = 0;     // frames handed to ffmpeg
};

struct Outputs {
    const CaptureOptions* options = nullptr;
    bool (*stopping)() = nullptr; // an interrupt: write nothing more
    OutputFiles files;
    FileStreams streams;
    VideoEncoding video;
    std::string error;               // first failure
    std::atomic<bool> failed{false}; // a write failed or ffmpeg stopped: end the run
};

// Fixes every name the run may make; makes nothing.
void PlanOutputs(Outputs& out);
// Takes the directory, checks the names, opens the files and starts ffmpeg;
// false with out.error, before the first frame.
bool OpenOutputs(Outputs& out);
void WriterLoop(JobQueue* queue, Outputs* out);
// Closes every output under its unfinished name (the contact sheet is
// written here); ffmpeg finishes and its files are verified unless the run
// failed or stopped.
void CloseOutputs(Outputs& out);
// Gives the finished outputs their names, all or none; false with out.error.
bool NameOutputs(Outputs& out);
// Async-signal-safe: removes every unfinished name and releases the directory.
void RemoveUnfinished(Outputs& out);
