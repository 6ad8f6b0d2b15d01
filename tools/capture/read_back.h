// Reading frames back from the display through two pixel buffers: frame k is
// copied into one while frame k-1 comes out of the other, so the copy runs
// while the next frame is drawn.
#pragma once

#include "tools/capture/job_queue.h"

#include <cstdint>

struct ReadBack {
    uint32_t pbo[2] = {0, 0};
    int next_slot = 0;
    int64_t pending_frame = -1; // read into pbo[pending_slot], not yet mapped
    int32_t pending_t = 0;
    int pending_slot = 0;
};

// Starts copying the current frame (the bound framebuffer), taken at demo
// time t; the frame before, if still pending, goes to the queue first.
// False when a buffer cannot be mapped.
bool ReadFrameBack(ReadBack& r, JobQueue& queue, int64_t frame, int32_t t);
// Hands the pending frame, as read, to the queue.
bool FinishReadBack(ReadBack& r, JobQueue& queue);
// Writer thread: the job's read-back frame as pixels, top row first.
void TurnReadBackIntoPixels(Job& job, JobQueue& queue);
