// The capture's outputs, written on the writer thread as jobs arrive. Every
// file is made under a name that says it is unfinished (ninefold.wav as
// ninefold.unfinished.wav, each PNG frame as frame.unfinished.png) and gets
// its own name only when it is complete: PNG frames one by one, everything
// else when the whole capture has succeeded. A failure or an interrupt
// removes what is unfinished.
#pragma once

#include "tools/capture/capture.h"
#include "tools/capture/contact_sheet.h"
#include "tools/capture/encoder.h"
#include "tools/capture/job_queue.h"
#include "tools/capture/streams.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

struct Outputs {
    const CaptureOptions* options = nullptr;
    bool (*stopping)() = nullptr; // an interrupt: write nothing more
    Y4mWriter y4m;
    WavWriter wav;
    FfmpegEncoder encoder;
    bool encoding = false;
    std::string no_encoder; // why there is no MP4
    int32_t origin_ms = 0;  // demo time of the first written frame (stream time 0)
    ContactSheet sheet;
    int next_second = 0; // contact sheet: next whole second to show
    FILE* frames_at_list = nullptr;
    std::vector<std::string> unfinished; // every unfinished name, fixed once opened
    std::vector<std::pair<std::string, std::string>> made; // unfinished, final
    std::string error;                                     // first failure
    std::atomic<bool> failed{false}; // a write failed or ffmpeg stopped: end the run
};

// "dir/name.ext" as "dir/name.unfinished.ext".
std::string UnfinishedName(const std::string& path);

// Opens the files and starts ffmpeg; false with out.error.
bool OpenOutputs(Outputs& out);
void WriterLoop(JobQueue* queue, Outputs* out);
// Closes every output under its unfinished name (the contact sheet is
// written here); ffmpeg finishes its MP4 unless the run failed or stopped.
void CloseOutputs(Outputs& out);
// Gives the finished outputs their names; false with out.error.
bool CommitOutputs(Outputs& out);
void RemoveUnfinished(const Outputs& out);
