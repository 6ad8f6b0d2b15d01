#include "tools/capture/capture.h"

#include "tools/capture/contact_sheet.h"
#include "tools/capture/streams.h"

#include "demo/demo.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/graphics.h"

#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <unistd.h>

namespace {

// Any fixed reading will do (demo time is relative to the start mark), but
// section 2's split angle follows the raw reading: this one gives a clear,
// moving colour separation.
const int32_t kClockBase = 600000;
const int kTailMs = 2000;
// Only for the progress estimate: the last section ends at 135 s and the
// ending draws 100 more frames.
const int32_t kEstimateEndMs = 135000;
const int kEstimateEndingFrames = 100;

struct CaptureRun {
    const CaptureOptions* options = nullptr;
    std::atomic<int32_t> now{kClockBase};
    int64_t frame = 0;           // frames presented so far
    int64_t last_needed = -1;    // stop after this frame (-1: run to the end)
    int64_t expected_frames = 0; // for the progress line
    int64_t first_written = -1;
    int64_t written = 0;
    bool stopped_early = false;
    int next_second = 0;       // contact sheet: next whole second to show
    RgbImage pixels;           // the frame read back, top row first
    std::vector<uint8_t> rows; // bottom row first, as OpenGL gives it
    std::vector<int16_t> mix;  // one audio block
    Y4mWriter y4m;
    WavWriter wav;
    ContactSheet sheet;
    std::string error;
    FILE* frames_at_list = nullptr;
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

void ReadBack(CaptureRun& run) {
    const int w = GraphicsWidth(), h = GraphicsHeight();
    if (run.pixels.width != w || run.pixels.height != h) run.pixels = MakeRgbImage(w, h);
    run.rows.resize(size_t(w) * size_t(h) * 3);
    GLint pack = 4, read_buffer = GL_BACK;
    glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
    glGetIntegerv(GL_READ_BUFFER, &read_buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK); // the finished frame, before the swap presents it
    glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, run.rows.data());
    glReadBuffer(GLenum(read_buffer));
    glPixelStorei(GL_PACK_ALIGNMENT, pack);
    const size_t stride = size_t(w) * 3;
    for (int y = 0; y < h; ++y)
        std::copy_n(&run.rows[size_t(h - 1 - y) * stride], stride, &run.pixels.rgb[y * stride]);
}

void WriteFrame(CaptureRun& run, int32_t t) {
    const CaptureOptions& o = *run.options;
    char name[64];
    std::string error;
    if (FramesAtMode(o)) {
        for (int32_t at : o.frames_at_ms) {
            if (FirstFrameAtOrAfter(at, o.fps) != run.frame) continue;
            std::snprintf(name, sizeof name, "/at_%07dms.png", at);
            if (!WritePng(o.out_dir + name, run.pixels, 6, &error) && run.error.empty())
                run.error = error;
            std::fprintf(run.frames_at_list, "%d %lld %d at_%07dms.png\n", at,
                         static_cast<long long>(run.frame), t, at);
        }
    } else if (o.png) {
        std::snprintf(name, sizeof name, "/frame_%06lld.png", static_cast<long long>(run.frame));
        if (!WritePng(o.out_dir + name, run.pixels, 1, &error) && run.error.empty())
            run.error = error;
    } else if (!WriteY4mFrame(run.y4m, run.pixels) && run.error.empty()) {
        run.error = run.y4m.error;
    }
    if (!FramesAtMode(o) && t >= run.next_second * 1000) {
        AddThumbnail(run.sheet, run.pixels, t / 1000);
        run.next_second = t / 1000 + 1;
    }
}

// Mixes demo time [from_ms, to_ms) with the clock standing at from_ms, so a
// playback requested in the frame just shown starts after the mixer's own
// start latency, as it would live.
void MixInterval(CaptureRun& run, int32_t from_ms, int32_t to_ms, bool write) {
    run.now.store(kClockBase + from_ms);
    int64_t frames = AudioFrameAt(to_ms) - AudioFrameAt(from_ms);
    run.mix.resize(4096 * 2);
    while (frames > 0) {
        int n = int(std::min<int64_t>(frames, 4096));
        AudioMixBlock(run.mix.data(), n);
        if (write && run.options->audio && !WriteWav(run.wav, run.mix.data(), n) &&
            run.error.empty())
            run.error = run.wav.error;
        frames -= n;
    }
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
    if (written) {
        ReadBack(run);
        WriteFrame(run, t);
        if (run.first_written < 0) run.first_written = run.frame;
        ++run.written;
    }
    const int32_t next_t = FrameTimeMs(run.frame + 1, fps);
    MixInterval(run, t, next_t, FramesAtMode(*run.options) || written);
    run.now.store(kClockBase + next_t);
    if (run.frame == run.last_needed || !run.error.empty()) {
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

bool OpenOutputs(CaptureRun& run) {
    const CaptureOptions& o = *run.options;
    if (FramesAtMode(o)) {
        std::string path = o.out_dir + "/frames_at.txt";
        run.frames_at_list = std::fopen(path.c_str(), "w");
        if (!run.frames_at_list) run.error = path + ": cannot create file";
    } else if (!o.png && !OpenY4m(run.y4m, o.out_dir + "/ninefold.y4m", 800, 600, o.fps)) {
        run.error = run.y4m.error;
    }
    if (o.audio && run.error.empty() && !OpenWav(run.wav, o.out_dir + "/ninefold.wav"))
        run.error = run.wav.error;
    if (!run.error.empty()) std::fprintf(stderr, "ninefold_capture: %s\n", run.error.c_str());
    return run.error.empty();
}

bool CloseOutputs(CaptureRun& run) {
    const CaptureOptions& o = *run.options;
    std::string error;
    if (run.frames_at_list && std::fclose(run.frames_at_list) != 0 && run.error.empty())
        run.error = o.out_dir + "/frames_at.txt: write failed";
    if (!CloseY4m(run.y4m) && run.error.empty()) run.error = run.y4m.error;
    if (!CloseWav(run.wav) && run.error.empty()) run.error = run.wav.error;
    if (!FramesAtMode(o) && !run.sheet.thumbs.empty() &&
        !WritePng(o.out_dir + "/contact_sheet.png", ComposeSheet(run.sheet), 6, &error) &&
        run.error.empty())
        run.error = error;
    return run.error.empty();
}

} // namespace

int RunCapture(const CaptureOptions& o) {
    static CaptureRun run; // the flip hook and the clock see it for the whole run
    run.options = &o;
    run.last_needed = LastNeededFrame(o);
    run.expected_frames = run.last_needed >= 0 ? run.last_needed + 1
                                               : FirstFrameAtOrAfter(kEstimateEndMs, o.fps) + 1 +
                                                     kEstimateEndingFrames;
    run.next_second = (o.from_ms + 999) / 1000;
    if (!OpenOutputs(run)) return 1;

    SetAudioDriver("Manual");
    SetHiddenDisplay(true);
    SetMilliSecsSource(VirtualClock, &run);
    SetFlipHook(OnFlip, &run);
    run.started = run.last_progress = std::chrono::steady_clock::now();
    DemoMain();
    SetFlipHook(nullptr, nullptr);
    if (!run.stopped_early && run.frame > 0) {
        const int32_t end = FrameTimeMs(run.frame, o.fps);
        MixInterval(run, end, end + kTailMs, run.written > 0);
    }
    SetMilliSecsSource(nullptr, nullptr);
    ShowProgress(run, true);

    const bool closed = CloseOutputs(run);
    if (!closed || !run.error.empty()) {
        std::fprintf(stderr, "ninefold_capture: %s\n", run.error.c_str());
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
    if (!FramesAtMode(o) && run.written > 0) {
        std::string message;
        bool muxed = MuxWithFfmpeg(o, run.first_written, o.audio, &message);
        std::fprintf(stderr, "ninefold_capture: %s\n", message.c_str());
        if (!muxed && message.rfind("ffmpeg not found", 0) != 0) return 1;
    }
    return 0;
}
