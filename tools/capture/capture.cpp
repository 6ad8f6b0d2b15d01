#include "tools/capture/capture.h"

#include "tools/capture/progress.h"
#include "tools/capture/read_back.h"
#include "tools/capture/sound_track.h"
#include "tools/capture/writer.h"

#include "demo/demo.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/graphics.h"
#include "platform/keyboard.h"
#include "platform/stop_signal.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

// Any fixed reading will do (demo time is relative to the start mark), but
// section 2's split angle follows the raw reading: this one gives a clear,
// moving colour separation.
const int32_t kClockBase = 600000;
// A stop signal ends the demo at its next frame; when none comes within
// this, the watchdog removes the unfinished outputs and exits by itself.
const int kStopGraceMs = 700;

struct CaptureRun {
    const CaptureOptions* options = nullptr;
    std::atomic<int32_t> now{kClockBase};
    int64_t frame = 0;        // frames presented so far
    int64_t last_needed = -1; // stop after this frame (-1: run to the end)
    int64_t written = 0;
    std::string error; // the rendering thread's own failure
    ReadBack read_back;
    SoundTrack sound;
    Progress progress;
    JobQueue queue;
    Outputs out;
};

// The flip hook, the clock and the stop handlers see it for the whole run.
CaptureRun run;
std::atomic<int> stop_signal{0};
// Who prints the last line and ends the process: 1 the main thread, 2 the
// watchdog. Whoever comes second leaves it to the first.
std::atomic<int> exit_owner{0};

bool Stopping() {
    return stop_signal.load() != 0;
}

bool ClaimExit(int who) {
    int none = 0;
    return exit_owner.compare_exchange_strong(none, who);
}

std::string InterruptedLine(int sig) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "ninefold_capture: interrupted at %.1f s of demo time by SIG%s; "
                  "unfinished outputs removed\n",
                  (run.now.load() - kClockBase) / 1000.0, sigabbrev_np(sig));
    return line;
}

// Escape ends the demo through its common exit after the current frame.
void EndDemo() {
    InjectKeyDown(kEscapeKey);
    InjectKeyUp(kEscapeKey);
}

// Main thread, at the next frame or key test; the writer stops writing.
void StopAtPoll(int sig) {
    int none = 0;
    stop_signal.compare_exchange_strong(none, sig);
    EndDemo();
}

// Watchdog thread: no frame came in time (a load, a blocked write, ffmpeg's
// last seconds).
void StopLate(int sig) {
    if (!ClaimExit(2)) {
        sleep(5); // the main thread is finishing; it ends the process first
        _exit(128 + sig);
    }
    if (const pid_t ffmpeg = run.out.encoder.pid.load(); ffmpeg > 0) kill(ffmpeg, SIGKILL);
    RemoveUnfinished(run.out);
    const std::string line = InterruptedLine(sig);
    (void)!write(2, line.data(), line.size());
    _exit(128 + sig);
}

int32_t VirtualClock(void* user) {
    return static_cast<CaptureRun*>(user)->now.load();
}

bool IsWritten(const CaptureRun& r, int32_t t) {
    const CaptureOptions& o = *r.options;
    if (!o.frames_at()) return o.from_ms <= t && t <= o.to_ms;
    for (int32_t at : o.frames_at_ms)
        if (FirstFrameAtOrAfter(at, o.fps) == r.frame) return true;
    return false;
}

void OnFlip(void* user) {
    auto& r = *static_cast<CaptureRun*>(user);
    const CaptureOptions& o = *r.options;
    const int32_t t = FrameTimeMs(r.frame, o.fps);
    const int32_t next_t = FrameTimeMs(r.frame + 1, o.fps);
    const bool written = IsWritten(r, t);
    const bool last =
        r.frame == r.last_needed || !r.error.empty() || r.out.failed.load() || Stopping();
    bool mapped = true;
    if (written) {
        mapped = ReadFrameBack(r.read_back, r.queue, r.frame, t);
        ++r.written;
    }
    MixInterval(r.sound, r.now, kClockBase, t, next_t, o.audio && (o.frames_at() || written),
                r.queue);
    // The ending's frames are read back at once: any of them may be the last
    // before the demo closes the display, and with it the pixel buffers.
    if (last || t >= kEndingStartMs) mapped = FinishReadBack(r.read_back, r.queue) && mapped;
    if (!mapped && r.error.empty()) r.error = "cannot map the read-back pixel buffer";
    r.now.store(kClockBase + next_t);
    if (last) EndDemo();
    ++r.frame;
    ShowProgress(r.progress, r.frame, false);
}

// The last frame the options need, or -1 when the capture runs to the end.
int64_t LastNeededFrame(const CaptureOptions& o) {
    if (o.frames_at()) {
        int64_t last = 0;
        for (int32_t at : o.frames_at_ms)
            last = std::max(last, FirstFrameAtOrAfter(at, o.fps));
        return last;
    }
    if (o.to_ms == INT32_MAX) return -1;
    int64_t k = FirstFrameAtOrAfter(o.to_ms, o.fps);
    return FrameTimeMs(k, o.fps) > o.to_ms ? k - 1 : k;
}

// What a capture without its MP4 left behind.
std::string WrittenInstead(const CaptureOptions& o) {
    std::string list;
    auto add = [&](const std::string& what) { list += (list.empty() ? "" : ", ") + what; };
    if (o.png && run.written > 0) add("frame_*.png");
    if (!o.y4m_path.empty()) add(o.y4m_path == "-" ? "y4m on stdout" : o.y4m_path);
    if (o.audio) add("ninefold.wav");
    if (!run.out.sheet.thumbs.empty()) add("contact_sheet.png");
    return list.empty() ? "nothing else" : list;
}

int Failed(const std::string& why) {
    RemoveUnfinished(run.out);
    std::fprintf(stderr, "ninefold_capture: %s; unfinished outputs removed\n", why.c_str());
    return 1;
}

// After the demo: every output closed, then named or removed.
int Report(const CaptureOptions& o) {
    if (!ClaimExit(1))
        for (;;)
            pause(); // the watchdog is removing the outputs and ends the process
    if (const int sig = stop_signal.load()) {
        RemoveUnfinished(run.out);
        std::fputs(InterruptedLine(sig).c_str(), stderr);
        return 128 + sig;
    }
    const std::string& error = run.error.empty() ? run.out.error : run.error;
    if (!error.empty()) return Failed(error);
    if (run.frame == 0) return Failed("the demo stopped before its first frame");
    if (o.frames_at() && run.frame <= run.last_needed) {
        char why[128];
        std::snprintf(why, sizeof why,
                      "--frames-at: the demo ended at %.3f s, before the last time asked for",
                      FrameTimeMs(run.frame - 1, o.fps) / 1000.0);
        return Failed(why);
    }
    if (!o.frames_at() && !run.out.encoding && !run.out.encoder.not_installed)
        return Failed(run.out.no_encoder);
    if (!CommitOutputs(run.out)) return Failed(run.out.error);
    std::fprintf(stderr, "ninefold_capture: %lld frames drawn, %lld written to %s\n",
                 static_cast<long long>(run.frame), static_cast<long long>(run.written),
                 o.out_dir.c_str());
    if (o.frames_at()) return 0;
    if (run.out.encoding) {
        std::fprintf(stderr, "ninefold_capture: video: %s/ninefold.mp4\n", o.out_dir.c_str());
        return 0;
    }
    // Without ffmpeg the lossless outputs are what was asked for.
    std::fprintf(stderr, "ninefold_capture: %s: no MP4; written instead: %s\n",
                 run.out.no_encoder.c_str(), WrittenInstead(o).c_str());
    return 0;
}

} // namespace

int RunCapture(const CaptureOptions& o) {
    run.options = run.out.options = &o;
    run.out.stopping = Stopping;
    run.last_needed = LastNeededFrame(o);
    const int every_ms = 1000 * o.sheet_every;
    run.out.next_second = (o.from_ms + every_ms - 1) / every_ms * o.sheet_every;
    std::signal(SIGPIPE, SIG_IGN); // a reader that stops shows as a failed write
    std::signal(SIGXFSZ, SIG_IGN); // a file over its size limit too
    SetStopHandlers(StopAtPoll, StopLate, kStopGraceMs);
    if (!OpenOutputs(run.out)) return Failed(run.out.error);
    InstallStopSignals();
    std::thread writer(WriterLoop, &run.queue, &run.out);

    SetAudioDriver("Manual");
    SetHiddenDisplay(true);
    SetMilliSecsSource(VirtualClock, &run);
    SetFlipHook(OnFlip, &run);
    StartProgress(run.progress, o.fps,
                  run.last_needed >= 0 ? run.last_needed + 1 : DemoFrameCount(o.fps));
    DemoMain();
    SetFlipHook(nullptr, nullptr);
    if (run.read_back.pending_frame >= 0 && run.error.empty() && !run.out.failed.load())
        run.error = "the demo closed its display before the last frame was read back";
    EndSoundTrack(run.sound, run.queue);
    SetMilliSecsSource(nullptr, nullptr);
    ShowProgress(run.progress, run.frame, true);
    run.queue.Close();
    writer.join();
    CloseOutputs(run.out);
    return Report(o);
}
