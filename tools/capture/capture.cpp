#include "tools/capture/capture.h"

#include "tools/capture/contact_sheet.h"
#include "tools/capture/encoder.h"
#include "tools/capture/streams.h"

#include "demo/demo.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

// Any fixed reading will do (demo time is relative to the start mark), but
// section 2's split angle follows the raw reading: this one gives a clear,
// moving colour separation.
const int32_t kClockBase = 600000;
const int kTailMs = 2000;
const int kWidth = 800, kHeight = 600;
// Frames and sound blocks waiting for the writer; enough to ride out one
// slow write without holding much memory.
const size_t kQueueJobs = 4;

// A frame's pixels (top row first), the sound of one stretch, or both.
struct Job {
    int64_t frame = -1; // -1: no picture
    int32_t t = 0;
    RgbImage pixels;
    std::vector<int16_t> sound;
};

// Hands jobs from the rendering thread to the writer in order; frame
// buffers go back and forth instead of being allocated every frame.
struct JobQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    std::vector<RgbImage> spare;
    bool closed = false;

    RgbImage TakeImage() {
        std::lock_guard<std::mutex> lock(mutex);
        if (spare.empty()) return MakeRgbImage(kWidth, kHeight);
        RgbImage image = std::move(spare.back());
        spare.pop_back();
        return image;
    }
    void Push(Job&& job) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return jobs.size() < kQueueJobs; });
        jobs.push_back(std::move(job));
        changed.notify_all();
    }
    bool Pop(Job* job) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return !jobs.empty() || closed; });
        if (jobs.empty()) return false;
        *job = std::move(jobs.front());
        jobs.pop_front();
        changed.notify_all();
        return true;
    }
    void GiveBack(RgbImage&& image) {
        std::lock_guard<std::mutex> lock(mutex);
        spare.push_back(std::move(image));
    }
    void Close() {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
        changed.notify_all();
    }
};

// What the writer thread owns while the demo runs.
struct Outputs {
    const CaptureOptions* options = nullptr;
    Y4mWriter y4m;
    WavWriter wav;
    FfmpegEncoder encoder;
    bool encoding = false;
    std::string no_encoder; // why there is no MP4
    ContactSheet sheet;
    int next_second = 0; // contact sheet: next whole second to show
    FILE* frames_at_list = nullptr;
    std::string error;               // first write failure
    std::atomic<bool> failed{false}; // a write failed or ffmpeg stopped: end the run
};

struct CaptureRun {
    const CaptureOptions* options = nullptr;
    std::atomic<int32_t> now{kClockBase};
    int64_t frame = 0;           // frames presented so far
    int64_t last_needed = -1;    // stop after this frame (-1: run to the end)
    int64_t expected_frames = 0; // for the progress line
    int64_t written = 0;
    bool stopped_early = false;
    GLuint pbo[2] = {0, 0};
    int next_slot = 0;
    int64_t pending_frame = -1; // read into pbo[pending_slot], not yet mapped
    int32_t pending_t = 0;
    int pending_slot = 0;
    std::vector<int16_t> mix; // one audio block
    std::string error;        // the rendering thread's own failure
    JobQueue queue;
    Outputs out;
    std::chrono::steady_clock::time_point started, last_progress;
};

int32_t VirtualClock(void* user) {
    return static_cast<CaptureRun*>(user)->now.load();
}

bool FramesAtMode(const CaptureOptions& o) {
    return !o.frames_at_ms.empty();
}

bool IsWritten(const CaptureRun& run, int32_t t) {
    const CaptureOptions& o = *run.options;
    if (!FramesAtMode(o)) return o.from_ms <= t && t <= o.to_ms;
    for (int32_t at : o.frames_at_ms)
        if (FirstFrameAtOrAfter(at, o.fps) == run.frame) return true;
    return false;
}

void Fail(Outputs& out, const std::string& why) {
    if (out.error.empty()) out.error = why;
    out.failed.store(true);
}

// --- Writer thread --------------------------------------------------------

void WritePicture(Outputs& out, const Job& job) {
    const CaptureOptions& o = *out.options;
    char name[64];
    std::string error;
    if (FramesAtMode(o)) {
        for (int32_t at : o.frames_at_ms) {
            if (FirstFrameAtOrAfter(at, o.fps) != job.frame) continue;
            std::snprintf(name, sizeof name, "/at_%07dms.png", at);
            if (!WritePng(o.out_dir + name, job.pixels, 6, &error)) Fail(out, error);
            std::fprintf(out.frames_at_list, "%d %lld %d at_%07dms.png\n", at,
                         static_cast<long long>(job.frame), job.t, at);
        }
        return;
    }
    if (out.encoding && !EncodeFrame(out.encoder, job.pixels.rgb.data(), job.pixels.rgb.size()))
        out.failed.store(true); // ffmpeg's own message comes when it is reaped
    if (o.png) {
        std::snprintf(name, sizeof name, "/frame_%06lld.png", static_cast<long long>(job.frame));
        if (!WritePng(o.out_dir + name, job.pixels, 1, &error)) Fail(out, error);
    }
    if (out.y4m.file && !WriteY4mFrame(out.y4m, job.pixels)) Fail(out, out.y4m.error);
    if (job.t >= out.next_second * 1000) {
        const int second = job.t / 1000, every = o.sheet_every;
        AddThumbnail(out.sheet, job.pixels, second);
        out.next_second = (second / every + 1) * every;
    }
}

void WriteSound(Outputs& out, const std::vector<int16_t>& sound) {
    const int frames = int(sound.size() / 2);
    if (out.wav.file && !WriteWav(out.wav, sound.data(), frames)) Fail(out, out.wav.error);
    if (out.encoding && !EncodeSound(out.encoder, sound.data(), frames)) out.failed.store(true);
}

void WriterLoop(JobQueue* queue, Outputs* out) {
    Job job;
    while (queue->Pop(&job)) {
        if (job.frame >= 0) {
            WritePicture(*out, job);
            queue->GiveBack(std::move(job.pixels));
        }
        if (!job.sound.empty()) WriteSound(*out, job.sound);
    }
}

// --- Rendering thread -----------------------------------------------------

// Starts copying the bound framebuffer into a pixel buffer; the copy runs
// while the next frame is drawn. Returns the buffer's slot.
int StartReadBack(CaptureRun& run) {
    const size_t bytes = size_t(kWidth) * kHeight * 4;
    if (!run.pbo[0]) {
        glGenBuffers(2, run.pbo);
        for (GLuint pbo : run.pbo) {
            glBindBuffer(GL_PIXEL_PACK_BUFFER, pbo);
            glBufferData(GL_PIXEL_PACK_BUFFER, GLsizeiptr(bytes), nullptr, GL_STREAM_READ);
        }
    }
    // BGRA: the framebuffer's own layout on common drivers, so the copy
    // needs no per-pixel repacking there; rows of 4-byte pixels need no padding.
    glBindBuffer(GL_PIXEL_PACK_BUFFER, run.pbo[run.next_slot]);
    glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    run.next_slot ^= 1;
    return run.next_slot ^ 1;
}

// Maps the pending frame's buffer and hands the picture, turned top row
// first, to the writer.
void FinishReadBack(CaptureRun& run) {
    if (run.pending_frame < 0) return;
    Job job;
    job.frame = run.pending_frame;
    job.t = run.pending_t;
    run.pending_frame = -1;
    job.pixels = run.queue.TakeImage();
    glBindBuffer(GL_PIXEL_PACK_BUFFER, run.pbo[run.pending_slot]);
    const auto* rows = static_cast<const uint8_t*>(glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY));
    if (rows) {
        uint8_t* out = job.pixels.rgb.data();
        for (int y = 0; y < kHeight; ++y) {
            const uint8_t* in = rows + size_t(kHeight - 1 - y) * kWidth * 4;
            for (int x = 0; x < kWidth; ++x, in += 4, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
        glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (rows)
        run.queue.Push(std::move(job));
    else if (run.error.empty())
        run.error = "cannot map the read-back pixel buffer";
}

// Mixes demo time [from_ms, to_ms) with the clock standing at from_ms, so a
// playback requested in the frame just shown starts after the mixer's own
// start latency, as it would live.
void MixInterval(CaptureRun& run, int32_t from_ms, int32_t to_ms, bool write) {
    run.now.store(kClockBase + from_ms);
    int64_t frames = AudioFrameAt(to_ms) - AudioFrameAt(from_ms);
    Job job;
    run.mix.resize(4096 * 2);
    while (frames > 0) {
        int n = int(std::min<int64_t>(frames, 4096));
        AudioMixBlock(run.mix.data(), n);
        if (write && run.options->audio)
            job.sound.insert(job.sound.end(), run.mix.begin(), run.mix.begin() + 2 * n);
        frames -= n;
    }
    if (!job.sound.empty()) run.queue.Push(std::move(job));
}

// In place on a terminal; one line every ten seconds into a log.
void ShowProgress(CaptureRun& run, bool final_line) {
    using namespace std::chrono;
    const auto now = steady_clock::now();
    const bool terminal = isatty(2);
    if (!final_line && now - run.last_progress < milliseconds(terminal ? 250 : 10000)) return;
    run.last_progress = now;
    const double wall = std::max(1e-3, duration<double>(now - run.started).count());
    const double fps = double(run.frame) / wall;
    const double speed = FrameTimeMs(run.frame, run.options->fps) / 1000.0 / wall;
    const int64_t left = std::max<int64_t>(0, run.expected_frames - run.frame);
    const int eta = fps > 0 ? int(double(left) / fps + 0.5) : 0;
    std::fprintf(stderr, "%sframe %lld/%lld  %.1f fps  %.2fx real time  %d:%02d left   ",
                 terminal ? "\r" : "", static_cast<long long>(run.frame),
                 static_cast<long long>(run.expected_frames), fps, speed, eta / 60, eta % 60);
    if (final_line || !terminal) std::fputc('\n', stderr);
    std::fflush(stderr);
}

void OnFlip(void* user) {
    auto& run = *static_cast<CaptureRun*>(user);
    const int fps = run.options->fps;
    const int32_t t = FrameTimeMs(run.frame, fps);
    const bool written = IsWritten(run, t);
    const bool last = run.frame == run.last_needed || !run.error.empty() || run.out.failed.load();
    if (written) {
        // Frame k goes into one buffer while frame k-1 comes out of the other.
        const int slot = StartReadBack(run);
        FinishReadBack(run);
        run.pending_frame = run.frame;
        run.pending_t = t;
        run.pending_slot = slot;
        ++run.written;
    }
    // The ending's frames are read back at once: any of them may be the last
    // before the demo closes the display, and with it the pixel buffers.
    if (last || t >= kEndingStartMs) FinishReadBack(run);
    const int32_t next_t = FrameTimeMs(run.frame + 1, fps);
    MixInterval(run, t, next_t, FramesAtMode(*run.options) || written);
    run.now.store(kClockBase + next_t);
    if (last) {
        // Escape ends the demo through its common exit after this frame.
        InjectKeyDown(27);
        InjectKeyUp(27);
        run.stopped_early = true;
    }
    ++run.frame;
    ShowProgress(run, false);
}

// The last frame the options need, or -1 when the capture runs to the end.
int64_t LastNeededFrame(const CaptureOptions& o) {
    if (FramesAtMode(o)) {
        int64_t last = 0;
        for (int32_t at : o.frames_at_ms)
            last = std::max(last, FirstFrameAtOrAfter(at, o.fps));
        return last;
    }
    if (o.to_ms == INT32_MAX) return -1;
    int64_t k = FirstFrameAtOrAfter(o.to_ms, o.fps);
    return FrameTimeMs(k, o.fps) > o.to_ms ? k - 1 : k;
}

bool OpenOutputs(Outputs& out) {
    const CaptureOptions& o = *out.options;
    if (FramesAtMode(o)) {
        std::string path = o.out_dir + "/frames_at.txt";
        out.frames_at_list = std::fopen(path.c_str(), "w");
        if (!out.frames_at_list) out.error = path + ": cannot create file";
    } else if (!o.y4m_path.empty() && !OpenY4m(out.y4m, o.y4m_path, kWidth, kHeight, o.fps)) {
        out.error = out.y4m.error;
    }
    if (o.audio && out.error.empty() && !OpenWav(out.wav, o.out_dir + "/ninefold.wav"))
        out.error = out.wav.error;
    if (!out.error.empty()) {
        std::fprintf(stderr, "ninefold_capture: %s\n", out.error.c_str());
        return false;
    }
    if (!FramesAtMode(o)) {
        EncoderSettings s;
        s.output = o.out_dir + "/ninefold.mp4";
        s.width = kWidth;
        s.height = kHeight;
        s.fps = o.fps;
        s.crf = o.crf;
        s.preset = o.preset;
        s.audio = o.audio;
        out.encoding = StartEncoder(out.encoder, s, &out.no_encoder);
    }
    return true;
}

void CloseOutputs(Outputs& out) {
    const CaptureOptions& o = *out.options;
    std::string error;
    if (out.frames_at_list && std::fclose(out.frames_at_list) != 0)
        Fail(out, o.out_dir + "/frames_at.txt: write failed");
    if (!CloseY4m(out.y4m)) Fail(out, out.y4m.error);
    if (!CloseWav(out.wav)) Fail(out, out.wav.error);
    if (!FramesAtMode(o) && !out.sheet.thumbs.empty() &&
        !WritePng(o.out_dir + "/contact_sheet.png", ComposeSheet(out.sheet), 6, &error))
        Fail(out, error);
    if (out.encoding && !FinishEncoder(out.encoder, &out.no_encoder)) {
        out.encoding = false;
        std::remove((o.out_dir + "/ninefold.mp4").c_str()); // unplayable when ffmpeg failed
    }
}

// What a capture without its MP4 left behind.
std::string WrittenInstead(const Outputs& out, const CaptureRun& run) {
    const CaptureOptions& o = *out.options;
    std::string list;
    auto add = [&](const std::string& what) { list += (list.empty() ? "" : ", ") + what; };
    if (o.png && run.written > 0) add("frame_*.png");
    if (!o.y4m_path.empty()) add(o.y4m_path == "-" ? "y4m on stdout" : o.y4m_path);
    if (o.audio) add("ninefold.wav");
    if (!out.sheet.thumbs.empty()) add("contact_sheet.png");
    return list.empty() ? "nothing else" : list;
}

} // namespace

int RunCapture(const CaptureOptions& o) {
    static CaptureRun run; // the flip hook and the clock see it for the whole run
    run.options = run.out.options = &o;
    run.last_needed = LastNeededFrame(o);
    run.expected_frames = run.last_needed >= 0
                              ? run.last_needed + 1
                              : FirstFrameAtOrAfter(kEndingStartMs, o.fps) + 1 + kEndingFrames;
    const int every_ms = 1000 * o.sheet_every;
    run.out.next_second = (o.from_ms + every_ms - 1) / every_ms * o.sheet_every;
    std::signal(SIGPIPE, SIG_IGN); // a reader that stops shows as a failed write
    if (!OpenOutputs(run.out)) return 1;
    std::thread writer(WriterLoop, &run.queue, &run.out);

    SetAudioDriver("Manual");
    SetHiddenDisplay(true);
    SetMilliSecsSource(VirtualClock, &run);
    SetFlipHook(OnFlip, &run);
    run.started = run.last_progress = std::chrono::steady_clock::now();
    DemoMain();
    SetFlipHook(nullptr, nullptr);
    if (run.pending_frame >= 0 && run.error.empty() && !run.out.failed.load())
        run.error = "the demo closed its display before the last frame was read back";
    if (!run.stopped_early && run.frame > 0) {
        const int32_t end = FrameTimeMs(run.frame, o.fps);
        MixInterval(run, end, end + kTailMs, run.written > 0);
    }
    SetMilliSecsSource(nullptr, nullptr);
    ShowProgress(run, true);
    run.queue.Close();
    writer.join();
    CloseOutputs(run.out);

    const std::string& error = run.error.empty() ? run.out.error : run.error;
    if (!error.empty()) {
        std::fprintf(stderr, "ninefold_capture: %s\n", error.c_str());
        return 1;
    }
    if (run.frame == 0) {
        std::fprintf(stderr, "ninefold_capture: the demo stopped before its first frame\n");
        return 1;
    }
    if (FramesAtMode(o) && run.frame <= run.last_needed) {
        std::fprintf(stderr,
                     "ninefold_capture: --frames-at: the demo ended at %.3f s, before "
                     "the last time asked for\n",
                     FrameTimeMs(run.frame - 1, o.fps) / 1000.0);
        return 1;
    }
    std::fprintf(stderr, "ninefold_capture: %lld frames drawn, %lld written to %s\n",
                 static_cast<long long>(run.frame), static_cast<long long>(run.written),
                 o.out_dir.c_str());
    if (FramesAtMode(o)) return 0;
    if (run.out.encoding) {
        std::fprintf(stderr, "ninefold_capture: video: %s/ninefold.mp4\n", o.out_dir.c_str());
        return 0;
    }
    std::fprintf(stderr, "ninefold_capture: %s: no MP4; written instead: %s\n",
                 run.out.no_encoder.c_str(), WrittenInstead(run.out, run).c_str());
    // Without ffmpeg the lossless outputs are what was asked for; a failing
    // ffmpeg is an error.
    return run.out.encoder.not_installed ? 0 : 1;
}
