#include "tools/capture/read_back.h"

#include <cstring>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

bool ReadFrameBack(ReadBack& r, JobQueue& queue, int64_t frame, int32_t t) {
    const size_t bytes = size_t(kCaptureWidth) * kCaptureHeight * 4;
    if (!r.pbo[0]) {
        glGenBuffers(2, r.pbo);
        for (GLuint pbo : r.pbo) {
            glBindBuffer(GL_PIXEL_PACK_BUFFER, pbo);
            glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(bytes), nullptr, GL_STREAM_READ);
        }
    }
    // BGRA: the framebuffer's own layout on common drivers, so the copy
    // needs no per-pixel repacking there; rows of 4-byte pixels need no padding.
    const int slot = r.next_slot;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, r.pbo[slot]);
    glReadPixels(0, 0, kCaptureWidth, kCaptureHeight, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    r.next_slot ^= 1;
    const bool ok = FinishReadBack(r, queue);
    r.pending_frame = frame;
    r.pending_t = t;
    r.pending_slot = slot;
    return ok;
}

bool FinishReadBack(ReadBack& r, JobQueue& queue) {
    if (r.pending_frame < 0) return true;
    Job job;
    job.frame = r.pending_frame;
    job.t = r.pending_t;
    r.pending_frame = -1;
    job.read_back = queue.TakeReadBackBuffer();
    glBindBuffer(GL_PIXEL_PACK_BUFFER, r.pbo[r.pending_slot]);
    const auto* rows = static_cast<const uint8_t*>(glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY));
    if (rows) {
        std::memcpy(job.read_back.data(), rows, job.read_back.size());
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (rows) queue.Push(std::move(job));
    return rows != nullptr;
}

void TurnReadBackIntoPixels(Job& job, JobQueue& queue) {
    job.pixels = queue.TakeImage();
    uint8_t* out = job.pixels.rgb.data();
    for (int y = 0; y < kCaptureHeight; ++y) {
        const uint8_t* in =
            job.read_back.data() + size_t(kCaptureHeight - 1 - y) * kCaptureWidth * 4;
        for (int x = 0; x < kCaptureWidth; ++x, in += 4, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
    queue.GiveBack(std::move(job.read_back));
    job.read_back.clear();
}
