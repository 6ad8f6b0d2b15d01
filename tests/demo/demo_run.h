// Runs the real main program in-process under a scripted clock: frame k
// (counted by presented frames) reads demo time times[k], and frames after
// the list read after_ms. A hook sees each frame before it is presented.
// The soundtrack is a second of silence.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// The clock's reading at the start mark.
const int32_t kScriptStartMark = 1234567;

struct Script {
    std::vector<int32_t> times = {0};                   // times[0] must be 0: the start mark
    int32_t after_ms = 1000000;                         // past the end of every section
    int escape_at = -1;                                 // press Escape while frame k is presented
    std::function<void(int frame, int32_t t)> on_frame; // before presentation
};

struct RunResult {
    int frames = 0;              // frames presented
    bool display_closed = false; // DemoMain returned with the display closed
};

RunResult RunDemo(const Script& script);
