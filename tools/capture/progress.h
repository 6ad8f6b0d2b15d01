// The progress line on stderr: in place on a terminal, one line every ten
// seconds into a log.
#pragma once

#include <chrono>
#include <cstdint>

struct Progress {
    int fps = 60;
    int64_t expected_frames = 0;
    std::chrono::steady_clock::time_point started, last;
};

void StartProgress(Progress& p, int fps, int64_t expected_frames);
// frames: drawn so far. final_line: always shown, and ends the line.
void ShowProgress(Progress& p, int64_t frames, bool final_line);
